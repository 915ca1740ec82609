// "Wavesample Info": the size of the instrument's current wavesample and of
// its loop, worked out from the page pointers in the program dump of its half.
#pragma once

#include "FormBase.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace corvane {

// The figures the dialog shows for one wavesample's pointers.
struct WavesampleSize {
    int pages;     // end page - start page + 1
    int loopBytes; // (loop end page - loop start page) * 256 + fine + 1
};
WavesampleSize wavesampleSize(int startPage, int endPage, int loopStart, int loopEnd, int loopEndFine);

class TfmWsInfo : public TFormBase {
    Q_OBJECT
public:
    explicit TfmWsInfo(const WindowContext& context, QWidget* parent = nullptr);

    QLabel* lbWsNumber;
    QGroupBox* GroupBox1;
    QLabel* lbLoopSizeHex;
    QLabel* lbLoopSizeDec;
    QGroupBox* GroupBox2;
    QLabel* lbWsSizeHex;
    QLabel* lbWsSizeDec;
    QLabel* lbWsSizeBytes;
    QLabel* lbMemUse;
    QPushButton* Button1;

    void Button1Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void FormShow();
};

} // namespace corvane
