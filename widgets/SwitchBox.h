// A check box for a switch parameter. Its handler runs when the user has
// actually toggled it, by mouse or keyboard, and sees the state before and
// after. A press that is released outside the box toggles nothing and so
// reports nothing; setting the state from the program reports nothing.
#pragma once

#include <QCheckBox>

#include <functional>

namespace corvane {

class TSwitchBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TSwitchBox(const QString& text, QWidget* parent = nullptr);

    // Handler run after the reported toggle (in addition to the signal).
    std::function<void(bool before, bool after)> OnToggle;

    // Marked: the switch was found changed on the instrument; its caption
    // shows in orange until the next edit.
    void setMarked(bool marked);
    bool Marked() const { return marked_; }

signals:
    void Toggle(bool before, bool after);

private:
    bool marked_ = false;
};

} // namespace corvane
