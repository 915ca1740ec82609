// Pictures of the main window, its tool buttons and the about box, painted
// with QPainter. The look: dark anodised panels with soft bevels, small
// screen insets with phosphor traces, LED accents and tiny engraved legends.
#include "Artwork.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>

namespace corvane::art {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Palette. Half 1 (upper) is a cool blue-grey, half 0 (lower) a green-grey.
struct Tint {
    QColor panel;   // anodised face
    QColor trace;   // phosphor trace in the insets
    QColor legend;  // engraved text
    QColor led;     // status LED
};

Tint tintFor(int half)
{
    if (half == 1)
        return {QColor(50, 62, 80), QColor(110, 215, 255), QColor(188, 204, 222), QColor(80, 200, 255)};
    return {QColor(46, 66, 60), QColor(120, 240, 150), QColor(190, 216, 200), QColor(110, 255, 130)};
}

const QColor kConnector(112, 124, 138);
const QColor kMaroon(128, 0, 0);
const QColor kAmber(255, 170, 40);
const QColor kLedRed(255, 50, 40);

QFont legendFont(double pixelSize, bool bold = true, bool condensed = true)
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
             const QColor &colour, Qt::Alignment align = Qt::AlignCenter)
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
            double px, Qt::Alignment align = Qt::AlignCenter)
{
    const QFont f = legendFont(px);
    fitText(p, box.translated(0, 0.8), text, f, QColor(0, 0, 0, 150), align);
    fitText(p, box, text, f, colour, align);
}

void led(QPainter &p, QPointF c, double r, const QColor &colour, bool on = true)
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
void panel(QPainter &p, const QRectF &outer, const QColor &base, double radius, bool screws = true)
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
void inset(QPainter &p, const QRectF &rect, const QColor &trace, bool grid = true)
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
void trace(QPainter &p, const QPainterPath &path, const QColor &colour, double width = 1.2)
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
                Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop)
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

} // namespace

// ---------------------------------------------------------------------------
// Block diagram

QPixmap memoryBlock(int half)
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

QPixmap oscillatorBlock(int half)
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
    // OSC 2: pulse
    const QRectF b(58, 18, 49, 34);
    inset(p, b, t.trace);
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
    // LFO: sine
    const QRectF c(6, 55, 101, 21);
    inset(p, c, t.trace);
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
    // small rate/depth knobs
    knob(p, QPointF(w / 2.0 - 6, 82.5), 3.2, -40, t.legend);
    knob(p, QPointF(w / 2.0 + 6, 82.5), 3.2, 50, t.legend);
    return pm;
}

QPixmap filterBlock(int half)
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
    // VCA: ADSR envelope
    const QRectF b(70, 18, 61, 52);
    inset(p, b, t.trace);
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
    // knobs: cut-off and resonance under the VCF, attack..release under the VCA
    knob(p, QPointF(26, 79), 3.4, 30, t.legend);
    knob(p, QPointF(46, 79), 3.4, -60, t.legend);
    for (int i = 0; i < 4; ++i)
        knob(p, QPointF(82 + i * 12.5, 79), 3.0, -90 + i * 45, t.legend);
    return pm;
}

QPixmap keyboardBlock()
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

    led(p, QPointF(8.5, 8), 1.7, up.led);
    legend(p, QRectF(12, 2, w - 15, 12), QStringLiteral("U"), up.legend, 8.5);
    led(p, QPointF(8.5, h - 8), 1.7, lo.led);
    legend(p, QRectF(12, h - 14, w - 15, 12), QStringLiteral("L"), lo.legend, 8.5);

    // a vertical strip of piano keys, the lowest key at the bottom
    const QRectF keys(5, 16, w - 10, h - 32);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 200));
    p.drawRoundedRect(keys.adjusted(-1.5, -1.5, 1.5, 1.5), 2, 2);
    const int whites = 17;
    const double kh = keys.height() / whites;
    for (int i = 0; i < whites; ++i) {
        const QRectF k(keys.left(), keys.bottom() - (i + 1) * kh + 0.4, keys.width(), kh - 0.8);
        QLinearGradient g(k.topLeft(), k.topRight());
        g.setColorAt(0.0, QColor(200, 198, 190));
        g.setColorAt(0.85, QColor(238, 236, 228));
        g.setColorAt(1.0, QColor(170, 168, 160));
        p.setBrush(g);
        p.drawRect(k);
    }
    // black keys: after white keys 0,1 (C#, D#), 3,4,5 (F#, G#, A#) of each octave
    for (int i = 0; i < whites - 1; ++i) {
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
    // split point marker between the halves
    const double split = keys.bottom() - 8 * kh;
    p.setPen(QPen(kLedRed, 1.2));
    p.drawLine(QPointF(keys.left() - 2, split), QPointF(keys.right() + 2, split));
    QColor gl = kLedRed;
    gl.setAlpha(70);
    p.setPen(QPen(gl, 3.0));
    p.drawLine(QPointF(keys.left() - 2, split), QPointF(keys.right() + 2, split));
    return pm;
}

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

QPixmap outputConnector()
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

namespace {

// One digit of a seven-segment display; segments a..g as bits 0..6.
void sevenSegment(QPainter &p, const QRectF &r, int digit, const QColor &on)
{
    static const int masks[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    const int m = (digit >= 0 && digit <= 9) ? masks[digit] : 0;
    const double t = r.width() * 0.18;
    const double w = r.width(), h = r.height();
    const double x = r.left(), y = r.top();
    auto seg = [&](int bit, QPointF a, QPointF b) {
        const bool lit = (m >> bit) & 1;
        QColor c = lit ? on : QColor(on.red() / 6 + 12, on.green() / 6 + 4, on.blue() / 6 + 4);
        if (lit) {
            QColor g = on;
            g.setAlpha(70);
            p.setPen(QPen(g, t * 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(a, b);
        }
        p.setPen(QPen(c, t, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(a, b);
    };
    const double sk = w * 0.12; // slant
    auto P = [&](double fx, double fy) { return QPointF(x + fx * w + (1 - fy) * sk, y + fy * h); };
    const double g = 0.12;
    seg(0, P(g, 0), P(1 - g, 0));
    seg(1, P(1, g), P(1, 0.5 - g));
    seg(2, P(1, 0.5 + g), P(1, 1 - g));
    seg(3, P(g, 1), P(1 - g, 1));
    seg(4, P(0, 0.5 + g), P(0, 1 - g));
    seg(5, P(0, g), P(0, 0.5 - g));
    seg(6, P(g, 0.5), P(1 - g, 0.5));
}

void roundButton(QPainter &p, QPointF c, double r, const QColor &cap)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 160));
    p.drawEllipse(c + QPointF(0.3, 0.9), r + 1.0, r + 1.0);
    QRadialGradient g(c - QPointF(r * 0.35, r * 0.45), r * 1.5);
    g.setColorAt(0.0, cap.lighter(160));
    g.setColorAt(0.6, cap);
    g.setColorAt(1.0, cap.darker(200));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    p.restore();
}

void pianoKeys(QPainter &p, const QRectF &area, int whites, int firstNote /* 0=C .. 6=B */)
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

} // namespace

QPixmap bottomPicture()
{
    const int w = 593, h = 57;
    QPixmap pm = blank(w, h);
    QPainter p(&pm);
    begin(p);
    panel(p, QRectF(0, 0, w, h), QColor(40, 42, 48), 6, false);

    // left control section
    const QRectF ctl(4, 4, 168, h - 8);
    inset(p, ctl, QColor(140, 150, 160), false);

    // two-digit LED display
    const QRectF disp(12, 10, 38, 24);
    p.setPen(QPen(QColor(0, 0, 0), 1));
    QLinearGradient dg(disp.topLeft(), disp.bottomLeft());
    dg.setColorAt(0.0, QColor(30, 4, 4));
    dg.setColorAt(1.0, QColor(16, 2, 2));
    p.setBrush(dg);
    p.drawRoundedRect(disp, 2, 2);
    p.setRenderHint(QPainter::Antialiasing, true);
    sevenSegment(p, QRectF(disp.left() + 6, disp.top() + 4.5, 9, 15), 8, kLedRed);
    sevenSegment(p, QRectF(disp.left() + 20, disp.top() + 4.5, 9, 15), 5, kLedRed);
    // gloss on the display window
    QLinearGradient gloss(disp.topLeft(), disp.bottomLeft());
    gloss.setColorAt(0.0, QColor(255, 255, 255, 40));
    gloss.setColorAt(0.45, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRoundedRect(disp.adjusted(1, 1, -1, -1), 1.5, 1.5);
    legend(p, QRectF(8, 37, 50, 10), QStringLiteral("CORVANE"), QColor(200, 204, 212), 7.5);

    // keypad: two rows of round buttons, two lit, plus a value slider
    const std::array<QColor, 2> caps{QColor(70, 74, 82), QColor(150, 30, 28)};
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 5; ++col) {
            const QPointF c(68 + col * 14.5, 16 + row * 15);
            const bool red = (row == 1 && col >= 3);
            roundButton(p, c, 4.4, caps[red ? 1 : 0]);
        }
    }
    led(p, QPointF(68, 46), 1.6, kLedRed);
    led(p, QPointF(82.5, 46), 1.6, QColor(110, 255, 130), false);
    led(p, QPointF(97, 46), 1.6, kAmber);
    fitText(p, QRectF(104, 41.5, 34, 9), QStringLiteral("SAMPLE"), legendFont(6.5),
            QColor(170, 176, 186), Qt::AlignLeft | Qt::AlignVCenter);
    // data slider
    const QRectF slot(148, 10, 5, 36);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0));
    p.drawRoundedRect(slot, 2, 2);
    const QRectF cap(143, 20, 15, 7);
    QLinearGradient cg(cap.topLeft(), cap.bottomLeft());
    cg.setColorAt(0.0, QColor(200, 202, 208));
    cg.setColorAt(0.5, QColor(120, 124, 130));
    cg.setColorAt(1.0, QColor(60, 62, 68));
    p.setBrush(cg);
    p.drawRoundedRect(cap, 1.5, 1.5);
    p.setPen(QPen(QColor(20, 20, 20), 0.8));
    p.drawLine(QPointF(cap.left() + 1, cap.center().y()), QPointF(cap.right() - 1, cap.center().y()));

    // keyboard with a maroon felt strip along its top
    const QRectF felt(178, 5, w - 183, 4);
    p.setPen(Qt::NoPen);
    QLinearGradient fg(felt.topLeft(), felt.bottomLeft());
    fg.setColorAt(0.0, kMaroon.lighter(140));
    fg.setColorAt(1.0, kMaroon.darker(160));
    p.setBrush(fg);
    p.drawRect(felt);
    pianoKeys(p, QRectF(178, 9, w - 183, h - 13), 36, 0);
    return pm;
}

// ---------------------------------------------------------------------------
// Tool glyphs

namespace {

enum class GlyphState { Normal, Disabled, Pressed };

struct FloppyLabel {
    QString label;
    QColor stripe;
};

FloppyLabel floppyLabel(Glyph g)
{
    const int n = int(g);
    const int digit = n % 3 + 1;
    if (n <= int(Glyph::LoadBoth3))
        return {QStringLiteral("UL%1").arg(digit), kAmber};
    if (n <= int(Glyph::LoadUpper3))
        return {QStringLiteral("U%1").arg(digit), tintFor(1).led};
    return {QStringLiteral("L%1").arg(digit), tintFor(0).led};
}

void drawFloppy(QPainter &p, const FloppyLabel &f)
{
    // designed on a 20 x 20 grid
    QPainterPath body;
    body.moveTo(1.5, 2.5);
    body.quadTo(1.5, 1.5, 2.5, 1.5);
    body.lineTo(16, 1.5);
    body.lineTo(18.5, 4);
    body.lineTo(18.5, 17.5);
    body.quadTo(18.5, 18.5, 17.5, 18.5);
    body.lineTo(2.5, 18.5);
    body.quadTo(1.5, 18.5, 1.5, 17.5);
    body.closeSubpath();
    QLinearGradient bg(0, 1.5, 0, 18.5);
    bg.setColorAt(0.0, QColor(70, 80, 98));
    bg.setColorAt(1.0, QColor(28, 32, 42));
    p.setPen(QPen(QColor(8, 10, 14), 1.0));
    p.setBrush(bg);
    p.drawPath(body);
    // metal shutter with its window
    QLinearGradient sg(5, 0, 14, 0);
    sg.setColorAt(0.0, QColor(150, 156, 166));
    sg.setColorAt(0.5, QColor(225, 228, 234));
    sg.setColorAt(1.0, QColor(130, 136, 146));
    p.setPen(Qt::NoPen);
    p.setBrush(sg);
    p.drawRect(QRectF(5, 1.5, 9.5, 5.5));
    p.setBrush(QColor(30, 34, 42));
    p.drawRect(QRectF(11, 2.5, 2, 3.5));
    // paper label with a coloured stripe and the legend
    const QRectF label(3.5, 8.5, 13, 9);
    p.setBrush(QColor(238, 236, 226));
    p.drawRoundedRect(label, 0.8, 0.8);
    p.setBrush(f.stripe);
    p.drawRect(QRectF(label.left(), label.top(), label.width(), 1.6));
    fitText(p, QRectF(label.left() + 0.3, label.top() + 1.4, label.width() - 0.6, label.height() - 1.4),
            f.label, legendFont(f.label.size() > 2 ? 7.2 : 8.0), QColor(20, 22, 30));
}

// A small "receive" badge: a down arrow into a tray, bottom right.
void drawDownloadBadge(QPainter &p, const QColor &colour)
{
    QPainterPath arrow;
    arrow.moveTo(13, 9.5);
    arrow.lineTo(17, 9.5);
    arrow.lineTo(17, 13.5);
    arrow.lineTo(19.3, 13.5);
    arrow.lineTo(15, 18);
    arrow.lineTo(10.7, 13.5);
    arrow.lineTo(13, 13.5);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(0, 0, 0, 200), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arrow);
    QLinearGradient g(0, 9.5, 0, 18);
    g.setColorAt(0.0, colour.lighter(140));
    g.setColorAt(1.0, colour.darker(130));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(arrow);
}

void drawDocumentBase(QPainter &p)
{
    const QRectF doc(1.5, 1.5, 13, 16);
    QLinearGradient g(doc.topLeft(), doc.bottomLeft());
    g.setColorAt(0.0, QColor(62, 72, 88));
    g.setColorAt(1.0, QColor(26, 30, 38));
    p.setPen(QPen(QColor(8, 10, 14), 1.0));
    p.setBrush(g);
    p.drawRoundedRect(doc, 1.5, 1.5);
}

void drawConfigGlyph(QPainter &p)
{
    drawDocumentBase(p);
    // a table: a header row and value cells
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 190, 60));
    p.drawRect(QRectF(3.5, 3.5, 9, 2));
    for (int r = 0; r < 4; ++r) {
        p.setBrush(QColor(200, 210, 224));
        p.drawRect(QRectF(3.5, 7 + r * 2.6, 4.5, 1.4));
        p.setBrush(QColor(120, 240, 150));
        p.drawRect(QRectF(9, 7 + r * 2.6, 3.5, 1.4));
    }
    drawDownloadBadge(p, QColor(110, 215, 255));
}

void drawParametersGlyph(QPainter &p)
{
    drawDocumentBase(p);
    // three faders
    const double xs[3] = {4.5, 8, 11.5};
    const double caps[3] = {6.5, 11, 8};
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(QColor(120, 132, 150), 0.9));
        p.drawLine(QPointF(xs[i], 3.5), QPointF(xs[i], 15.5));
        p.setPen(Qt::NoPen);
        p.setBrush(i == 1 ? QColor(255, 190, 60) : QColor(205, 212, 224));
        p.drawRoundedRect(QRectF(xs[i] - 1.5, caps[i], 3, 2.2), 0.5, 0.5);
    }
    drawDownloadBadge(p, QColor(120, 240, 150));
}

QImage renderGlyph(Glyph glyph, int scale, GlyphState state)
{
    const int s = 20 * scale;
    QImage img(s, s, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        begin(p);
        p.scale(scale, scale);
        if (state == GlyphState::Pressed) {
            // sunk into the panel: a recessed well and the glyph moved down-right
            QLinearGradient well(0, 0, 20, 20);
            well.setColorAt(0.0, QColor(0, 0, 0, 90));
            well.setColorAt(1.0, QColor(255, 255, 255, 25));
            p.setPen(Qt::NoPen);
            p.setBrush(well);
            p.drawRoundedRect(QRectF(0, 0, 20, 20), 3, 3);
            p.translate(0.8, 0.8);
            p.scale(0.94, 0.94);
        }
        switch (glyph) {
        case Glyph::GetConfiguration:
            drawConfigGlyph(p);
            break;
        case Glyph::GetParameters:
            drawParametersGlyph(p);
            break;
        default:
            drawFloppy(p, floppyLabel(glyph));
            break;
        }
    }
    if (state == GlyphState::Disabled) {
        for (int y = 0; y < img.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = line[x];
                const int a = qAlpha(c);
                if (a == 0)
                    continue;
                // premultiplied: grey from the premultiplied channels, then fade
                const int grey = (qRed(c) * 11 + qGreen(c) * 16 + qBlue(c) * 5) / 32;
                const int na = a * 45 / 100;
                const int ng = std::min(na, (grey * 55 / 100 + a * 20 / 100) * 45 / 100);
                line[x] = qRgba(ng, ng, ng, na);
            }
        }
    } else if (state == GlyphState::Pressed) {
        QPainter p(&img);
        p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        p.fillRect(img.rect(), QColor(0, 0, 0, 45));
    }
    return img;
}

QPixmap glyphPixmap(Glyph glyph, int scale, GlyphState state)
{
    QPixmap pm = QPixmap::fromImage(renderGlyph(glyph, scale, state));
    pm.setDevicePixelRatio(scale);
    return pm;
}

} // namespace

QIcon toolGlyph(Glyph glyph)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        const QPixmap normal = glyphPixmap(glyph, scale, GlyphState::Normal);
        const QPixmap disabled = glyphPixmap(glyph, scale, GlyphState::Disabled);
        const QPixmap pressed = glyphPixmap(glyph, scale, GlyphState::Pressed);
        icon.addPixmap(normal, QIcon::Normal, QIcon::Off);
        icon.addPixmap(pressed, QIcon::Normal, QIcon::On);
        icon.addPixmap(disabled, QIcon::Disabled, QIcon::Off);
        icon.addPixmap(disabled, QIcon::Disabled, QIcon::On);
        for (QIcon::Mode m : {QIcon::Active, QIcon::Selected}) {
            icon.addPixmap(pressed, m, QIcon::Off);
            icon.addPixmap(pressed, m, QIcon::On);
        }
    }
    return icon;
}

// ---------------------------------------------------------------------------
// About box

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
