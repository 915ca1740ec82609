// "Oscillator & LFO Settings" of one keyboard half: detune, mix, mix
// velocity, LFO speed and depth, mix mode and mono mode of the half's
// current program. One implementation serves both halves; TOscillator
// (lower) and TfmOscLFOU (upper) only name it.
#pragma once

#include "ProgramEditor.h"

class QFrame;
class QGroupBox;
class QLabel;

namespace corvane {

class TSwitchBox;
class TUpDown;
class TValueBox;

class TOscLfoEditor : public TProgramEditor {
    Q_OBJECT
public:
    TOscLfoEditor(const WindowContext& context, int half, QWidget* parent);
    ~TOscLfoEditor() override;

    QGroupBox* gbOscillator;
    TValueBox* edOscDetuneVm;
    TUpDown* udOscDetuneVm;
    TValueBox* edOscMixVm;
    TUpDown* udOscMixVm;
    TValueBox* edOscVmVm;
    TUpDown* udVmVm;
    QLabel* lbMixVelNote;
    TSwitchBox* cbMonoMode;
    QFrame* pnMixMode;
    TSwitchBox* cbMixModeSwitch;
    QLabel* lbMixModeNote;
    QGroupBox* gbLFO;
    TValueBox* edLFOspeed;
    TUpDown* udLFOspeed;
    TValueBox* edLFOdepth;
    TUpDown* udLFOdepth;

    // The five up-downs' handlers.
    void udOscDetuneVmClick(bool up) { UpDownClick(udOscDetuneVm, up); }
    void udOscMixVmClick(bool up) { UpDownClick(udOscMixVm, up); }
    void udVmVmClick(bool up) { UpDownClick(udVmVm, up); }
    void udLFOspeedClick(bool up) { UpDownClick(udLFOspeed, up); }
    void udLFOdepthClick(bool up) { UpDownClick(udLFOdepth, up); }
    // The check boxes act once the user has toggled them.
    void cbMonoModeClick(bool before, bool) { fields_->toggle(cbMonoMode, before); }
    void cbMixModeSwitchClick(bool before, bool) { fields_->toggle(cbMixModeSwitch, before); }

    // Every control from the dump. With `ticksAreClicks`, a check box whose
    // tick changes sends its switch message as a click would.
    void Redisplay(bool ticksAreClicks = true);

protected:
    void FormActivate() override;
    void DumpArrived(MirageProtocol::Arrival a) override;
    void ProgramRedisplay() override { Redisplay(); }

private:
    void build();
    void buildOscillator();
    void buildMixMode();
    void buildLfo();
    void addFields();
};

// "Lower - Oscillator & LFO Settings".
class TOscillator : public TOscLfoEditor {
    Q_OBJECT
public:
    explicit TOscillator(const WindowContext& context, QWidget* parent = nullptr) : TOscLfoEditor(context, 0, parent)
    {
    }
};

// "Upper - Oscillator & LFO Settings".
class TfmOscLFOU : public TOscLfoEditor {
    Q_OBJECT
public:
    explicit TfmOscLFOU(const WindowContext& context, QWidget* parent = nullptr) : TOscLfoEditor(context, 1, parent)
    {
    }
};

} // namespace corvane
