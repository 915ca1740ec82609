// "Keyboard Setup": the Mirage's global settings from the configuration
// dump, stepped one key press at a time.
#pragma once

#include "FieldStepper.h"
#include "FormBase.h"

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

class TShape;
class TSwitchBox;
class TUpDown;
class TValueBox;

class TConfigTableForm : public TFormBase {
    Q_OBJECT
public:
    explicit TConfigTableForm(const WindowContext& context, QWidget* parent = nullptr);
    ~TConfigTableForm() override;

    TUpDown* UpDownMasterTune;
    TValueBox* ebMasterTune;
    TUpDown* UpDownPitchBender;
    TValueBox* ebPitchBenderRange;
    TUpDown* UpDownVelsSens;
    TValueBox* ebVelocitySensitivity;
    TUpDown* UpDownULbalance;
    TValueBox* ebULbalance;
    TShape* Shape1; // lower bar
    TShape* Shape2; // upper bar
    TSwitchBox* ckProgramLink;
    TValueBox* edMidiChannel;
    TUpDown* UpDownMidiChannel;
    TSwitchBox* ckOmniMode;
    TSwitchBox* ckMidiThru;
    TSwitchBox* ckMidiModEnable;
    QLineEdit* edSoftwareVersion;
    QPushButton* bnConfigRefresh;
    QPushButton* bnOK;

    void UpDownMasterTuneClick(bool up) { fields_->step(UpDownMasterTune, up); }
    void UpDownPitchBenderClick(bool up) { fields_->step(UpDownPitchBender, up); }
    void UpDownVelsSensClick(bool up) { fields_->step(UpDownVelsSens, up); }
    void UpDownULbalanceClick(bool up) { fields_->step(UpDownULbalance, up); }
    void UpDownMidiChannelClick(bool up) { fields_->step(UpDownMidiChannel, up); }
    // The switches act once the user has toggled the box (mouse or keyboard).
    void ckProgramLinkToggle(bool before, bool) { fields_->toggle(ckProgramLink, before); }
    void ckOmniModeToggle(bool before, bool) { fields_->toggle(ckOmniMode, before); }
    void ckMidiThruToggle(bool before, bool) { fields_->toggle(ckMidiThru, before); }
    void ckMidiModEnableToggle(bool before, bool) { fields_->toggle(ckMidiModEnable, before); }
    void ebULbalanceChange();
    void bnConfigRefreshClick();
    void bnOKClick();

    // The display refresh: every control from the stored dump.
    void DisplayRefresh();

protected:
    void FormActivate() override;
    void DumpArrived(MirageProtocol::Arrival a) override;

private:
    void buildValueRows();
    void buildBalanceBars();
    void buildMidiControls();
    void buildButtons();
    void bindFields();
    void connectHandlers();

    std::unique_ptr<FieldStepper> fields_;
    // Bar geometry as created.
    int lowerTop_ = 0, lowerHeight_ = 0, upperTop_ = 0, upperHeight_ = 0;
};

} // namespace corvane
