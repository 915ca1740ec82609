// The value box of the editor windows: a read-only edit with a green
// background and bold lime text, written only by the program. It takes the
// focus only when an up-down steps it (see TUpDown); then a frame shows
// where the keys go, and the text is never shown selected.
#pragma once

#include <QColor>
#include <QLineEdit>

namespace corvane {

class TValueBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TValueBox(QWidget* parent = nullptr, const QString& text = QString());

    // Another fill and text colour (the calculator's olive pointer box).
    void setColours(const QColor& background, const QColor& text);

    // Marked: the value was found changed on the instrument; an orange
    // frame shows it until the next edit.
    void setMarked(bool marked);
    bool Marked() const { return marked_; }

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    QColor background_;
    bool marked_ = false;
};

} // namespace corvane
