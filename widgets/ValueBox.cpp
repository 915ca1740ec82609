#include "ValueBox.h"

#include "Border.h"

#include <QPainter>

namespace corvane {

namespace {

const QColor Border(0x40, 0x40, 0x40);
const QColor FocusFrame(0xFF, 0xFF, 0x00);
const QColor MarkFrame(0xFF, 0x80, 0x00);

// The box paints its own fill and frame: a style sheet of its own would cost
// every box a parse and a style of its own, half of an editor window's build.
// The text sits inside the frame, with two more pixels at the sides; the
// two-pixel focus frame takes one of those, so the text does not move
// sideways when the box takes the focus.
constexpr int BorderWidth = 1;
constexpr int FocusWidth = 2;
constexpr int SidePadding = 2;

QMargins textMarginsFor(bool focused)
{
    const int frame = focused ? FocusWidth : BorderWidth;
    const int side = focused ? SidePadding - 1 : SidePadding;
    return QMargins(frame + side, frame, frame + side, frame);
}

} // namespace

TValueBox::TValueBox(QWidget* parent, const QString& text) : QLineEdit(text, parent)
{
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
    setFrame(false);
    setTextMargins(textMarginsFor(false));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setColours(QColor(0x00, 0x80, 0x00), QColor(0x00, 0xFF, 0x00));
}

void TValueBox::setColours(const QColor& background, const QColor& text)
{
    background_ = background;
    QPalette p = palette();
    // The style's own panel is left clear; paintEvent fills the box square.
    p.setColor(QPalette::Base, Qt::transparent);
    p.setColor(QPalette::Text, text);
    setPalette(p);
    update();
}

void TValueBox::focusInEvent(QFocusEvent* e)
{
    setTextMargins(textMarginsFor(true));
    QLineEdit::focusInEvent(e);
    // Tabbing into an edit selects its text; a box the user cannot type in
    // keeps its green and lime.
    if (isReadOnly())
        deselect();
}

void TValueBox::focusOutEvent(QFocusEvent* e)
{
    setTextMargins(textMarginsFor(false));
    QLineEdit::focusOutEvent(e);
}

void TValueBox::paintEvent(QPaintEvent* e)
{
    {
        QPainter p(this);
        p.fillRect(rect(), background_);
    }
    QLineEdit::paintEvent(e);
    QPainter p(this);
    if (marked_ && hasFocus()) {
        // Both: the mark outside, the focus inside.
        paintBorder(p, rect(), BorderWidth, MarkFrame);
        paintBorder(p, rect().adjusted(1, 1, -1, -1), BorderWidth, FocusFrame);
    } else if (marked_) {
        paintBorder(p, rect(), FocusWidth, MarkFrame);
    } else {
        paintBorder(p, rect(), hasFocus() ? FocusWidth : BorderWidth, hasFocus() ? FocusFrame : Border);
    }
}

void TValueBox::setMarked(bool marked)
{
    if (marked_ == marked)
        return;
    marked_ = marked;
    update();
}

} // namespace corvane
