// Every window opens within the available area of its screen (the screen
// less the desktop's panels): made smaller where it may be resized, and
// moved in where its frame would stand off an edge.
#pragma once

class QWidget;

namespace corvane {

// Before the window is first shown: no larger than the area less the
// frame the window system will add.
void fitSizeIntoScreen(QWidget* window);
// Once the window system has placed it: moved in where it stands off.
void moveIntoScreen(QWidget* window);

} // namespace corvane
