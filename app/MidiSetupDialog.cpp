#include "MidiSetupDialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace corvane {

TOKBottomDlg::TOKBottomDlg(QWidget* parent) : TFormBase(parent)
{
    setObjectName("OKBottomDlg");
    setWindowTitle("Dialog");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::CustomizeWindowHint);
    setFixedSize(313, 200);
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 297, 145);
    OKBtn = new QPushButton("OK", this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    OKBtn->setGeometry(79, 164, 75, 25);
    CancelBtn = new QPushButton("Cancel", this);
    CancelBtn->setObjectName("CancelBtn");
    CancelBtn->setGeometry(159, 164, 75, 25);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
}

void TOKBottomDlg::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        CancelBtnClick();
        return;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        OKBtnClick();
        return;
    }
    TFormBase::keyPressEvent(e);
}

void TOKBottomDlg::showEvent(QShowEvent* e)
{
    // Centred on the screen.
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    TFormBase::showEvent(e);
}

TMidiSetupDialogBox::TMidiSetupDialogBox(MidiPortSetup& ports, QWidget* parent)
    : TOKBottomDlg(parent), ports_(ports)
{
    setObjectName("MidiSetupDialogBox");
    setWindowTitle("MIDI Setup");
    // Wider than the generic dialog: port names of JACK and ALSA are long
    // ("a2j:USB MIDI Interface [24] (capture): USB MIDI Interface MIDI 1").
    const int margin = 36;
    const int width = ListWidth + 2 * margin;
    setFixedSize(width, 282);
    Bevel1->setGeometry(8, 8, width - 16, 227);
    OKBtn->move(width / 2 - 77, 246);
    CancelBtn->move(width / 2 + 3, 246);

    auto list = [this, margin](const char* labelName, const char* text, const char* boxName, int y,
                               QLabel*& label, QComboBox*& box) {
        label = new QLabel(text, this);
        label->setObjectName(labelName);
        label->setGeometry(margin, y, ListWidth, 16);
        box = new QComboBox(this);
        box->setObjectName(boxName);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setGeometry(margin, y + 18, ListWidth, 24);
    };
    list("Label3", "MIDI System", "ComboBox3", 24, Label3, ComboBox3);
    list("Label1", "MIDI Input Port", "ComboBox1", 84, Label1, ComboBox1);
    list("Label2", "MIDI Output Port", "ComboBox2", 144, Label2, ComboBox2);
    // What is not open now, in the dialog where it is mended.
    lbState = new QLabel(this);
    lbState->setObjectName("lbState");
    lbState->setGeometry(margin, 196, ListWidth, 32);
    lbState->setWordWrap(true);
    lbState->setStyleSheet("color: #a00000;");
    ComboBox3->setEditable(false);
    connect(ComboBox3, &QComboBox::activated, this, [this](int index) { ComboBox3Activated(index); });
    FormShow();
    // A dialog made to be shown at once is not read again for that showing:
    // reading the MIDI systems' devices takes milliseconds (JACK asks its
    // server), and nothing can have changed before the event loop turns.
    listsFresh_ = true;
    QTimer::singleShot(0, this, [this] { listsFresh_ = false; });
}

// Reads the device lists afresh, so a device connected since the last
// showing is offered, and selects the stored ports again, so an earlier
// cancelled choice is undone. A stored port that is not listed shows no
// selection.
void TMidiSetupDialogBox::FormShow()
{
    ComboBox3->clear();
    for (const std::string& name : ports_.MidiSystemNames())
        ComboBox3->addItem(QString::fromStdString(name));
    // Cancel goes back to this; -1: the program picks.
    shownSystem_ = ports_.MidiSystemChosen() ? ports_.ListedMidiSystem() : -1;
    systemChanged_ = false;
    ComboBox3->setCurrentIndex(ports_.ListedMidiSystem());
    fillPortLists();
}

void TMidiSetupDialogBox::fillPortLists()
{
    ports_.ReadMidiDevices();
    auto fill = [](QComboBox* box, const std::vector<std::string>& names, int index) {
        box->clear();
        for (const std::string& name : names)
            box->addItem(QString::fromStdString(name));
        box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
        // The drop-down list shows every name whole.
        box->view()->setMinimumWidth(std::max(box->width(), box->view()->sizeHintForColumn(0) + 24));
    };
    fill(ComboBox1, ports_.MidiInputNames(), ports_.ListedMidiInPort());
    fill(ComboBox2, ports_.MidiOutputNames(), ports_.ListedMidiOutPort());
    lbState->setText(QString::fromStdString(ports_.PortState()));
}

void TMidiSetupDialogBox::ComboBox3Activated(int index)
{
    if (index == ports_.ListedMidiSystem() && !systemChanged_)
        return;
    ports_.SetMidiSystem(index);
    systemChanged_ = true;
    fillPortLists();
}

void TMidiSetupDialogBox::showEvent(QShowEvent* e)
{
    if (!listsFresh_)
        FormShow();
    listsFresh_ = false;
    TOKBottomDlg::showEvent(e);
}

void TMidiSetupDialogBox::OKBtnClick()
{
    ports_.SetMidiPorts(ComboBox1->currentIndex(), ComboBox2->currentIndex());
    ports_.ReopenMidiPorts();
    close();
}

void TMidiSetupDialogBox::CancelBtnClick()
{
    if (systemChanged_) {
        // Back to the system and the ports as they were.
        ports_.SetMidiSystem(shownSystem_);
        ports_.ReopenMidiPorts();
        systemChanged_ = false;
    }
    close();
}

} // namespace corvane
