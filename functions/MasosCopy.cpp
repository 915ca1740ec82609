#include "MasosCopy.h"

#include "MirageProtocol.h"
#include "Frames.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace corvane {

namespace {

// Parameter key, the function number as two digits, the destination, enter.
constexpr std::uint8_t CopyToLower = 0x07; // function 17
constexpr std::uint8_t CopyToUpper = 0x08; // function 18

} // namespace

TfmMasosCopy::TfmMasosCopy(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmMasosCopy");
    setWindowTitle("Copy Wavesample To...");
    SetFixedFrame({204, 325}, CloseBoxOnly);

    Label1 = new QLabel("Current Wavesample:", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(16, 14, 130, 20);
    Label2 = new QLabel("X", this);
    Label2->setObjectName("Label2");
    Label2->setStyleSheet("font-weight: bold;");
    Label2->setGeometry(150, 14, 38, 20);

    GroupBox1 = new QGroupBox("Destination Upper", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(16, 44, 172, 96);
    GroupBox2 = new QGroupBox("Destination Lower", this);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(16, 152, 172, 96);

    using Member = QPushButton* TfmMasosCopy::*;
    using Handler = void (TfmMasosCopy::*)();
    struct Slot {
        Member member;
        Handler handler;
    };
    static constexpr Slot upper[8] = {
        {&TfmMasosCopy::bnU1, &TfmMasosCopy::bnU1Click}, {&TfmMasosCopy::bnU2, &TfmMasosCopy::bnU2Click},
        {&TfmMasosCopy::bnU3, &TfmMasosCopy::bnU3Click}, {&TfmMasosCopy::bnU4, &TfmMasosCopy::bnU4Click},
        {&TfmMasosCopy::bnU5, &TfmMasosCopy::bnU5Click}, {&TfmMasosCopy::bnU6, &TfmMasosCopy::bnU6Click},
        {&TfmMasosCopy::bnU7, &TfmMasosCopy::bnU7Click}, {&TfmMasosCopy::bnU8, &TfmMasosCopy::bnU8Click}};
    static constexpr Slot lower[8] = {
        {&TfmMasosCopy::bnL1, &TfmMasosCopy::bnL1Click}, {&TfmMasosCopy::bnL2, &TfmMasosCopy::bnL2Click},
        {&TfmMasosCopy::bnL3, &TfmMasosCopy::bnL3Click}, {&TfmMasosCopy::bnL4, &TfmMasosCopy::bnL4Click},
        {&TfmMasosCopy::bnL5, &TfmMasosCopy::bnL5Click}, {&TfmMasosCopy::bnL6, &TfmMasosCopy::bnL6Click},
        {&TfmMasosCopy::bnL7, &TfmMasosCopy::bnL7Click}, {&TfmMasosCopy::bnL8, &TfmMasosCopy::bnL8Click}};
    auto make = [this](QGroupBox* box, const char* prefix, int i, const Slot& slot) {
        auto* b = new QPushButton(QString::number(i + 1), box);
        b->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(i + 1));
        b->setGeometry(12 + (i % 4) * 38, 24 + (i / 4) * 33, 32, 25);
        connect(b, &QPushButton::clicked, this, slot.handler);
        this->*slot.member = b;
    };
    for (int i = 0; i < 8; ++i) {
        make(GroupBox1, "bnU", i, upper[i]);
        make(GroupBox2, "bnL", i, lower[i]);
    }

    bnOK = new QPushButton("OK", this);
    bnOK->setObjectName("bnOK");
    bnOK->setGeometry(64, 280, 75, 25);
    connect(bnOK, &QPushButton::clicked, this, &TfmMasosCopy::bnOKClick);
}

// Ask the Mirage which wavesample it has selected; the half is not shown.
void TfmMasosCopy::FormActivate()
{
    const int wavesample = Mirage().QueryCurrentWavesample();
    Label2->setText(QString::number(wavesample + 1));
}

// The instrument copies the current wavesample's parameter block; the copy
// takes the same block, so it stays the instrument's. Within a half the copy
// is one edit of the history; into the other half the sample pages go along,
// which no step takes back, so that copy is not in the history.
void TfmMasosCopy::copyTo(int half, int wavesample)
{
    Converse([this, half, wavesample] {
        MirageProtocol& m = Mirage();
        const int fromHalf = m.GetCurrentHalf() == 0 ? 0 : 1;
        const int from = std::clamp(m.CurrentWavesample, 0, 7);
        auto name = [](int h, int w) { return std::string(h == 0 ? "L" : "U") + std::to_string(w + 1); };
        std::optional<EditHistory::Action> edit;
        if (fromHalf == half)
            edit.emplace(m.History(), "Wavesample Copy " + name(fromHalf, from) + " to " + name(half, wavesample - 1));
        m.SendSysEx(keyCodeMessage({key::Param, 0x01, half == 0 ? CopyToLower : CopyToUpper,
                                    static_cast<std::uint8_t>(wavesample), key::Enter}));
        if (wavesample < 1 || wavesample > 8)
            return;
        const std::uint8_t* source =
            (fromHalf == 0 ? m.LowerProgramDump : m.UpperProgramDump) + wavesampleFieldPos(from, 0);
        std::uint8_t* target =
            (half == 0 ? m.LowerProgramDump : m.UpperProgramDump) + wavesampleFieldPos(wavesample - 1, 0);
        std::memmove(target, source, WavesampleBlockPositions);
    });
}

void TfmMasosCopy::bnOKClick() { close(); }

} // namespace corvane
