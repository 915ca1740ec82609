#include "MidiSetupDialog.h"

#include "Form1.h"

#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

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

TMidiSetupDialogBox::TMidiSetupDialogBox(QWidget* parent) : TOKBottomDlg(parent)
{
    setObjectName("MidiSetupDialogBox");
    setWindowTitle("MIDI Setup");
    Label1 = new QLabel("MIDI Input Port", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(36, 24, 241, 16);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setGeometry(36, 42, 241, 24);
    Label2 = new QLabel("MIDI Output Port", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(36, 84, 241, 16);
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName("ComboBox2");
    ComboBox2->setEditable(true);
    ComboBox2->setInsertPolicy(QComboBox::NoInsert);
    ComboBox2->setGeometry(36, 102, 241, 24);

    for (int i = 0; i < std::min<int>(Form1->MidiInCount, static_cast<int>(Form1->MidiInNames.size())); ++i)
        ComboBox1->addItem(QString::fromStdString(Form1->MidiInNames[static_cast<std::size_t>(i)]));
    for (int i = 0; i < std::min<int>(Form1->MidiOutCount, static_cast<int>(Form1->MidiOutNames.size())); ++i)
        ComboBox2->addItem(QString::fromStdString(Form1->MidiOutNames[static_cast<std::size_t>(i)]));
    FormShow();
}

// Selects the stored ports again, so an earlier cancelled choice is undone.
// A stored number outside the list shows no selection.
void TMidiSetupDialogBox::FormShow()
{
    auto select = [](QComboBox* box, int index) {
        box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
    };
    select(ComboBox1, Form1->MidiInPort);
    select(ComboBox2, Form1->MidiOutPort);
}

void TMidiSetupDialogBox::showEvent(QShowEvent* e)
{
    FormShow();
    TOKBottomDlg::showEvent(e);
}

void TMidiSetupDialogBox::OKBtnClick()
{
    Form1->MidiInPort = ComboBox1->currentIndex();
    Form1->MidiOutPort = ComboBox2->currentIndex();
    Form1->ReopenMidiPorts();
    close();
}

void TMidiSetupDialogBox::CancelBtnClick() { close(); }

} // namespace corvane
