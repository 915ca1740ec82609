// The drawing pieces the pictures of Artwork.h share. The look: dark anodised
// panels with soft bevels, small screen insets with phosphor traces, LED
// accents and tiny engraved legends.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace corvane::art::paint {

constexpr double kPi = 3.14159265358979323846;

// Palette. Half 1 (upper) is a cool blue-grey, half 0 (lower) a green-grey.
struct Tint {
    QColor panel;   // anodised face
    QColor trace;   // phosphor trace in the insets
    QColor legend;  // engraved text
    QColor led;     // status LED
};

Tint tintFor(int half);

inline const QColor kConnector(112, 124, 138);
inline const QColor kMaroon(128, 0, 0);
inline const QColor kAmber(255, 170, 40);
inline const QColor kLedRed(255, 50, 40);

QFont legendFont(double pixelSize, bool bold = true, bool condensed = true);
// A transparent pixmap of w x h.
QPixmap blank(int w, int h);
// Antialiased painting for a new painter.
void begin(QPainter &p);
void fitText(QPainter &p, const QRectF &box, const QString &text, const QFont &font,
             const QColor &colour, Qt::Alignment align = Qt::AlignCenter);
void legend(QPainter &p, const QRectF &box, const QString &text, const QColor &colour,
            double px, Qt::Alignment align = Qt::AlignCenter);
void led(QPainter &p, QPointF c, double r, const QColor &colour, bool on = true);
void screw(QPainter &p, QPointF c, double r);
void knob(QPainter &p, QPointF c, double r, double angleDeg, const QColor &pointer);
void panel(QPainter &p, const QRectF &outer, const QColor &base, double radius, bool screws = true);
void inset(QPainter &p, const QRectF &rect, const QColor &trace, bool grid = true);
void trace(QPainter &p, const QPainterPath &path, const QColor &colour, double width = 1.2);
void insetLabel(QPainter &p, const QRectF &insetRect, const QString &text, const QColor &colour,
                Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop);
void header(QPainter &p, double width, const QString &text, const Tint &t);
// Piano keys across `area`, `whites` white keys from note `firstNote` (0=C .. 6=B).
void pianoKeys(QPainter &p, const QRectF &area, int whites, int firstNote);

} // namespace corvane::art::paint
