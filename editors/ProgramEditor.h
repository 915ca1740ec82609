// The part the program windows of one keyboard half share (the
// envelope/filter and the oscillator/LFO settings): the four program
// buttons L1-L4 or U1-U4, Refresh and OK, and the stepper over the
// program's parameters.
#pragma once

#include "FieldStepper.h"
#include "FormBase.h"

#include <array>
#include <memory>

class QButtonGroup;
class QFrame;
class QLabel;
class QPushButton;
class QToolButton;

namespace corvane {

class TUpDown;

class TProgramEditor : public TFormBase {
    Q_OBJECT
public:
    ~TProgramEditor() override;

    int Half() const { return half_; }
    int Program() const { return n_; }

    QToolButton *SpeedButton1, *SpeedButton2, *SpeedButton3, *SpeedButton4;
    QLabel* lbProgram;
    QFrame* Panel1;
    QPushButton* bnRefresh;
    QPushButton* bnOK;

    // One click of any of the window's up-downs.
    void UpDownClick(TUpDown* upDown, bool up) { fields_->step(upDown, up); }
    // Program button k (0-3).
    void SpeedButtonClick(int k);
    void bnRefreshClick();
    void bnOKClick();

protected:
    bool ShowsChange(const FieldChange& c) const override { return fields_ && fields_->shows(c); }
    TProgramEditor(const WindowContext& context, int half, QWidget* parent);

    // Every control of the program from the kept dump.
    virtual void ProgramRedisplay() = 0;

    // "Lower Program" or "Upper Program"; the window places it.
    QLabel* buildProgramLabel();
    // The four program buttons, 30 pixels apart from (x, y); the first is down.
    void buildProgramButtons(int x, int y);
    // The grey panel with Refresh and OK.
    void buildRefreshPanel(const QRect& panel, const QRect& refresh, const QRect& ok);

    // The half's current program, read from the instrument first if it never was.
    void takeCurrentProgram();
    // Its button down, the program selected on the instrument and shown.
    void selectShownProgram();

    const int half_;
    int n_ = 0;
    std::unique_ptr<FieldStepper> fields_;

private:
    std::array<QToolButton*, 4> programButtons_{};
    QButtonGroup* programGroup_ = nullptr;
};

} // namespace corvane
