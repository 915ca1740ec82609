#include "ProgCopy.h"

#include "MirageProtocol.h"
#include "Frames.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace corvane {

namespace {

// Front-panel keys 1 then 5 (into the lower half) or 6 (into the upper half),
// the destination program, enter.
constexpr std::uint8_t CopyToLower = 0x05;
constexpr std::uint8_t CopyToUpper = 0x06;

QPushButton* slotButton(QGroupBox* box, const QString& name, int n)
{
    auto* b = new QPushButton(QString::number(n), box);
    b->setObjectName(name);
    b->setGeometry(12 + (n - 1) * 38, 22, 32, 25);
    return b;
}

} // namespace

TfmProgCopy::TfmProgCopy(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmProgCopy");
    setWindowTitle("Program Copy");
    SetFixedFrame({200, 251}, CloseBoxOnly);

    Label2 = new QLabel("Copy from:-", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(16, 14, 76, 20);
    Label1 = new QLabel("X", this);
    Label1->setObjectName("Label1");
    Label1->setStyleSheet("font-weight: bold;");
    Label1->setGeometry(96, 14, 88, 20);
    Label3 = new QLabel("To:-", this);
    Label3->setObjectName("Label3");
    Label3->setGeometry(16, 44, 76, 20);

    GroupBox1 = new QGroupBox("Upper Program", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(16, 68, 168, 58);
    bnU1 = slotButton(GroupBox1, "bnU1", 1);
    bnU2 = slotButton(GroupBox1, "bnU2", 2);
    bnU3 = slotButton(GroupBox1, "bnU3", 3);
    bnU4 = slotButton(GroupBox1, "bnU4", 4);

    GroupBox2 = new QGroupBox("Lower Program", this);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(16, 136, 168, 58);
    bnL1 = slotButton(GroupBox2, "bnL1", 1);
    bnL2 = slotButton(GroupBox2, "bnL2", 2);
    bnL3 = slotButton(GroupBox2, "bnL3", 3);
    bnL4 = slotButton(GroupBox2, "bnL4", 4);

    bnOK = new QPushButton("OK", this);
    bnOK->setObjectName("bnOK");
    bnOK->setGeometry(16, 212, 75, 25);
    bnCancel = new QPushButton("Cancel", this);
    bnCancel->setObjectName("bnCancel");
    bnCancel->setGeometry(109, 212, 75, 25);

    connect(bnU1, &QPushButton::clicked, this, &TfmProgCopy::bnU1Click);
    connect(bnU2, &QPushButton::clicked, this, &TfmProgCopy::bnU2Click);
    connect(bnU3, &QPushButton::clicked, this, &TfmProgCopy::bnU3Click);
    connect(bnU4, &QPushButton::clicked, this, &TfmProgCopy::bnU4Click);
    connect(bnL1, &QPushButton::clicked, this, &TfmProgCopy::bnL1Click);
    connect(bnL2, &QPushButton::clicked, this, &TfmProgCopy::bnL2Click);
    connect(bnL3, &QPushButton::clicked, this, &TfmProgCopy::bnL3Click);
    connect(bnL4, &QPushButton::clicked, this, &TfmProgCopy::bnL4Click);
    connect(bnOK, &QPushButton::clicked, this, &TfmProgCopy::bnOKClick);
    connect(bnCancel, &QPushButton::clicked, this, &TfmProgCopy::bnCancelClick);
}

// The source is the program the main window last recorded as current.
void TfmProgCopy::FormActivate()
{
    if (Mirage().GetCurrentHalf() == 0)
        Label1->setText(QStringLiteral("Lower %1").arg(Mirage().GetCurrentProgram(0) + 1));
    else
        Label1->setText(QStringLiteral("Upper %1").arg(Mirage().GetCurrentProgram(1) + 1));
}

// The instrument copies the current program's whole parameter block; the
// copy takes the same block, so it stays the instrument's, and the copy is
// one edit of the history.
void TfmProgCopy::copyTo(int half, int program)
{
    Converse([this, half, program] {
        MirageProtocol& m = Mirage();
        const int fromHalf = m.GetCurrentHalf() == 0 ? 0 : 1;
        const int from = std::clamp(m.GetCurrentProgram(fromHalf), 0, 3);
        auto name = [](int h, int p) { return std::string(h == 0 ? "L" : "U") + std::to_string(p + 1); };
        EditHistory::Action edit(m.History(), "Program Copy " + name(fromHalf, from) + " to " + name(half, program - 1));
        m.SendSysEx(keyCodeMessage({0x01, half == 0 ? CopyToLower : CopyToUpper,
                                    static_cast<std::uint8_t>(program), key::Enter}));
        if (program < 1 || program > 4)
            return;
        const std::uint8_t* source = (fromHalf == 0 ? m.LowerProgramDump : m.UpperProgramDump) + programFieldPos(from, 0);
        std::uint8_t* target = (half == 0 ? m.LowerProgramDump : m.UpperProgramDump) + programFieldPos(program - 1, 0);
        std::memmove(target, source, ProgramBlockPositions);
    });
}

void TfmProgCopy::bnOKClick() { close(); }
void TfmProgCopy::bnCancelClick() { close(); }

} // namespace corvane
