// The tool button glyphs: floppies for the loads, documents for the gets.
#include "Artwork.h"
#include "ArtworkPaint.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QLinearGradient>

#include <algorithm>
#include <map>

namespace corvane::art {

using namespace paint;

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

// A glyph's pixmap for an icon mode and state is painted when a button first
// shows it: most buttons never show their pressed or high-resolution ones.
class GlyphIconEngine : public QIconEngine {
public:
    explicit GlyphIconEngine(Glyph glyph) : glyph_(glyph) {}

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        const int s = scale > 1.5 ? 2 : 1;
        const GlyphState look = mode == QIcon::Disabled                       ? GlyphState::Disabled
                                : mode == QIcon::Normal && state == QIcon::Off ? GlyphState::Normal
                                                                               : GlyphState::Pressed;
        QPixmap& pm = cache_[{look, s}];
        if (pm.isNull()) {
            pm = QPixmap::fromImage(renderGlyph(glyph_, s, look));
            pm.setDevicePixelRatio(s);
        }
        // Never larger than asked for, as with any icon.
        if (size.width() >= Side && size.height() >= Side)
            return pm;
        QPixmap smaller = pm.scaled(size * s, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        smaller.setDevicePixelRatio(s);
        return smaller;
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPixmap pm = scaledPixmap(rect.size(), mode, state, painter->device()->devicePixelRatioF());
        const QSize logical = (QSizeF(pm.size()) / pm.devicePixelRatio()).toSize();
        const QPoint at(rect.x() + (rect.width() - logical.width()) / 2, rect.y() + (rect.height() - logical.height()) / 2);
        painter->drawPixmap(QRect(at, logical), pm);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        return QSize(Side, Side).scaled(size.boundedTo(QSize(Side, Side)), Qt::KeepAspectRatio);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {QSize(Side, Side)}; }
    QIconEngine* clone() const override { return new GlyphIconEngine(*this); }
    QString key() const override { return QStringLiteral("CorvaneGlyph"); }

private:
    static constexpr int Side = 20;
    Glyph glyph_;
    std::map<std::pair<GlyphState, int>, QPixmap> cache_;
};

} // namespace

QIcon toolGlyph(Glyph glyph) { return QIcon(new GlyphIconEngine(glyph)); }

} // namespace corvane::art
