#include "NameLabel.h"

#include <QMouseEvent>
#include <QPainter>

namespace corvane {

TNameLabel::TNameLabel(int wavesample, QWidget* parent) : QLabel("Un named", parent), wavesample_(wavesample) {}

void TNameLabel::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        emit DblClick(wavesample_);
    QLabel::mouseDoubleClickEvent(e);
}

void TNameLabel::paintEvent(QPaintEvent* e)
{
    const QString name = text();
    const QRect room = contentsRect();
    if (QFontMetrics(font()).horizontalAdvance(name) <= room.width()) {
        if (!toolTip().isEmpty())
            setToolTip(QString());
        QLabel::paintEvent(e);
        return;
    }
    // Down to two thirds of the type, a pixel at a time; the end elided
    // only past that.
    QFont small = font();
    const bool pixels = small.pixelSize() > 0;
    const int size = pixels ? small.pixelSize() : qRound(small.pointSizeF());
    for (int s = size - 1; s >= size * 2 / 3; --s) {
        pixels ? small.setPixelSize(s) : small.setPointSize(s);
        if (QFontMetrics(small).horizontalAdvance(name) <= room.width())
            break;
    }
    if (toolTip() != name)
        setToolTip(name);
    QPainter p(this);
    p.setFont(small);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    p.drawText(room, static_cast<int>(alignment()), QFontMetrics(small).elidedText(name, Qt::ElideRight, room.width()));
}

} // namespace corvane
