// The strip under the block diagram: the front panel and the keyboard.
#include "Artwork.h"
#include "ArtworkPaint.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <array>

namespace corvane::art {

using namespace paint;

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


// The two-digit LED display with its gloss, and the name under it.
void display(QPainter &p)
{
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
}

// Two rows of round buttons, two lit, and the LEDs under them.
void keypad(QPainter &p)
{
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
}

void dataSlider(QPainter &p)
{
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
}

} // namespace

QPixmap painted::bottomPicture()
{
    const int w = 593, h = 57;
    QPixmap pm = blank(w, h);
    QPainter p(&pm);
    begin(p);
    panel(p, QRectF(0, 0, w, h), QColor(40, 42, 48), 6, false);

    // left control section
    const QRectF ctl(4, 4, 168, h - 8);
    inset(p, ctl, QColor(140, 150, 160), false);

    display(p);
    keypad(p);
    dataSlider(p);

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

} // namespace corvane::art
