#include "UpDown.h"

#include "ValueBox.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>

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
        // As with the native control, a click on the arrows puts the focus
        // in the box, so the keys go on from there.
        connect(b, &QToolButton::pressed, this, [this] {
            if (box_ && (box_->focusPolicy() & Qt::ClickFocus))
                box_->setFocus(Qt::MouseFocusReason);
        });
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

void TUpDown::setAssociate(QLineEdit* edit)
{
    associate_ = edit;
    pairWith(edit);
}

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
    if (e->type() == QEvent::EnabledChange) {
        updateArrows();
        updateBoxFocus();
    }
    QWidget::changeEvent(e);
}

// Windows place their controls before showing them, so the box beside the
// up-down is looked for when it is first shown.
void TUpDown::showEvent(QShowEvent* e)
{
    if (!box_)
        pairWith(adjacentValueBox());
    QWidget::showEvent(e);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == box_ && e->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(e);
        const auto held = k->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
        if (held == Qt::NoModifier && typeKey(k))
            return true;
        if (held == Qt::NoModifier && !(k->modifiers() & Qt::ShiftModifier) && stepByKey(k->key()))
            return true;
    }
    if (watched == box_ && e->type() == QEvent::FocusOut)
        dropTyped();
    return QWidget::eventFilter(watched, e);
}

// Typing a value: digits (and hex letters) gather in the box until Enter
// hands them to OnTyped; Backspace takes one back; Escape drops them.
bool TUpDown::typeKey(const QKeyEvent* k)
{
    if (!OnTyped || !isEnabled() || !box_)
        return false;
    const QString text = k->text().toUpper();
    const bool digit = text.size() == 1 && ((text[0] >= '0' && text[0] <= '9') || (text[0] >= 'A' && text[0] <= 'F'));
    if (digit) {
        if (typed_.isEmpty())
            shownBeforeTyping_ = box_->text();
        if (typed_.size() < TypedMax)
            typed_ += text;
        box_->setText(typed_);
        return true;
    }
    if (typed_.isEmpty())
        return false;
    switch (k->key()) {
    case Qt::Key_Backspace:
        typed_.chop(1);
        box_->setText(typed_.isEmpty() ? shownBeforeTyping_ : typed_);
        return true;
    case Qt::Key_Escape:
        dropTyped();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const QString typed = typed_;
        typed_.clear();
        if (!OnTyped(typed) && box_ && box_->text() == typed)
            box_->setText(shownBeforeTyping_);
        return true;
    }
    default:
        return false;
    }
}

void TUpDown::dropTyped()
{
    if (typed_.isEmpty())
        return;
    typed_.clear();
    if (box_)
        box_->setText(shownBeforeTyping_);
}

bool TUpDown::stepByKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        press(key == Qt::Key_Up);
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (max_ - min_ + 1 <= WidePositions)
            return false;
        // One press at a time, as many clicks would: the handler sends one
        // step per press, and the end of the range stops the run.
        for (int i = 0; i < PageSteps; ++i)
            if (!press(key == Qt::Key_PageUp))
                break;
        return true;
    default:
        return false;
    }
}

void TUpDown::pairWith(QLineEdit* box)
{
    if (box_ == box)
        return;
    if (box_) {
        box_->removeEventFilter(this);
        if (qobject_cast<TValueBox*>(box_.data()))
            box_->setFocusPolicy(Qt::NoFocus);
    }
    box_ = box;
    setFocusProxy(box);
    if (box)
        box->installEventFilter(this);
    updateBoxFocus();
}

QLineEdit* TUpDown::adjacentValueBox() const
{
    if (!parentWidget())
        return nullptr;
    constexpr int Slack = 2; // pixels between the box's right side and the arrows
    TValueBox* best = nullptr;
    int bestGap = Slack + 1;
    for (TValueBox* b : parentWidget()->findChildren<TValueBox*>(Qt::FindDirectChildrenOnly)) {
        const QRect r = b->geometry();
        const int gap = std::abs(x() - (r.x() + r.width()));
        const int middle = r.y() + r.height() / 2;
        if (gap < bestGap && middle >= y() && middle < y() + height()) {
            best = b;
            bestGap = gap;
        }
    }
    return best;
}

// A value box is written only by the program; it takes the focus only while
// it has an up-down to pass the keys to.
void TUpDown::updateBoxFocus()
{
    if (qobject_cast<TValueBox*>(box_.data()))
        box_->setFocusPolicy(isEnabled() ? Qt::StrongFocus : Qt::NoFocus);
}

void TUpDown::updateArrows()
{
    up_->setEnabled(isEnabled());
    down_->setEnabled(isEnabled());
}

} // namespace corvane
