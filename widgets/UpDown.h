// An up-down (spin arrows without an edit of their own): Min, Max, Position,
// no wrap, an optional associated edit. It reports a click only when its
// position actually moves, so a click at either end of the range reports
// nothing: the range is the only bound an editor needs.
#pragma once

#include <QWidget>

#include <functional>

class QLineEdit;
class QToolButton;

namespace corvane {

class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    void setRange(int min, int max);
    // Set by the program: clamped into the range, reports nothing and leaves
    // the associated edit alone.
    void setPosition(int position);

    // The edit that shows the position after each move of the user's.
    void setAssociate(QLineEdit* edit) { associate_ = edit; }
    QLineEdit* Associate() const { return associate_; }

    // What a press of the up or down arrow does: moves the position by one
    // inside the range and, if it moved, updates the associated edit and
    // reports the click. Returns whether it moved.
    bool press(bool up);

    // The arrows, named "up" and "down", for tests that click them.
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

    // Handler run after the reported click (in addition to the signal).
    std::function<void(bool up)> OnClick;

signals:
    void Click(bool up);

protected:
    void resizeEvent(QResizeEvent*) override;
    void changeEvent(QEvent* e) override;

private:
    void updateArrows();

    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    QLineEdit* associate_ = nullptr;
    QToolButton* up_;
    QToolButton* down_;
};

} // namespace corvane
