#include "Panel.h"

#include "Border.h"

#include <QApplication>
#include <QPainter>

namespace corvane {

TPanel::TPanel(QWidget* parent, const QColor& fill, std::optional<QColor> border)
    : QFrame(parent), fill_(fill), border_(border)
{
    // What stands on a panel is written in the program's own face, not in
    // the editor windows' small one.
    setFont(QApplication::font());
}

void TPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, fill_);
    if (border_)
        paintBorder(p, r, 1, *border_);
}

} // namespace corvane
