// The user guide, shown in a window of its own.
#pragma once

#include <QWidget>

namespace corvane {

class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);
};

} // namespace corvane
