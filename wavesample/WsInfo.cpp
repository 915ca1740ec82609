#include "WsInfo.h"

#include "HexText.h"
#include "MirageProtocol.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <cstdlib>

namespace corvane {

namespace {

const char* const NoData = "no data";

// At least two upper-case hexadecimal digits; a negative figure keeps its sign.
QString hex2(int v) { return QString::fromStdString(hexNumber(v)); }

} // namespace

WavesampleSize wavesampleSize(int startPage, int endPage, int loopStart, int loopEnd, int loopEndFine)
{
    return {endPage - startPage + 1, (loopEnd - loopStart) * 256 + loopEndFine + 1};
}

TfmWsInfo::TfmWsInfo(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmWsInfo");
    setWindowTitle("Wavesample Info");
    SetFixedFrame({297, 187});
    setWindowModality(Qt::ApplicationModal);
    UseEditorFont();

    auto label = [](QWidget* parent, const char* name, const QString& text, int x, int y, int w,
                    Qt::Alignment align = Qt::AlignLeft) {
        auto* l = new QLabel(text, parent);
        if (name)
            l->setObjectName(name);
        l->setGeometry(x, y, w, 17);
        l->setAlignment(align | Qt::AlignVCenter);
        return l;
    };

    lbWsNumber = label(this, "lbWsNumber", NoData, 16, 8, 200);
    QFont bold = lbWsNumber->font();
    bold.setBold(true);
    lbWsNumber->setFont(bold);

    GroupBox2 = new QGroupBox("Wavesample Size", this);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(8, 32, 176, 108);
    const char* sizeCaptions[] = {"Pages (Hex):", "Pages (Dec):", "Bytes:", "% of mem useage:"};
    for (int i = 0; i < 4; ++i)
        label(GroupBox2, nullptr, sizeCaptions[i], 4, 20 + 20 * i, 106, Qt::AlignRight);
    lbWsSizeHex = label(GroupBox2, "lbWsSizeHex", NoData, 116, 20, 54);
    lbWsSizeDec = label(GroupBox2, "lbWsSizeDec", NoData, 116, 40, 54);
    lbWsSizeBytes = label(GroupBox2, "lbWsSizeBytes", NoData, 116, 60, 54);
    lbMemUse = label(GroupBox2, "lbMemUse", NoData, 116, 80, 54);

    GroupBox1 = new QGroupBox("Loop Size", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(190, 32, 99, 108);
    label(GroupBox1, nullptr, "Bytes (Hex):", 6, 20, 90);
    lbLoopSizeHex = label(GroupBox1, "lbLoopSizeHex", NoData, 6, 38, 90);
    label(GroupBox1, nullptr, "Bytes (Dec):", 6, 60, 90);
    lbLoopSizeDec = label(GroupBox1, "lbLoopSizeDec", NoData, 6, 78, 90);

    Button1 = new QPushButton("Close", this);
    Button1->setObjectName("Button1");
    Button1->setDefault(true);
    Button1->setGeometry(111, 152, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &TfmWsInfo::Button1Click);
}

void TfmWsInfo::showEvent(QShowEvent* e)
{
    TFormBase::showEvent(e);
    Converse([this] { FormShow(); });
}

void TfmWsInfo::FormShow()
{
    const int n = Mirage().QueryCurrentWavesample();
    const int half = Mirage().GetCurrentHalf() != 0 ? 1 : 0;
    lbWsNumber->setText(QString(half == 0 ? "Lower " : "Upper ") + QString::number(n + 1));
    QLabel* figures[] = {lbWsSizeHex, lbWsSizeDec, lbWsSizeBytes, lbMemUse, lbLoopSizeHex, lbLoopSizeDec};
    // A status reply may name a wavesample the dump has no pointers for;
    // and pointers no dump has brought are not known.
    if (n < 0 || n > 7 || !Mirage().Received(MirageProtocol::ProgramArrival(half))) {
        for (QLabel* l : figures)
            l->setText(NoData);
        return;
    }
    auto field = [&](int offset) { return Mirage().GetParam(half, wavesampleFieldPos(n, offset)); };
    const WavesampleSize s = wavesampleSize(field(wsf::StartPage), field(wsf::EndPage), field(wsf::LoopStart),
                                            field(wsf::LoopEnd), field(wsf::LoopEndFine));
    lbWsSizeHex->setText(hex2(s.pages));
    lbWsSizeDec->setText(QString::number(s.pages));
    lbWsSizeBytes->setText(QString::number(s.pages * 256));
    lbMemUse->setText(QString::number(s.pages * 100 / 256));
    lbLoopSizeHex->setText(hex2(s.loopBytes));
    lbLoopSizeDec->setText(QString::number(s.loopBytes));
}

void TfmWsInfo::Button1Click() { close(); }

} // namespace corvane
