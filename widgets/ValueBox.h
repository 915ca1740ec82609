// The value box of the editor windows: a read-only edit with a green
// background and bold lime text, written only by the program.
#pragma once

#include <QLineEdit>

namespace corvane {

class TValueBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TValueBox(QWidget* parent = nullptr, const QString& text = QString());
};

} // namespace corvane
