#include "Label.h"

#include <QMouseEvent>

namespace corvane {

void TLabel::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        emit DblClick();
    QLabel::mouseDoubleClickEvent(e);
}

} // namespace corvane
