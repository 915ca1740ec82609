#include "SamplingArt.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace corvane::art {

namespace {

const QColor PanelDark(0x34, 0x36, 0x3a);
const QColor LedOn(0xff, 0x3b, 0x2f);
const QColor LedOff(0x5a, 0x22, 0x20);
const QColor KeyFace(0xe6, 0xe0, 0xd0);
const QColor KeyLit(0xff, 0xd0, 0x60);
const QColor Trace(0x30, 0xd0, 0x70);

QPixmap blank(QSize size)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    return pm;
}

QFont ledFont(int pixels)
{
    QFont f("Monospace");
    f.setStyleHint(QFont::TypeWriter);
    f.setPixelSize(pixels);
    f.setBold(true);
    return f;
}

// The instrument's two-digit LED display.
void drawDisplay(QPainter& p, const QRectF& r, const QString& text)
{
    p.setPen(QPen(QColor(0x18, 0x18, 0x18), 1));
    p.setBrush(QColor(0x1c, 0x0c, 0x0c));
    p.drawRoundedRect(r, 3, 3);
    p.setFont(ledFont(static_cast<int>(r.height() * 0.7)));
    p.setPen(LedOn);
    p.drawText(r, Qt::AlignCenter, text);
}

// A front-panel key with a legend; a lit key has a glow and an arrow above.
void drawKey(QPainter& p, const QRectF& r, const QString& legend, bool pressed)
{
    if (pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(KeyLit.red(), KeyLit.green(), KeyLit.blue(), 90));
        p.drawRoundedRect(r.adjusted(-3, -3, 3, 3), 5, 5);
    }
    p.setPen(QPen(QColor(0x80, 0x78, 0x68), 1));
    p.setBrush(pressed ? KeyLit : KeyFace);
    p.drawRoundedRect(r, 3, 3);
    QFont f;
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawText(r, Qt::AlignCenter, legend);
}

void drawArrowDown(QPainter& p, QPointF tip, const QColor& c)
{
    p.setPen(QPen(c, 2));
    p.drawLine(tip - QPointF(0, 14), tip - QPointF(0, 3));
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(tip + QPointF(-5, -7));
    head.lineTo(tip + QPointF(5, -7));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(head);
}

// A waveform box: silence, then a decaying tone from `startX` (0..1) on,
// with the threshold drawn dashed; `until` (0..1) is where recording ends.
void drawRecording(QPainter& p, const QRectF& r, double startX, double until, bool full)
{
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1));
    p.setBrush(QColor(0x12, 0x1a, 0x16));
    p.drawRect(r);
    const double mid = r.center().y();
    const double amp = r.height() * 0.42;
    const double thr = amp * 0.35;
    // threshold
    p.setPen(QPen(QColor(0xe0, 0xc0, 0x40), 1, Qt::DashLine));
    p.drawLine(QPointF(r.left(), mid - thr), QPointF(r.right(), mid - thr));
    // the recorded stretch
    const double x0 = r.left() + r.width() * startX;
    const double x1 = r.left() + r.width() * until;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0xd0, 0x70, full ? 70 : 40));
    p.drawRect(QRectF(QPointF(x0, r.top() + 1), QPointF(x1, r.bottom())));
    // the signal
    QPainterPath path;
    const int n = static_cast<int>(r.width());
    for (int i = 0; i <= n; ++i) {
        const double u = static_cast<double>(i) / n;
        const double x = r.left() + i;
        double y = mid;
        if (u >= startX) {
            const double t = (u - startX) / (1.0 - startX);
            y = mid - amp * std::exp(-1.6 * t) * std::sin(2 * std::numbers::pi * 9 * t);
        }
        if (i == 0)
            path.moveTo(x, y);
        else
            path.lineTo(x, y);
    }
    p.setPen(QPen(Trace, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    // start and end marks
    p.setPen(QPen(LedOn, 1.5));
    p.drawLine(QPointF(x0, r.top() + 2), QPointF(x0, r.bottom() - 2));
    if (full)
        p.drawLine(QPointF(x1, r.top() + 2), QPointF(x1, r.bottom() - 2));
}

} // namespace

namespace painted {

QPixmap samplingStep(int step, QSize size)
{
    QPixmap pm = blank(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF all(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
    p.setBrush(PanelDark);
    p.drawRoundedRect(all, 5, 5);

    const double w = all.width();
    const QRectF display(all.center().x() - 18, all.top() + 8, 36, 22);
    switch (step) {
    case 0: { // press the sample key of the half to fill
        drawDisplay(p, display, "SL");
        const QRectF lower(all.left() + 7, all.top() + 60, w / 2 - 10, 24);
        const QRectF upper(all.center().x() + 3, all.top() + 60, w / 2 - 10, 24);
        drawKey(p, lower, "LOWER", true);
        drawKey(p, upper, "UPPER", false);
        drawArrowDown(p, QPointF(lower.center().x(), lower.top() - 4), KeyLit);
        QFont f;
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.setPen(KeyFace);
        p.drawText(QRectF(all.left(), lower.bottom() + 4, w, 14), Qt::AlignCenter, "SAMPLE");
        break;
    }
    case 1: { // the sound crosses the threshold: recording starts
        drawDisplay(p, display, "SL");
        drawRecording(p, QRectF(all.left() + 7, all.top() + 42, w - 14, 50), 0.35, 0.75, false);
        p.setPen(QColor(0xe0, 0xc0, 0x40));
        QFont f;
        f.setPixelSize(8);
        p.setFont(f);
        p.drawText(QRectF(all.left(), all.bottom() - 16, w, 12), Qt::AlignCenter, "threshold");
        break;
    }
    default: { // memory full: the display says SF
        drawDisplay(p, display, "SF");
        drawRecording(p, QRectF(all.left() + 7, all.top() + 42, w - 14, 50), 0.1, 1.0, true);
        // memory gauge, full
        const QRectF gauge(all.left() + 7, all.bottom() - 14, w - 14, 7);
        p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1));
        p.setBrush(Trace);
        p.drawRect(gauge);
        break;
    }
    }
    return pm;
}

QPixmap levelMeter(int level, QSize size)
{
    QPixmap pm = blank(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF all(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
    p.setBrush(PanelDark);
    p.drawRoundedRect(all, 4, 4);

    // Eight segments from the bottom; the threshold sits at the third.
    constexpr int Segments = 8;
    constexpr int ThresholdSegment = 3;
    const int lit = level <= 0 ? 0 : level == 1 ? 2 : level == 2 ? ThresholdSegment : Segments;
    const double segH = (all.height() - 12) / Segments;
    const QRectF column(all.center().x() - 9, all.top() + 6, 18, all.height() - 12);
    for (int i = 0; i < Segments; ++i) {
        const QRectF seg(column.left(), column.bottom() - (i + 1) * segH + 1, column.width(), segH - 2);
        const bool on = i < lit;
        QColor c = i >= Segments - 2 ? LedOn : Trace;
        if (!on)
            c = i >= Segments - 2 ? LedOff : QColor(0x1f, 0x40, 0x2c);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(seg, 1.5, 1.5);
    }
    // the threshold mark
    const double ty = column.bottom() - ThresholdSegment * segH;
    p.setPen(QPen(QColor(0xe0, 0xc0, 0x40), 1.2, level == 2 ? Qt::SolidLine : Qt::DashLine));
    p.drawLine(QPointF(column.left() - 10, ty), QPointF(column.right() + 10, ty));
    QPainterPath tri;
    tri.moveTo(column.left() - 4, ty);
    tri.lineTo(column.left() - 11, ty - 4);
    tri.lineTo(column.left() - 11, ty + 4);
    tri.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0xc0, 0x40));
    p.drawPath(tri);
    return pm;
}

QPixmap displayCode(const QString& code, QSize size)
{
    QPixmap pm = blank(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawDisplay(p, QRectF(0.5, 0.5, size.width() - 1.0, size.height() - 1.0), code);
    return pm;
}

} // namespace painted

std::vector<BakedPicture> samplingPictures()
{
    std::vector<BakedPicture> all;
    for (int step = 0; step < 3; ++step)
        all.push_back({QStringLiteral("sampling-step-%1").arg(step),
                       [step] { return painted::samplingStep(step, SamplingStepSize); }});
    for (int level = 0; level < 4; ++level)
        all.push_back({QStringLiteral("level-meter-%1").arg(level),
                       [level] { return painted::levelMeter(level, LevelMeterSize); }});
    for (const char* code : DisplayCodes)
        all.push_back({QStringLiteral("display-%1").arg(QLatin1String(code)),
                       [code] { return painted::displayCode(QString::fromLatin1(code), DisplayCodeSize); }});
    return all;
}

QPixmap samplingStep(int step)
{
    return bakedOrPainted(QStringLiteral("sampling-step-%1").arg(step), &samplingPictures);
}

QPixmap levelMeter(int level) { return bakedOrPainted(QStringLiteral("level-meter-%1").arg(level), &samplingPictures); }

QPixmap displayCode(const QString& code) { return bakedOrPainted("display-" + code, &samplingPictures); }

} // namespace corvane::art
