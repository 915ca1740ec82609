#include "SwitchBox.h"

#include <QApplication>
#include <QPalette>

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

void TSwitchBox::setMarked(bool marked)
{
    if (marked_ == marked)
        return;
    marked_ = marked;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, marked ? QColor(0xC0, 0x50, 0x00) : QApplication::palette(this).color(QPalette::WindowText));
    setPalette(p);
}

} // namespace corvane
