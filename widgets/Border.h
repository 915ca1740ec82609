// The square border the program's self-painted controls draw around
// themselves: `width` pixels inside the rectangle, the top and left sides in
// one colour and the bottom and right in another (the same colour for a
// flat border, a dark and a light one for a sunk panel). The top and left
// sides have the corners.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

namespace corvane {

inline void paintBorder(QPainter& p, const QRect& r, int width, const QColor& topLeft, const QColor& bottomRight)
{
    p.fillRect(QRect(r.left(), r.bottom() - width + 1, r.width(), width), bottomRight);
    p.fillRect(QRect(r.right() - width + 1, r.top(), width, r.height()), bottomRight);
    p.fillRect(QRect(r.left(), r.top(), r.width(), width), topLeft);
    p.fillRect(QRect(r.left(), r.top(), width, r.height()), topLeft);
}

inline void paintBorder(QPainter& p, const QRect& r, int width, const QColor& colour)
{
    paintBorder(p, r, width, colour, colour);
}

} // namespace corvane
