// The generic OK/Cancel dialog and the "MIDI Setup" dialog built on it.
#pragma once

#include "FormBase.h"
#include "MidiPortSetup.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace corvane {

class TOKBottomDlg : public TFormBase {
    Q_OBJECT
public:
    explicit TOKBottomDlg(QWidget* parent = nullptr);

    QFrame* Bevel1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    virtual void OKBtnClick() { close(); }
    virtual void CancelBtnClick() { close(); }
};

class TMidiSetupDialogBox : public TOKBottomDlg {
    Q_OBJECT
public:
    TMidiSetupDialogBox(MidiPortSetup& ports, QWidget* parent = nullptr);

    // Wide enough for a full JACK or ALSA port name.
    static constexpr int ListWidth = 457;

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QComboBox* ComboBox1; // input ports
    QComboBox* ComboBox2; // output ports
    QComboBox* ComboBox3; // MIDI systems
    QLabel* lbState;      // what is not open

    void FormShow();
    void OKBtnClick() override;
    void CancelBtnClick() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    // A system picked: the ports switch to it at once and their lists follow.
    void ComboBox3Activated(int index);
    void fillPortLists();

    MidiPortSetup& ports_;
    int shownSystem_ = -1;       // the system chosen when the dialog was shown
    bool systemChanged_ = false; // switched since: Cancel switches back
    bool listsFresh_ = false;    // read by the constructor, in this turn of the event loop
};

} // namespace corvane
