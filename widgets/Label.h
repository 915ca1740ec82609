// A label that reports a double-click (the wavesample name labels, which
// open the naming dialog).
#pragma once

#include <QLabel>

namespace corvane {

class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(const QString& text = QString(), QWidget* parent = nullptr) : QLabel(text, parent) {}

signals:
    void DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
};

} // namespace corvane
