// The about box picture: a sampled wave over its original, the name and keys.
#include "Artwork.h"
#include "ArtworkPaint.h"

#include <cmath>

namespace corvane::art {

using namespace paint;

QPixmap aboutPicture()
{
    const int w = 120, h = 120;
    QPixmap pm = blank(w, h);
    QPainter p(&pm);
    begin(p);
    panel(p, QRectF(0, 0, w, h), QColor(44, 52, 66), 12);

    // screen with a sampled (stair-stepped) waveform over its smooth original
    const QRectF scr(12, 14, 96, 50);
    inset(p, scr, QColor(110, 215, 255));
    const QColor cyan(110, 215, 255);
    const double x0 = scr.left() + 5, x1 = scr.right() - 5;
    const double yc = scr.center().y();
    auto wave = [](double t) { return std::sin(2 * kPi * t); };
    QPainterPath smooth;
    for (int i = 0; i <= 120; ++i) {
        const double t = i / 120.0;
        const QPointF pt(x0 + (x1 - x0) * t, yc - 18 * wave(t));
        if (i == 0)
            smooth.moveTo(pt);
        else
            smooth.lineTo(pt);
    }
    QColor faint = cyan;
    faint.setAlpha(120);
    p.setPen(QPen(faint, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(smooth);
    // the same wave held at each sample and quantised, as an 8-bit sampler sees it
    QPainterPath steps;
    const int n = 16;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / n;
        const double y = yc - 18 * std::round(wave(t) * 4) / 4.0;
        const double xa = x0 + (x1 - x0) * i / n, xb = x0 + (x1 - x0) * (i + 1) / n;
        if (i == 0)
            steps.moveTo(xa, y);
        else
            steps.lineTo(xa, y);
        steps.lineTo(xb, y);
    }
    trace(p, steps, kAmber, 1.2);

    // the name
    legend(p, QRectF(8, 66, w - 16, 18), QStringLiteral("Corvane"), QColor(236, 238, 242), 15);

    // a strip of keys with a maroon felt
    const QRectF keys(12, 88, 96, 22);
    p.setPen(Qt::NoPen);
    p.setBrush(kMaroon);
    p.drawRect(QRectF(keys.left(), keys.top() - 2.5, keys.width(), 2.5));
    pianoKeys(p, keys, 14, 0);
    led(p, QPointF(w - 16.5, 8.5), 2.0, kLedRed);
    return pm;
}

} // namespace corvane::art
