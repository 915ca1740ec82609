#include "ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace corvane {

namespace {

// The offscreen platform's screen is a nominal 800 × 600 that nothing is
// laid out for: windows there keep their sizes.
QScreen* realScreen(const QWidget* w)
{
    if (QGuiApplication::platformName() == "offscreen")
        return nullptr;
    return w->screen() ? w->screen() : QGuiApplication::primaryScreen();
}

struct Margins {
    int left, top, right, bottom;
};

Margins frameOf(const QWidget* w)
{
    const QRect frame = w->frameGeometry();
    const QRect inner = w->geometry();
    if (frame == inner) // not framed yet: a title bar and thin borders
        return {4, 32, 4, 4};
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

} // namespace

void fitSizeIntoScreen(QWidget* w)
{
    const QScreen* s = realScreen(w);
    if (!s)
        return;
    const QRect area = s->availableGeometry();
    const Margins m = frameOf(w);
    const QSize room(area.width() - m.left - m.right, area.height() - m.top - m.bottom);
    const QSize size = w->size();
    if (size.width() <= room.width() && size.height() <= room.height())
        return;
    w->resize(size.boundedTo(room).expandedTo(w->minimumSize()));
}

void moveIntoScreen(QWidget* w)
{
    const QScreen* s = realScreen(w);
    if (!s || !w->isVisible() || w->isMaximized() || w->isFullScreen())
        return;
    const QRect area = s->availableGeometry();
    const QRect frame = w->frameGeometry();
    const int x = std::max(area.left(), std::min(frame.left(), area.right() - frame.width() + 1));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() - frame.height() + 1));
    if (x != frame.left() || y != frame.top())
        w->move(x, y); // move() places the frame
}

} // namespace corvane
