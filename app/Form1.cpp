#include "Form1.h"

#include "Artwork.h"
#include "Border.h"
#include "FormBase.h"
#include "HelpWindow.h"
#include "Image.h"
#include "Midiin.h"
#include "Midiout.h"
#include "Shape.h"
#include "VirtualDevice.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QToolButton>

#include <algorithm>
#include <utility>

namespace corvane {

TForm1* Form1 = nullptr;

namespace {

constexpr int ClientWidth = 627;
constexpr int ClientHeight = 465;
constexpr int WaitBetweenProgramRequests = 100;

const char* const PortCaption = "MIDI Setup";
const char* const InputNotReady = "Error - MIDI input port is not ready.";
const char* const OutputNotReady = "Error - MIDI output port is not ready.";

enum Halves { Both, Upper, Lower };

// The main window's faces and frames are set and painted directly, not by
// style sheets: a style sheet sends every control under it through Qt's
// style-sheet machinery, at start and at every repaint of the window.
QLabel* caption(QWidget* parent, const QString& text, int x, int y, int w)
{
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setPixelSize(16);
    f.setBold(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(0xFF, 0xFF, 0x00));
    l->setPalette(p);
    l->setGeometry(x, y, w, 20);
    return l;
}

// The tool bar's strip: light grey at the top to darker at the bottom, in a
// black frame.
class ToolStrip : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QLinearGradient shade(0, 0, 0, height());
        shade.setColorAt(0, QColor(0xD4, 0xD4, 0xD4));
        shade.setColorAt(1, QColor(0xA8, 0xA8, 0xA8));
        p.fillRect(rect(), shade);
        paintBorder(p, rect(), 1, Qt::black);
    }
};

// A status bar panel: sunk, dark above and left, light below and right.
class StatusPanel : public QLabel {
public:
    StatusPanel(const QString& text, QWidget* parent) : QLabel(text, parent)
    {
        // Inside the border, with the text a few pixels in from the left.
        setContentsMargins(5, 1, 1, 1);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, Qt::black);
        setPalette(p);
    }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        QLabel::paintEvent(e);
        QPainter p(this);
        paintBorder(p, rect(), 1, QColor(0x8A, 0x8A, 0x8A), QColor(0xF0, 0xF0, 0xF0));
    }
};

} // namespace

TForm1::TForm1(Seams& seams, bool virtualMirage, const std::string& midiApi, QWidget* parent)
    : QMainWindow(parent), MirageProtocol(seams), virtualMirage_(virtualMirage)
{
    Form1 = this;
    setObjectName("Form1");
    setWindowTitle("Corvane");
    setSysExOut([this](const std::uint8_t* data, int len) { MidiOut1->SysEx(data, len); });
    setLongSysExOut([this](const std::uint8_t* data, int len, const GoOn& goOn) {
        const TMidiOut::SendResult r = MidiOut1->SysEx(data, len, goOn);
        return LongSend{r.sent, r.total, r.stopped, r.cutShort};
    });

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    client->setFixedSize(ClientWidth, ClientHeight);
    client->setAutoFillBackground(true);
    QPalette pal = client->palette();
    pal.setColor(QPalette::Window, QColor(0x03, 0x06, 0x09)); // Windows colour 0x090603
    client->setPalette(pal);
    setCentralWidget(client);
    loadSettings(midiApi);
    // The MIDI system's objects are made while the window is built.
    prepareMidiSystem();
    buildToolBar(client);
    buildBlockDiagram(client);
    buildStatusBar(client);
    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    MidiIn1 = new TMidiIn(this);
    MidiIn1->setObjectName("MidiIn1");
    MidiIn1->SetUseShort(false);
    MidiIn1->OnSysEx = [this](TMidiIn*, const std::uint8_t* data, int size) { MidiIn1SysEx(data, size); };
    MidiOut1 = new TMidiOut(this);
    MidiOut1->setObjectName("MidiOut1");
    // The MIDI monitor hears both ports where messages pass anyway.
    MidiIn1->OnTraffic = [this](const std::uint8_t* data, std::size_t size) {
        Traffic.add(false, MidiIn1->DeviceName(MidiIn1->Port()), data, size);
    };
    MidiOut1->OnTraffic = [this](const std::uint8_t* data, std::size_t size) {
        Traffic.add(true, MidiOut1->DeviceName(MidiOut1->Port()), data, size, true);
    };

    inKeeper_ = std::make_unique<PortKeeper<TMidiIn>>(*MidiIn1, MidiInPort, MidiInPortName, "MIDI In");
    outKeeper_ = std::make_unique<PortKeeper<TMidiOut>>(*MidiOut1, MidiOutPort, MidiOutPortName, "MIDI Out");
    ResetState();
    EnvPresets = loadPresets(presetsFilePath());
    openPortsAtStart();
    AddArrivalListener([this](Arrival a) { noteArrival(a); });
    UpdateMenus();
}

TForm1::~TForm1()
{
    History().RemoveListener(historyListener_);
    if (portWatchTimer_)
        seamsRef().cancelTimer(portWatchTimer_);
    for (const int id : answerTimers_)
        seamsRef().cancelTimer(id);
    // The windows go before the instrument state they were given.
    for (auto& [name, window] : windowOrder_)
        delete window;
    windowOrder_.clear();
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::loadSettings(const std::string& midiApi)
{
    loadedSettings_ = readSettings(settingsFilePath());
    // Chosen before the ports are made: they are made on it.
    MidiSystem = midiApi.empty() ? loadedSettings_.midiApi : midiApi;
    chooseMidiSystem(MidiSystem);
    WavesampleNames = loadedSettings_.names;
    WavesampleColours = loadedSettings_.colours;
    MidiInPort = loadedSettings_.midiInPort;
    MidiOutPort = loadedSettings_.midiOutPort;
    MidiInPortName = loadedSettings_.midiInPortName;
    MidiOutPortName = loadedSettings_.midiOutPortName;
    AnswerLimit.configMs = loadedSettings_.configAnswerMs;
    AnswerLimit.programMs = loadedSettings_.programAnswerMs;
    StepWaitMs = loadedSettings_.stepWaitMs;
    History().RotationsUndoable = loadedSettings_.undoRotations;
    Traffic.setLimits(static_cast<std::size_t>(loadedSettings_.monitorMessages),
                      static_cast<std::size_t>(loadedSettings_.monitorMegabytes) * 1024 * 1024);
    if (virtualMirage_) {
        // The emulator is device 0 of both tables in this run; the stored
        // choice is left for the next run with the instrument.
        MidiInPort = 0;
        MidiOutPort = 0;
        MidiInPortName.clear();
        MidiOutPortName.clear();
    }
}

void TForm1::copyDeviceLists()
{
    MidiInCount = MidiIn1->NumDevs();
    MidiInNames.clear();
    for (int i = 0; i < MidiInCount; ++i)
        MidiInNames.push_back(MidiIn1->DeviceName(i));
    MidiOutCount = MidiOut1->NumDevs();
    MidiOutNames.clear();
    for (int i = 0; i < MidiOutCount; ++i)
        MidiOutNames.push_back(MidiOut1->DeviceName(i));
}

// Each port is opened by its device's name where one is known, otherwise by
// its number. A port that cannot be opened, a number beyond the device list
// included, is reported once here; a named device that is missing is then
// waited for, and the status bar says so.
void TForm1::openPorts()
{
    if (!inKeeper_->open())
        seamsRef().messageBox(InputNotReady, PortCaption, BoxButtons::Ok);
    MidiOut1->SetUsing(false);
    if (!outKeeper_->open())
        seamsRef().messageBox(OutputNotReady, PortCaption, BoxButtons::Ok);
    showPortNotes();
}

void TForm1::openPortsAtStart()
{
    copyDeviceLists();
    openPorts();
    portWatchTimer_ = seamsRef().startTimer(PortWatchInterval, [this] { watchPorts(); });
}

void TForm1::ReopenMidiPorts()
{
    ForgetReceived();
    lastArrivalNote_.clear();
    ChangePorts([this] {
        MidiIn1->SetUsing(false);
        MidiOut1->SetUsing(false);
        openPorts();
    });
}

std::vector<std::string> TForm1::MidiSystemNames() const
{
    std::vector<std::string> names;
    for (const std::string& key : midiSystems())
        names.push_back(midiSystemName(key));
    return names;
}

int TForm1::ListedMidiSystem() const
{
    const std::string key = MidiSystem.empty() ? MidiIn1->SystemName() : MidiSystem;
    const std::vector<std::string> keys = midiSystems();
    const auto it = std::find(keys.begin(), keys.end(), key);
    if (it != keys.end())
        return static_cast<int>(it - keys.begin());
    // None in use (no sequencer, no JACK server running): the first of the
    // list is the one the program tries first, and would use once it runs.
    return keys.empty() ? -1 : 0;
}

void TForm1::SetMidiSystem(int index)
{
    const std::vector<std::string> keys = midiSystems();
    MidiSystem = index >= 0 && index < static_cast<int>(keys.size()) ? keys[static_cast<std::size_t>(index)] : "";
    ChangePorts([this] {
        inKeeper_->close();
        outKeeper_->close();
        chooseMidiSystem(MidiSystem);
        ReadMidiDevices();
    });
    showPortNotes();
}

void TForm1::watchPorts()
{
    portWatchTimer_ = 0;
    bool inChanged = false;
    bool outChanged = false;
    ChangePorts([&] {
        inChanged = inKeeper_->poll();
        outChanged = outKeeper_->poll();
    });
    if (inChanged || outChanged) {
        // The instrument may have been started again meanwhile: what was
        // received before is read again before it is edited.
        ForgetReceived();
        lastArrivalNote_.clear();
        copyDeviceLists();
        showPortNotes();
    }
    portWatchTimer_ = seamsRef().startTimer(PortWatchInterval, [this] { watchPorts(); });
}

// The last status panel: a port's note when one is missing or back, else
// what the program knows of the connection: the output port and whether the
// Mirage has answered on it (with its software version once the
// configuration has come), or what arrived last. The ports in full are the
// panel's tooltip.
void TForm1::showPortNotes()
{
    std::string text = inKeeper_->note();
    if (!text.empty() && !outKeeper_->note().empty())
        text += "; ";
    text += outKeeper_->note();
    const bool inOpen = inKeeper_->state() == PortKeeper<TMidiIn>::State::Open;
    const bool outOpen = outKeeper_->state() == PortKeeper<TMidiOut>::State::Open;
    const std::string inName = inOpen ? MidiIn1->DeviceName(MidiInPort) : "none";
    const std::string outName = outOpen ? MidiOut1->DeviceName(MidiOutPort) : "none";
    std::string answer;
    if (!inOpen || !outOpen)
        answer = "No MIDI port: Setup - MIDI Ports";
    else if (!Received(Arrival::Config) && !Received(Arrival::LowerProgram) && !Received(Arrival::UpperProgram) &&
             !Received(Arrival::Wavesample) && !Received(Arrival::Status))
        answer = outName + ": no answer yet";
    else {
        answer = "Mirage";
        if (Received(Arrival::Config)) {
            const int major = static_cast<std::int8_t>(ConfigDump[cfg::VersionMajor]);
            const int minor = static_cast<std::int8_t>(ConfigDump[cfg::VersionMinor]);
            answer += " " + std::to_string(major) + "." + std::to_string(minor);
        }
        answer += " answered";
        if (!lastArrivalNote_.empty())
            answer += " - " + lastArrivalNote_;
    }
    const bool portNote = !text.empty();
    if (!portNote)
        text = answer;
    if (!portNote && showingDrift()) {
        statusBeforeDrift_ = text;
        return;
    }
    setStatusText(3, text);
    if (auto* panel = statusPanels_[3])
        panel->setToolTip(QString::fromStdString("MIDI In: " + inName + "\nMIDI Out: " + outName + "\n" + answer));
}

// What the main window says when a dump it shows has arrived.
void TForm1::noteArrival(Arrival a)
{
    switch (a) {
    case Arrival::Config: lastArrivalNote_ = "Configuration received"; break;
    case Arrival::LowerProgram:
    case Arrival::UpperProgram:
        lastArrivalNote_ = Received(Arrival::LowerProgram) && Received(Arrival::UpperProgram)
                               ? "Programs received"
                               : a == Arrival::LowerProgram ? "Lower program received" : "Upper program received";
        break;
    default: break;
    }
    showPortNotes();
}

void TForm1::ReadMidiDevices()
{
    inKeeper_->readDevices();
    outKeeper_->readDevices();
    copyDeviceLists();
}

int TForm1::ListedMidiInPort() const { return inKeeper_->listed(); }
int TForm1::ListedMidiOutPort() const { return outKeeper_->listed(); }

void TForm1::SetMidiPorts(int in, int out)
{
    inKeeper_->choose(in);
    outKeeper_->choose(out);
}

// --- layout ------------------------------------------------------------------

void TForm1::buildToolBar(QWidget* client)
{
    auto* panel = new ToolStrip(client);
    panel->setObjectName("Panel1");
    panel->setGeometry(0, 0, ClientWidth, 27);
    struct Button {
        const char* name;
        const char* hint;
        art::Glyph glyph;
        void (TForm1::*handler)();
    };
    const Button buttons[] = {
        {"SpeedButtonLoadUL1", "Load UL1 into Mirage", art::Glyph::LoadBoth1, &TForm1::N11Click},
        {"SpeedButton2", "Load UL2 into Mirage", art::Glyph::LoadBoth2, &TForm1::N21Click},
        {"SpeedButton3", "Load UL3 into Mirage", art::Glyph::LoadBoth3, &TForm1::N31Click},
        {"sbLoadU1", "Load U1 into Mirage", art::Glyph::LoadUpper1, &TForm1::N12Click},
        {"SpeedButton4", "Load U2 into Mirage", art::Glyph::LoadUpper2, &TForm1::N22Click},
        {"SpeedButton5", "Load U3 into Mirage", art::Glyph::LoadUpper3, &TForm1::N32Click},
        {"sbLoadL1", "Load L1 into Mirage", art::Glyph::LoadLower1, &TForm1::N13Click},
        {"SpeedButton6", "Load L2 into Mirage", art::Glyph::LoadLower2, &TForm1::N23Click},
        {"SpeedButton7", "Load L3 into Mirage", art::Glyph::LoadLower3, &TForm1::N33Click},
        {"SpeedButton1", "Get Configuration", art::Glyph::GetConfiguration, &TForm1::SpeedButton1Click},
        {"sbRefreshUL", "Get UL Parameters", art::Glyph::GetParameters, &TForm1::sbRefreshULClick},
    };
    int x = 4;
    int index = 0;
    for (const Button& b : buttons) {
        auto* tb = new QToolButton(panel);
        tb->setObjectName(b.name);
        tb->setToolTip(b.hint);
        tb->setIcon(art::toolGlyph(b.glyph));
        tb->setIconSize(QSize(21, 21));
        tb->setAutoRaise(true);
        tb->setGeometry(x, 1, 25, 25);
        connect(tb, &QToolButton::clicked, this, b.handler);
        x += 25;
        if (++index == 3 || index == 6 || index == 9)
            x += 8; // groups: both halves, upper, lower, requests
    }
}

// The pictures of the two halves' blocks, which open their windows, and the
// signal lines between them. Upper half above (y 72-160), lower half below
// (y 272-360).
void TForm1::buildBlocks(QWidget* client, int upperY, int lowerY)
{
    struct Block {
        const char* name;
        QPixmap picture;
        int x, y;
        const char* window;
        const char* hint;
    };
    const Block blocks[] = {
        {"imMemU", art::memoryBlock(1), 14, upperY, "TfmMemMapU", ""},
        {"imOscU", art::oscillatorBlock(1), 135, upperY, "TfmOscLFOU", ""},
        {"imEnvU", art::filterBlock(1), 372, upperY, "TfmEnvFilterU", ""},
        {"Image2", art::keyboardBlock(), 297, 140, "TKeyboardAssig",
         "Click here to open Keyboard Allocation window."},
        {"imMemL", art::memoryBlock(0), 14, lowerY, "TMemoryMap", ""},
        {"Image3", art::oscillatorBlock(0), 135, lowerY, "TOscillator", ""},
        {"imEnvL", art::filterBlock(0), 372, lowerY, "TEnvelopeForm", ""},
    };
    for (int row = 0; row < 2; ++row) {
        const int y = (row == 0 ? upperY : lowerY) + 36;
        for (auto [x0, x1] : {std::pair{95, 135}, std::pair{248, 372}, std::pair{509, 545}}) {
            auto* c = new QLabel(client);
            c->setPixmap(art::connector(x1 - x0, 17));
            c->setGeometry(x0, y, x1 - x0, 17);
        }
    }
    for (const Block& b : blocks) {
        auto* im = new TImage(client);
        im->setObjectName(b.name);
        im->setPixmap(b.picture);
        im->setGeometry(b.x, b.y, b.picture.width(), b.picture.height());
        if (*b.hint)
            im->setToolTip(b.hint);
        const std::string window = b.window;
        connect(im, &TImage::clicked, this, [this, window] { ShowWindow(window); });
        windowImages_[window] = im;
    }
}

void TForm1::buildBlockDiagram(QWidget* client)
{
    const int upperY = 72;
    const int lowerY = 272;
    buildBlocks(client, upperY, lowerY);
    auto* bar = new TShape(client);
    bar->setObjectName("Shape1");
    bar->setBrushColor(QColor(0x80, 0, 0));
    bar->setPenColor(QColor(0x40, 0, 0));
    bar->setGeometry(545, 116, 9, 209);
    auto* out = new QLabel(client);
    out->setObjectName("OutputConnector");
    const QPixmap jack = art::outputConnector();
    out->setPixmap(jack);
    out->setGeometry(554, 220 - jack.height() / 2, jack.width(), jack.height());

    caption(client, "Oscillator Control", 135, upperY - 24, 180);
    caption(client, "Filter/Amplitude Control", 372, upperY - 24, 220);
    caption(client, "Oscillator Control", 135, lowerY - 24, 180);
    caption(client, "Filter/Amplitude Control", 372, lowerY - 24, 220);
    caption(client, "Keyboard Allocation", 336, 206, 200);

    auto* bottom = new QLabel(client);
    bottom->setObjectName("imBottom");
    const QPixmap strip = art::bottomPicture();
    bottom->setPixmap(strip);
    bottom->setGeometry(17, 386, strip.width(), strip.height());
}

void TForm1::buildStatusBar(QWidget* client)
{
    auto* bar = new QFrame(client);
    bar->setObjectName("StatusBar1");
    bar->setGeometry(0, ClientHeight - 20, ClientWidth, 20);
    bar->setAutoFillBackground(true);
    QPalette grey = bar->palette();
    grey.setColor(QPalette::Window, QColor(0xC8, 0xC8, 0xC8));
    bar->setPalette(grey);
    // The last panel, where the MIDI ports' notes go, takes the rest.
    const int widths[4] = {125, 130, 130, ClientWidth - 386};
    int x = 1;
    for (int i = 0; i < 4; ++i) {
        auto* l = new StatusPanel(QString::fromStdString(StatusText[static_cast<std::size_t>(i)]), bar);
        l->setObjectName(QString("StatusPanel%1").arg(i));
        // The panels keep their classic widths; a narrow face fits the texts.
        QFont f = l->font();
        f.setPixelSize(11);
        f.setStretch(QFont::Condensed);
        l->setFont(f);
        l->setGeometry(x, 2, widths[i] - 2, 17);
        statusPanels_[static_cast<std::size_t>(i)] = l;
        x += widths[i];
    }
}

QAction* TForm1::addItem(QMenu* menu, const QString& objectName, const QString& text,
                         std::function<void()> handler)
{
    auto* a = menu->addAction(text);
    a->setObjectName(objectName);
    connect(a, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    return a;
}

QAction* TForm1::addWindowItem(QMenu* menu, const QString& objectName, const QString& text,
                               const std::string& windowClass)
{
    QAction* a = addItem(menu, objectName, text, [this, windowClass] { ShowWindow(windowClass); });
    windowActions_[a] = windowClass;
    return a;
}

void TForm1::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    buildDiskMenu(bar);
    buildWavesampleMenu(bar);
    buildMirageMenu(bar);
    buildFunctionsMenu(bar);
    buildSetupAndHelpMenus(bar);
    buildHistoryMenus(bar);
}

void TForm1::buildDiskMenu(QMenuBar* bar)
{
    QMenu* disk = bar->addMenu("&Disk");
    QMenu* load = disk->addMenu("&Load sounds into Mirage");
    QMenu* loadBoth = load->addMenu("U &and L");
    addItem(loadBoth, "N11", "&1", [this] { N11Click(); });
    addItem(loadBoth, "N21", "&2", [this] { N21Click(); });
    addItem(loadBoth, "N31", "&3", [this] { N31Click(); });
    QMenu* loadUpper = load->addMenu("&Upper");
    addItem(loadUpper, "N12", "&1", [this] { N12Click(); });
    addItem(loadUpper, "N22", "&2", [this] { N22Click(); });
    addItem(loadUpper, "N32", "&3", [this] { N32Click(); });
    QMenu* loadLower = load->addMenu("&Lower");
    addItem(loadLower, "N13", "&1", [this] { N13Click(); });
    addItem(loadLower, "N23", "&2", [this] { N23Click(); });
    addItem(loadLower, "N33", "&3", [this] { N33Click(); });
    QMenu* save = disk->addMenu("&Save to Mirage Disk");
    QMenu* saveBoth = save->addMenu("U &and L");
    addItem(saveBoth, "SaveToMdiskUL1", "&1", [this] { SaveToMdiskUL1Click(); });
    addItem(saveBoth, "SaveToMdiskUL2", "&2", [this] { SaveToMdiskUL2Click(); });
    addItem(saveBoth, "SaveToMdiskUL3", "&3", [this] { SaveToMdiskUL3Click(); });
    QMenu* saveUpper = save->addMenu("&Upper");
    addItem(saveUpper, "SaveToMdiskU1", "&1", [this] { SaveToMdiskU1Click(); });
    addItem(saveUpper, "SaveToMdiskU2", "&2", [this] { SaveToMdiskU2Click(); });
    addItem(saveUpper, "SaveToMdiskU3", "&3", [this] { SaveToMdiskU3Click(); });
    QMenu* saveLower = save->addMenu("&Lower");
    addItem(saveLower, "SaveToMdiskL1", "&1", [this] { SaveToMdiskL1Click(); });
    addItem(saveLower, "SaveToMdiskL2", "&2", [this] { SaveToMdiskL2Click(); });
    addItem(saveLower, "SaveToMdiskL3", "&3", [this] { SaveToMdiskL3Click(); });
    addItem(disk, "SaveConfiguration1", "Save &Configuration", [this] { SaveConfiguration1Click(); });
    disk->addSeparator();
    addWindowItem(disk, "SaveSoundToFile1", "Save Sound to &File...", "TfmSaveSound")->setShortcut(QKeySequence("Ctrl+S"));
    addWindowItem(disk, "LoadSoundFromFile1", "Load Sound fr&om File...", "TfmLoadSound")->setShortcut(QKeySequence("Ctrl+O"));
    addWindowItem(disk, "ArchiveDisk1", "&Archive Disk...", "TfmArchiveDisk")->setShortcut(QKeySequence("Ctrl+Shift+A"));
    addWindowItem(disk, "DiskImages1", "Disk &Images...", "TfmDiskImages");
    addWindowItem(disk, "Library1", "L&ibrary...", "TfmLibrary")->setShortcut(QKeySequence("Ctrl+L"));
    disk->addSeparator();
    addItem(disk, "Exit1", "&Exit", [this] { Exit1Click(); });
}

void TForm1::buildWavesampleMenu(QMenuBar* bar)
{
    QMenu* ws = bar->addMenu("&Wavesample");
    addWindowItem(ws, "Tuning1", "&Tuning", "TfmTuning");
    addWindowItem(ws, "RelativeAmplitude1", "Relative &Amplitude", "TfmRelAmplitude");
    addWindowItem(ws, "RelativeFilter1", "Relative &Filter", "TfmRelFilter");
    ws->addSeparator();
    addWindowItem(ws, "Sample1", "Sam&pling", "TfmSample");
    ws->addSeparator();
    addWindowItem(ws, "GetfromMirage1", "&Get from Mirage", "TfmWsGet");
    addWindowItem(ws, "SendtoMirage1", "&Send to Mirage", "TfmWsSend");
    addWindowItem(ws, "EditWavesample1", "&Edit Wavesample...", "TfmWaveEditor")->setShortcut(QKeySequence("Ctrl+E"));
    ws->addSeparator();
    addWindowItem(ws, "Calculator1", "&Calculator", "TfmWsCalc");
    addWindowItem(ws, "BuildSound1", "&Build Sound...", "TfmBuildSound");
}

void TForm1::buildMirageMenu(QMenuBar* bar)
{
    QMenu* mirage = bar->addMenu("&Mirage");
    QMenu* upper = mirage->addMenu("&Upper");
    addWindowItem(upper, "EnvelopeFilterU", "&Envelope/Filter", "TfmEnvFilterU");
    addWindowItem(upper, "OscillatorLfoU", "&Oscillator/LFO", "TfmOscLFOU");
    addWindowItem(upper, "MemoryMap1", "&Memory Map", "TfmMemMapU");
    QMenu* lower = mirage->addMenu("&Lower");
    addWindowItem(lower, "Envelope2", "&Envelope/Filter", "TEnvelopeForm");
    addWindowItem(lower, "OscillatorLFO1", "&Oscillator/LFO", "TOscillator");
    addWindowItem(lower, "MemoryMap2", "&Memory Map", "TMemoryMap");
    mirage->addSeparator();
    addWindowItem(mirage, "KeyAllocation2", "&Key Allocation", "TKeyboardAssig");
    mirage->addSeparator();
    addItem(mirage, "GetConfiguration1", "Get &Configuration", [this] { SpeedButton1Click(); });
    addItem(mirage, "GetULParameters1", "Get U&L Parameters", [this] { sbRefreshULClick(); });
}

void TForm1::buildFunctionsMenu(QMenuBar* bar)
{
    QMenu* functions = bar->addMenu("&Functions");
    addWindowItem(functions, "ProgramCopy1", "&Program Copy", "TfmProgCopy");
    addWindowItem(functions, "WavesampleCopy1", "&Wavesample Copy", "TfmMasosCopy");
    addWindowItem(functions, "SampleRotate", "&Sample Rotate", "TfmSampleRotate");
    functions->addSeparator();
    addItem(functions, "Reboot1", "&Reboot", [this] { Reboot1Click(); });
}

void TForm1::buildSetupAndHelpMenus(QMenuBar* bar)
{
    QMenu* setup = bar->addMenu("&Setup");
    addWindowItem(setup, "MIDIPorts1", "MIDI &Ports", "TMidiSetupDialogBox");
    addWindowItem(setup, "ConfigurationTable1", "&Configuration Table", "TConfigTableForm");
    addWindowItem(setup, "Colours1", "C&olours", "TfmSetColours");
    addWindowItem(setup, "LibraryFolders1", "&Library Folders...", "TfmLibraryFolders");
    addWindowItem(setup, "MidiMonitor1", "MIDI &Monitor...", "TfmMidiMonitor")->setShortcut(QKeySequence("Ctrl+M"));

    QMenu* help = bar->addMenu("&Help");
    addItem(help, "Contents", "&Contents", [this] { ContentsClick(); });
    addWindowItem(help, "About", "&About...", "TAboutBox");
}

// --- windows -------------------------------------------------------------------

void TForm1::RegisterWindow(const std::string& className, TFormBase* window)
{
    windowOrder_.emplace_back(className, window);
    UpdateMenus();
}

void TForm1::RegisterWindow(const std::string& className, WindowMaker make)
{
    windowOrder_.emplace_back(className, nullptr);
    windowMakers_[className] = std::move(make);
    UpdateMenus();
}

bool TForm1::HasWindow(const std::string& className) const
{
    for (const auto& entry : windowOrder_)
        if (entry.first == className)
            return true;
    return false;
}

TFormBase* TForm1::Window(const std::string& className)
{
    for (std::size_t i = 0; i < windowOrder_.size(); ++i) {
        if (windowOrder_[i].first != className)
            continue;
        if (!windowOrder_[i].second) {
            const auto maker = windowMakers_.find(className);
            if (maker == windowMakers_.end())
                return nullptr;
            const WindowMaker make = std::move(maker->second);
            windowMakers_.erase(maker);
            // By index: a window being built may reach for others.
            TFormBase* built = make();
            windowOrder_[i].second = built;
        }
        return windowOrder_[i].second;
    }
    return nullptr;
}

const std::vector<std::pair<std::string, TFormBase*>>& TForm1::Windows()
{
    for (std::size_t i = 0; i < windowOrder_.size(); ++i)
        Window(windowOrder_[i].first);
    return windowOrder_;
}

WindowContext TForm1::Context()
{
    return WindowContext{*this,           seamsRef(),       WavesampleNames,
                         WavesampleColours, NameSampleIndex, EnvPresets,
                         [this](const std::string& className) { ShowWindow(className); },
                         [this] { CheckMirageClick(); },
                         [this](const std::string& className) -> QWidget* { return Window(className); }};
}

void TForm1::ShowWindow(const std::string& className)
{
    if (TFormBase* w = Window(className))
        w->ShowAndActivate();
}

void TForm1::UpdateMenus()
{
    for (const auto& [action, windowClass] : windowActions_)
        action->setEnabled(HasWindow(windowClass));
    for (const auto& [windowClass, image] : windowImages_)
        image->setEnabled(HasWindow(windowClass));
}

QAction* TForm1::Action(const QString& objectName) const
{
    return menuBar()->findChild<QAction*>(objectName);
}

QToolButton* TForm1::ToolButton(const QString& objectName) const
{
    return findChild<QToolButton*>(objectName);
}

QString TForm1::StatusPanelText(int i) const
{
    if (i < 0 || i >= 4)
        return {};
    return statusPanels_[static_cast<std::size_t>(i)]->text();
}

void TForm1::StatusTextChanged(int panel)
{
    if (auto* l = statusPanels_[static_cast<std::size_t>(panel)])
        l->setText(QString::fromStdString(StatusText[static_cast<std::size_t>(panel)]));
}

// --- requests ---------------------------------------------------------------------

void TForm1::SpeedButton1Click()
{
    // Sent now, or after the sequence that holds the conversation; its
    // answer is looked for from then on.
    Converse([this] {
        SendSysEx(requestMessage(cmd::ConfigRequest));
        expectAnswer({Arrival::Config}, "the configuration dump request (Get Configuration)", AnswerLimit.configMs);
    });
}

void TForm1::sbRefreshULClick()
{
    Converse([this] {
        const std::vector<int> before{Arrivals(Arrival::LowerProgram), Arrivals(Arrival::UpperProgram)};
        SendSysEx(requestMessage(cmd::LowerRequest));
        Wait(WaitBetweenProgramRequests);
        SendSysEx(requestMessage(cmd::UpperRequest));
        expectAnswer({Arrival::LowerProgram, Arrival::UpperProgram}, "the program dump requests (Get UL Parameters)",
                     AnswerLimit.programMs, before);
    });
}

// The main window's requests wait for nothing: their answers are looked for
// once the time they may take has passed.
void TForm1::expectAnswer(std::vector<Arrival> kinds, const std::string& asked, int limitMs, std::vector<int> before)
{
    if (before.empty())
        for (const Arrival a : kinds)
            before.push_back(Arrivals(a));
    const int id = seamsRef().startTimer(limitMs, [this, kinds, before, asked, limitMs] {
        bool all = true;
        for (std::size_t i = 0; i < kinds.size(); ++i)
            all = all && Arrivals(kinds[i]) != before[i];
        if (!all)
            ReportNoAnswer(asked, limitMs);
    });
    answerTimers_.push_back(id);
}

std::string TForm1::InputName() const
{
    return MidiIn1->Using() ? MidiIn1->DeviceName(MidiIn1->Port()) : std::string();
}

std::string TForm1::PortsText() const
{
    const auto name = [](bool open, const std::string& device) {
        return open ? "\"" + device + "\"" : std::string("none open");
    };
    if (!MidiOut1->Using())
        return "No MIDI Out port is open, so nothing was sent: choose the ports under Setup > MIDI Ports.";
    return "Asked on MIDI Out " + name(MidiOut1->Using(), MidiOut1->DeviceName(MidiOut1->Port())) +
           ", listening on MIDI In " + name(MidiIn1->Using(), MidiIn1->DeviceName(MidiIn1->Port())) + ".";
}

// --- disk and system commands ----------------------------------------------------------

void TForm1::loadSound(int halves, int sound)
{
    const auto n = static_cast<std::uint8_t>(sound);
    switch (halves) {
    case Both: SendSysEx(keyCodeMessage({key::UpperLoad, key::LowerLoad, n, key::Enter})); break;
    case Upper: SendSysEx(keyCodeMessage({key::UpperLoad, n, key::Enter})); break;
    default: SendSysEx(keyCodeMessage({key::LowerLoad, n, key::Enter})); break;
    }
}

void TForm1::saveToDisk(int halves, int slot)
{
    // 01 then 01 lower, 02 upper, 03 both, then the slot and enter.
    const std::uint8_t which = halves == Lower ? 0x01 : halves == Upper ? 0x02 : 0x03;
    SendSysEx(keyCodeMessage({0x01, which, static_cast<std::uint8_t>(slot), key::Enter}));
}

void TForm1::N11Click() { loadSound(Both, 1); }
void TForm1::N21Click() { loadSound(Both, 2); }
void TForm1::N31Click() { loadSound(Both, 3); }
void TForm1::N12Click() { loadSound(Upper, 1); }
void TForm1::N22Click() { loadSound(Upper, 2); }
void TForm1::N32Click() { loadSound(Upper, 3); }
void TForm1::N13Click() { loadSound(Lower, 1); }
void TForm1::N23Click() { loadSound(Lower, 2); }
void TForm1::N33Click() { loadSound(Lower, 3); }
void TForm1::SaveToMdiskUL1Click() { saveToDisk(Both, 1); }
void TForm1::SaveToMdiskUL2Click() { saveToDisk(Both, 2); }
void TForm1::SaveToMdiskUL3Click() { saveToDisk(Both, 3); }
void TForm1::SaveToMdiskU1Click() { saveToDisk(Upper, 1); }
void TForm1::SaveToMdiskU2Click() { saveToDisk(Upper, 2); }
void TForm1::SaveToMdiskU3Click() { saveToDisk(Upper, 3); }
void TForm1::SaveToMdiskL1Click() { saveToDisk(Lower, 1); }
void TForm1::SaveToMdiskL2Click() { saveToDisk(Lower, 2); }
void TForm1::SaveToMdiskL3Click() { saveToDisk(Lower, 3); }

void TForm1::SaveConfiguration1Click()
{
    if (seamsRef().messageBox(
            "Only save MASOS to MASOS disks not to non-MASOS, and non-MASOS to non-MASOS. Continue?",
            "Save Configuration Warning", BoxButtons::YesNo) == BoxAnswer::Yes)
        SendSysEx(keyCodeMessage({0x01, 0x04, key::Enter}));
}

void TForm1::Reboot1Click()
{
    if (seamsRef().messageBox("Insert MASOS floppy disk into the Mirage. Continue?", "Mirage Reboot",
                              BoxButtons::YesNo) == BoxAnswer::Yes)
        SendSysEx(keyCodeMessage({key::UpperLoad, key::LowerLoad, 0x00, key::Enter}));
}

// --- leaving ----------------------------------------------------------------------------

namespace {
std::string notWritten(const QString& path, const QString& why, const char* lost)
{
    return "Error - File write fail - cannot write " + path.toStdString() + " (" + why.toStdString() + "); " + lost +
           ".\n";
}
} // namespace

// A file that cannot be written is named with the reason, and the user may
// stay in the program, the changes still in hand.

// While a transfer runs, leaving asks first; on Yes the transfer is stopped
// and `leave` runs once its sequence has ended. False: not now.
bool TForm1::mayLeave(std::function<void()> leave)
{
    if (!Transferring())
        return true;
    if (!leaveWhenFree_ && seamsRef().messageBox("A transfer is running - stop it and quit?", "Transfer Running",
                                                 BoxButtons::YesNo) == BoxAnswer::Yes) {
        StopTransfer();
        DropKept();
        leaveWhenFree_ = std::move(leave);
    }
    return false;
}

void TForm1::ConversationEnded()
{
    if (!leaveWhenFree_)
        return;
    // From the event loop, outside the ended sequence's calls.
    QMetaObject::invokeMethod(this, [leave = std::exchange(leaveWhenFree_, nullptr)] { leave(); },
                              Qt::QueuedConnection);
}

void TForm1::Exit1Click()
{
    if (!mayLeave([this] { Exit1Click(); }))
        return;
    SettingsData s;
    s.names = WavesampleNames;
    s.colours = WavesampleColours;
    s.midiInPort = virtualMirage_ ? loadedSettings_.midiInPort : MidiInPort;
    s.midiOutPort = virtualMirage_ ? loadedSettings_.midiOutPort : MidiOutPort;
    s.midiInPortName = virtualMirage_ ? loadedSettings_.midiInPortName : inKeeper_->name();
    s.midiOutPortName = virtualMirage_ ? loadedSettings_.midiOutPortName : outKeeper_->name();
    s.midiApi = MidiSystem;
    std::string failed;
    QString why;
    if (!writeSettings(settingsFilePath(), s, &why))
        failed += notWritten(settingsFilePath(), why, "the wavesample names, colours and MIDI ports are not saved");
    if (!savePresets(presetsFilePath(), EnvPresets, &why))
        failed += notWritten(presetsFilePath(), why, "the envelope presets are not saved");
    if (!failed.empty() &&
        seamsRef().messageBox(failed + "Exit all the same?", "Exit", BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    close(); // closes the ports and ends the program
}

void TForm1::FormClose()
{
    if (portWatchTimer_)
        seamsRef().cancelTimer(portWatchTimer_);
    portWatchTimer_ = 0;
    ChangePorts([this] {
        MidiIn1->SetUsing(false);
        MidiOut1->SetUsing(false);
    });
}

void TForm1::closeEvent(QCloseEvent* e)
{
    if (!mayLeave([this] { close(); })) {
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
    QApplication::quit();
}

void TForm1::ContentsClick()
{
    if (!helpWindow_)
        helpWindow_ = new THelpWindow(this);
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

void TForm1::AboutClick() { ShowWindow("TAboutBox"); }

} // namespace corvane
