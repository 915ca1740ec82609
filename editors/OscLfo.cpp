#include "OscLfo.h"

#include "Named.h"
#include "Panel.h"
#include "MirageProtocol.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>

namespace corvane {

namespace {

// These windows judge a switch by its whole stored value.
SwitchField wholeSwitch(int parameter)
{
    SwitchField f = SwitchField::of(parameter);
    f.wholeValue = true;
    return f;
}

// A captioned box with its up-down at column x.
void addPair(QWidget* parent, const char* caption, int x, TValueBox*& box, const char* boxName, TUpDown*& ud,
             const char* udName)
{
    auto* l = new QLabel(caption, parent);
    l->setGeometry(x - 6, 20, 60, 14);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    box = named(new TValueBox(parent, "0"), boxName);
    box->setGeometry(x, 36, 34, 21);
    ud = named(new TUpDown(parent), udName);
    ud->setGeometry(x + 34, 36, 15, 21);
}

} // namespace

TOscLfoEditor::TOscLfoEditor(const WindowContext& context, int half, QWidget* parent)
    : TProgramEditor(context, half, parent)
{
    setObjectName(half_ == 0 ? "Oscillator" : "fmOscLFOU");
    setWindowTitle(half_ == 0 ? "Lower - Oscillator & LFO Settings" : "Upper - Oscillator & LFO Settings");
    SetFixedFrame(half_ == 0 ? QSize(474, 209) : QSize(472, 213));
    UseEditorFont();
    build();
}

TOscLfoEditor::~TOscLfoEditor() = default;

void TOscLfoEditor::build()
{
    buildOscillator();
    buildMixMode();
    buildLfo();
    buildProgramLabel()->setGeometry(316, 92, 150, 14);
    buildProgramButtons(316, 108);
    buildRefreshPanel(QRect(316, 144, 150, 58), QRect(6, 16, 66, 25), QRect(78, 16, 66, 25));
    addFields();
}

void TOscLfoEditor::buildOscillator()
{
    gbOscillator = named(new QGroupBox(half_ == 0 ? "Lower Oscillator Setup" : "Upper Oscillator Setup", this),
                         "gbOscillator");
    gbOscillator->setGeometry(8, 4, 300, 198);
    addPair(gbOscillator, "Detune", 16, edOscDetuneVm, "edOscDetuneVm", udOscDetuneVm, "udOscDetuneVm");
    addPair(gbOscillator, "Mix", 80, edOscMixVm, "edOscMixVm", udOscMixVm, "udOscMixVm");
    addPair(gbOscillator, "Mix Vel", 144, edOscVmVm, "edOscVmVm", udVmVm, "udVmVm");
    auto* mark = named(new QFrame(gbOscillator), "Bevel1");
    mark->setFrameShape(QFrame::VLine);
    mark->setFrameShadow(QFrame::Sunken);
    mark->setGeometry(158, 58, 3, 10);
    lbMixVelNote = named(new QLabel("When zero, oscillator mix is by mod wheel only.", gbOscillator), "lbMixVelNote");
    lbMixVelNote->setWordWrap(true);
    lbMixVelNote->setGeometry(128, 68, 166, 28);
    cbMonoMode = named(new TSwitchBox("Mono Mode", gbOscillator), "cbMonoMode");
    cbMonoMode->setGeometry(16, 70, 100, 20);
}

void TOscLfoEditor::buildMixMode()
{
    pnMixMode = named(new TPanel(gbOscillator, QColor(0xAA, 0xAA, 0xAA), QColor(0x60, 0x60, 0x60)), "pnMixMode");
    pnMixMode->setGeometry(10, 96, 282, 94);
    cbMixModeSwitch = named(new TSwitchBox("Mix Mode", pnMixMode), "cbMixModeSwitch");
    cbMixModeSwitch->setToolTip("unck = 1 osc, ck= 2 osc");
    cbMixModeSwitch->setGeometry(8, 6, 120, 20);
    lbMixModeNote = named(new QLabel("Note: with Mix Mode on, the second wavesample parameters: Relative Tuning, "
                                     "Relative Amplitude, Relative Filter Freq. and Top Key are ignored.",
                                     pnMixMode),
                          "lbMixModeNote");
    lbMixModeNote->setWordWrap(true);
    lbMixModeNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbMixModeNote->setGeometry(8, 30, 266, 58);
}

void TOscLfoEditor::buildLfo()
{
    gbLFO = named(new QGroupBox("LFO", this), "gbLFO");
    gbLFO->setGeometry(316, 4, 150, 80);
    addPair(gbLFO, "Speed", 16, edLFOspeed, "edLFOspeed", udLFOspeed, "udLFOspeed");
    addPair(gbLFO, "Depth", 84, edLFOdepth, "edLFOdepth", udLFOdepth, "udLFOdepth");
    edLFOdepth->setToolTip("zero = mod wheel; >0 no mod wheel");
}

void TOscLfoEditor::addFields()
{
    fields_->add(StepField::of(33), udOscDetuneVm, edOscDetuneVm);
    fields_->add(StepField::of(34), udOscMixVm, edOscMixVm);
    fields_->add(StepField::of(35), udVmVm, edOscVmVm);
    fields_->add(StepField::of(31), udLFOspeed, edLFOspeed);
    fields_->add(StepField::of(32), udLFOdepth, edLFOdepth);
    fields_->addSwitch(wholeSwitch(28), cbMixModeSwitch);
    fields_->addSwitch(wholeSwitch(29), cbMonoMode);
    // Every step redisplays the window.
    fields_->setAfterStep([this](const TUpDown*, bool) { Redisplay(); });

    connect(udOscDetuneVm, &TUpDown::Click, this, &TOscLfoEditor::udOscDetuneVmClick);
    connect(udOscMixVm, &TUpDown::Click, this, &TOscLfoEditor::udOscMixVmClick);
    connect(udVmVm, &TUpDown::Click, this, &TOscLfoEditor::udVmVmClick);
    connect(udLFOspeed, &TUpDown::Click, this, &TOscLfoEditor::udLFOspeedClick);
    connect(udLFOdepth, &TUpDown::Click, this, &TOscLfoEditor::udLFOdepthClick);
    connect(cbMonoMode, &TSwitchBox::Toggle, this, &TOscLfoEditor::cbMonoModeClick);
    connect(cbMixModeSwitch, &TSwitchBox::Toggle, this, &TOscLfoEditor::cbMixModeSwitchClick);
}

void TOscLfoEditor::FormActivate()
{
    takeCurrentProgram();
    Mirage().SetCurrentHalf(half_);
    selectShownProgram();
}

// A dump that has just arrived is what the instrument holds: showing it
// sends nothing, whatever the ticks did before.
void TOscLfoEditor::DumpArrived(MirageProtocol::Arrival a)
{
    if (a == MirageProtocol::ProgramArrival(half_))
        Redisplay(false);
}

void TOscLfoEditor::Redisplay(bool ticksAreClicks)
{
    fields_->show(udOscDetuneVm);
    fields_->show(udOscMixVm);
    fields_->show(udVmVm);
    fields_->showSwitch(cbMixModeSwitch, ticksAreClicks);
    fields_->showSwitch(cbMonoMode, ticksAreClicks);
    fields_->show(udLFOspeed);
    fields_->show(udLFOdepth);
}

} // namespace corvane
