#include "ConfigTable.h"

#include "Named.h"
#include "MirageProtocol.h"
#include "Shape.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdint>

namespace corvane {

namespace {

// The configuration fields this window steps, by parameter number.
const StepField MasterTune = StepField::of(21);
const StepField BendRange = StepField::of(22);
const StepField VelocitySensitivity = StepField::of(23);
const StepField Balance = StepField::of(24);     // kept doubled
const StepField MidiChannel = StepField::of(82); // shown 1-16
const SwitchField ProgramLink = SwitchField::of(25);
const SwitchField Omni = SwitchField::of(81);
const SwitchField MidiThru = SwitchField::of(83);
const SwitchField MidiModulation = SwitchField::of(84);

// A caption of one line at (x, y), centred on the line.
QLabel* addLabel(QWidget* parent, const QString& text, int x, int y, int w = 118)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, 21);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

} // namespace

TConfigTableForm::TConfigTableForm(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("ConfigTableForm");
    setWindowTitle("Keyboard Setup");
    SetFixedFrame({379, 236});
    UseEditorFont();

    buildValueRows();
    buildBalanceBars();
    buildMidiControls();
    buildButtons();
    bindFields();
    connectHandlers();
}

void TConfigTableForm::buildValueRows()
{
    auto valueRow = [this](const QString& caption, int y, TValueBox*& box, const char* boxName, TUpDown*& ud,
                           const char* udName, const QString& initial) {
        addLabel(this, caption, 16, y);
        box = named(new TValueBox(this, initial), boxName);
        box->setGeometry(136, y, 41, 21);
        ud = named(new TUpDown(this), udName);
        ud->setGeometry(177, y, 16, 21);
    };

    valueRow("Master Tune", 8, ebMasterTune, "ebMasterTune", UpDownMasterTune, "UpDownMasterTune", "0");
    valueRow("Pitch Bender Range", 32, ebPitchBenderRange, "ebPitchBenderRange", UpDownPitchBender,
             "UpDownPitchBender", "0");
    ebPitchBenderRange->setReadOnly(false);
    valueRow("Velocity Sensitivity", 56, ebVelocitySensitivity, "ebVelocitySensitivity", UpDownVelsSens,
             "UpDownVelsSens", "0");
    valueRow("Upper/Lower Balance", 80, ebULbalance, "ebULbalance", UpDownULbalance, "UpDownULbalance", "0");
}

// The balance as two bars, lower and upper, and the program link under them.
void TConfigTableForm::buildBalanceBars()
{
    addLabel(this, "Lower", 16, 99, 65)->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    addLabel(this, "Upper", 80, 99, 65)->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    Shape1 = named(new TShape(this), "Shape1");
    Shape1->setBrushColor(QColor(0x00, 0x80, 0x00)); // green
    Shape1->setGeometry(16, 120, 65, 49);
    Shape2 = named(new TShape(this), "Shape2");
    Shape2->setBrushColor(QColor(0x80, 0x00, 0x00)); // maroon
    Shape2->setGeometry(80, 120, 65, 49);
    lowerTop_ = Shape1->y();
    lowerHeight_ = Shape1->height();
    upperTop_ = Shape2->y();
    upperHeight_ = Shape2->height();

    ckProgramLink = named(new TSwitchBox("U/L Program Link", this), "ckProgramLink");
    ckProgramLink->setGeometry(16, 184, 150, 21);
}

void TConfigTableForm::buildMidiControls()
{
    addLabel(this, "Midi Channel", 216, 8, 80);
    edMidiChannel = named(new TValueBox(this, "1"), "edMidiChannel");
    edMidiChannel->setGeometry(300, 8, 41, 21);
    UpDownMidiChannel = named(new TUpDown(this), "UpDownMidiChannel");
    UpDownMidiChannel->setGeometry(341, 8, 16, 21);
    UpDownMidiChannel->setAssociate(edMidiChannel);

    ckOmniMode = named(new TSwitchBox("Omni Mode", this), "ckOmniMode");
    ckOmniMode->setGeometry(216, 44, 140, 21);
    ckMidiThru = named(new TSwitchBox("Midi Thru", this), "ckMidiThru");
    ckMidiThru->setGeometry(216, 68, 140, 21);
    ckMidiThru->setToolTip("Always set unchecked (off)");
    ckMidiModEnable = named(new TSwitchBox("Midi Mod Enable", this), "ckMidiModEnable");
    ckMidiModEnable->setGeometry(216, 92, 140, 21);
    ckMidiModEnable->setToolTip("Set ticked");
}

// The software version and the buttons.
void TConfigTableForm::buildButtons()
{
    addLabel(this, "Software Version", 216, 124, 120);
    edSoftwareVersion = named(new QLineEdit("SoftwareVersion", this), "edSoftwareVersion");
    edSoftwareVersion->setReadOnly(true);
    edSoftwareVersion->setGeometry(216, 146, 121, 21);

    bnConfigRefresh = named(new QPushButton("Refresh", this), "bnConfigRefresh");
    bnConfigRefresh->setGeometry(200, 200, 75, 25);
    bnOK = named(new QPushButton("OK", this), "bnOK");
    bnOK->setDefault(true);
    bnOK->setGeometry(288, 200, 75, 25);
}

void TConfigTableForm::bindFields()
{
    // Ranges and initial positions as the window is created.
    UpDownPitchBender->setRange(BendRange.min, BendRange.max);
    UpDownPitchBender->setPosition(1);
    UpDownMidiChannel->setRange(MidiChannel.min, MidiChannel.max);
    UpDownMidiChannel->setPosition(1);

    fields_ = std::make_unique<FieldStepper>(Mirage());
    fields_->add(MasterTune, UpDownMasterTune, ebMasterTune);
    fields_->add(BendRange, UpDownPitchBender, ebPitchBenderRange);
    fields_->add(VelocitySensitivity, UpDownVelsSens, ebVelocitySensitivity);
    fields_->add(Balance, UpDownULbalance, ebULbalance);
    fields_->add(MidiChannel, UpDownMidiChannel, edMidiChannel);
    fields_->addSwitch(ProgramLink, ckProgramLink);
    fields_->addSwitch(Omni, ckOmniMode);
    fields_->addSwitch(MidiThru, ckMidiThru);
    fields_->addSwitch(MidiModulation, ckMidiModEnable);
    UpDownPitchBender->setPosition(1);
    UpDownMidiChannel->setPosition(1);
}

void TConfigTableForm::connectHandlers()
{
    connect(UpDownMasterTune, &TUpDown::Click, this, &TConfigTableForm::UpDownMasterTuneClick);
    connect(UpDownPitchBender, &TUpDown::Click, this, &TConfigTableForm::UpDownPitchBenderClick);
    connect(UpDownVelsSens, &TUpDown::Click, this, &TConfigTableForm::UpDownVelsSensClick);
    connect(UpDownULbalance, &TUpDown::Click, this, &TConfigTableForm::UpDownULbalanceClick);
    connect(UpDownMidiChannel, &TUpDown::Click, this, &TConfigTableForm::UpDownMidiChannelClick);
    connect(ckProgramLink, &TSwitchBox::Toggle, this, &TConfigTableForm::ckProgramLinkToggle);
    connect(ckOmniMode, &TSwitchBox::Toggle, this, &TConfigTableForm::ckOmniModeToggle);
    connect(ckMidiThru, &TSwitchBox::Toggle, this, &TConfigTableForm::ckMidiThruToggle);
    connect(ckMidiModEnable, &TSwitchBox::Toggle, this, &TConfigTableForm::ckMidiModEnableToggle);
    connect(ebULbalance, &QLineEdit::textChanged, this, &TConfigTableForm::ebULbalanceChange);
    connect(bnConfigRefresh, &QPushButton::clicked, this, &TConfigTableForm::bnConfigRefreshClick);
    connect(bnOK, &QPushButton::clicked, this, &TConfigTableForm::bnOKClick);
}

TConfigTableForm::~TConfigTableForm() = default;

void TConfigTableForm::FormActivate()
{
    // Never step a copy that was not read from the instrument.
    Mirage().EnsureConfig();
    DisplayRefresh();
}

void TConfigTableForm::DumpArrived(MirageProtocol::Arrival a)
{
    if (a == MirageProtocol::Arrival::Config)
        DisplayRefresh();
}

void TConfigTableForm::DisplayRefresh()
{
    fields_->showAll();
    // The version is two single bytes, each read as a signed number: the
    // major number at 59, the minor at 58.
    const int high = static_cast<std::int8_t>(Mirage().ConfigDump[cfg::VersionMajor]);
    const int low = static_cast<std::int8_t>(Mirage().ConfigDump[cfg::VersionMinor]);
    edSoftwareVersion->setText(Mirage().Received(MirageProtocol::Arrival::Config) ? QString("%1.%2").arg(high).arg(low)
                                                                                  : QString("XX"));
}

void TConfigTableForm::ebULbalanceChange()
{
    bool known = false;
    const int a = ebULbalance->text().toInt(&known);
    // No bars while the balance was never received ("XX").
    Shape1->setVisible(known);
    Shape2->setVisible(known);
    // One bar shrinks; the other stands at its full height, also when the
    // value has jumped across the middle.
    if (a >= 32) {
        Shape1->setGeometry(Shape1->x(), lowerTop_ + (a - 32), Shape1->width(), lowerHeight_ - (a - 32));
        Shape2->setGeometry(Shape2->x(), upperTop_, Shape2->width(), upperHeight_);
    } else {
        Shape2->setGeometry(Shape2->x(), upperTop_ + (31 - a), Shape2->width(), upperHeight_ - (31 - a));
        Shape1->setGeometry(Shape1->x(), lowerTop_, Shape1->width(), lowerHeight_);
    }
}

void TConfigTableForm::bnConfigRefreshClick()
{
    Converse([this] {
        Mirage().RequestConfig();
        DisplayRefresh();
    });
}

void TConfigTableForm::bnOKClick() { close(); }

} // namespace corvane
