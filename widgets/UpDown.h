// An up-down (spin arrows without an edit of their own): Min, Max, Position,
// no wrap, an optional associated edit. It reports a click only when its
// position actually moves, so a click at either end of the range reports
// nothing: the range is the only bound an editor needs.
//
// From the keyboard an up-down and its value box are one stop in the tab
// order: the box takes the focus, Up and Down press the arrows, and where the
// range is wide Page Up and Page Down press them ten times. Every key press
// goes through press(), so the window's click handler runs once per step,
// exactly as for a mouse click. The box is the associated edit or, without
// one, the value box placed flush against the up-down's left side.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include <functional>

class QToolButton;

namespace corvane {

class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    // Page Up and Page Down step a range of more than WidePositions
    // positions, PageSteps steps at a time.
    static constexpr int WidePositions = 20;
    static constexpr int PageSteps = 10;

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    void setRange(int min, int max);
    // Set by the program: clamped into the range, reports nothing and leaves
    // the associated edit alone.
    void setPosition(int position);

    // The edit that shows the position after each move of the user's.
    void setAssociate(QLineEdit* edit);
    QLineEdit* Associate() const { return associate_; }

    // The box that takes the focus for this up-down and passes it the keys
    // (null while there is none).
    QLineEdit* Box() const { return box_; }

    // What a press of the up or down arrow does: moves the position by one
    // inside the range and, if it moved, updates the associated edit and
    // reports the click. Returns whether it moved.
    bool press(bool up);

    // The arrows, named "up" and "down", for tests that click them.
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

    // Handler run after the reported click (in addition to the signal).
    std::function<void(bool up)> OnClick;

    // A value typed into the focused box and taken with Enter (digits, and
    // A-F for boxes that show hex). Returns whether it was taken; if not,
    // the box shows its value again. While a value is being typed the box
    // shows it; Escape or leaving the box drops it.
    std::function<bool(const QString& typed)> OnTyped;
    bool Typing() const { return !typed_.isEmpty(); }
    static constexpr int TypedMax = 3;

signals:
    void Click(bool up);

protected:
    void resizeEvent(QResizeEvent*) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void updateArrows();
    void pairWith(QLineEdit* box);
    QLineEdit* adjacentValueBox() const;
    void updateBoxFocus();
    bool stepByKey(int key);
    bool typeKey(const QKeyEvent* k);
    void dropTyped();

    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    QLineEdit* associate_ = nullptr;
    QPointer<QLineEdit> box_;
    QString typed_;
    QString shownBeforeTyping_;
    QToolButton* up_;
    QToolButton* down_;
};

} // namespace corvane
