#include "ArtworkPaint.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace corvane::art::paint {

Tint tintFor(int half)
{
    if (half == 1)
        return {QColor(50, 62, 80), QColor(110, 215, 255), QColor(188, 204, 222), QColor(80, 200, 255)};
    return {QColor(46, 66, 60), QColor(120, 240, 150), QColor(190, 216, 200), QColor(110, 255, 130)};
}

QFont legendFont(double pixelSize, bool bold, bool condensed)
{
    QFont f;
    f.setFamilies({condensed ? QStringLiteral("DejaVu Sans Condensed") : QStringLiteral("DejaVu Sans"),
                   QStringLiteral("DejaVu Sans"), QStringLiteral("Arial Narrow"),
                   QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    f.setBold(bold);
    if (condensed)
        f.setStretch(QFont::SemiCondensed);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.2);
    return f;
}

QPixmap blank(int w, int h)
{
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

void begin(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

// Text that is shrunk horizontally if it would not fit its box.
void fitText(QPainter &p, const QRectF &box, const QString &text, const QFont &font,
             const QColor &colour, Qt::Alignment align)
{
    p.save();
    p.setFont(font);
    QFontMetricsF fm(font);
    const double tw = fm.horizontalAdvance(text);
    double sx = 1.0;
    if (tw > box.width() && tw > 0)
        sx = box.width() / tw;
    p.translate(box.left(), box.top());
    p.scale(sx, 1.0);
    p.setPen(colour);
    p.drawText(QRectF(0, 0, box.width() / sx, box.height()), int(align), text);
    p.restore();
}

// Engraved legend: a dark shadow one pixel below, then the text.
void legend(QPainter &p, const QRectF &box, const QString &text, const QColor &colour,
            double px, Qt::Alignment align)
{
    const QFont f = legendFont(px);
    fitText(p, box.translated(0, 0.8), text, f, QColor(0, 0, 0, 150), align);
    fitText(p, box, text, f, colour, align);
}

void led(QPainter &p, QPointF c, double r, const QColor &colour, bool on)
{
    p.save();
    p.setPen(Qt::NoPen);
    if (on) {
        QRadialGradient glow(c, r * 2.6);
        QColor g = colour;
        g.setAlpha(110);
        glow.setColorAt(0.0, g);
        g.setAlpha(0);
        glow.setColorAt(1.0, g);
        p.setBrush(glow);
        p.drawEllipse(c, r * 2.6, r * 2.6);
    }
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawEllipse(c, r + 0.8, r + 0.8);
    QRadialGradient body(c - QPointF(r * 0.35, r * 0.35), r * 1.3);
    const QColor base = on ? colour : colour.darker(400);
    body.setColorAt(0.0, on ? base.lighter(170) : base.lighter(130));
    body.setColorAt(0.55, base);
    body.setColorAt(1.0, base.darker(180));
    p.setBrush(body);
    p.drawEllipse(c, r, r);
    p.restore();
}

void screw(QPainter &p, QPointF c, double r)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawEllipse(c + QPointF(0.3, 0.5), r + 0.4, r + 0.4);
    QRadialGradient g(c - QPointF(r * 0.4, r * 0.4), r * 1.6);
    g.setColorAt(0.0, QColor(200, 205, 212));
    g.setColorAt(1.0, QColor(70, 74, 80));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(30, 32, 36), 0.7));
    p.drawLine(c + QPointF(-r * 0.7, r * 0.7), c + QPointF(r * 0.7, -r * 0.7));
    p.restore();
}

// A small knob seen from the front: dark cap with a pointer line.
void knob(QPainter &p, QPointF c, double r, double angleDeg, const QColor &pointer)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 140));
    p.drawEllipse(c + QPointF(0.4, 0.8), r + 0.6, r + 0.6);
    QRadialGradient g(c - QPointF(r * 0.4, r * 0.5), r * 1.8);
    g.setColorAt(0.0, QColor(95, 100, 108));
    g.setColorAt(0.6, QColor(35, 38, 42));
    g.setColorAt(1.0, QColor(12, 13, 15));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    const double a = (angleDeg - 90.0) * kPi / 180.0;
    p.setPen(QPen(pointer, std::max(0.9, r * 0.28), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(std::cos(a) * r * 0.25, std::sin(a) * r * 0.25),
               c + QPointF(std::cos(a) * r * 0.85, std::sin(a) * r * 0.85));
    p.restore();
}

// Anodised panel: rounded, gradient face, fine brushed lines, bevel edges.
void panel(QPainter &p, const QRectF &outer, const QColor &base, double radius, bool screws)
{
    p.save();
    const QRectF r = outer.adjusted(0.5, 0.5, -0.5, -0.5);

    // body
    QLinearGradient face(r.topLeft(), r.bottomLeft());
    face.setColorAt(0.0, base.lighter(135));
    face.setColorAt(0.12, base.lighter(112));
    face.setColorAt(0.85, base.darker(118));
    face.setColorAt(1.0, base.darker(150));
    p.setPen(QPen(QColor(0, 0, 0, 230), 1.0));
    p.setBrush(face);
    p.drawRoundedRect(r, radius, radius);

    // brushed texture, clipped to the face
    QPainterPath clip;
    clip.addRoundedRect(r.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    p.setClipPath(clip);
    for (double y = r.top() + 2; y < r.bottom(); y += 2.0) {
        const int a = 6 + (int(y * 7.3) % 5) * 2;
        p.setPen(QPen(QColor(255, 255, 255, a), 0.5));
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    }
    p.setClipping(false);

    // bevel: light upper-left edge, dark lower-right edge
    const QRectF in = r.adjusted(1.2, 1.2, -1.2, -1.2);
    QLinearGradient bevel(in.topLeft(), in.bottomRight());
    bevel.setColorAt(0.0, QColor(255, 255, 255, 110));
    bevel.setColorAt(0.45, QColor(255, 255, 255, 25));
    bevel.setColorAt(0.55, QColor(0, 0, 0, 30));
    bevel.setColorAt(1.0, QColor(0, 0, 0, 120));
    p.setPen(QPen(QBrush(bevel), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(in, radius - 1, radius - 1);

    if (screws) {
        const double s = 1.6;
        screw(p, r.topLeft() + QPointF(4.2, 4.2), s);
        screw(p, r.topRight() + QPointF(-4.2, 4.2), s);
        screw(p, r.bottomLeft() + QPointF(4.2, -4.2), s);
        screw(p, r.bottomRight() + QPointF(-4.2, -4.2), s);
    }
    p.restore();
}

// Recessed screen with a faint grid.
void inset(QPainter &p, const QRectF &rect, const QColor &trace, bool grid)
{
    p.save();
    const QRectF r = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, QColor(4, 7, 9));
    g.setColorAt(1.0, QColor(12, 18, 22));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, 2.5, 2.5);
    if (grid) {
        QPainterPath clip;
        clip.addRoundedRect(r, 2.5, 2.5);
        p.setClipPath(clip);
        QColor gc = trace;
        gc.setAlpha(22);
        p.setPen(QPen(gc, 0.6));
        for (double x = r.left() + 6; x < r.right(); x += 6)
            p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
        for (double y = r.top() + 6; y < r.bottom(); y += 6)
            p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
        p.setClipping(false);
    }
    // inset bevel: dark top-left, light bottom-right
    QLinearGradient edge(r.topLeft(), r.bottomRight());
    edge.setColorAt(0.0, QColor(0, 0, 0, 220));
    edge.setColorAt(0.5, QColor(0, 0, 0, 90));
    edge.setColorAt(1.0, QColor(255, 255, 255, 70));
    p.setPen(QPen(QBrush(edge), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r, 2.5, 2.5);
    p.restore();
}

// A glowing trace: a wide faint stroke under a thin bright one.
void trace(QPainter &p, const QPainterPath &path, const QColor &colour, double width)
{
    p.save();
    p.setBrush(Qt::NoBrush);
    QColor glow = colour;
    glow.setAlpha(60);
    p.setPen(QPen(glow, width * 2.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.restore();
}

void insetLabel(QPainter &p, const QRectF &insetRect, const QString &text, const QColor &colour,
                Qt::Alignment align)
{
    QColor c = colour;
    c.setAlpha(200);
    fitText(p, insetRect.adjusted(3, 1, -3, -1), text, legendFont(6.5), c, align);
}

// Header row of a block: LED at the left, legend beside it.
void header(QPainter &p, double width, const QString &text, const Tint &t)
{
    led(p, QPointF(12.5, 10.5), 2.0, t.led);
    legend(p, QRectF(17, 4, width - 26, 13), text, t.legend, 9, Qt::AlignLeft | Qt::AlignVCenter);
}

void pianoKeys(QPainter &p, const QRectF &area, int whites, int firstNote)
{
    const double kw = area.width() / whites;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0));
    p.drawRect(area.adjusted(-0.5, 0, 0.5, 0.5));
    for (int i = 0; i < whites; ++i) {
        const QRectF k(area.left() + i * kw + 0.4, area.top(), kw - 0.8, area.height());
        QLinearGradient g(k.topLeft(), k.bottomLeft());
        g.setColorAt(0.0, QColor(185, 183, 175));
        g.setColorAt(0.12, QColor(236, 234, 226));
        g.setColorAt(0.92, QColor(246, 244, 238));
        g.setColorAt(1.0, QColor(170, 168, 160));
        p.setBrush(g);
        p.drawRoundedRect(k, 1.0, 1.0);
    }
    for (int i = 0; i < whites - 1; ++i) {
        const int n = (firstNote + i) % 7;
        if (n == 2 || n == 6)
            continue;
        const QRectF k(area.left() + (i + 1) * kw - kw * 0.3, area.top(), kw * 0.6, area.height() * 0.6);
        QLinearGradient g(k.topLeft(), k.bottomLeft());
        g.setColorAt(0.0, QColor(8, 8, 10));
        g.setColorAt(0.85, QColor(42, 44, 48));
        g.setColorAt(1.0, QColor(70, 72, 78));
        p.setBrush(g);
        p.drawRoundedRect(k, 0.8, 0.8);
    }
    // shadow cast by the felt strip across the top of the keys
    QLinearGradient sh(area.topLeft(), area.topLeft() + QPointF(0, 5));
    sh.setColorAt(0.0, QColor(0, 0, 0, 150));
    sh.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.fillRect(QRectF(area.left(), area.top(), area.width(), 5), sh);
}

} // namespace corvane::art::paint
