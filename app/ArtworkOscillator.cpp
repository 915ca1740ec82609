// The oscillator block of the block diagram: two oscillators and the LFO.
#include "Artwork.h"
#include "ArtworkPaint.h"

#include <cmath>

namespace corvane::art {

using namespace paint;

namespace {

void sawtooth(QPainter &p, const QRectF &a, const Tint &t)
{
    QPainterPath path;
    const double x0 = a.left() + 4, x1 = a.right() - 4;
    const double yt = a.top() + 12, yb = a.bottom() - 5;
    const double period = (x1 - x0) / 2.0;
    path.moveTo(x0, yb);
    for (int k = 0; k < 2; ++k) {
        const double xs = x0 + k * period;
        path.lineTo(xs + period, yt);
        path.lineTo(xs + period, yb);
    }
    trace(p, path, t.trace);
    insetLabel(p, a, QStringLiteral("OSC 1"), t.trace);
}

void pulse(QPainter &p, const QRectF &b, const Tint &t)
{
    QPainterPath path;
    const double x0 = b.left() + 4, x1 = b.right() - 4;
    const double yt = b.top() + 12, yb = b.bottom() - 5;
    const double period = (x1 - x0) / 2.0;
    path.moveTo(x0, yb);
    for (int k = 0; k < 2; ++k) {
        const double xs = x0 + k * period;
        path.lineTo(xs, yt);
        path.lineTo(xs + period * 0.4, yt);
        path.lineTo(xs + period * 0.4, yb);
        path.lineTo(xs + period, yb);
    }
    trace(p, path, t.trace);
    insetLabel(p, b, QStringLiteral("OSC 2"), t.trace);
}

void lfo(QPainter &p, const QRectF &c)
{
    QPainterPath path;
    const double x0 = c.left() + 22, x1 = c.right() - 4;
    const double yc = c.center().y() + 0.5, amp = 6.0;
    for (int i = 0; i <= 80; ++i) {
        const double x = x0 + (x1 - x0) * i / 80.0;
        const double y = yc - amp * std::sin(2 * kPi * 2.0 * i / 80.0);
        if (i == 0)
            path.moveTo(x, y);
        else
            path.lineTo(x, y);
    }
    trace(p, path, kAmber, 1.1);
    QColor lc = kAmber;
    fitText(p, QRectF(c.left() + 3, c.top(), 19, c.height()), QStringLiteral("LFO"),
            legendFont(7), lc, Qt::AlignLeft | Qt::AlignVCenter);
}

} // namespace

QPixmap painted::oscillatorBlock(int half)
{
    const int w = 113, h = 89;
    const Tint t = tintFor(half);
    QPixmap pm = blank(w, h);
    QPainter p(&pm);
    begin(p);
    panel(p, QRectF(0, 0, w, h), t.panel, 6);
    header(p, w, QStringLiteral("OSC 1 / OSC 2"), t);

    // OSC 1: sawtooth
    const QRectF a(6, 18, 49, 34);
    inset(p, a, t.trace);
    sawtooth(p, a, t);
    // OSC 2: pulse
    const QRectF b(58, 18, 49, 34);
    inset(p, b, t.trace);
    pulse(p, b, t);
    // LFO: sine
    const QRectF c(6, 55, 101, 21);
    inset(p, c, t.trace);
    lfo(p, c);
    // small rate/depth knobs
    knob(p, QPointF(w / 2.0 - 6, 82.5), 3.2, -40, t.legend);
    knob(p, QPointF(w / 2.0 + 6, 82.5), 3.2, 50, t.legend);
    return pm;
}

} // namespace corvane::art
