// "Program Copy": copies the Mirage's current program into one of the four
// program slots of either half, by the instrument's own copy function.
#pragma once

#include "FormBase.h"

#include <array>
#include <cstdint>

class QGroupBox;
class QLabel;
class QPushButton;

namespace corvane {

class TfmProgCopy : public TFormBase {
    Q_OBJECT
public:
    explicit TfmProgCopy(const WindowContext& context, QWidget* parent = nullptr);

    QLabel* Label2;
    QLabel* Label1;
    QLabel* Label3;
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QPushButton* bnU1;
    QPushButton* bnU2;
    QPushButton* bnU3;
    QPushButton* bnU4;
    QPushButton* bnL1;
    QPushButton* bnL2;
    QPushButton* bnL3;
    QPushButton* bnL4;
    QPushButton* bnOK;
    QPushButton* bnCancel;

    void bnU1Click() { copyTo(1, 1); }
    void bnU2Click() { copyTo(1, 2); }
    void bnU3Click() { copyTo(1, 3); }
    void bnU4Click() { copyTo(1, 4); }
    void bnL1Click() { copyTo(0, 1); }
    void bnL2Click() { copyTo(0, 2); }
    void bnL3Click() { copyTo(0, 3); }
    void bnL4Click() { copyTo(0, 4); }
    void bnOKClick();
    void bnCancelClick();

protected:
    void FormActivate() override;

private:
    // Copy the current program to program `program` (1-4) of `half`.
    void copyTo(int half, int program);
};

} // namespace corvane
