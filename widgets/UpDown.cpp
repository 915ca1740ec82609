#include "UpDown.h"

#include <QEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace corvane {

TUpDown::TUpDown(QWidget* parent) : QWidget(parent)
{
    up_ = new QToolButton(this);
    up_->setObjectName("up");
    up_->setArrowType(Qt::UpArrow);
    down_ = new QToolButton(this);
    down_->setObjectName("down");
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setIconSize(QSize(7, 7));
    }
    connect(up_, &QToolButton::clicked, this, [this] { press(true); });
    connect(down_, &QToolButton::clicked, this, [this] { press(false); });
    resize(16, 21);
}

void TUpDown::setRange(int min, int max)
{
    min_ = min;
    max_ = std::max(min, max);
    position_ = std::clamp(position_, min_, max_);
}

void TUpDown::setPosition(int position) { position_ = std::clamp(position, min_, max_); }

bool TUpDown::press(bool up)
{
    if (!isEnabled())
        return false;
    const int next = up ? position_ + 1 : position_ - 1;
    if (next < min_ || next > max_)
        return false;
    position_ = next;
    if (associate_)
        associate_->setText(QString::number(position_));
    emit Click(up);
    if (OnClick)
        OnClick(up);
    return true;
}

void TUpDown::resizeEvent(QResizeEvent*)
{
    const int h = height() / 2;
    up_->setGeometry(0, 0, width(), h);
    down_->setGeometry(0, h, width(), height() - h);
}

void TUpDown::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::EnabledChange)
        updateArrows();
    QWidget::changeEvent(e);
}

void TUpDown::updateArrows()
{
    up_->setEnabled(isEnabled());
    down_->setEnabled(isEnabled());
}

} // namespace corvane
