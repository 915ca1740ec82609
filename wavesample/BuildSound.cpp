#include "BuildSound.h"


#include "AtomicFile.h"
#include "Colours.h"
#include "DiskImage.h"
#include "MirageEmulator.h"
#include "MirageProtocol.h"
#include "Named.h"
#include "PlayerPanel.h"
#include "ProgressBar.h"
#include "SendGuard.h"
#include "SoundTransfer.h"
#include "WaveEditor.h"
#include "WsAudio.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QShowEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDir>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStyle>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace corvane {

namespace {

namespace fs = std::filesystem;

constexpr int BarSteps = 1000;
const char* const SourceFilter =
    "Sound sources|*.sf2 *.sfz *.wav *.wave *.aif *.aiff *.flac *.ogg *.oga;SoundFont 2|*.sf2;SFZ|*.sfz;"
    "Audio files|*.wav *.wave *.aif *.aiff *.flac *.ogg *.oga";
const char* const SyxFilter = "SysEx files|*.syx";
const char* const ImageFilter = "Disk images|*.img";

QString qs(const std::string& s) { return QString::fromStdString(s); }

std::string& settingsFile()
{
    static std::string path;
    return path;
}

// Runs `job` on a thread of its own while this thread handles the
// window's events, and returns when it has ended: a source of 150 MB takes
// a moment to open, and a file that never answers must not freeze the
// window. No exception leaves the thread: what one says is returned.
std::string offThread(const std::function<void()>& job)
{
    std::string error;
    QEventLoop loop;
    std::thread worker;
    QMetaObject::invokeMethod(
        &loop,
        [&] {
            worker = std::thread([&] {
                try {
                    job();
                } catch (const std::bad_alloc&) {
                    error = "There is not enough memory for it.";
                } catch (const std::exception& e) {
                    error = std::string("It failed: ") + e.what() + ".";
                } catch (...) {
                    error = "It failed.";
                }
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            });
        },
        Qt::QueuedConnection);
    loop.exec();
    if (worker.joinable())
        worker.join();
    return error;
}

std::string extension(const std::string& path)
{
    std::string e = fs::path(path).extension().string();
    for (char& c : e)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

} // namespace

// ---- the waveform with its loop ----------------------------------------------------------

void TLoopWaveView::setLoop(std::optional<std::pair<int, int>> loop)
{
    loop_ = loop;
    update();
}

void TLoopWaveView::paintEvent(QPaintEvent* e)
{
    TWaveView::paintEvent(e);
    const auto n = static_cast<double>(Samples().size());
    if (!loop_ || n <= 0)
        return;
    QPainter p(this);
    const int x0 = static_cast<int>(loop_->first / n * width());
    const int x1 = static_cast<int>(loop_->second / n * width());
    p.fillRect(QRect(x0, 0, std::max(1, x1 - x0), height()), QColor(255, 255, 0, 40));
    p.setPen(QPen(Qt::yellow, 1, Qt::DashLine));
    p.drawLine(x0, 0, x0, height());
    p.drawLine(x1, 0, x1, height());
}

// ---- the keyboard and the memory ------------------------------------------------------------

TBuildPicture::TBuildPicture(QWidget* parent) : QWidget(parent) {}

QSize TBuildPicture::sizeHint() const
{
    return {std::max(61 * KeyPixels, 256 * PagePixels) + 2, 43 + 14 + 8 + 20 + 4};
}

void TBuildPicture::setZones(const std::vector<build::BuiltZone>& zones, std::vector<QColor> colours, int selected)
{
    zones_ = zones;
    for (auto& z : zones_)
        z.bytes.clear(); // the picture needs the keys and pages only
    colours_ = std::move(colours);
    selected_ = selected;
    update();
}

void TBuildPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // Five octaves C to C, 7 pixels a key, as the keyboard allocation window.
    constexpr int KeysHeight = 43;
    const int keysWidth = 61 * KeyPixels;
    p.fillRect(0, 0, keysWidth + 1, KeysHeight, Qt::white);
    p.setPen(Qt::black);
    for (int w = 1; w <= 35; ++w)
        p.drawLine(w * 12, 0, w * 12, KeysHeight - 1);
    p.drawRect(0, 0, keysWidth, KeysHeight - 1);
    for (int key = 0; key < 61; ++key) {
        const int s = key % 12;
        if (s == 1 || s == 3 || s == 6 || s == 8 || s == 10)
            p.fillRect(key * KeyPixels, 0, KeyPixels, 26, Qt::black);
    }
    const int spanY = KeysHeight + 2;
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        const auto& z = zones_[i];
        if (z.hi < z.lo)
            continue;
        const QColor c = i < colours_.size() ? colours_[i] : Qt::gray;
        const QRect r((z.lo - build::FirstKey) * KeyPixels, spanY, (z.hi - z.lo + 1) * KeyPixels, 10);
        p.fillRect(r, c);
        p.setPen(static_cast<int>(i) == selected_ ? QPen(Qt::black, 2) : QPen(Qt::black, 1));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        // The root, where it lies on the keyboard.
        if (z.root >= build::FirstKey && z.root <= build::LastKey)
            p.fillRect((z.root - build::FirstKey) * KeyPixels + 2, spanY + 3, 3, 4, Qt::black);
    }
    // 256 pages at 2 pixels each.
    const int memY = spanY + 18;
    p.fillRect(0, memY, 256 * PagePixels + 1, 20, QColor(0x40, 0x40, 0x40));
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        const auto& z = zones_[i];
        const QColor c = i < colours_.size() ? colours_[i] : Qt::gray;
        const QRect r(z.startPage * PagePixels, memY + 2, z.pages() * PagePixels, 16);
        p.fillRect(r, c);
        if (z.looped)
            p.fillRect(QRect(z.loopStartPage * PagePixels, memY + 14, (z.loopEndPage - z.loopStartPage + 1) * PagePixels, 4),
                       Qt::yellow);
        p.setPen(static_cast<int>(i) == selected_ ? QPen(Qt::white, 2) : QPen(Qt::black, 1));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    p.setPen(Qt::black);
    p.drawRect(0, memY, 256 * PagePixels, 20);
}

// ---- the window ---------------------------------------------------------------------------

TfmBuildSound::TfmBuildSound(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmBuildSound");
    setWindowTitle(Caption);
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);

    buildSourceRow();
    QGroupBox* settings = buildSettings();
    buildZoneList();
    buildZoneView();
    buildActions();
    layOut(settings);
    connectHandlers();
    // Read before the choices are connected, so that reading the settings
    // writes nothing back.
    readSettings();
    connectChoices();
    rbHalfClick();
    clearResult();
}

// Where the sound comes from: the files or the folder opened, and a
// SoundFont's preset.
void TfmBuildSound::buildSourceRow()
{
    bnOpen = named(new QPushButton("Open...", this), "bnOpen");
    bnOpen->setToolTip("A SoundFont (.sf2), an SFZ file, or audio files");
    bnFolder = named(new QPushButton("Open Folder...", this), "bnFolder");
    edSource = named(new QLineEdit(this), "edSource");
    edSource->setPlaceholderText("Drop a SoundFont, an SFZ file, audio files or a folder here, or type its path");
    cbPreset = named(new QComboBox(this), "cbPreset");
    cbPreset->setEnabled(false);
    // "128:000 " and a SoundFont's longest name (20 characters) and
    // " (149 zones)": whole, and the same width whatever file is open.
    cbPreset->setMinimumContentsLength(42);
    cbPreset->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
}

// The half to build, its unity key and octave step, how many zones at most,
// and Build.
QGroupBox* TfmBuildSound::buildSettings()
{
    auto* settings = new QGroupBox("Build", this);
    rbLower = named(new QRadioButton("Lower half", settings), "rbLower");
    rbUpper = named(new QRadioButton("Upper half", settings), "rbUpper");
    rbLower->setChecked(true);
    cbUnity = named(new QComboBox(settings), "cbUnity");
    for (int k = build::FirstKey; k <= build::LastKey; ++k)
        cbUnity->addItem(QString("%1 (%2)").arg(qs(build::keyName(k))).arg(k), k);
    cbUnity->setToolTip("The key on which a wavesample made at 29,411 Hz plays at its own pitch; correct it by ear");
    sbOctaveStep = named(new QSpinBox(settings), "sbOctaveStep");
    sbOctaveStep->setRange(1, 7);
    sbOctaveStep->setToolTip("Octave-field steps to one octave; correct it by ear");
    sbFineTune = named(new QSpinBox(settings), "sbFineTune");
    sbFineTune->setRange(-1, 255);
    sbFineTune->setSpecialValueText("Template's");
    sbFineTune->setValue(-1);
    sbFineTune->setToolTip("The fine tune of every wavesample of the half (0-255); \"Template's\": the template's "
                           "first wavesample's. Tune the whole half once by ear");
    sbZones = named(new QSpinBox(settings), "sbZones");
    sbZones->setRange(1, build::MaxWavesamples);
    sbZones->setValue(build::MaxWavesamples);
    sbZones->setToolTip("The builder chooses how many zones keep every key within 7 semitones of its zone's root "
                        "while keeping the most of each, up to this; the report says why");
    cbSpread = named(new QCheckBox("Spread files over the keyboard (drums)", settings), "cbSpread");
    cbSpread->setToolTip("Files without a root note, or a preset's zones, each get an equal share of the keyboard, "
                         "played once at its own pitch; a kit (bank 128) is always spread");
    bnBuild = named(new QPushButton("Build", settings), "bnBuild");
    bnBuild->setEnabled(false);
    auto* grid = new QGridLayout(settings);
    grid->addWidget(rbLower, 0, 0);
    grid->addWidget(rbUpper, 1, 0);
    grid->addWidget(new QLabel("Unity key", settings), 0, 1);
    grid->addWidget(cbUnity, 0, 2);
    grid->addWidget(new QLabel("Fine tune", settings), 1, 1);
    grid->addWidget(sbFineTune, 1, 2);
    grid->addWidget(new QLabel("Octave step", settings), 0, 3);
    grid->addWidget(sbOctaveStep, 0, 4);
    grid->addWidget(new QLabel("Zones at most", settings), 1, 3);
    grid->addWidget(sbZones, 1, 4);
    grid->addWidget(cbSpread, 0, 5, 2, 1);
    grid->setColumnStretch(6, 1);
    grid->addWidget(bnBuild, 0, 7, 2, 1);
    return settings;
}

// The source's zones with their roots, and the table of the zones built.
void TfmBuildSound::buildZoneList()
{
    lwSource = named(new QListWidget(this), "lwSource");
    lwSource->setToolTip("The source's zones by root (a kit's by key); the ticked ones are built (at most 8)");
    // Wide enough for a SoundFont zone's line whole: its root, a sample
    // name of 20 characters and its keys.
    lwSource->setMinimumWidth(fontMetrics().horizontalAdvance("C#4 (61)  P200 Piano D#8(L) Wide, keys 100-127") +
                              lwSource->verticalScrollBar()->sizeHint().width() + 2 * lwSource->frameWidth() + 32);
    cbRoot = named(new QComboBox(this), "cbRoot");
    cbRoot->setToolTip("The root note of the zone selected above: the key it sounds at");
    for (int k = 0; k <= 127; ++k)
        cbRoot->addItem(QString("Root %1 (%2)").arg(qs(build::keyName(k))).arg(k), k);
    cbRoot->setEnabled(false);
    tbZones = named(new QTableWidget(0, 7, this), "tbZones");
    tbZones->setHorizontalHeaderLabels({"Zone", "File", "Root", "Keys", "Pages", "Loop", "Splice"});
    tbZones->setSelectionBehavior(QAbstractItemView::SelectRows);
    tbZones->setSelectionMode(QAbstractItemView::SingleSelection);
    tbZones->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tbZones->verticalHeader()->hide();
    tbZones->horizontalHeader()->setStretchLastSection(true);
    // Eight rows, one for each wavesample, without scrolling.
    tbZones->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    tbZones->setMinimumHeight(tbZones->horizontalHeader()->sizeHint().height() + 8 * (fontMetrics().height() + 8) +
                              2 * tbZones->frameWidth() + tbZones->horizontalScrollBar()->sizeHint().height());
    // Each column as wide as its widest text is likely to be, set once:
    // the window keeps its width from build to build, a wider name scrolls.
    const QStringList widest = {"Zone ", "P200 Piano D#8(L) ", "C#4 (61) ", "100-127", "Pages", "FF-FF fine FF (found)",
                                "Splice", "-120 dB"};
    int width = 2 * tbZones->frameWidth() + tbZones->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < 7; ++c) {
        const QString text = c == 6 ? widest[7] : widest[c];
        const int w = std::max(fontMetrics().horizontalAdvance(text), fontMetrics().horizontalAdvance(
                                                                            tbZones->horizontalHeaderItem(c)->text())) +
                      18;
        tbZones->setColumnWidth(c, w);
        width += w;
    }
    tbZones->setMinimumWidth(width);
}

// The keyboard and memory picture, the selected zone's waveform with the
// player and the key it plays at, and the builder's report.
void TfmBuildSound::buildZoneView()
{
    pcPicture = named(new TBuildPicture(this), "pcPicture");
    wvZone = named(new TLoopWaveView(this), "wvZone");
    wvZone->setMinimumSize(300, 90);
    Player = new TPlayerPanel(this, Ctx().seams);
    Player->setFixedSize(TPlayerPanel::Width, TPlayerPanel::Height);
    bnEditZone = named(new QPushButton("Edit Zone...", this), "bnEditZone");
    bnEditZone->setToolTip("Open the selected zone in the Wave Editor; its Replace in Build puts it back here");
        cbPlayKey = named(new QComboBox(this), "cbPlayKey");
    cbPlayKey->addItem("At its root", -1);
    for (int k = build::FirstKey; k <= build::LastKey; ++k)
        cbPlayKey->addItem(QString("On %1").arg(qs(build::keyName(k))), k);
    edReport = named(new QPlainTextEdit(this), "edReport");
    edReport->setReadOnly(true);
    edReport->setMinimumHeight(70);
    edReport->setMaximumHeight(140);
}

// The status with the progress of a build or a send, and what can be done
// with the result.
void TfmBuildSound::buildActions()
{
    ProgressBar1 = named(new TProgressBar(this), "ProgressBar1");
    ProgressBar1->setRange(0, BarSteps);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
    bnCancel = named(new QPushButton("Cancel", this), "bnCancel");
    bnCancel->hide();
    lbStatus = named(new QLabel("Open a source to build from.", this), "lbStatus");
    // A long account wraps; it does not widen the window.
    lbStatus->setWordWrap(true);
    bnSend = named(new QPushButton("Send to Mirage", this), "bnSend");
    bnSave = named(new QPushButton("Save as .syx...", this), "bnSave");
    cbSlot = named(new QComboBox(this), "cbSlot");
    bnWrite = named(new QPushButton("Write into Image Slot...", this), "bnWrite");
    bnClose = named(new QPushButton("Close", this), "bnClose");
}

// Top to bottom: the source, the settings, the zones (list, table, picture
// and waveform side by side, taking what the window grows by), the report,
// the status and the actions.
void TfmBuildSound::layOut(QGroupBox* settings)
{
    auto* top = new QHBoxLayout;
    top->addWidget(bnOpen);
    top->addWidget(bnFolder);
    top->addWidget(edSource, 1);
    top->addWidget(new QLabel("Preset", this));
    top->addWidget(cbPreset);
    auto* zone = new QHBoxLayout;
    zone->addWidget(Player);
    zone->addWidget(cbPlayKey);
    zone->addStretch(1);
    zone->addWidget(bnEditZone);
    auto* right = new QVBoxLayout;
    right->addWidget(pcPicture);
    right->addWidget(wvZone, 1);
    right->addLayout(zone);
    auto* middle = new QHBoxLayout;
    auto* list = new QVBoxLayout;
    list->addWidget(lwSource, 1);
    list->addWidget(cbRoot);
    middle->addLayout(list);
    middle->addWidget(tbZones, 1);
    middle->addLayout(right);
    auto* progress = new QHBoxLayout;
    progress->addWidget(lbStatus, 1);
    progress->addWidget(ProgressBar1, 1);
    progress->addWidget(bnCancel);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(bnSend);
    bottom->addWidget(bnSave);
    bottom->addWidget(cbSlot);
    bottom->addWidget(bnWrite);
    bottom->addStretch(1);
    bottom->addWidget(bnClose);
    // On a screen too small for all of it the window scrolls, so that it
    // opens within the screen with every text whole.
    content_ = new QWidget;
    auto* all = new QVBoxLayout(content_);
    all->addLayout(top);
    all->addWidget(settings);
    all->addLayout(middle, 1);
    all->addWidget(edReport);
    all->addLayout(progress);
    all->addLayout(bottom);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content_);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
}

void TfmBuildSound::connectHandlers()
{
    connect(bnOpen, &QPushButton::clicked, this, &TfmBuildSound::bnOpenClick);
    connect(bnFolder, &QPushButton::clicked, this, &TfmBuildSound::bnFolderClick);
    connect(edSource, &QLineEdit::returnPressed, this, &TfmBuildSound::edSourceReturn);
    connect(bnBuild, &QPushButton::clicked, this, &TfmBuildSound::bnBuildClick);
    connect(bnSend, &QPushButton::clicked, this, &TfmBuildSound::bnSendClick);
    TSendGuard::guard(bnSend, Ctx().sendBlocked);
    connect(bnSave, &QPushButton::clicked, this, &TfmBuildSound::bnSaveClick);
    connect(bnWrite, &QPushButton::clicked, this, &TfmBuildSound::bnWriteClick);
    connect(bnEditZone, &QPushButton::clicked, this, &TfmBuildSound::bnEditZoneClick);
    connect(bnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(bnCancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    connect(rbLower, &QRadioButton::clicked, this, &TfmBuildSound::rbHalfClick);
    connect(rbUpper, &QRadioButton::clicked, this, &TfmBuildSound::rbHalfClick);
    connect(tbZones, &QTableWidget::itemSelectionChanged, this, &TfmBuildSound::tbZonesSelect);
    connect(cbPlayKey, &QComboBox::currentIndexChanged, this, &TfmBuildSound::cbPlayKeyChange);
    connect(Player->bnPlay, &QToolButton::clicked, Player, &TPlayerPanel::play);
    connect(Player->bnStop, &QToolButton::clicked, Player, &TPlayerPanel::stop);
}

// The choices of what to build: the unity key of the half and the octave
// step are kept as they change; the number of zones ticks the builder's
// choice again; a new preset or spreading the files reads the source's
// zones again; a zone's root is shown and can be given.
void TfmBuildSound::connectChoices()
{
    connect(cbUnity, &QComboBox::activated, this, [this] {
        unityKeys_[half()] = cbUnity->currentData().toInt();
        writeSettings();
    });
    connect(sbOctaveStep, &QSpinBox::valueChanged, this, [this] { writeSettings(); });
    connect(sbFineTune, &QSpinBox::valueChanged, this, [this] {
        fineTunes_[half()] = sbFineTune->value();
        writeSettings();
    });
    connect(sbZones, &QSpinBox::valueChanged, this, &TfmBuildSound::TickChosen);
    const auto reread = [this] {
        if (sources_.empty() || busy_)
            return;
        if (const std::string error = ReadZones(); !error.empty())
            Ctx().seams.messageBox(error, Caption, BoxButtons::Ok);
    };
    connect(cbPreset, &QComboBox::activated, this, reread);
    connect(lwSource, &QListWidget::currentRowChanged, this, &TfmBuildSound::lwSourceSelect);
    connect(cbRoot, &QComboBox::activated, this, &TfmBuildSound::cbRootChange);
    connect(cbSpread, &QCheckBox::toggled, this, reread);
}

int TfmBuildSound::half() const { return rbUpper->isChecked() ? 1 : 0; }

void TfmBuildSound::SetSettingsFile(const std::string& path) { settingsFile() = path; }

// "UnityLower=52", "UnityUpper=81", "OctaveStep=1", a line each; a value
// missing or out of range keeps its default.
void TfmBuildSound::readSettings()
{
    std::ifstream in(settingsFile());
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const int value = build::parseKey(line.substr(eq + 1));
        if (key == "UnityLower" && value >= build::FirstKey && value <= build::LastKey)
            unityKeys_[0] = value;
        else if (key == "UnityUpper" && value >= build::FirstKey && value <= build::LastKey)
            unityKeys_[1] = value;
        else if (key == "OctaveStep" && value >= 1 && value <= 7)
            sbOctaveStep->setValue(value);
        else if (key == "FineLower" || key == "FineUpper")
            try {
                if (const int fine = std::stoi(line.substr(eq + 1)); fine >= -1 && fine <= 255)
                    fineTunes_[key == "FineUpper" ? 1 : 0] = fine;
            } catch (...) {
            }
    }
}

void TfmBuildSound::writeSettings() const
{
    if (settingsFile().empty())
        return;
    const std::string text = "UnityLower=" + std::to_string(unityKeys_[0]) + "\nUnityUpper=" +
                             std::to_string(unityKeys_[1]) + "\nOctaveStep=" + std::to_string(sbOctaveStep->value()) +
                             "\nFineLower=" + std::to_string(fineTunes_[0]) + "\nFineUpper=" + std::to_string(fineTunes_[1]) + "\n";
    if (const auto failure = writeFileAtomically(settingsFile(), {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}))
        lbStatus->setText(qs("Settings not kept: " + failure->reason() + "."));
}

void TfmBuildSound::rbHalfClick()
{
    // The unity key of the half, and the image slots of the half.
    cbUnity->setCurrentIndex(cbUnity->findData(unityKeys_[half()]));
    const QSignalBlocker quiet(sbFineTune);
    sbFineTune->setValue(fineTunes_[half()]);
    cbSlot->clear();
    for (int slot = half(); slot < disk::Layout::Slots; slot += 2)
        cbSlot->addItem(qs(disk::slotName(slot)), slot);
    clearResult();
}

void TfmBuildSound::bnOpenClick()
{
    const std::string path = Ctx().seams.openFileName(SourceFilter);
    if (path.empty())
        return;
    if (const std::string error = OpenSources({path}); !error.empty())
        Ctx().seams.messageBox(error, Caption, BoxButtons::Ok);
}

void TfmBuildSound::bnFolderClick()
{
    const std::string folder = Ctx().seams.chooseFolder("Build Sound from a Folder");
    if (folder.empty())
        return;
    if (const std::string error = OpenSources({folder}); !error.empty())
        Ctx().seams.messageBox(error, Caption, BoxButtons::Ok);
}

void TfmBuildSound::edSourceReturn()
{
    if (busy_)
        return;
    std::vector<std::string> paths;
    for (QString path : edSource->text().split(';', Qt::SkipEmptyParts)) {
        path = path.trimmed();
        if (path.startsWith("~/"))
            path = QDir::homePath() + path.mid(1);
        if (!path.isEmpty())
            paths.push_back(path.toStdString());
    }
    if (const std::string error = OpenSources(paths); !error.empty())
        Ctx().seams.messageBox(error, Caption, BoxButtons::Ok);
}

std::string TfmBuildSound::OpenSources(const std::vector<std::string>& paths)
{
    if (busy_)
        return {};
    clearResult();
    sources_.clear();
    source_ = {};
    lwSource->clear();
    cbPreset->clear();
    cbPreset->setEnabled(false);
    bnBuild->setEnabled(false);
    edSource->clear();
    if (paths.empty())
        return {};
    QStringList shown;
    for (const std::string& p : paths)
        shown << qs(p);
    edSource->setText(shown.join("; "));
    sources_ = paths;
    const bool soundFont = paths.size() == 1 && extension(paths[0]) == ".sf2";
    // A SoundFont opens on its lowest bank:program, as the command line's.
    const std::string error = readSource([&paths, soundFont, spread = cbSpread->isChecked()] {
        build::Source s = soundFont ? build::readSoundFont(paths[0], std::string()) : build::readSources(paths, "", spread, true);
        if (soundFont && spread && s.ok())
            s.spread = true;
        return s;
    });
    if (soundFont && !source_.presets.empty()) {
        std::vector<build::PresetInfo> presets = source_.presets;
        std::sort(presets.begin(), presets.end(), [](const build::PresetInfo& a, const build::PresetInfo& b) {
            return a.bank != b.bank ? a.bank < b.bank : a.program < b.program;
        });
        for (const build::PresetInfo& p : presets)
            cbPreset->addItem(QString("%1 (%2 %3)")
                                  .arg(qs(build::presetLabel(p)))
                                  .arg(p.zones)
                                  .arg(p.zones == 1 ? "zone" : "zones"),
                              p.index);
        const int at = cbPreset->findText(qs(source_.preset), Qt::MatchStartsWith);
        cbPreset->setCurrentIndex(std::max(0, at));
        cbPreset->setEnabled(true);
    }
    return error;
}

std::string TfmBuildSound::ReadZones()
{
    if (busy_)
        return {};
    const int preset = cbPreset->count() > 0 ? cbPreset->currentData().toInt() : -1;
    return readSource([this, preset, spread = cbSpread->isChecked()] {
        build::Source s = preset >= 0 ? build::readSoundFont(sources_.front(), preset)
                                      : build::readSources(sources_, "", spread, true);
        if (preset >= 0 && spread && s.ok())
            s.spread = true;
        return s;
    });
}

// The source `read` gives, read off the window's thread, into the list
// with the builder's own choice ticked; "" or what is wrong.
std::string TfmBuildSound::readSource(const std::function<build::Source()>& read)
{
    clearResult();
    lwSource->clear();
    build::Source source;
    setBusy(true);
    lbStatus->setText("Opening...");
    const std::string failure = offThread([&] { source = read(); });
    source_ = std::move(source);
    if (!failure.empty())
        source_.error = "The source cannot be read. " + failure;
    setBusy(false);
    bnBuild->setEnabled(source_.ok());
    if (!source_.ok()) {
        lbStatus->setText("Refused: nothing to build from.");
        return source_.error;
    }
    listZones({});
    TickChosen();
    const auto rootless = std::count_if(source_.zones.begin(), source_.zones.end(),
                                        [](const build::Zone& z) { return z.root() == build::NoKey; });
    const QString zones = QString("%1 %2").arg(source_.zones.size()).arg(source_.zones.size() == 1 ? "zone" : "zones");
    const QString kit = source_.kit ? QString(", a kit: its drums by role are ticked") : QString();
    lbStatus->setText(rootless > 0 ? QString("%1, %2 without a root note: select each and choose its root.").arg(zones).arg(rootless)
                                   : QString("%1%2. Choose the half and press Build.").arg(zones, kit));
    return {};
}

// The zones by root, ticked as `ticked` says (their keys).
void TfmBuildSound::listZones(const std::vector<std::string>& ticked)
{
    lwSource->clear();
    for (const build::Zone& z : build::zonesByRoot(source_)) {
        const QString keys = z.lo == build::NoKey ? QString() : QString(", keys %1-%2").arg(z.lo).arg(z.hi);
        const QString root = z.root() == build::NoKey ? QString("? (no root)")
                                                      : QString("%1 (%2)").arg(qs(build::keyName(z.root()))).arg(z.root());
        auto* item = new QListWidgetItem(QString("%1  %2%3").arg(root, qs(z.name), keys), lwSource);
        item->setToolTip(item->text());
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(std::find(ticked.begin(), ticked.end(), zoneKey(z)) != ticked.end() ? Qt::Checked
                                                                                                 : Qt::Unchecked);
        if (!build::onTheKeyboard(z) && !source_.kit && !source_.spread)
            item->setToolTip(item->text() + ": off the keyboard");
        else if (z.root() == build::NoKey)
            item->setToolTip(item->text() + ": give it its root note below");
    }
    lwSourceSelect();
}

void TfmBuildSound::lwSourceSelect()
{
    const std::vector<build::Zone> sorted = build::zonesByRoot(source_);
    const int row = lwSource->currentRow();
    cbRoot->setEnabled(!busy_ && row >= 0 && row < static_cast<int>(sorted.size()));
    if (!cbRoot->isEnabled()) {
        cbRoot->setCurrentIndex(-1);
        return;
    }
    cbRoot->setCurrentIndex(cbRoot->findData(sorted[static_cast<std::size_t>(row)].root()));
}

// The user's root for the selected zone; the list is sorted again, the zone
// ticked.
void TfmBuildSound::cbRootChange()
{
    const std::vector<build::Zone> sorted = build::zonesByRoot(source_);
    const int row = lwSource->currentRow();
    if (row < 0 || row >= static_cast<int>(sorted.size()) || cbRoot->currentIndex() < 0)
        return;
    const std::string key = zoneKey(sorted[static_cast<std::size_t>(row)]);
    std::vector<std::string> ticked = {key};
    for (int i = 0; i < lwSource->count(); ++i)
        if (lwSource->item(i)->checkState() == Qt::Checked)
            ticked.push_back(zoneKey(sorted[static_cast<std::size_t>(i)]));
    for (build::Zone& z : source_.zones)
        if (zoneKey(z) == key)
            z.pitch = cbRoot->currentData().toInt();
    clearResult();
    listZones(ticked);
    for (int i = 0; i < lwSource->count(); ++i)
        if (zoneKey(build::zonesByRoot(source_)[static_cast<std::size_t>(i)]) == key)
            lwSource->setCurrentRow(i);
}

void TfmBuildSound::TickChosen()
{
    if (!source_.ok() || lwSource->count() == 0)
        return;
    const std::vector<int> chosen =
        build::chosenZones(build::zonesByRoot(source_), sbZones->value(), source_.kit, source_.spread);
    for (int i = 0; i < lwSource->count(); ++i)
        lwSource->item(i)->setCheckState(std::find(chosen.begin(), chosen.end(), i) != chosen.end() ? Qt::Checked
                                                                                                     : Qt::Unchecked);
}

void TfmBuildSound::setBusy(bool busy)
{
    busy_ = busy;
    for (QWidget* w : std::initializer_list<QWidget*>{bnOpen, bnFolder, edSource, cbPreset, rbLower, rbUpper, cbSpread, sbZones,
                                                      sbFineTune, lwSource, cbRoot, bnBuild, bnSend, bnSave, bnWrite, cbSlot,
                                                      bnClose})
        w->setEnabled(!busy);
    if (!busy) {
        cbPreset->setEnabled(cbPreset->count() > 0);
        lwSourceSelect();
        bnBuild->setEnabled(!sources_.empty() && source_.ok() && !source_.zones.empty());
        const bool built = result_.has_value();
        bnSend->setEnabled(built);
        bnSave->setEnabled(built);
        bnWrite->setEnabled(built);
        cbSlot->setEnabled(built);
        bnEditZone->setEnabled(built && Ctx().windowNamed);
    }
}

void TfmBuildSound::clearResult()
{
    result_.reset();
    tbZones->setRowCount(0);
    pcPicture->setZones({}, {}, -1);
    wvZone->setSamples({});
    wvZone->setLoop(std::nullopt);
    Player->withdraw();
    edReport->clear();
    setBusy(busy_);
}

void TfmBuildSound::bnBuildClick()
{
    if (sources_.empty() || busy_)
        return;
    clearResult();
    build::BuildOptions options;
    options.half = half();
    options.unityKey = cbUnity->currentData().toInt();
    options.octaveStep = sbOctaveStep->value();
    options.fineTune = sbFineTune->value();
    options.zones = sbZones->value();
    // The template: the half as the program holds it, else the default.
    if (Mirage().Received(MirageProtocol::ProgramArrival(half()))) {
        const std::uint8_t* held = half() ? Mirage().UpperProgramDump : Mirage().LowerProgramDump;
        options.templateDump.assign(held, held + ProgramDumpSize);
        options.templateDump.back() = 0xF7;
    } else {
        options.templateDump = emu::MirageEmulator().programDump(half());
    }
    for (int i = 0; i < lwSource->count(); ++i)
        if (lwSource->item(i)->checkState() == Qt::Checked)
            options.keep.push_back(i);
    if (options.keep.empty() || static_cast<int>(options.keep.size()) > build::MaxWavesamples) {
        Ctx().seams.messageBox("Tick from 1 to 8 zones to build (" + std::to_string(options.keep.size()) +
                                   (options.keep.size() == 1 ? " is" : " are") + " ticked).",
                               Caption, BoxButtons::Ok);
        return;
    }

    build::BuildResult built;
    setBusy(true);
    lbStatus->setText("Building...");
    bnCancel->setEnabled(true);
    {
        AudioProgress progress(ProgressBar1, bnCancel, {});
        progress.run([&](const audio::Work& work) {
            options.progress = work.progress;
            options.cancel = work.cancel;
            // No exception leaves the builder's thread.
            try {
                built = build::buildHalf(source_, options);
            } catch (const std::bad_alloc&) {
                built = {};
                built.error = build::BuildError::Audio;
                built.text = "There is not enough memory to build this sound.";
            } catch (const std::exception& e) {
                built = {};
                built.error = build::BuildError::Audio;
                built.text = std::string("The build failed: ") + e.what() + ".";
            }
        });
    }
    setBusy(false);
    if (!built.ok()) {
        lbStatus->setText(built.error == build::BuildError::Cancelled ? "Cancelled: nothing built."
                                                                      : "Not built: nothing will be sent or written.");
        if (built.error != build::BuildError::Cancelled)
            Ctx().seams.messageBox(built.text, Caption, BoxButtons::Ok);
        return;
    }
    for (std::size_t i = 0; i < built.zones.size() && i < 8; ++i) {
        built.half.names[i] = fs::path(built.zones[i].name).stem().string();
        built.half.colours[i] = Ctx().wavesampleColour(half() * 8 + static_cast<int>(i));
    }
    built.half.hasNames = true;
    result_ = std::move(built);
    ++builds_;
    showResult();
    setBusy(false);
}

void TfmBuildSound::showResult()
{
    const build::BuildResult& r = *result_;
    tbZones->setRowCount(static_cast<int>(r.zones.size()));
    std::vector<QColor> colours;
    for (std::size_t i = 0; i < r.zones.size(); ++i) {
        const build::BuiltZone& z = r.zones[i];
        const int row = static_cast<int>(i);
        colours.push_back(fromWindowsColour(Ctx().wavesampleColour(half() * 8 + row)));
        const auto hex = [](int v) { return QString("%1").arg(v, 2, 16, QChar('0')).toUpper(); };
        const QString loop = !z.looped ? QString("off")
                                       : QString("%1-%2 fine %3%4")
                                             .arg(hex(z.loopStartPage), hex(z.loopEndPage), hex(z.loopEndFine),
                                                  z.foundLoop ? " (found)" : "");
        const QStringList cells = {QString("%1%2").arg(half() ? 'U' : 'L').arg(row + 1),
                                   qs(z.name),
                                   QString("%1 (%2)").arg(qs(build::keyName(z.root))).arg(z.root),
                                   QString("%1-%2").arg(z.lo).arg(z.hi),
                                   QString::number(z.pages()),
                                   loop,
                                   z.spliceDb ? QString("%1 dB").arg(*z.spliceDb, 0, 'f', 0) : QString()};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 0) {
                item->setBackground(colours.back());
                item->setForeground(colours.back().lightness() > 128 ? Qt::black : Qt::white);
            }
            item->setToolTip(cells[c]);
            tbZones->setItem(row, c, item);
        }
    }
    // The same account as the command line's.
    QStringList report;
    for (const std::string& line : build::reportLines(r))
        report << qs(line);
    edReport->setPlainText(report.join('\n'));
    // Columns widen for a longer text; the window keeps its size (the
    // table scrolls).
    for (int c = 0; c + 1 < tbZones->columnCount(); ++c)
        for (int row = 0; row < tbZones->rowCount(); ++row)
            if (const QTableWidgetItem* item = tbZones->item(row, c))
                tbZones->setColumnWidth(c, std::max(tbZones->columnWidth(c),
                                                    tbZones->fontMetrics().horizontalAdvance(item->text()) + 18));
    pcPicture->setZones(r.zones, colours, 0);
    lbStatus->setText(qs(build::builtSummary(r)) + QString(" Sending takes about %1 s.")
                                                       .arg((sound::sendMs(sound::Sound{{r.half}}) + 999) / 1000));
    lbStatus->setToolTip(lbStatus->text());
    tbZones->selectRow(0);
    tbZonesSelect();
}

void TfmBuildSound::tbZonesSelect()
{
    if (!result_ || result_->zones.empty())
        return;
    const int row = std::clamp(tbZones->currentRow(), 0, static_cast<int>(result_->zones.size()) - 1);
    const build::BuiltZone& z = result_->zones[static_cast<std::size_t>(row)];
    wvZone->setSamples(z.bytes);
    if (z.looped)
        wvZone->setLoop(std::pair{(z.loopStartPage - z.startPage) * 256, (z.loopEndPage - z.startPage) * 256 + z.loopEndFine + 1});
    else
        wvZone->setLoop(std::nullopt);
    std::vector<QColor> colours;
    for (std::size_t i = 0; i < result_->zones.size(); ++i)
        colours.push_back(fromWindowsColour(Ctx().wavesampleColour(half() * 8 + static_cast<int>(i))));
    pcPicture->setZones(result_->zones, colours, row);
    cbPlayKeyChange();
}

void TfmBuildSound::bnEditZoneClick()
{
    if (!result_ || result_->zones.empty() || busy_ || !Ctx().windowNamed)
        return;
    auto* editor = qobject_cast<TfmWaveEditor*>(Ctx().windowNamed("TfmWaveEditor"));
    if (!editor)
        return;
    const int row = std::clamp(tbZones->currentRow(), 0, static_cast<int>(result_->zones.size()) - 1);
    const build::BuiltZone& z = result_->zones[static_cast<std::size_t>(row)];
    TfmWaveEditor::BuiltZone zone;
    zone.name = std::string(half() ? "U" : "L") + std::to_string(row + 1) + " " + z.name;
    zone.startPage = z.startPage;
    zone.pages = z.pages();
    zone.bytes = z.bytes;
    if (z.looped)
        zone.loop = {true, (z.loopStartPage - z.startPage) * 256, (z.loopEndPage - z.startPage) * 256 + z.loopEndFine};
    zone.replace = [this, builds = builds_, row](const std::vector<std::uint8_t>& bytes, const waveedit::Loop& loop) {
        return replaceZone(builds, row, bytes, loop.on, loop.start, loop.end);
    };
    editor->OpenBuiltZone(std::move(zone));
    editor->ShowAndActivate();
}

// A zone edited in the Wave Editor back into the half: its pages, its loop
// pointers and its splice as measured; the rest of the half as it was.
std::string TfmBuildSound::replaceZone(int builds, int row, const std::vector<std::uint8_t>& bytes, bool looped,
                                       int loopStart, int loopEnd)
{
    if (!result_ || builds != builds_ || busy_ || row >= static_cast<int>(result_->zones.size()))
        return "The half has been built again since the zone was opened; open the zone of the new build to edit it.";
    build::BuiltZone& z = result_->zones[static_cast<std::size_t>(row)];
    sound::Half& h = result_->half;
    const auto entries = sound::wavesampleEntries(h.programDump);
    const int dump = entries[static_cast<std::size_t>(row)].dump;
    if (bytes.size() != z.bytes.size() || dump < 0 || dump >= static_cast<int>(h.wavesampleDumps.size()))
        return "The zone's pages in the build are not the ones it was opened with; the build was not changed.";
    z.bytes = bytes;
    h.wavesampleDumps[static_cast<std::size_t>(dump)] = makeWavesampleDump(z.pages(), bytes);
    z.looped = looped;
    z.foundLoop = false;
    z.spliceDb.reset();
    const auto set = [&h, row](int offset, int value) {
        setNibblePair(h.programDump.data(), h.programDump.size(), wavesampleFieldPos(row, offset), value);
    };
    set(wsf::LoopSwitch, looped ? 1 : 0);
    if (looped) {
        z.loopStartPage = z.startPage + loopStart / 256;
        z.loopEndPage = z.startPage + loopEnd / 256;
        z.loopEndFine = loopEnd % 256;
        z.loopLength = loopEnd - loopStart + 1;
        set(wsf::LoopStart, z.loopStartPage);
        set(wsf::LoopEnd, z.loopEndPage);
        set(wsf::LoopEndFine, z.loopEndFine);
        std::vector<float> audio;
        for (const std::uint8_t b : bytes)
            audio.push_back((static_cast<float>(b) - 128.0f) / 128.0f);
        z.spliceDb = build::spliceDb(audio, loopStart, z.loopLength);
    }
    showResult();
    tbZones->selectRow(row);
    tbZonesSelect();
    return {};
}

void TfmBuildSound::cbPlayKeyChange()
{
    if (!result_ || result_->zones.empty())
        return;
    const int row = std::clamp(tbZones->currentRow(), 0, static_cast<int>(result_->zones.size()) - 1);
    const build::BuiltZone& z = result_->zones[static_cast<std::size_t>(row)];
    // The bytes sound at the root moved by the resampled remainder; played
    // faster or slower they sound at the root or at the key chosen.
    const int key = cbPlayKey->currentData().toInt() < 0 ? z.root : cbPlayKey->currentData().toInt();
    PlaySound sound;
    sound.samples = z.bytes;
    sound.rate = static_cast<int>(std::lround(build::WavesampleRate * std::pow(2.0, (key - z.root + z.resample) / 12.0)));
    if (z.looped)
        sound.loop = SoundLoop{static_cast<std::size_t>((z.loopStartPage - z.startPage) * 256),
                               static_cast<std::size_t>((z.loopEndPage - z.startPage) * 256 + z.loopEndFine + 1)};
    Player->offer(std::move(sound));
}

void TfmBuildSound::bnSendClick()
{
    if (!result_ || busy_)
        return;
    const sound::Sound sound{{result_->half}};
    Converse([this, sound] {
        setBusy(true);
        cancelled_ = false;
        ProgressBar1->setValue(0);
        ProgressBar1->show();
        bnCancel->show();
        bnCancel->setEnabled(true);
        sound::JobHooks hooks;
        hooks.wait = [this](int ms) { Mirage().WaitAcceptingInput(ms); };
        hooks.cancelled = [this] { return cancelled_; };
        hooks.progress = [this](const std::string& status, long long done, long long total) {
            ProgressBar1->setValue(total > 0 ? static_cast<int>(std::min(1.0, static_cast<double>(done) / total) * BarSteps) : 0);
            lbStatus->setText(qs(status));
        };
        const sound::SendResult r = sound::sendSound(Mirage(), sound, hooks);
        ProgressBar1->hide();
        bnCancel->hide();
        if (r.end == sound::JobEnd::Done)
            for (std::size_t w = 0; w < 8; ++w)
                Ctx().wavesampleNames[static_cast<std::size_t>(half()) * 8 + w] = sound.halves[0].names[w];
        lbStatus->setText(qs(sound::sendSummary(sound, r)));
        setBusy(false);
        if (r.end == sound::JobEnd::Failed)
            Ctx().seams.messageBox(r.text, Caption, BoxButtons::Ok);
    });
}

void TfmBuildSound::bnSaveClick()
{
    if (!result_ || busy_)
        return;
    const std::string path = Ctx().seams.saveFileName(SyxFilter, half() ? "upper.syx" : "lower.syx");
    if (path.empty())
        return;
    const sound::Bytes image = sound::fileImage(sound::Sound{{result_->half}});
    if (const std::string error = sound::writeAtomically(path, image); !error.empty()) {
        lbStatus->setText("Not saved: no file written.");
        Ctx().seams.messageBox(error, Caption, BoxButtons::Ok);
        return;
    }
    lbStatus->setText(QString("Saved \"%1\" (%2 bytes).").arg(qs(fs::path(path).filename().string())).arg(image.size()));
}

// The image is read again from its file when written, and a copy of it as
// it was is kept beside it (IMAGE.bak), as the Disk Images window keeps one.
void TfmBuildSound::bnWriteClick()
{
    if (!result_ || busy_)
        return;
    const int slot = cbSlot->currentData().toInt();
    const std::string path = Ctx().seams.openFileName(ImageFilter);
    if (path.empty())
        return;
    disk::Image before;
    if (const std::string error = before.open(path); !error.empty()) {
        lbStatus->setText("Not written: the image is unchanged.");
        Ctx().seams.messageBox(error, Caption, BoxButtons::Ok);
        return;
    }
    const std::string name = fs::path(path).filename().string();
    const std::string backup = path + ".bak";
    if (Ctx().seams.messageBox("Writing replaces " + disk::slotName(slot) + " of \"" + name + "\" (" + disk::slotSummary(before, slot) +
                                   ") with the built half. A copy of the image as it is now is kept as \"" +
                                   fs::path(backup).filename().string() + "\". Continue?",
                               Caption, BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    std::string error = before.save(backup);
    if (error.empty())
        error = disk::insertHalf(path, slot, result_->half);
    if (!error.empty()) {
        lbStatus->setText("Not written: the image is unchanged.");
        Ctx().seams.messageBox(error, Caption, BoxButtons::Ok);
        return;
    }
    lbStatus->setText(qs("Written into " + disk::slotName(slot) + " of \"" + name + "\"; the image as it was is kept as \"" +
                         fs::path(backup).filename().string() + "\"."));
}

void TfmBuildSound::dragEnterEvent(QDragEnterEvent* e)
{
    if (!busy_ && e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void TfmBuildSound::dropEvent(QDropEvent* e)
{
    std::vector<std::string> paths;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile())
            paths.push_back(url.toLocalFile().toStdString());
    if (paths.empty())
        return;
    e->acceptProposedAction();
    if (const std::string error = OpenSources(paths); !error.empty())
        Ctx().seams.messageBox(error, Caption, BoxButtons::Ok);
}

void TfmBuildSound::showEvent(QShowEvent* e)
{
    TFormBase::showEvent(e);
    if (placed_)
        return;
    placed_ = true;
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame the window manager adds, as far as it is known yet.
    const QRect area = screen->availableGeometry();
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize room = area.size() - frame;
    // All of it without scroll bars where the screen has room.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
    resize(size().expandedTo(content_->sizeHint() + QSize(bar, bar)).boundedTo(room).expandedTo(minimumSizeHint()));
    QRect g = frameGeometry();
    g.moveLeft(std::clamp(g.left(), area.left(), std::max(area.left(), area.right() - g.width() + 1)));
    g.moveTop(std::clamp(g.top(), area.top(), std::max(area.top(), area.bottom() - g.height() + 1)));
    move(g.topLeft());
}

void TfmBuildSound::closeEvent(QCloseEvent* e)
{
    if (busy_) {
        cancelled_ = true;
        e->ignore();
        return;
    }
    TFormBase::closeEvent(e);
}

} // namespace corvane
