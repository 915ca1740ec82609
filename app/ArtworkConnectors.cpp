// The signal lines of the block diagram and the output jack.
#include "Artwork.h"
#include "ArtworkPaint.h"

#include <QLinearGradient>
#include <QPolygonF>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace corvane::art {

using namespace paint;

QPixmap connector(int width, int height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    QPixmap pm = blank(width, height);
    QPainter p(&pm);
    begin(p);
    const double y = height / 2.0;
    const double head = std::min(6.0, width * 0.5);
    const double hh = std::min(3.5, height / 2.0);
    QColor glow = kConnector;
    glow.setAlpha(50);
    p.setPen(QPen(glow, 3.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(0, y), QPointF(width - head, y));
    p.setPen(QPen(kConnector, 1.3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(0, y), QPointF(width - head + 0.5, y));
    QPainterPath arrow;
    arrow.moveTo(width - 0.5, y);
    arrow.lineTo(width - head, y - hh);
    arrow.lineTo(width - head + 1.2, y);
    arrow.lineTo(width - head, y + hh);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kConnector);
    p.drawPath(arrow);
    return pm;
}

QPixmap painted::outputConnector()
{
    const int w = 44, h = 44;
    QPixmap pm = blank(w, h);
    QPainter p(&pm);
    begin(p);
    panel(p, QRectF(0, 0, w, h), QColor(58, 52, 56), 6, false);
    const QPointF c(w / 2.0, 19);
    // hex nut
    QPolygonF nut;
    for (int i = 0; i < 6; ++i) {
        const double a = kPi / 6 + i * kPi / 3;
        nut << c + QPointF(std::cos(a) * 12, std::sin(a) * 12);
    }
    QLinearGradient ng(c - QPointF(12, 12), c + QPointF(12, 12));
    ng.setColorAt(0.0, QColor(215, 218, 224));
    ng.setColorAt(0.5, QColor(140, 144, 150));
    ng.setColorAt(1.0, QColor(60, 62, 68));
    p.setPen(QPen(QColor(20, 20, 22), 0.8));
    p.setBrush(ng);
    p.drawPolygon(nut);
    // maroon ring and the socket
    p.setPen(QPen(kMaroon.lighter(150), 1.6));
    p.setBrush(QColor(30, 30, 34));
    p.drawEllipse(c, 7.5, 7.5);
    QRadialGradient hole(c, 4.5);
    hole.setColorAt(0.0, QColor(0, 0, 0));
    hole.setColorAt(0.8, QColor(10, 10, 12));
    hole.setColorAt(1.0, QColor(80, 80, 86));
    p.setPen(Qt::NoPen);
    p.setBrush(hole);
    p.drawEllipse(c, 4.2, 4.2);
    legend(p, QRectF(2, 32, w - 4, 10), QStringLiteral("OUT"), QColor(225, 205, 205), 8);
    return pm;
}

} // namespace corvane::art
