// "Copy Wavesample To...": copies the wavesample selected on the Mirage into
// one of the sixteen wavesample slots, with the copy functions (17 into the
// lower half, 18 into the upper half) of the MASOS operating system.
#pragma once

#include "FormBase.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace corvane {

class TfmMasosCopy : public TFormBase {
    Q_OBJECT
public:
    explicit TfmMasosCopy(const WindowContext& context, QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QPushButton* bnU1 = nullptr;
    QPushButton* bnU2 = nullptr;
    QPushButton* bnU3 = nullptr;
    QPushButton* bnU4 = nullptr;
    QPushButton* bnU5 = nullptr;
    QPushButton* bnU6 = nullptr;
    QPushButton* bnU7 = nullptr;
    QPushButton* bnU8 = nullptr;
    QPushButton* bnL1 = nullptr;
    QPushButton* bnL2 = nullptr;
    QPushButton* bnL3 = nullptr;
    QPushButton* bnL4 = nullptr;
    QPushButton* bnL5 = nullptr;
    QPushButton* bnL6 = nullptr;
    QPushButton* bnL7 = nullptr;
    QPushButton* bnL8 = nullptr;
    QPushButton* bnOK;

    void bnU1Click() { copyTo(1, 1); }
    void bnU2Click() { copyTo(1, 2); }
    void bnU3Click() { copyTo(1, 3); }
    void bnU4Click() { copyTo(1, 4); }
    void bnU5Click() { copyTo(1, 5); }
    void bnU6Click() { copyTo(1, 6); }
    void bnU7Click() { copyTo(1, 7); }
    void bnU8Click() { copyTo(1, 8); }
    void bnL1Click() { copyTo(0, 1); }
    void bnL2Click() { copyTo(0, 2); }
    void bnL3Click() { copyTo(0, 3); }
    void bnL4Click() { copyTo(0, 4); }
    void bnL5Click() { copyTo(0, 5); }
    void bnL6Click() { copyTo(0, 6); }
    void bnL7Click() { copyTo(0, 7); }
    void bnL8Click() { copyTo(0, 8); }
    void bnOKClick();

protected:
    void FormActivate() override;

private:
    // Copy the selected wavesample to wavesample `wavesample` (1-8) of `half`.
    void copyTo(int half, int wavesample);
};

} // namespace corvane
