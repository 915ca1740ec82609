#include "ValueBox.h"

namespace corvane {

TValueBox::TValueBox(QWidget* parent, const QString& text) : QLineEdit(text, parent)
{
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
    // The focus frame is one pixel wider than the border and the padding one
    // narrower, so the text does not move when the box takes the focus.
    setStyleSheet("QLineEdit { background-color: #008000; color: #00FF00; font-weight: bold; "
                  "border: 1px solid #404040; padding: 0px 2px; }"
                  "QLineEdit:focus { border: 2px solid #FFFF00; padding: 0px 1px; }");
}

void TValueBox::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    // Tabbing into an edit selects its text; a box the user cannot type in
    // keeps its green and lime.
    if (isReadOnly())
        deselect();
}

} // namespace corvane
