#include "SwitchBox.h"

namespace corvane {

TSwitchBox::TSwitchBox(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
    // QAbstractButton::clicked comes only from the user (a release inside
    // the box, or the space key) and after the state has changed.
    connect(this, &QCheckBox::clicked, this, [this](bool checked) {
        emit Toggle(!checked, checked);
        if (OnToggle)
            OnToggle(!checked, checked);
    });
}

} // namespace corvane
