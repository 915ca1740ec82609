#include "FormBase.h"

#include <QEvent>

namespace corvane {

TFormBase::TFormBase(QWidget* parent) : QWidget(parent, Qt::Window) {}

void TFormBase::Activate()
{
    if (handlerDepth_ > 0)
        return;
    HandlerGuard guard(*this);
    ++activations_;
    FormActivate();
}

void TFormBase::ShowAndActivate()
{
    show();
    raise();
    activateWindow();
}

bool TFormBase::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate) {
        Activate();
    } else if (e->type() == QEvent::WindowDeactivate) {
        if (handlerDepth_ == 0) {
            FormDeactivate();
            if (hideOnDeactivate_)
                hide();
        }
    }
    return QWidget::event(e);
}

} // namespace corvane
