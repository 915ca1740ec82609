// The memory block of the block diagram: the wavesamples across the sample memory.
#include "Artwork.h"
#include "ArtworkPaint.h"

#include <QLinearGradient>

#include <array>
#include <utility>

namespace corvane::art {

using namespace paint;

QPixmap painted::memoryBlock(int half)
{
    const int w = 81, h = 89;
    const Tint t = tintFor(half);
    QPixmap pm = blank(w, h);
    QPainter p(&pm);
    begin(p);
    panel(p, QRectF(0, 0, w, h), t.panel, 6);
    header(p, w, QStringLiteral("MEM"), t);

    const QRectF scr(6, 18, w - 12, 52);
    inset(p, scr, t.trace, false);

    // Stacked page bars: eight wavesamples laid out across the sample memory.
    static const std::array<std::pair<double, double>, 8> spans{
        {{0.00, 0.46}, {0.46, 0.78}, {0.78, 1.00}, {0.05, 0.30},
         {0.30, 0.66}, {0.66, 0.90}, {0.10, 0.55}, {0.55, 0.97}}};
    const double left = scr.left() + 4, right = scr.right() - 4;
    const double top = scr.top() + 4, rowH = (scr.height() - 8) / 8.0;
    for (int i = 0; i < 8; ++i) {
        const double y = top + i * rowH;
        // faint track
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 12));
        p.drawRect(QRectF(left, y + 1, right - left, rowH - 2));
        // page bar
        QColor c = t.trace;
        c.setHsv((c.hsvHue() + i * 9 - 30 + 360) % 360, c.hsvSaturation() - i * 8, 235 - (i % 2) * 40);
        QRectF bar(left + spans[i].first * (right - left), y + 1,
                   (spans[i].second - spans[i].first) * (right - left) - 1, rowH - 2);
        QLinearGradient g(bar.topLeft(), bar.bottomLeft());
        g.setColorAt(0.0, c.lighter(125));
        g.setColorAt(1.0, c.darker(140));
        p.setBrush(g);
        p.drawRoundedRect(bar, 1, 1);
    }
    // page ticks along the bottom
    p.setPen(QPen(QColor(t.trace.red(), t.trace.green(), t.trace.blue(), 90), 0.6));
    for (int k = 0; k <= 8; ++k) {
        const double x = left + k * (right - left) / 8.0;
        p.drawLine(QPointF(x, scr.bottom() - 3), QPointF(x, scr.bottom() - 1.5));
    }

    legend(p, QRectF(5, 72, w - 10, 10), QStringLiteral("WAVESAMPLES"), t.legend, 7.5);
    return pm;
}

} // namespace corvane::art
