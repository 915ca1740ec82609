#include "Sampling.h"

#include "Named.h"
#include "Panel.h"
#include "MirageProtocol.h"
#include "Image.h"
#include "SamplingArt.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <array>

namespace corvane {

namespace {

// The input filter's cut-off for the shown values 50..99: a semitone apart
// from 1250 Hz, as the instrument labels them.
constexpr std::array<int, 50> CutoffTable = {
    1250,  1324,  1403,  1487,  1575,  1669,  1768,  1873,  1984,  2102,  //
    2227,  2360,  2500,  2649,  2806,  2973,  3150,  3337,  3536,  3746,  //
    3969,  4204,  4454,  4719,  5000,  5297,  5612,  5946,  6300,  6674,  //
    7071,  7492,  7937,  8409,  8909,  9439,  10000, 10595, 11225, 11892, //
    12599, 13348, 14142, 14983, 15874, 16818, 17818, 18878, 20000, 21189};

const StepField SampleTime = StepField::of(73); // sample period in microseconds
const StepField InputFilter = StepField::of(74);
const StepField Threshold = StepField::of(76);
const SwitchField LineInput = SwitchField::of(75);
const SwitchField Multisampling = SwitchField::of(77);

const char* const SingleSampleText =
    "Takes a single sample over half the keyboard using all 65536 bytes. Unity playback is on E for lower, A "
    "for upper only when sampled at 29.4kHz.";
const char* const MultiSampleText = "Fills memory of current wavesample according to the memory pointers.";

} // namespace

int InputFilterCutoffHz(int shown)
{
    if (shown < 50 || shown > 99)
        return 0;
    return CutoffTable[static_cast<std::size_t>(shown - 50)];
}

TfmSample::TfmSample(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmSample");
    setWindowTitle("Sampling");
    SetFixedFrame({650, 416});
    UseEditorFont();

    buildSamplingRows();
    buildInputControls();
    buildMemoryRows();
    bnRefresh = named(new QPushButton("Refresh", this), "bnRefresh");
    bnRefresh->setGeometry(16, 376, 75, 25);
    bnOK = named(new QPushButton("OK", this), "bnOK");
    bnOK->setDefault(true);
    bnOK->setGeometry(104, 376, 75, 25);

    buildGuide();
    bindFields();
    connectHandlers();
}

void TfmSample::buildSamplingRows()
{
    auto valueRow = [this](int y, TValueBox*& box, const char* boxName, TUpDown*& ud, const char* udName,
                           const QString& initial) {
        box = named(new TValueBox(this, initial), boxName);
        box->setGeometry(152, y, 41, 21);
        ud = named(new TUpDown(this), udName);
        ud->setGeometry(193, y, 16, 21);
    };

    // Sampling time and the frequency it gives.
    Label9 = namedLabel(this, "Label9", "Sampling Time", 16, 18, 130);
    valueRow(16, edSampleTimeAdjust, "edSampleTimeAdjust", udSampleTime, "udSampleTime", "20");
    Label1 = namedLabel(this, "Label1", "This corresponds to:", 24, 42, 124);
    lbSamplingFrequency = namedLabel(this, "lbSamplingFrequency", "XXXXX", 152, 42, 56);
    lbSamplingFrequency->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label2 = namedLabel(this, "Label2", "Hz", 214, 42, 24);

    // Threshold.
    Label11 = namedLabel(this, "Label11", "Sampling Threshold", 16, 76, 130);
    valueRow(74, edSamplingThresh, "edSamplingThresh", udSamplingThresh, "udSamplingThresh", "0");

    // Input filter and its cut-off.
    Label10 = namedLabel(this, "Label10", "Input Filter Freq. ", 16, 110, 130);
    valueRow(108, edInputFilterFreq, "edInputFilterFreq", udInputFilterFreq, "udInputFilterFreq", "0");
    Label3 = namedLabel(this, "Label3", "This corresponds to:", 24, 134, 124);
    lbFilterCutoffFreq = namedLabel(this, "lbFilterCutoffFreq", "xxxxx", 152, 134, 56);
    lbFilterCutoffFreq->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label4 = namedLabel(this, "Label4", "Hz", 214, 134, 24);
}

// The input switches, the multisampling note and the destination.
void TfmSample::buildInputControls()
{
    ckMicLine = named(new TSwitchBox("Line Input ", this), "ckMicLine");
    ckMicLine->setToolTip("ck = line");
    ckMicLine->setGeometry(16, 166, 120, 21);
    cbMultiSampling = named(new TSwitchBox("Multi Sampling", this), "cbMultiSampling");
    cbMultiSampling->setToolTip("ck = on");
    cbMultiSampling->setGeometry(16, 192, 120, 21);

    lbMultiInstruction = namedLabel(this, "lbMultiInstruction", QString(), 16, 218, 304, 56);
    lbMultiInstruction->setWordWrap(true);
    lbMultiInstruction->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Label19 = namedLabel(this, "Label19", "Destination Wavesample", 16, 280, 136);
    cbSelectWs = named(new QComboBox(this), "cbSelectWs");
    for (int i = 0; i < 16; ++i)
        cbSelectWs->addItem(QString("%1%2").arg(i < 8 ? 'L' : 'U').arg(i % 8 + 1));
    cbSelectWs->setGeometry(160, 277, 57, 22);
}

void TfmSample::buildMemoryRows()
{
    Label20 = namedLabel(this, "Label20", "Sample duration:", 16, 314, 100);
    lbSamplingTime = namedLabel(this, "lbSamplingTime", "XXX", 120, 314, 50);
    lbSamplingTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label21 = namedLabel(this, "Label21", "seconds", 176, 314, 60);
    Label22 = namedLabel(this, "Label22", "Memory:", 16, 338, 100);
    lbMemPages = namedLabel(this, "lbMemPages", "XXX", 120, 338, 50);
    lbMemPages->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label23 = namedLabel(this, "Label23", "pages", 176, 338, 40);
    lbMemBytes = namedLabel(this, "lbMemBytes", "XXXXX", 216, 338, 50);
    lbMemBytes->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label24 = namedLabel(this, "Label24", "bytes", 272, 338, 40);
}

void TfmSample::bindFields()
{
    fields_ = std::make_unique<FieldStepper>(Mirage());
    fields_->add(SampleTime, udSampleTime, edSampleTimeAdjust, [this](int v) { showSampleTime(v); },
                 [](int v) { return QString::number(v); });
    fields_->add(InputFilter, udInputFilterFreq, edInputFilterFreq, [this](int v) { showFilter(v); });
    fields_->add(Threshold, udSamplingThresh, edSamplingThresh);
    fields_->addSwitch(LineInput, ckMicLine);
    fields_->addSwitch(Multisampling, cbMultiSampling, [this] { MemoryDisplay(); });
    // Positions as the window is created.
    udSampleTime->setPosition(30);
    udInputFilterFreq->setPosition(50);
    udSamplingThresh->setPosition(0);
}

void TfmSample::connectHandlers()
{
    connect(udSampleTime, &TUpDown::Click, this, &TfmSample::udSampleTimeClick);
    connect(udSamplingThresh, &TUpDown::Click, this, &TfmSample::udSamplingThreshClick);
    connect(udInputFilterFreq, &TUpDown::Click, this, &TfmSample::udInputFilterFreqClick);
    connect(ckMicLine, &TSwitchBox::Toggle, this, &TfmSample::ckMicLineToggle);
    connect(cbMultiSampling, &TSwitchBox::Toggle, this, &TfmSample::cbMultiSamplingToggle);
    // `activated` comes only from the user's choice.
    connect(cbSelectWs, &QComboBox::activated, this, &TfmSample::cbSelectWsChange);
    connect(bnRefresh, &QPushButton::clicked, this, &TfmSample::bnRefreshClick);
    connect(bnOK, &QPushButton::clicked, this, &TfmSample::bnOKClick);
}

TfmSample::~TfmSample() = default;

void TfmSample::buildGuide()
{
    auto panel = [this](const char* name, int x, int y, int w, int h) {
        auto* p = named(new TPanel(this, TPanel::Grey, TPanel::Edge), name);
        p->setGeometry(x, y, w, h);
        return p;
    };
    auto caption = [](QWidget* parent, const QString& text, int x, int y, int w, bool bold = false) {
        auto* l = new QLabel(text, parent);
        l->setGeometry(x, y, w, 17);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        if (bold) {
            QFont f = l->font();
            f.setBold(true);
            l->setFont(f);
        }
        return l;
    };

    // The three steps of sampling on the front panel.
    Panel1 = panel("Panel1", 336, 8, 306, 150);
    Panel1->setToolTip("These are not active areas.");
    const char* steps[] = {"1. Select", "2. Start", "3. Stop"};
    for (int i = 0; i < 3; ++i) {
        auto* pic = new TImage(Panel1);
        pic->setGeometry(QRect(QPoint(8 + 100 * i, 8), art::SamplingStepSize));
        pic->setPixmap(art::samplingStep(i));
        caption(Panel1, steps[i], 8 + 100 * i, 124, 90, true);
    }

    // The level meter on the instrument's display while it listens.
    Panel2 = panel("Panel2", 336, 166, 306, 126);
    caption(Panel2, "Audio in level meter", 8, 6, 290, true);
    const char* levels[] = {"No signal", "Low level", "Threshold", "Peak"};
    for (int i = 0; i < 4; ++i) {
        auto* pic = new TImage(Panel2);
        pic->setGeometry(QRect(QPoint(8 + 74 * i, 28), art::LevelMeterSize));
        pic->setPixmap(art::levelMeter(i));
        caption(Panel2, levels[i], 4 + 74 * i, 102, 76);
    }

    // What the display says.
    Panel3 = panel("Panel3", 336, 300, 306, 108);
    caption(Panel3, "Display Mesages", 8, 4, 290, true);
    const char* meanings[] = {"SF = sample finished.", "nS = no signal.", "SU = Sample Upper", "SL = Sample Lower"};
    for (int i = 0; i < 4; ++i) {
        auto* pic = new TImage(Panel3);
        pic->setGeometry(QRect(QPoint(40, 24 + 20 * i), art::DisplayCodeSize));
        pic->setPixmap(art::displayCode(art::DisplayCodes[i]));
        auto* l = new QLabel(meanings[i], Panel3);
        l->setGeometry(80, 24 + 20 * i, 200, 18);
    }
}

void TfmSample::FormActivate()
{
    Mirage().EnsureConfig();
    const int w = Mirage().QueryCurrentWavesample();
    const int index = Mirage().GetCurrentHalf() * 8 + w;
    // A status reply outside the sixteen wavesamples leaves the selector.
    if (index >= 0 && index < cbSelectWs->count())
        cbSelectWs->setCurrentIndex(index);
    FullDisplay();
}

void TfmSample::DumpArrived(MirageProtocol::Arrival a)
{
    if (a == MirageProtocol::Arrival::Config)
        FullDisplay();
    else if (a == MirageProtocol::Arrival::LowerProgram || a == MirageProtocol::Arrival::UpperProgram)
        MemoryDisplay(); // the page pointers of the chosen wavesample
}

void TfmSample::FullDisplay()
{
    fields_->showAll();
    MemoryDisplay();
}

void TfmSample::showSampleTime(int stored)
{
    if (stored != 0)
        lbSamplingFrequency->setText(QString::number(1000000 / stored));
    showDuration();
}

void TfmSample::showFilter(int stored)
{
    const int n = stored / 2;
    // Only 50..99 have a cut-off; anything else cannot be stepped safely.
    const bool valid = InputFilterCutoffHz(n) != 0;
    udInputFilterFreq->setEnabled(valid);
    const bool known = Mirage().Received(MirageProtocol::Arrival::Config);
    lbFilterCutoffFreq->setText(!known ? QString("XXXXX") : valid ? QString::number(InputFilterCutoffHz(n)) : QString("error"));
}

void TfmSample::MemoryDisplay()
{
    const int multi = Mirage().ConfigDump[cfg::Multisampling];
    if (multi == 0) {
        lbMultiInstruction->setText(SingleSampleText);
        cbSelectWs->setEnabled(false);
        pages_ = 256;
    } else if (multi == 1) {
        lbMultiInstruction->setText(MultiSampleText);
        cbSelectWs->setEnabled(true);
        const int index = cbSelectWs->currentIndex();
        if (index >= 0 && index < 16) {
            const int half = index < 8 ? 0 : 1;
            const int w = index % 8;
            pages_ = Mirage().GetParam(half, wavesampleFieldPos(w, wsf::EndPage)) -
                     Mirage().GetParam(half, wavesampleFieldPos(w, wsf::StartPage)) + 1;
        }
    }
    lbMemPages->setText(QString::number(pages_));
    lbMemBytes->setText(QString::number(pages_ * 256));
    showDuration();
}

void TfmSample::showDuration()
{
    const int t = Mirage().GetConfigParam(cfg::SampleTime);
    const int d = t * pages_ * 256 / 10000;
    lbSamplingTime->setText(QString::number(d * 0.01, 'g', 15));
}

void TfmSample::cbSelectWsChange(int index)
{
    Converse([this, index] {
        Mirage().SelectWavesample(index);
        MemoryDisplay();
    });
}

void TfmSample::bnRefreshClick()
{
    Converse([this] {
        Mirage().RequestConfig();
        FullDisplay();
    });
}

void TfmSample::bnOKClick() { close(); }

} // namespace corvane
