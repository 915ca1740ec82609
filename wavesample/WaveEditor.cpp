#include "WaveEditor.h"

#include "BuildSources.h"
#include "DiskImage.h"
#include "Dumps.h"
#include "HexText.h"
#include "Named.h"
#include "PlayerPanel.h"
#include "SoundBuilder.h"
#include "SoundFile.h"
#include "SoundTransfer.h"
#include "WaveEditView.h"
#include "WsAudio.h"
#include "WsSend.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryFile>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace corvane {

using waveedit::FadeShape;
using waveedit::Loop;
using waveedit::PageBytes;
using waveedit::Range;
using waveedit::WaveBuffer;

namespace {

constexpr const char* const SendCaption = "Send to Mirage";

std::string hexPages(int pages)
{
    char t[8];
    std::snprintf(t, sizeof t, "%02X", std::max(pages, 0));
    return t;
}

// The loop of wavesample `w` as a program dump gives it, from the
// wavesample's first page; off when the instrument could not play it in
// `samples` samples.
Loop loopIn(std::span<const std::uint8_t> programDump, int w, int samples)
{
    const auto field = [&](int offset) { return getNibblePair(programDump.data(), programDump.size(), wavesampleFieldPos(w, offset)); };
    const int start = field(wsf::StartPage);
    Loop loop;
    loop.on = field(wsf::LoopSwitch) != 0;
    loop.start = (field(wsf::LoopStart) - start) * PageBytes;
    loop.end = (field(wsf::LoopEnd) - start) * PageBytes + field(wsf::LoopEndFine);
    if (!waveedit::loopProblem(loop, samples).empty())
        loop.on = false;
    return loop;
}

} // namespace

TfmWaveEditor::TfmWaveEditor(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmWaveEditor");
    setWindowTitle(Caption);
    SetSizableFrame({760, 470}, Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    UseEditorFont();
    setAcceptDrops(true);
    // Undo and Redo are the editor's own while it is active.
    removeAction(UndoAction());
    removeAction(RedoAction());
    buildControls();
    buildMenus();
    updateActions();
    showFigures();
}

TfmWaveEditor::~TfmWaveEditor() = default;

QAction* TfmWaveEditor::item(QMenu* menu, const char* name, const QString& text, std::function<void()> fn,
                             const QKeySequence& key)
{
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    if (!key.isEmpty())
        a->setShortcut(key);
    connect(a, &QAction::triggered, this, [fn = std::move(fn)] { fn(); });
    addAction(a); // its shortcut works wherever the focus is in the window
    return a;
}

void TfmWaveEditor::buildMenus()
{
    using W = WaveBuffer;
    mnFile = MainMenu->addMenu("&File");
    acOpenCurrent = item(mnFile, "acOpenCurrent", "Open &Current Wavesample", [this] { acOpenCurrentClick(); },
                         QKeySequence("Ctrl+G"));
    acOpenFile = item(mnFile, "acOpenFile", "&Open Audio File...", [this] { acOpenFileClick(); }, QKeySequence("Ctrl+O"));
    acOpenSound = item(mnFile, "acOpenSound", "Open from Sound &File...", [this] { acOpenSoundClick(); });
    acOpenImage = item(mnFile, "acOpenImage", "Open from &Disk Image...", [this] { acOpenImageClick(); });
    mnFile->addSeparator();
    acSend = item(mnFile, "acSend", "Send to &Mirage", [this] { acSendClick(); }, QKeySequence("Ctrl+M"));
    acSaveWav = item(mnFile, "acSaveWav", "Save as &WAV...", [this] { acSaveWavClick(); }, QKeySequence("Ctrl+S"));
    acSaveSyx = item(mnFile, "acSaveSyx", "Save as .s&yx...", [this] { acSaveSyxClick(); });
    acWriteSlot = item(mnFile, "acWriteSlot", "Write into Image &Slot", [this] { acWriteSlotClick(); });
    acReplaceInBuild = item(mnFile, "acReplaceInBuild", "&Replace in Build", [this] { acReplaceInBuildClick(); });
    mnFile->addSeparator();
    acClose = item(mnFile, "acClose", "&Close", [this] { close(); });

    mnEdit = MainMenu->addMenu("&Edit");
    acUndo = item(mnEdit, "acUndo", "&Undo", [this] { buffer_->undo(); edited(); }, QKeySequence("Ctrl+Z"));
    acRedo = item(mnEdit, "acRedo", "&Redo", [this] { buffer_->redo(); edited(); }, QKeySequence("Ctrl+Shift+Z"));
    acRedo->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
    mnEdit->addSeparator();
    acCut = item(mnEdit, "acCut", "Cu&t", [this] { cut(); }, QKeySequence("Ctrl+X"));
    acCopy = item(mnEdit, "acCopy", "&Copy", [this] { copy(); }, QKeySequence("Ctrl+C"));
    acPaste = item(mnEdit, "acPaste", "&Paste", [this] { paste(false); }, QKeySequence("Ctrl+V"));
    acPasteMix = item(mnEdit, "acPasteMix", "Paste &Mix...", [this] { paste(true); }, QKeySequence("Ctrl+Shift+V"));
    acDelete = item(mnEdit, "acDelete", "&Delete", [this] { edit([](W& w, Range r) { w.erase(r); }, true, "Delete"); },
                    QKeySequence(Qt::Key_Delete));
    acTrim = item(mnEdit, "acTrim", "T&rim to Selection", [this] {
        edit([](W& w, Range r) { w.trim(r); }, true, "Trim to Selection");
    });
    acInsertSilence = item(mnEdit, "acInsertSilence", "Insert &Silence...", [this] { insertSilence(); });
    mnEdit->addSeparator();
    acSelectAll = item(mnEdit, "acSelectAll", "Select &All", [this] { pbWave->setSelection(buffer_->whole()); },
                       QKeySequence("Ctrl+A"));
    acPencil = item(mnEdit, "acPencil", "Pe&ncil", [this] { pbWave->setPencil(acPencil->isChecked()); });
    acPencil->setCheckable(true);
    acPencil->setToolTip("Redraw samples with the mouse once single samples show");

    mnProcess = MainMenu->addMenu("&Process");
    acGain = item(mnProcess, "acGain", "&Gain...", [this] {
        askAndProcess("Gain", {{"edGainDb", "Gain (dB)", 3, -48, 48}},
                      [](W& w, Range r, const std::vector<double>& v) { w.gain(r, v[0]); });
    });
    acNormalise = item(mnProcess, "acNormalise", "&Normalise", [this] { edit([](W& w, Range r) { w.normalise(r); }); });
    mnProcess->addSeparator();
    acFadeIn = item(mnProcess, "acFadeIn", "Fade &In", [this] {
        edit([](W& w, Range r) { w.fadeIn(r, FadeShape::Linear); });
    });
    acFadeOut = item(mnProcess, "acFadeOut", "Fade &Out", [this] {
        edit([](W& w, Range r) { w.fadeOut(r, FadeShape::Linear); });
    });
    acFadeInPower = item(mnProcess, "acFadeInPower", "Fade In (Equal Power)", [this] {
        edit([](W& w, Range r) { w.fadeIn(r, FadeShape::EqualPower); });
    });
    acFadeOutPower = item(mnProcess, "acFadeOutPower", "Fade Out (Equal Power)", [this] {
        edit([](W& w, Range r) { w.fadeOut(r, FadeShape::EqualPower); });
    });
    mnProcess->addSeparator();
    acReverse = item(mnProcess, "acReverse", "&Reverse", [this] { edit([](W& w, Range r) { w.reverse(r); }); });
    acInvert = item(mnProcess, "acInvert", "In&vert", [this] { edit([](W& w, Range r) { w.invert(r); }); });
    acRemoveDc = item(mnProcess, "acRemoveDc", "Remove &DC", [this] { edit([](W& w, Range r) { w.removeDc(r); }); });
    mnProcess->addSeparator();
    acLowPass = item(mnProcess, "acLowPass", "&Low-Pass...", [this] {
        askAndProcess("Low-Pass", {{"edCutoffHz", "Cutoff (Hz)", 4000, 20, 14000, 0}},
                      [](W& w, Range r, const std::vector<double>& v) { w.lowPass(r, v[0]); });
    });
    acHighPass = item(mnProcess, "acHighPass", "&High-Pass...", [this] {
        askAndProcess("High-Pass", {{"edCutoffHz", "Cutoff (Hz)", 100, 20, 14000, 0}},
                      [](W& w, Range r, const std::vector<double>& v) { w.highPass(r, v[0]); });
    });
    acEqualiser = item(mnProcess, "acEqualiser", "&Equaliser...", [this] {
        askAndProcess("Equaliser",
                      {{"edLowDb", "Low, 200 Hz (dB)", 0, -24, 24}, {"edMidDb", "Mid, 1 kHz (dB)", 0, -24, 24},
                       {"edHighDb", "High, 4 kHz (dB)", 0, -24, 24}},
                      [](W& w, Range r, const std::vector<double>& v) { w.equalise(r, {v[0], v[1], v[2]}); });
    });
    mnProcess->addSeparator();
    acResample = item(mnProcess, "acResample", "Re&sample...", [this] {
        askAndProcess("Resample", {{"edSemitones", "Semitones", 0, -24, 24, 0}, {"edCents", "Cents", 0, -99, 99, 0}},
                      [this](W& w, Range r, const std::vector<double>& v) {
                          if (!w.resample(r, v[0] + v[1] / 100))
                              say("Resample: the result would not fit into a wavesample of 256 pages, or the "
                                  "sample-rate converter cannot be had. Nothing was changed.");
                      });
    });

    mnLoop = MainMenu->addMenu("&Loop");
    acLoopSwitch = item(mnLoop, "acLoopSwitch", "Loop &Switch", [this] { loopSwitch(acLoopSwitch->isChecked()); });
    acLoopSwitch->setCheckable(true);
    acFindLoop = item(mnLoop, "acFindLoop", "&Find Loop Near Here", [this] { findLoop(); }, QKeySequence("Ctrl+L"));
    acCrossfade = item(mnLoop, "acCrossfade", "&Crossfade Loop...", [this] { crossfade(); });

    mnView = MainMenu->addMenu("&View");
    acZoomIn = item(mnView, "acZoomIn", "Zoom &In", [this] { pbWave->zoomIn(); }, QKeySequence(Qt::Key_Plus));
    acZoomIn->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)});
    acZoomOut = item(mnView, "acZoomOut", "Zoom &Out", [this] { pbWave->zoomOut(); }, QKeySequence(Qt::Key_Minus));
    acZoomSelection = item(mnView, "acZoomSelection", "Zoom to &Selection", [this] { pbWave->zoomTo(pbWave->selection()); });
    acFit = item(mnView, "acFit", "&Fit", [this] { pbWave->fit(); }, QKeySequence("Ctrl+0"));
}

void TfmWaveEditor::buildControls()
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 4, 6, 6);
    column->setSpacing(4);
    MainMenu = named(new QMenuBar(this), "MainMenu");
    column->setMenuBar(MainMenu);

    lbSource = named(new QLabel("Nothing open: File > Open Current Wavesample, Open Audio File..., or drop a file here.", this),
                     "lbSource");
    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(lbSource, 1);
    column->addLayout(top);

    pbWave = named(new TWaveEditView(this), "pbWave");
    pbWave->setMinimumHeight(220);
    column->addWidget(pbWave, 1);
    pbOverview = named(new TWaveOverview(pbWave, this), "pbOverview");
    pbOverview->setFixedHeight(36);
    column->addWidget(pbOverview);
    sbScroll = named(new QScrollBar(Qt::Horizontal, this), "sbScroll");
    column->addWidget(sbScroll);

    // The pages and the loop beside what is open; under the wave what the
    // mouse points at and the selection.
    lbPages = named(new QLabel(this), "lbPages");
    lbLoop = named(new QLabel(this), "lbLoop");
    top->addWidget(lbPages);
    top->addWidget(lbLoop);
    auto* figures = new QHBoxLayout;
    lbCursor = named(new QLabel(this), "lbCursor");
    lbSelection = named(new QLabel(this), "lbSelection");
    lbCursor->setMinimumWidth(300);
    figures->setSpacing(16);
    figures->addWidget(lbCursor);
    figures->addWidget(lbSelection, 1);
    column->addLayout(figures);

    auto* bottom = new QHBoxLayout;
    lbKey = named(new QLabel(QString::fromStdString("Play at key " + build::keyName(build::DefaultUnityKey[0])), this),
                  "lbKey");
    edKey = named(new QSpinBox(this), "edKey");
    edKey->setRange(12, 120);
    edKey->setValue(build::DefaultUnityKey[0]);
    edKey->setToolTip("The key heard; the wavesample plays at its own pitch on its half's unity key");
    MediaPlayer1 = new TPlayerPanel(this, Ctx().seams);
    MediaPlayer1->setFixedSize(TPlayerPanel::Width, TPlayerPanel::Height);
    bnPlay = MediaPlayer1->bnPlay;
    bnStop = MediaPlayer1->bnStop;
    ProgressBar1 = named(new TProgressBar(this), "ProgressBar1");
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedWidth(160);
    ProgressBar1->hide();
    bnCancel = named(new QPushButton("Cancel", this), "bnCancel");
    bnCancel->hide();
    lbStatus = named(new QLabel(this), "lbStatus");
    bottom->addWidget(lbKey);
    bottom->addWidget(edKey);
    bottom->addWidget(MediaPlayer1);
    bottom->addWidget(ProgressBar1);
    bottom->addWidget(bnCancel);
    bottom->addWidget(lbStatus, 1);
    column->addLayout(bottom);

    pbWave->viewChanged = [this] {
        showScroll();
        pbOverview->update();
    };
    pbWave->selectionChanged = [this] {
        showSelection();
        updateActions();
        soundChanged();
    };
    pbWave->pointed = [this](int sample) { showReadout(sample); };
    pbWave->loopMoved = [this](Loop l) {
        buffer_->setLoop(l);
        edited();
    };
    pbWave->drawn = [this](int at, waveedit::Samples values) {
        buffer_->pencil(at, values);
        edited();
    };
    connect(sbScroll, &QScrollBar::valueChanged, this, [this](int v) {
        if (std::lround(pbWave->first()) != v)
            pbWave->scrollTo(v);
    });
    connect(edKey, &QSpinBox::valueChanged, this, [this] {
        lbKey->setText(QString::fromStdString("Play at key " + build::keyName(edKey->value())));
        soundChanged();
    });
    connect(bnPlay, &QToolButton::clicked, this, &TfmWaveEditor::bnPlayClick);
    connect(bnStop, &QToolButton::clicked, this, &TfmWaveEditor::bnStopClick);
    connect(bnCancel, &QPushButton::clicked, this, &TfmWaveEditor::bnCancelClick);
}

std::string TfmWaveEditor::wsName(int index) const
{
    return std::string(index < 8 ? "L" : "U") + std::to_string(index % 8 + 1);
}

void TfmWaveEditor::say(const std::string& text) { Ctx().seams.messageBox(text, Caption, BoxButtons::Ok); }

int TfmWaveEditor::unityKey() const
{
    const int half = origin_.instrument ? origin_.index / 8 : Mirage().GetCurrentHalf();
    return build::DefaultUnityKey[std::clamp(half, 0, 1)];
}

// ---- opening ---------------------------------------------------------------------

void TfmWaveEditor::load(WaveBuffer buffer, Origin origin)
{
    MediaPlayer1->withdraw();
    replaceInBuild_ = nullptr;
    buffer_ = std::move(buffer);
    origin_ = std::move(origin);
    pbWave->setPageOffset(origin_.instrument ? origin_.startPage : 0);
    pbWave->setBuffer(&*buffer_);
    pbOverview->setBuffer(&*buffer_);
    edKey->setValue(unityKey());
    if (origin_.instrument)
        lbSource->setText(QString::fromStdString(wsName(origin_.index) + " from the Mirage, pages " +
                                                 hexPages(origin_.startPage) + "-" +
                                                 hexPages(origin_.startPage + origin_.pages - 1) + " (" +
                                                 hexPages(origin_.pages) + " Hex pages)"));
    else if (!origin_.image.empty() || origin_.pages > 0)
        lbSource->setText(QString::fromStdString(origin_.file + ", pages " + hexPages(origin_.startPage) + "-" +
                                                 hexPages(origin_.startPage + origin_.pages - 1)));
    else
        lbSource->setText(QString::fromStdString(origin_.file + ", converted at " + std::to_string(buffer_->rate()) + " Hz"));
    lbSource->setToolTip(QString::fromStdString(origin_.file));
    lbStatus->clear();
    edited();
}

void TfmWaveEditor::acOpenCurrentClick()
{
    if (!busy_)
        Converse([this] { openCurrent(); });
}

// Asks the instrument for its current wavesample as Get does: the page
// pointers of its half first (they say how long the answer takes), then
// the data, with progress and Cancel.
void TfmWaveEditor::openCurrent()
{
    const int half = Mirage().GetCurrentHalf();
    const int w = std::clamp(Mirage().QueryCurrentWavesample(), 0, 7);
    Mirage().EnsureProgram(half);
    if (!Mirage().Received(MirageProtocol::ProgramArrival(half)))
        return; // EnsureProgram has said so
    const auto field = [this, half, w](int offset) { return Mirage().GetParam(half, wavesampleFieldPos(w, offset)); };
    const int start = field(wsf::StartPage), end = field(wsf::EndPage);
    const int index = half * 8 + w;
    if (end < start) {
        say("Wavesample " + wsName(index) + " has no pages of its own (end page " + hexPages(end) +
            " before start page " + hexPages(start) + "): give it pages in the memory map first.");
        return;
    }
    const int pages = end - start + 1;
    sound::WavesampleFetch r;
    {
        const MirageProtocol::Transfer transfer(Mirage());
        const sound::JobHooks hooks = startJob(transfer);
        r = sound::fetchWavesampleData(Mirage(), index, pages, hooks);
    }
    endJob();
    lbStatus->clear();
    if (r.end == sound::JobEnd::Cancelled)
        return;
    if (r.end == sound::JobEnd::Failed) {
        Ctx().seams.messageBox(r.text, "MIDI Receive Problem", BoxButtons::Ok);
        return;
    }
    const sound::Bytes samples = sound::wavesampleSamples(r.dump);
    const std::uint8_t* copy = half == 0 ? Mirage().LowerProgramDump : Mirage().UpperProgramDump;
    const Loop loop = loopIn({copy, sound::ProgramMessageSize}, w, static_cast<int>(samples.size()));
    Origin o;
    o.instrument = true;
    o.index = index;
    o.startPage = start;
    o.pages = pages;
    load(WaveBuffer::fromBytes(samples, loop, wavesampleRate(Mirage())), o);
}

// A wavesample of a sound file (as Load Sound reads it) or of a slot of a
// disk image: the halves it holds, one chosen of their wavesamples with data.
void TfmWaveEditor::acOpenSoundClick()
{
    const std::string path = Ctx().seams.openFileName(SyxFilter);
    if (!path.empty())
        openSound(path);
}

void TfmWaveEditor::openSound(const std::string& path)
{
    // One wavesample dump alone, as Save as .syx writes it.
    std::ifstream in(path, std::ios::binary);
    const sound::Bytes image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t n = image.size();
    if (n >= 10 && image[0] == 0xF0 && image[1] == 0x0F && image[2] == 0x01 && image[3] == 0x06 && image[n - 1] == 0xF7 &&
        n == 8 + 512 * static_cast<std::size_t>(sound::wavesamplePages(image)) + 1 && sound::wavesamplePages(image) <= 256) {
        Origin o;
        o.file = QFileInfo(QString::fromStdString(path)).fileName().toStdString();
        load(WaveBuffer::fromBytes(sound::wavesampleSamples(image), {}, wavesampleRate(Mirage())), o);
        return;
    }
    const sound::ReadResult r = sound::parseFile(image);
    if (!r.ok()) {
        Ctx().seams.messageBox(r.message(), sound::ReadResult::Caption, BoxButtons::Ok);
        return;
    }
    std::vector<Candidate> found;
    for (const sound::Half& h : r.sound.halves)
        found.push_back({h, -1, {}});
    choose(found, path, QFileInfo(QString::fromStdString(path)).fileName().toStdString());
}

void TfmWaveEditor::acOpenImageClick()
{
    const std::string path = Ctx().seams.openFileName(ImageFilter);
    if (!path.empty())
        openImage(path);
}

void TfmWaveEditor::openImage(const std::string& path)
{
    disk::Image image;
    if (const std::string error = image.open(path); !error.empty()) {
        Ctx().seams.messageBox(error, disk::Image::Caption, BoxButtons::Ok);
        return;
    }
    std::vector<Candidate> found;
    for (int slot = 0; slot < 6; ++slot)
        if (const disk::SlotRead read = disk::readSlot(image, slot); read.ok())
            found.push_back({read.half, slot, disk::slotName(slot)});
    if (found.empty()) {
        Ctx().seams.messageBox("The disk image holds no sound in any of its six slots.", disk::Image::Caption,
                               BoxButtons::Ok);
        return;
    }
    choose(found, path, QFileInfo(QString::fromStdString(path)).fileName().toStdString());
}

// Lists the wavesamples with data of the halves found ("sound1L L3, pages
// 20-3F"); the one chosen is opened.
void TfmWaveEditor::choose(const std::vector<Candidate>& found, const std::string& path, const std::string& shown)
{
    struct Item {
        std::size_t candidate;
        int w;
        QString text;
    };
    std::vector<Item> items;
    for (std::size_t c = 0; c < found.size(); ++c) {
        const auto entries = sound::wavesampleEntries(found[c].half.programDump);
        for (int w = 0; w < 8; ++w) {
            const sound::WavesampleEntry& e = entries[static_cast<std::size_t>(w)];
            if (e.dump < 0 || e.dump >= static_cast<int>(found[c].half.wavesampleDumps.size()))
                continue;
            const std::string where = found[c].slotName.empty() ? std::string() : found[c].slotName + " ";
            items.push_back({c, w,
                             QString::fromStdString(where + wsName(found[c].half.half * 8 + w) + ", pages " +
                                                    hexPages(e.range.start) + "-" + hexPages(e.range.end))});
        }
    }
    if (items.empty()) {
        say(shown + " holds no wavesample with data.");
        return;
    }
    std::size_t pick = 0;
    if (items.size() > 1) {
        QDialog dialog(this);
        dialog.setObjectName("dlgChoose");
        dialog.setWindowTitle("Open Wavesample");
        auto* form = new QFormLayout(&dialog);
        auto* list = named(new QComboBox(&dialog), "cbWavesample");
        for (const Item& i : items)
            list->addItem(i.text);
        form->addRow(QString::fromStdString(shown), list);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        form->addRow(buttons);
        if (dialog.exec() != QDialog::Accepted)
            return;
        pick = static_cast<std::size_t>(std::max(0, list->currentIndex()));
    }
    const Item& it = items[pick];
    const Candidate& c = found[it.candidate];
    const auto entries = sound::wavesampleEntries(c.half.programDump);
    const sound::WavesampleEntry& e = entries[static_cast<std::size_t>(it.w)];
    const sound::Bytes samples = sound::wavesampleSamples(c.half.wavesampleDumps[static_cast<std::size_t>(e.dump)]);
    Origin o;
    o.index = c.half.half * 8 + it.w;
    o.startPage = e.range.start;
    o.pages = e.range.pages();
    o.file = shown + " " + (c.slotName.empty() ? std::string() : c.slotName + " ") + wsName(o.index);
    o.image = c.slot >= 0 ? path : std::string();
    o.slot = c.slot;
    source_ = c.half;
    load(WaveBuffer::fromBytes(samples, loopIn(c.half.programDump, it.w, static_cast<int>(samples.size())),
                               wavesampleRate(Mirage())),
         o);
}

void TfmWaveEditor::OpenBuiltZone(BuiltZone zone)
{
    if (busy_)
        return;
    OpenWavesample("Build Sound " + zone.name, zone.startPage, zone.bytes, zone.loop, wavesampleRate(Mirage()));
    origin_.pages = zone.pages;
    replaceInBuild_ = std::move(zone.replace);
    edited();
}

void TfmWaveEditor::OpenWavesample(const std::string& shown, int startPage, const std::vector<std::uint8_t>& bytes,
                                   const Loop& loop, int rate)
{
    if (busy_)
        return;
    Origin o;
    o.file = shown;
    o.startPage = startPage;
    o.pages = waveedit::pagesFor(static_cast<int>(bytes.size()));
    const bool playable = waveedit::loopProblem(loop, static_cast<int>(bytes.size())).empty();
    load(WaveBuffer::fromBytes(bytes, playable ? loop : Loop{}, rate > 0 ? rate : wavesampleRate(Mirage())), o);
}

// The zone's pages and loop back into the build it came from, for Build
// Sound to send, save or write with the rest of the half.
void TfmWaveEditor::acReplaceInBuildClick()
{
    if (!buffer_ || !replaceInBuild_)
        return;
    if (const std::string problem = waveedit::loopProblem(buffer_->loop(), buffer_->size()); !problem.empty()) {
        say(problem + " The build was not changed.");
        return;
    }
    if (waveedit::pagesFor(buffer_->size()) > origin_.pages) {
        say("This sample needs " + hexPages(waveedit::pagesFor(buffer_->size())) + " (Hex) pages; the zone has " +
            hexPages(origin_.pages) + " in the build. Trim it (or resample it) to fit first; the build was not changed.");
        return;
    }
    if (const std::string error = replaceInBuild_(pageBytes(origin_.pages), buffer_->loop()); !error.empty()) {
        say(error);
        return;
    }
    lbStatus->setText(QString::fromStdString("Replaced in the build: " + origin_.file.substr(std::string("Build Sound ").size())));
}

// Back into the disk image slot it came from: its pages and loop pointers in
// the slot's half, the rest of the slot as it was.
void TfmWaveEditor::acWriteSlotClick()
{
    if (!buffer_ || origin_.slot < 0 || !source_)
        return;
    const int w = origin_.index % 8;
    const std::string ws = wsName(origin_.index);
    if (const std::string problem = waveedit::loopProblem(buffer_->loop(), buffer_->size()); !problem.empty()) {
        say(problem + " Nothing was written.");
        return;
    }
    if (waveedit::pagesFor(buffer_->size()) > origin_.pages) {
        say("This sample needs " + hexPages(waveedit::pagesFor(buffer_->size())) + " (Hex) pages; wavesample " + ws +
            " has " + hexPages(origin_.pages) + " in the slot. Trim it (or resample it) to fit first; nothing was written.");
        return;
    }
    sound::Half half = *source_;
    const auto entries = sound::wavesampleEntries(half.programDump);
    const int dump = entries[static_cast<std::size_t>(w)].dump;
    half.wavesampleDumps[static_cast<std::size_t>(dump)] =
        sound::wavesampleDumpMessage(origin_.pages, pageBytes(origin_.pages), 0);
    const Loop& loop = buffer_->loop();
    const auto set = [&half, w](int offset, int value) {
        setNibblePair(half.programDump.data(), half.programDump.size(), wavesampleFieldPos(w, offset), value);
    };
    set(wsf::LoopSwitch, loop.on ? 1 : 0);
    if (loop.on) {
        const waveedit::LoopPointers p = waveedit::pointersOf(loop);
        set(wsf::LoopStart, origin_.startPage + p.startPage);
        set(wsf::LoopEnd, origin_.startPage + p.endPage);
        set(wsf::LoopEndFine, p.fine);
    }
    if (const std::string error = disk::insertHalf(origin_.image, origin_.slot, half); !error.empty()) {
        Ctx().seams.messageBox(error, disk::Image::Caption, BoxButtons::Ok);
        return;
    }
    source_ = half;
    lbStatus->setText(QString::fromStdString("Written into " + disk::slotName(origin_.slot) + " " + ws + " of " +
                                             QFileInfo(QString::fromStdString(origin_.image)).fileName().toStdString()));
}

void TfmWaveEditor::acOpenFileClick()
{
    const std::string path = Ctx().seams.openFileName(TfmWsSend::AudioFilter);
    if (!path.empty())
        OpenFile(path);
}

void TfmWaveEditor::OpenFile(const std::string& path)
{
    if (busy_)
        return;
    audio::Conversion c;
    busy_ = true;
    updateActions();
    {
        AudioProgress progress(ProgressBar1, bnCancel, {});
        audio::ImportOptions options;
        options.rate = wavesampleRate(Mirage());
        progress.run([&](const audio::Work& work) { c = audio::importAudio(path, options, work); });
    }
    busy_ = false;
    updateActions();
    if (c.error == audio::AudioError::Cancelled)
        return;
    if (!c.ok()) {
        Ctx().seams.messageBox(c.text() + "\n\n" + path, audio::Conversion::Caption, BoxButtons::Ok);
        return;
    }
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(c.length), c.samples.size());
    Origin o;
    o.file = QFileInfo(QString::fromStdString(path)).fileName().toStdString();
    load(WaveBuffer::fromBytes(std::span<const std::uint8_t>(c.samples.data(), n), {}, c.rate), o);
    if (const std::string cut = c.cutNotice(); !cut.empty())
        lbStatus->setText(QString::fromStdString(cut));
}

void TfmWaveEditor::dragEnterEvent(QDragEnterEvent* e)
{
    const QList<QUrl> urls = e->mimeData()->urls();
    if (!busy_ && urls.size() == 1 && urls[0].isLocalFile())
        e->acceptProposedAction();
}

void TfmWaveEditor::dropEvent(QDropEvent* e)
{
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.size() != 1 || !urls[0].isLocalFile())
        return;
    e->acceptProposedAction();
    const std::string path = urls[0].toLocalFile().toStdString();
    // A sound file or a disk image by its ending; anything else as audio.
    const QString suffix = QFileInfo(urls[0].toLocalFile()).suffix().toLower();
    QMetaObject::invokeMethod(
        this,
        [this, path, suffix] {
            if (suffix == "syx")
                openSound(path);
            else if (QStringList{"img", "ima", "dsk", "edm"}.contains(suffix))
                openImage(path);
            else
                OpenFile(path);
        },
        Qt::QueuedConnection);
}

// ---- edits -------------------------------------------------------------------------

Range TfmWaveEditor::target() const
{
    const Range s = pbWave->selection();
    return s.empty() ? buffer_->whole() : s;
}

void TfmWaveEditor::edit(const std::function<void(WaveBuffer&, Range)>& fn, bool needsSelection, const char* what)
{
    if (!buffer_)
        return;
    if (needsSelection && pbWave->selection().empty()) {
        say(std::string(what) + " works on a selection: drag across the wave first (Select All takes the whole).");
        return;
    }
    fn(*buffer_, target());
    edited();
}

void TfmWaveEditor::edited()
{
    pbWave->changed();
    pbOverview->changed();
    acLoopSwitch->setChecked(buffer_ && buffer_->loop().on);
    showSelection();
    showFigures();
    updateActions();
    soundChanged();
}

void TfmWaveEditor::cut()
{
    if (pbWave->selection().empty()) {
        say("Cut works on a selection: drag across the wave first (Select All takes the whole).");
        return;
    }
    copy();
    const Range r = pbWave->selection();
    buffer_->cut(r);
    pbWave->setSelection({r.begin, r.begin});
    edited();
}

// The samples go on the clipboard as floating point for this window and as
// a 16-bit WAV for other programs.
void TfmWaveEditor::copy()
{
    if (pbWave->selection().empty()) {
        say("Copy works on a selection: drag across the wave first (Select All takes the whole).");
        return;
    }
    const waveedit::Samples clip = buffer_->copy(pbWave->selection());
    auto* data = new QMimeData;
    data->setData(ClipboardFormat, QByteArray(reinterpret_cast<const char*>(clip.data()),
                                              static_cast<qsizetype>(clip.size() * sizeof(float))));
    const std::vector<std::uint8_t> wav = waveedit::wavImage16(waveedit::toBytes(clip), buffer_->rate(), {});
    data->setData("audio/wav", QByteArray(reinterpret_cast<const char*>(wav.data()), static_cast<qsizetype>(wav.size())));
    QApplication::clipboard()->setMimeData(data);
}

void TfmWaveEditor::paste(bool mix)
{
    if (!buffer_)
        return;
    const std::optional<waveedit::Samples> taken = clipboardAudio();
    if (!taken) {
        say("The clipboard holds no audio: copy part of a wavesample, or a WAV from another program, first.");
        return;
    }
    const waveedit::Samples& clip = *taken;
    const Range sel = pbWave->selection();
    const int at = sel.empty() ? pbWave->caret() : sel.begin;
    if (!mix && buffer_->size() - sel.size() + static_cast<long long>(clip.size()) > waveedit::MaxSamples) {
        say("Paste would make the wavesample longer than the 256 pages of a half; nothing was pasted.");
        return;
    }
    if (mix && at + static_cast<long long>(clip.size()) > waveedit::MaxSamples) {
        say("Paste Mix would make the wavesample longer than the 256 pages of a half; nothing was mixed in.");
        return;
    }
    if (mix) {
        askAndProcess("Paste Mix", {{"edLevel", "Level of the pasted audio (%)", 50, 0, 200, 0}},
                      [at, clip](WaveBuffer& w, Range, const std::vector<double>& v) { w.pasteMix(at, clip, v[0] / 100); });
        return;
    }
    buffer_->paste(at, clip, sel);
    pbWave->setSelection({at, at + static_cast<int>(clip.size())});
    edited();
}

// The editor's own copy, or a WAV another program put there, converted at
// the wavesample rate as an audio file is.
std::optional<waveedit::Samples> TfmWaveEditor::clipboardAudio()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data)
        return std::nullopt;
    if (const QByteArray raw = data->data(ClipboardFormat); !raw.isEmpty()) {
        if (raw.size() % static_cast<qsizetype>(sizeof(float)) != 0)
            return std::nullopt;
        waveedit::Samples clip(static_cast<std::size_t>(raw.size()) / sizeof(float));
        std::memcpy(clip.data(), raw.data(), static_cast<std::size_t>(raw.size()));
        return clip;
    }
    for (const char* type : {"audio/wav", "audio/x-wav", "audio/vnd.wave"}) {
        const QByteArray wav = data->data(type);
        if (wav.isEmpty())
            continue;
        QTemporaryFile file(QDir::tempPath() + "/corvane-clip-XXXXXX.wav");
        if (!file.open() || file.write(wav) != wav.size() || !file.flush())
            return std::nullopt;
        audio::ImportOptions options;
        options.rate = buffer_->rate();
        const audio::Conversion c = audio::importAudio(file.fileName().toStdString(), options);
        if (!c.ok())
            return std::nullopt;
        waveedit::Samples clip;
        for (int i = 0; i < c.length && i < static_cast<int>(c.samples.size()); ++i)
            clip.push_back(waveedit::fromByte(c.samples[static_cast<std::size_t>(i)]));
        return clip;
    }
    return std::nullopt;
}

void TfmWaveEditor::insertSilence()
{
    if (!buffer_)
        return;
    const int at = pbWave->selection().empty() ? pbWave->caret() : pbWave->selection().begin;
    askAndProcess("Insert Silence", {{"edSilenceMs", "Length (ms)", 100, 1, 2000, 0}},
                  [this, at](WaveBuffer& w, Range, const std::vector<double>& v) {
                      const int count = static_cast<int>(std::lround(v[0] * w.rate() / 1000));
                      if (w.size() + count > waveedit::MaxSamples)
                          say("The silence would make the wavesample longer than the 256 pages of a half; nothing "
                              "was inserted.");
                      else
                          w.insertSilence(at, count);
                  });
}

// A small dialog of the values a Process item needs; OK runs it.
void TfmWaveEditor::askAndProcess(const char* title, std::vector<Ask> fields,
                                  const std::function<void(WaveBuffer&, Range, const std::vector<double>&)>& fn)
{
    if (!buffer_)
        return;
    QDialog dialog(this);
    dialog.setObjectName("dlgProcess");
    dialog.setWindowTitle(title);
    auto* form = new QFormLayout(&dialog);
    std::vector<QDoubleSpinBox*> boxes;
    for (const Ask& a : fields) {
        auto* box = named(new QDoubleSpinBox(&dialog), a.name);
        box->setDecimals(a.decimals);
        box->setRange(a.min, a.max);
        box->setValue(a.value);
        form->addRow(a.label, box);
        boxes.push_back(box);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    std::vector<double> values;
    for (QDoubleSpinBox* b : boxes)
        values.push_back(b->value());
    fn(*buffer_, target(), values);
    edited();
}

void TfmWaveEditor::loopSwitch(bool on)
{
    if (!buffer_)
        return;
    Loop l = buffer_->loop();
    if (on && !l.on && l.end <= l.start) // never looped: the last page
        l = {true, (buffer_->size() - 1) / PageBytes * PageBytes, buffer_->size() - 1};
    l.on = on;
    buffer_->setLoop(l);
    edited();
}

void TfmWaveEditor::findLoop()
{
    if (!buffer_)
        return;
    const Range s = pbWave->selection();
    const int at = s.empty() ? pbWave->caret() : s.end;
    if (!buffer_->findLoopNear(at > 0 ? at : buffer_->size()))
        say("No loop was found ending before the caret: the audio before it is too short (a loop needs at least a "
            "page after the first quarter of it) or holds no steady sound. Place the caret later and try again.");
    edited();
}

void TfmWaveEditor::crossfade()
{
    if (!buffer_)
        return;
    if (!buffer_->loop().on) {
        say("Crossfade Loop needs the loop on: switch it on or find one first.");
        return;
    }
    askAndProcess("Crossfade Loop", {{"edCrossfadeMs", "Length (ms)", 20, 1, 500, 0}},
                  [this](WaveBuffer& w, Range, const std::vector<double>& v) {
                      const int length = static_cast<int>(std::lround(v[0] * w.rate() / 1000));
                      if (!w.crossfadeLoop(length))
                          say("The loop starts at the first sample: there is nothing before it to crossfade from.");
                  });
}

// ---- what shows -----------------------------------------------------------------------

void TfmWaveEditor::showReadout(int sample)
{
    if (!buffer_ || sample < 0 || sample >= buffer_->size()) {
        lbCursor->clear();
        return;
    }
    const float v = buffer_->samples()[static_cast<std::size_t>(sample)];
    const long byte = std::clamp(std::lround(128.0 + v * 128.0), 0L, 255L);
    const int page = (origin_.instrument ? origin_.startPage : 0) + sample / PageBytes;
    const auto hex2 = [](long v) { return QString("%1").arg(v, 2, 16, QChar('0')).toUpper(); };
    lbCursor->setText(QString("Sample %1  page %2:%3  %4 s  value %5")
                          .arg(sample)
                          .arg(hex2(page), hex2(sample % PageBytes))
                          .arg(static_cast<double>(sample) / buffer_->rate(), 0, 'f', 4)
                          .arg(hex2(byte)));
}

void TfmWaveEditor::showSelection()
{
    const Range s = pbWave->selection();
    if (!buffer_ || s.empty()) {
        lbSelection->setText(buffer_ ? QString("Caret at %1").arg(pbWave->caret()) : QString());
        return;
    }
    lbSelection->setText(QString("Selection %1 samples (%2 %3 + %4), %5 s")
                             .arg(s.size())
                             .arg(s.size() / PageBytes)
                             .arg(s.size() / PageBytes == 1 ? "page" : "pages")
                             .arg(s.size() % PageBytes)
                             .arg(static_cast<double>(s.size()) / buffer_->rate(), 0, 'f', 4));
}

// The pages the samples need against the pages of the wavesample they go
// into, and the loop as the instrument's pointers give it.
void TfmWaveEditor::showFigures()
{
    if (!buffer_) {
        for (QLabel* l : {lbPages, lbLoop, lbSelection, lbCursor})
            l->clear();
        return;
    }
    const int needed = waveedit::pagesFor(buffer_->size());
    std::string pages = "Needs " + hexPages(needed) + " (Hex) pages";
    if (origin_.instrument || origin_.slot >= 0) {
        pages += "; " + wsName(origin_.index) + " has " + hexPages(origin_.pages);
        lbPages->setStyleSheet(needed > origin_.pages ? "color: #C00000;" : "");
    }
    lbPages->setText(QString::fromStdString(pages));
    const Loop& l = buffer_->loop();
    if (!l.on) {
        lbLoop->setText("Loop off");
        return;
    }
    const waveedit::LoopPointers p = waveedit::pointersOf(l);
    const int offset = origin_.instrument ? origin_.startPage : 0;
    lbLoop->setText(QString::fromStdString("Loop " + hexPages(offset + p.startPage) + "-" + hexPages(offset + p.endPage) +
                                           " fine " + hexPages(p.fine) + ", " + std::to_string(l.length()) +
                                           " samples"));
}

void TfmWaveEditor::showScroll()
{
    const int size = buffer_ ? buffer_->size() : 0;
    const int page = std::max(1, pbWave->visibleSamples());
    const QSignalBlocker quiet(sbScroll);
    sbScroll->setRange(0, std::max(0, size - page));
    sbScroll->setPageStep(page);
    sbScroll->setSingleStep(std::max(1, page / 16));
    sbScroll->setValue(static_cast<int>(std::lround(pbWave->first())));
}

void TfmWaveEditor::updateActions()
{
    const bool open = buffer_.has_value() && !busy_;
    for (QMenu* m : {mnEdit, mnProcess, mnLoop, mnView})
        for (QAction* a : m->actions())
            a->setEnabled(open);
    for (QAction* a : {acSend, acSaveWav, acSaveSyx})
        a->setEnabled(open && buffer_->size() > 0);
    for (QAction* a : {acOpenCurrent, acOpenFile, acOpenSound, acOpenImage})
        a->setEnabled(!busy_);
    acWriteSlot->setEnabled(open && origin_.slot >= 0);
    acReplaceInBuild->setEnabled(open && replaceInBuild_ != nullptr);
    acPaste->setEnabled(open);
    acUndo->setEnabled(open && buffer_->canUndo());
    acRedo->setEnabled(open && buffer_->canRedo());
    acUndo->setText(open && buffer_->canUndo() ? QString::fromStdString("&Undo " + buffer_->undoName()) : "&Undo");
    acRedo->setText(open && buffer_->canRedo() ? QString::fromStdString("&Redo " + buffer_->redoName()) : "&Redo");
    edKey->setEnabled(open);
    // Nothing changes while the samples go out or come in.
    pbWave->setEnabled(!busy_);
}

// ---- hearing -------------------------------------------------------------------------

// What the key chosen plays: the selection once, or the whole with its loop,
// rendered in 8 bits as the instrument steps through its samples.
void TfmWaveEditor::offerSound()
{
    if (!buffer_ || buffer_->size() == 0) {
        MediaPlayer1->withdraw();
        return;
    }
    const Range s = pbWave->selection();
    std::vector<std::uint8_t> bytes = buffer_->bytes();
    Loop loop = buffer_->loop();
    if (!s.empty()) {
        bytes = std::vector<std::uint8_t>(bytes.begin() + s.begin, bytes.begin() + s.end);
        loop = {};
    }
    for (std::uint8_t& b : bytes)
        b = std::max<std::uint8_t>(b, 1); // the end-of-sample byte would stop the voice
    const waveedit::Rendered r = waveedit::renderAtPitch(bytes, loop, edKey->value() - unityKey());
    PlaySound sound{r.samples, buffer_->rate(), std::nullopt};
    if (r.looped)
        sound.loop = SoundLoop{r.loopBegin, r.loopEnd};
    MediaPlayer1->offer(std::move(sound));
    soundStale_ = false;
}

// What plays has changed: rendered again when it is played (an edit of a
// whole wavesample stays within a frame), at once only while there is
// nothing to play yet.
void TfmWaveEditor::soundChanged()
{
    soundStale_ = true;
    if (!MediaPlayer1->sound())
        offerSound();
}

void TfmWaveEditor::bnPlayClick()
{
    if (soundStale_)
        offerSound();
    MediaPlayer1->play();
    playing_ = true;
}

void TfmWaveEditor::bnStopClick()
{
    MediaPlayer1->stop();
    playing_ = false;
}

void TfmWaveEditor::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier && buffer_) {
        if (playing_)
            bnStopClick();
        else if (bnPlay->isEnabled())
            bnPlayClick();
        return;
    }
    TFormBase::keyPressEvent(e);
}

// ---- giving back ------------------------------------------------------------------

void TfmWaveEditor::bnCancelClick()
{
    if (Mirage().Transferring())
        Mirage().StopTransfer();
}

void TfmWaveEditor::closeEvent(QCloseEvent* e)
{
    if (busy_) {
        bnCancelClick();
        e->ignore();
        return;
    }
    TFormBase::closeEvent(e);
}

// The 8-bit samples filled with silence to whole `pages`.
std::vector<std::uint8_t> TfmWaveEditor::pageBytes(int pages) const
{
    std::vector<std::uint8_t> b = buffer_->bytes();
    b.resize(static_cast<std::size_t>(std::max(pages, waveedit::pagesFor(static_cast<int>(b.size())))) * PageBytes, 0x80);
    return b;
}

std::string TfmWaveEditor::writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::string error = sound::writeAtomically(path, bytes);
    if (!error.empty())
        say(error);
    else
        lbStatus->setText(QString::fromStdString("Written to " + path));
    return error;
}

void TfmWaveEditor::acSaveWavClick()
{
    if (!buffer_)
        return;
    if (const std::string problem = waveedit::loopProblem(buffer_->loop(), buffer_->size()); !problem.empty()) {
        say(problem + " Nothing was written.");
        return;
    }
    const std::string path = Ctx().seams.saveFileName(WaveFilter, "wavesample.wav");
    if (!path.empty())
        writeFile(path, waveedit::wavImage16(buffer_->bytes(), buffer_->rate(), buffer_->loop()));
}

// One wavesample dump as the program sends it, in a file of its own: the
// data only, for the wavesample selected when it is sent again.
void TfmWaveEditor::acSaveSyxClick()
{
    if (!buffer_)
        return;
    const int pages = waveedit::pagesFor(buffer_->size());
    if (pages > 256) {
        say("The wavesample needs more than the 256 pages of a half; nothing was written.");
        return;
    }
    const std::string path = Ctx().seams.saveFileName(SyxFilter, "wavesample.syx");
    if (path.empty())
        return;
    sound::Bytes message = sound::wavesampleSendMessage(sound::wavesampleDumpMessage(pages, pageBytes(pages), 0));
    message.push_back(0xF7);
    writeFile(path, message);
}

// A job with the instrument (a wavesample fetched or sent): the window
// busy, its progress bar and Cancel shown, the job's hooks wired to them.
sound::JobHooks TfmWaveEditor::startJob(const MirageProtocol::Transfer& transfer)
{
    busy_ = true;
    ProgressBar1->setRange(0, 1000);
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    bnCancel->show();
    updateActions();
    sound::JobHooks hooks;
    hooks.wait = [this](int ms) { Mirage().WaitAcceptingInput(ms); };
    hooks.cancelled = [&transfer] { return transfer.Stopped(); };
    hooks.progress = [this](const std::string& status, long long done, long long total) {
        ProgressBar1->setValue(total > 0 ? static_cast<int>(std::min(1000LL, done * 1000 / total)) : 0);
        lbStatus->setText(QString::fromStdString(status));
    };
    return hooks;
}

void TfmWaveEditor::endJob()
{
    busy_ = false;
    ProgressBar1->hide();
    bnCancel->hide();
    updateActions();
}

void TfmWaveEditor::acSendClick()
{
    if (!buffer_ || busy_)
        return;
    if (const std::string why = Ctx().sendBlocked ? Ctx().sendBlocked() : std::string(); !why.empty()) {
        Ctx().seams.messageBox(why, SendCaption, BoxButtons::Ok);
        return;
    }
    if (const std::string problem = waveedit::loopProblem(buffer_->loop(), buffer_->size()); !problem.empty()) {
        Ctx().seams.messageBox(problem + " It was not sent.", SendCaption, BoxButtons::Ok);
        return;
    }
    Converse([this] { sendSequence(); });
}

// A sample larger than its wavesample would be refused after the whole dump
// had crossed the wire: the user may trim its end or resample it to fit.
bool TfmWaveEditor::fitInto(int pages, const std::string& ws)
{
    const int needed = waveedit::pagesFor(buffer_->size());
    const std::string sizes = "This sample needs " + hexPages(needed) + " (Hex) pages; wavesample " + ws + " has " +
                              hexPages(pages) + ". The Mirage refuses a dump larger than its wavesample, so it was not sent.";
    if (pages <= 0) {
        Ctx().seams.messageBox(sizes + "\n\nGive the wavesample pages in the memory map first.", SendCaption, BoxButtons::Ok);
        return false;
    }
    const int room = pages * PageBytes;
    if (Ctx().seams.messageBox(sizes + "\n\nTrim its end to fit into " + hexPages(pages) +
                                   " (Hex) pages and send it? (No offers to resample it to fit instead.)",
                               SendCaption, BoxButtons::YesNo) == BoxAnswer::Yes) {
        buffer_->trim({0, room});
        edited();
        return true;
    }
    const double semitones = 12 * std::log2(static_cast<double>(buffer_->size()) / (room - 4));
    char shift[64];
    std::snprintf(shift, sizeof shift, "%.2f", semitones);
    if (Ctx().seams.messageBox(sizes + "\n\nResample it to fit into " + hexPages(pages) +
                                   " (Hex) pages and send it? It then sounds " + shift +
                                   " semitones higher on every key.",
                               SendCaption, BoxButtons::YesNo) != BoxAnswer::Yes)
        return false;
    if (!buffer_->resample(buffer_->whole(), semitones)) {
        say("The sample-rate converter cannot be had; nothing was sent.");
        return false;
    }
    if (buffer_->size() > room) // a sample or two over
        buffer_->trim({0, room});
    edited();
    return true;
}

// The data goes into the wavesample it came from (or, for a file, the
// instrument's current one) with its loop pointers: the half's program
// dump as the copy holds it with the pointers set, then the data, then the
// program dump asked back, so that the copy is what the instrument holds.
void TfmWaveEditor::sendSequence()
{
    const int half = origin_.instrument ? origin_.index / 8 : Mirage().GetCurrentHalf();
    const int w = origin_.instrument ? origin_.index % 8 : std::clamp(Mirage().QueryCurrentWavesample(), 0, 7);
    const int index = half * 8 + w;
    Mirage().EnsureProgram(half);
    if (!Mirage().Received(MirageProtocol::ProgramArrival(half)))
        return;
    const std::uint8_t* copy = half == 0 ? Mirage().LowerProgramDump : Mirage().UpperProgramDump;
    sound::Bytes program(copy, copy + sound::ProgramMessageSize);
    program.back() = 0xF7;
    const auto field = [&program, w](int offset) {
        return getNibblePair(program.data(), program.size(), wavesampleFieldPos(w, offset));
    };
    const int start = field(wsf::StartPage);
    const int pages = std::max(0, field(wsf::EndPage) - start + 1);
    if (waveedit::pagesFor(buffer_->size()) > pages && !fitInto(pages, wsName(index)))
        return;
    // The pointers go into the copy first, as an edit's value does: the
    // program dump asked back afterwards then shows no change made behind
    // the program's back.
    const Loop& loop = buffer_->loop();
    const auto set = [this, &program, half, w](int offset, int value) {
        setNibblePair(program.data(), program.size(), wavesampleFieldPos(w, offset), value);
        Mirage().SetParam(half, wavesampleFieldPos(w, offset), value);
    };
    set(wsf::LoopSwitch, loop.on ? 1 : 0);
    if (loop.on) {
        const waveedit::LoopPointers p = waveedit::pointersOf(loop);
        set(wsf::LoopStart, start + p.startPage);
        set(wsf::LoopEnd, start + p.endPage);
        set(wsf::LoopEndFine, p.fine);
    }
    sound::Sound sound;
    sound::Half h;
    h.half = half;
    h.programDump = program;
    h.wavesampleDumps.resize(static_cast<std::size_t>(sound::dumpsNeeded(program)));
    const auto entries = sound::wavesampleEntries(program);
    const int dump = entries[static_cast<std::size_t>(w)].dump;
    if (dump < 0 || dump >= static_cast<int>(h.wavesampleDumps.size()))
        return; // no pages: said above
    h.wavesampleDumps[static_cast<std::size_t>(dump)] = sound::wavesampleDumpMessage(pages, pageBytes(pages), 0);
    sound.halves.push_back(std::move(h));

    sound::SendResult r;
    {
        const MirageProtocol::Transfer transfer(Mirage());
        const sound::JobHooks hooks = startJob(transfer);
        r = sound::sendSound(Mirage(), sound, hooks);
    }
    endJob();
    const sound::Answer answer = r.answers[static_cast<std::size_t>(index)];
    if (r.end == sound::JobEnd::Failed) {
        Ctx().seams.messageBox(r.text, SendCaption, BoxButtons::Ok);
    } else if (r.end == sound::JobEnd::Cancelled && answer == sound::Answer::NotSent) {
        lbStatus->setText("Send cancelled: nothing of the data was sent.");
    } else if (answer == sound::Answer::Accepted) {
        origin_ = {true, index, start, pages, origin_.file, {}, -1};
        pbWave->setPageOffset(start);
        lbStatus->setText(QString::fromStdString("Sent into " + wsName(index) + " (" + hexPages(pages) +
                                                 " Hex pages): the Mirage accepted it."));
    } else {
        Ctx().seams.messageBox("Wavesample " + wsName(index) + ": " + sound::answerText(answer) +
                                   (answer == sound::Answer::NoAnswer
                                        ? ". The Mirage did not say whether it took the data."
                                        : ". The Mirage did not take the data."),
                               SendCaption, BoxButtons::Ok);
    }
    showFigures();
}

} // namespace corvane
