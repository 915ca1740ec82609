// "Wavesample Rotate": shifts the current wavesample's data on the Mirage by
// playing its front-panel keys (functions 19 and 20), step by step. The
// instrument's own display shows the amount; the window keeps no data. It
// counts its own Increment and Decrement presses from 00 at each direction,
// so that a rotate carried out with Do It can go into the edit history, on
// the wavesample Corvane last selected.
#pragma once

#include "FormBase.h"
#include "Frames.h"
#include "History.h"

#include <cstdint>

class QGroupBox;
class QFrame;
class QLabel;
class QPushButton;

namespace corvane {

class TImage;

class TfmSampleRotate : public TFormBase {
    Q_OBJECT
public:
    explicit TfmSampleRotate(const WindowContext& context, QWidget* parent = nullptr);
    ~TfmSampleRotate() override;

    // The Mirage needs this long to enter the rotate function before the
    // amount can be stepped.
    static constexpr int TimerInterval = key::RotateSettleMs;

    QGroupBox* GroupBox1;
    TImage* pkRL;
    TImage* pkRR;
    QPushButton* bnRotateSampleLeft;
    QPushButton* bnRotateSampleRight;
    QLabel* Label2;
    QGroupBox* GroupBox2;
    QLabel* Label3;
    QPushButton* bnIncSampleShift;
    QPushButton* bnDecSampleShift;
    QGroupBox* GroupBox3;
    QPushButton* bnEnterKey;
    QFrame* Panel1;
    QLabel* Label1;
    QPushButton* bnAbort;
    QPushButton* bnCancel;

    void bnRotateSampleLeftClick();
    void bnRotateSampleRightClick();
    void bnIncSampleShiftClick();
    void bnDecSampleShiftClick();
    void bnEnterKeyClick();
    void bnAbortClick();
    void bnCancelClick();
    void Timer1Timer();

    bool TimerRunning() const { return timerId_ != 0; }

protected:
    void FormActivate() override;
    void hideEvent(QHideEvent* e) override;

private:
    void buildDirectionStep();
    void buildAmountStep();
    void buildDoStep();
    void buildAbort();
    void connectHandlers();
    void chooseDirection(bool left);
    void setStepButtons(bool enabled);
    void startTimer1();
    void armTimer1();
    void stopTimer1();

    int timerId_ = 0; // 0: Timer1 not running
    // The rotate being set up: its wavesample, direction and amount.
    Rotation rotation_;
    bool directionChosen_ = false;
};

} // namespace corvane
