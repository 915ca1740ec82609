#include "Shape.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace corvane {

TShape::TShape(QWidget* parent, Kind kind) : QWidget(parent), kind_(kind) {}

void TShape::setKind(Kind k)
{
    kind_ = k;
    update();
}

void TShape::setBrushColor(const QColor& c)
{
    brush_ = c;
    update();
}

void TShape::setPenColor(const QColor& c)
{
    pen_ = c;
    update();
}

void TShape::setText(const QString& text)
{
    text_ = text;
    update();
}

bool TShape::textFits(const QString& text) const
{
    const QFontMetrics m(font());
    return m.horizontalAdvance(text) + 4 <= width() && m.capHeight() + 2 <= height();
}

void TShape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, kind_ == Kind::Circle);
    p.setPen(pen_);
    p.setBrush(brush_);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    if (kind_ == Kind::Circle)
        p.drawEllipse(r);
    else
        p.drawRect(r);
    if (!text_.isEmpty() && textFits(text_)) {
        p.setPen(qGray(brush_.rgb()) > 128 ? Qt::black : Qt::white);
        p.drawText(rect(), Qt::AlignCenter, text_);
    }
}

void TShape::mouseReleaseEvent(QMouseEvent* e)
{
    if (rect().contains(e->position().toPoint()))
        emit mouseUp(e->button());
    QWidget::mouseReleaseEvent(e);
}

} // namespace corvane
