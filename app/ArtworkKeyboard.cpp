// The keyboard block of the block diagram: the split keyboard between the halves.
#include "Artwork.h"
#include "ArtworkPaint.h"

#include <QLinearGradient>

namespace corvane::art {

using namespace paint;

namespace {

constexpr int kWhites = 17; // white keys on the strip

// The panel shades from the upper tint at the top to the lower tint below.
void shadeHalves(QPainter &p, int w, int h, const Tint &up, const Tint &lo)
{
    QPainterPath clip;
    clip.addRoundedRect(QRectF(1.5, 1.5, w - 3, h - 3), 4, 4);
    p.save();
    p.setClipPath(clip);
    QLinearGradient g(0, 0, 0, h);
    QColor u = up.panel, l = lo.panel;
    u.setAlpha(110);
    l.setAlpha(110);
    g.setColorAt(0.0, u);
    g.setColorAt(0.5, QColor(0, 0, 0, 0));
    g.setColorAt(1.0, l);
    p.fillRect(QRectF(0, 0, w, h), g);
    p.restore();
}

// The keys, the lowest at the bottom.
void keyStrip(QPainter &p, const QRectF &keys)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 200));
    p.drawRoundedRect(keys.adjusted(-1.5, -1.5, 1.5, 1.5), 2, 2);
    const double kh = keys.height() / kWhites;
    for (int i = 0; i < kWhites; ++i) {
        const QRectF k(keys.left(), keys.bottom() - (i + 1) * kh + 0.4, keys.width(), kh - 0.8);
        QLinearGradient g(k.topLeft(), k.topRight());
        g.setColorAt(0.0, QColor(200, 198, 190));
        g.setColorAt(0.85, QColor(238, 236, 228));
        g.setColorAt(1.0, QColor(170, 168, 160));
        p.setBrush(g);
        p.drawRect(k);
    }
    // black keys: after white keys 0,1 (C#, D#), 3,4,5 (F#, G#, A#) of each octave
    for (int i = 0; i < kWhites - 1; ++i) {
        const int n = i % 7;
        if (n == 2 || n == 6)
            continue;
        const double yb = keys.bottom() - (i + 1) * kh;
        const QRectF k(keys.left(), yb - kh * 0.32, keys.width() * 0.58, kh * 0.64);
        QLinearGradient g(k.topLeft(), k.topRight());
        g.setColorAt(0.0, QColor(10, 10, 12));
        g.setColorAt(0.8, QColor(48, 50, 56));
        g.setColorAt(1.0, QColor(18, 18, 20));
        p.setBrush(g);
        p.drawRoundedRect(k, 0.8, 0.8);
    }
}

} // namespace

QPixmap painted::keyboardBlock()
{
    const int w = 33, h = 153;
    const Tint up = tintFor(1), lo = tintFor(0);
    QPixmap pm = blank(w, h);
    QPainter p(&pm);
    begin(p);
    // the panel shades from the upper tint at the top to the lower tint below
    QColor mid((up.panel.red() + lo.panel.red()) / 2, (up.panel.green() + lo.panel.green()) / 2,
               (up.panel.blue() + lo.panel.blue()) / 2);
    panel(p, QRectF(0, 0, w, h), mid, 5, false);
    shadeHalves(p, w, h, up, lo);

    led(p, QPointF(8.5, 8), 1.7, up.led);
    legend(p, QRectF(12, 2, w - 15, 12), QStringLiteral("U"), up.legend, 8.5);
    led(p, QPointF(8.5, h - 8), 1.7, lo.led);
    legend(p, QRectF(12, h - 14, w - 15, 12), QStringLiteral("L"), lo.legend, 8.5);

    // a vertical strip of piano keys, the lowest key at the bottom
    const QRectF keys(5, 16, w - 10, h - 32);
    keyStrip(p, keys);
    // split point marker between the halves
    const double split = keys.bottom() - 8 * (keys.height() / kWhites);
    p.setPen(QPen(kLedRed, 1.2));
    p.drawLine(QPointF(keys.left() - 2, split), QPointF(keys.right() + 2, split));
    QColor gl = kLedRed;
    gl.setAlpha(70);
    p.setPen(QPen(gl, 3.0));
    p.drawLine(QPointF(keys.left() - 2, split), QPointF(keys.right() + 2, split));
    return pm;
}

} // namespace corvane::art
