// The filter block of the block diagram: the filter curve and the amplitude envelope.
#include "Artwork.h"
#include "ArtworkPaint.h"

#include <algorithm>
#include <cmath>

namespace corvane::art {

using namespace paint;

namespace {

// A low-pass response with a resonance bump and the cut-off marked.
void lowPassCurve(QPainter &p, const QRectF &a, const Tint &t)
{
    const double x0 = a.left() + 4, x1 = a.right() - 4;
    const double yTop = a.top() + 14, yBot = a.bottom() - 4;
    const double fc = x0 + (x1 - x0) * 0.55;
    QPainterPath path;
    for (int i = 0; i <= 100; ++i) {
        const double x = x0 + (x1 - x0) * i / 100.0;
        // logarithmic frequency axis, 1 at the cut-off
        const double f = std::pow(10.0, (x - fc) / (x1 - x0) * 2.2);
        const double q = 1.6;
        const double mag = 1.0 / std::sqrt(std::pow(1 - f * f, 2) + std::pow(f / q, 2));
        // two resonant two-pole stages: the steep slope of a four-pole filter
        const double db = std::clamp(2 * 20 * std::log10(mag), -24.0, 10.0);
        const double y = yTop + (10.0 - db) / 34.0 * (yBot - yTop);
        if (i == 0)
            path.moveTo(x, y);
        else
            path.lineTo(x, y);
    }
    QPen dash(QColor(255, 255, 255, 55), 0.7, Qt::DashLine);
    p.setPen(dash);
    p.drawLine(QPointF(fc, yTop - 2), QPointF(fc, yBot));
    trace(p, path, t.trace);
    insetLabel(p, a, QStringLiteral("VCF"), t.trace);
}

// An ADSR envelope with its letters.
void envelopeCurve(QPainter &p, const QRectF &b, const Tint &t)
{
    const double x0 = b.left() + 4, x1 = b.right() - 4;
    const double yTop = b.top() + 14, yBot = b.bottom() - 5;
    const double span = x1 - x0;
    const double sus = yTop + (yBot - yTop) * 0.42;
    QPainterPath path;
    path.moveTo(x0, yBot);
    path.lineTo(x0 + span * 0.16, yTop);                       // attack
    path.quadTo(x0 + span * 0.22, sus, x0 + span * 0.40, sus);  // decay
    path.lineTo(x0 + span * 0.72, sus);                         // sustain
    path.quadTo(x0 + span * 0.78, yBot, x1, yBot);              // release
    QPainterPath fill = path;
    fill.lineTo(x0, yBot);
    fill.closeSubpath();
    QColor fc = t.trace;
    fc.setAlpha(35);
    p.setPen(Qt::NoPen);
    p.setBrush(fc);
    p.drawPath(fill);
    trace(p, path, t.trace);
    insetLabel(p, b, QStringLiteral("VCA"), t.trace);
    const QFont f = legendFont(5.5, false);
    QColor lc = t.trace;
    lc.setAlpha(150);
    const char *letters = "ADSR";
    const double xs[4] = {0.08, 0.28, 0.56, 0.86};
    for (int i = 0; i < 4; ++i)
        fitText(p, QRectF(x0 + span * xs[i] - 4, yBot - 0.5, 8, 6), QString(QChar(letters[i])), f, lc);
}

} // namespace

QPixmap painted::filterBlock(int half)
{
    const int w = 137, h = 89;
    const Tint t = tintFor(half);
    QPixmap pm = blank(w, h);
    QPainter p(&pm);
    begin(p);
    panel(p, QRectF(0, 0, w, h), t.panel, 6);
    header(p, w, QStringLiteral("VCF / VCA"), t);

    // VCF: low-pass response with a resonance bump and the cut-off marked
    const QRectF a(6, 18, 61, 52);
    inset(p, a, t.trace);
    lowPassCurve(p, a, t);
    // VCA: ADSR envelope
    const QRectF b(70, 18, 61, 52);
    inset(p, b, t.trace);
    envelopeCurve(p, b, t);
    // knobs: cut-off and resonance under the VCF, attack..release under the VCA
    knob(p, QPointF(26, 79), 3.4, 30, t.legend);
    knob(p, QPointF(46, 79), 3.4, -60, t.legend);
    for (int i = 0; i < 4; ++i)
        knob(p, QPointF(82 + i * 12.5, 79), 3.0, -90 + i * 45, t.legend);
    return pm;
}

} // namespace corvane::art
