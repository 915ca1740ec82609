// "WAV File Preparation - Calculator": where a WAV file's loop must start
// and how long the file must be so that the loop falls on the Mirage's
// 256-byte pages, the page pointers to enter in the memory map, and a small
// hexadecimal-decimal converter. Pure arithmetic: it reads and sends nothing.
#pragma once

#include "FormBase.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollBar;

namespace corvane {

class TUpDown;
class TValueBox;

class TfmWsCalc : public TFormBase {
    Q_OBJECT
public:
    explicit TfmWsCalc(const WindowContext& context, QWidget* parent = nullptr);
    ~TfmWsCalc() override;

    QGroupBox* GroupBox2;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QListWidget* lbLoopStartChoose;
    QComboBox* cbChosenLoopSize;
    QLineEdit* edEOSstartByte;
    QLineEdit* edWsSize;
    QGroupBox* GroupBox3;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label9;
    TValueBox* edWsStart;
    TUpDown* udWsStart;
    QLineEdit* edLoopStartPage;
    QLineEdit* edLoopEndPage;
    QLineEdit* edWsEndPage;
    QGroupBox* GroupBox1;
    QLabel* Label10;
    QLabel* Label11;
    QLineEdit* edHexDisplay;
    QLineEdit* edDecDisplay;
    QScrollBar* sbData;
    QPushButton* bnClose;
    QFrame* Bevel1;

    void cbChosenLoopSizeChange(int index);
    void lbLoopStartChooseClick(int index);
    void udWsStartClick(bool up);
    void sbDataChange(int position);
    void bnCloseClick();

    int LoopSize() const { return loopSize_; }
    int LoopStart() const { return loopStart_; }
    int StartPage() const { return startPage_; }

private:
    void buildLoopGroup();
    void buildPointerGroup();
    void buildConverter();
    void connectHandlers();
    void PointerRoutine();

    int loopSize_ = 0;  // S
    int loopStart_ = 0; // L
    int startPage_ = 0; // W
};

} // namespace corvane
