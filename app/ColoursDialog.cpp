#include "ColoursDialog.h"

#include "Colours.h"
#include "MirageProtocol.h"
#include "Shape.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace corvane {

TfmSetColours::TfmSetColours(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmSetColours");
    setWindowTitle("Set Colours");
    SetFixedFrame({300, 196});

    auto makeGroup = [this](const QString& title, int x, std::array<TShape*, 8>& swatches, const char* prefix,
                            int firstEntry) {
        auto* g = new QGroupBox(title, this);
        g->setGeometry(x, 8, 136, 146);
        for (int i = 0; i < 8; ++i) {
            const int col = i / 4;
            const int row = i % 4;
            auto* l = new QLabel(QString::number(i + 1), g);
            l->setGeometry(10 + 64 * col, 24 + 30 * row, 12, 20);
            auto* s = new TShape(g);
            s->setObjectName(QString("%1%2").arg(prefix).arg(i + 1));
            s->setGeometry(24 + 64 * col, 22 + 30 * row, 36, 22);
            const int entry = firstEntry + i;
            connect(s, &TShape::mouseUp, this, [this, entry](Qt::MouseButton) { SwatchMouseUp(entry); });
            swatches[static_cast<std::size_t>(i)] = s;
        }
    };
    makeGroup("Upper Ws Colours", 8, shU, "shU", 8);
    makeGroup("Lower Ws Colours", 154, shL, "shL", 0);

    bnOK = new QPushButton("OK", this);
    bnOK->setObjectName("bnOK");
    bnOK->setDefault(true);
    bnOK->setGeometry(112, 162, 75, 25);
    connect(bnOK, &QPushButton::clicked, this, &TfmSetColours::bnOKClick);
}

void TfmSetColours::FormActivate() { paintSwatches(); }

void TfmSetColours::paintSwatches()
{
    for (int i = 0; i < 8; ++i) {
        shL[static_cast<std::size_t>(i)]->setBrushColor(fromWindowsColour(Ctx().wavesampleColours[static_cast<std::size_t>(i)]));
        shU[static_cast<std::size_t>(i)]->setBrushColor(fromWindowsColour(Ctx().wavesampleColours[static_cast<std::size_t>(i + 8)]));
    }
}

void TfmSetColours::SwatchMouseUp(int entry)
{
    if (entry < 0 || entry > 15)
        return;
    TShape* swatch = entry < 8 ? shL[static_cast<std::size_t>(entry)] : shU[static_cast<std::size_t>(entry - 8)];
    std::uint32_t chosen = 0;
    if (!Ctx().seams.chooseColour(toWindowsColour(swatch->brushColor()), chosen))
        return;
    Ctx().wavesampleColours[static_cast<std::size_t>(entry)] = chosen;
    swatch->setBrushColor(fromWindowsColour(chosen));
}

void TfmSetColours::bnOKClick() { close(); }

} // namespace corvane
