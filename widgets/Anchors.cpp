#include "Anchors.h"

#include <QEvent>
#include <QWidget>

namespace corvane {

TAnchors::TAnchors(QWidget* container) : QObject(container), container_(container), base_(container->size())
{
    container->installEventFilter(this);
}

void TAnchors::anchor(QWidget* control, int edges)
{
    placed_.push_back({control, control->geometry(), edges});
}

void TAnchors::apply()
{
    const int dx = container_->width() - base_.width();
    const int dy = container_->height() - base_.height();
    for (const Placed& p : placed_) {
        QRect r = p.base;
        if (p.edges & Right) {
            if (p.edges & Left)
                r.setWidth(r.width() + dx);
            else
                r.translate(dx, 0);
        }
        if (p.edges & Bottom) {
            if (p.edges & Top)
                r.setHeight(r.height() + dy);
            else
                r.translate(0, dy);
        }
        p.control->setGeometry(r);
    }
}

bool TAnchors::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == container_ && event->type() == QEvent::Resize)
        apply();
    return false;
}

} // namespace corvane
