#include "NameLabel.h"

#include <QMouseEvent>

namespace corvane {

TNameLabel::TNameLabel(int wavesample, QWidget* parent) : QLabel("Un named", parent), wavesample_(wavesample) {}

void TNameLabel::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        emit DblClick(wavesample_);
    QLabel::mouseDoubleClickEvent(e);
}

} // namespace corvane
