#include "ValueBox.h"

namespace corvane {

TValueBox::TValueBox(QWidget* parent, const QString& text) : QLineEdit(text, parent)
{
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet("QLineEdit { background-color: #008000; color: #00FF00; font-weight: bold; "
                  "border: 1px solid #404040; padding: 0px 2px; }");
}

} // namespace corvane
