// The label that shows a wavesample's name beside its row. A double-click
// on it asks for the naming dialog for that wavesample (0-15: L1-L8, U1-U8).
// A name longer than the label (one from a sound file, "Church Organ") is
// drawn in a smaller type so that it shows whole, and is its tooltip.
#pragma once

#include <QLabel>

namespace corvane {

class TNameLabel : public QLabel {
    Q_OBJECT
public:
    TNameLabel(int wavesample, QWidget* parent = nullptr);

    int Wavesample() const { return wavesample_; }

signals:
    void DblClick(int wavesample);

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    int wavesample_;
};

} // namespace corvane
