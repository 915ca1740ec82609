// A picture that reports clicks, for the block diagram and the guide panels.
#pragma once

#include <QLabel>

namespace corvane {

class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr) : QLabel(parent) {}

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};

} // namespace corvane
