#include "SendGuard.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace corvane {

namespace {
std::vector<TSendGuard*>& guards()
{
    static std::vector<TSendGuard*> all;
    return all;
}
} // namespace

void TSendGuard::guard(QWidget* control, Reason reason)
{
    if (control && reason)
        new TSendGuard(control, std::move(reason));
}

void TSendGuard::refreshAll()
{
    for (TSendGuard* g : guards())
        g->refresh();
}

TSendGuard::TSendGuard(QWidget* control, Reason reason)
    : QObject(control), control_(control), reason_(std::move(reason)), wanted_(!control->testAttribute(Qt::WA_ForceDisabled)),
      tip_(control->toolTip())
{
    guards().push_back(this);
    control->installEventFilter(this);
    refresh();
}

TSendGuard::~TSendGuard()
{
    auto& all = guards();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void TSendGuard::refresh()
{
    const std::string why = reason_();
    blocked_ = !why.empty();
    setting_ = true;
    control_->setToolTip(blocked_ ? QString::fromStdString(why) : tip_);
    control_->setEnabled(wanted_ && !blocked_);
    setting_ = false;
}

bool TSendGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == control_ && !setting_) {
        if (event->type() == QEvent::EnabledChange) {
            // The window's own choice (not its parent's), kept for when
            // sending is possible.
            wanted_ = !control_->testAttribute(Qt::WA_ForceDisabled);
            if (blocked_ && wanted_) {
                setting_ = true;
                control_->setEnabled(false);
                setting_ = false;
            }
        } else if (event->type() == QEvent::ToolTipChange && blocked_) {
            tip_ = control_->toolTip();
            setting_ = true;
            control_->setToolTip(QString::fromStdString(reason_()));
            setting_ = false;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace corvane
