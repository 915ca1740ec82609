// A progress bar drawn with its window's next paint. QProgressBar repaints
// at once, inside setValue, whenever its filled part or its text changes;
// in a large window each of those repaints held the user-interface thread
// for several milliseconds, a scan's or a transfer's first step among them.
#pragma once

#include <QProgressBar>

namespace corvane {

class TProgressBar : public QProgressBar {
public:
    using QProgressBar::QProgressBar;

    // Hides QProgressBar::setValue, which is not virtual: the windows hold
    // their bars as TProgressBar.
    void setValue(int value)
    {
        setUpdatesEnabled(false); // its repaint does nothing now ...
        QProgressBar::setValue(value);
        setUpdatesEnabled(true); // ... and this asks for the paint
    }
};

} // namespace corvane
