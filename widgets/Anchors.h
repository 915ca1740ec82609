// Controls placed at fixed pixel positions that follow their container's
// size: a control anchored to the right edge moves with it, one anchored to
// both the left and the right edge stretches with it; the same for top and
// bottom. Controls not anchored keep their place (left and top). The
// positions are taken from the controls as they stand when anchored, against
// the container's size at that moment.
#pragma once

#include <QObject>
#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

namespace corvane {

class TAnchors : public QObject {
public:
    enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8 };
    static constexpr int All = Left | Top | Right | Bottom;

    // Follows `container`'s resizes from its present size on.
    explicit TAnchors(QWidget* container);

    void anchor(QWidget* control, int edges);
    // Places every anchored control for the container's present size.
    void apply();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Placed {
        QWidget* control;
        QRect base;
        int edges;
    };
    QWidget* container_;
    QSize base_;
    std::vector<Placed> placed_;
};

} // namespace corvane
