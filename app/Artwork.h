// Pictures we draw ourselves: the block diagram of the main window, the tool
// button glyphs, the about box picture. Everything is painted with QPainter,
// so no bitmap files ship with the program; a tool glyph's pixmap for a mode
// and resolution only when a button first shows it.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace corvane::art {

// Block diagram pieces; half 0 lower, 1 upper.
QPixmap memoryBlock(int half);      // about 81 x 89
QPixmap oscillatorBlock(int half);  // about 113 x 89
QPixmap filterBlock(int half);      // about 137 x 89
QPixmap keyboardBlock();            // 33 x 153
QPixmap connector(int width, int height); // horizontal signal line with an arrow head
QPixmap outputConnector();          // the jack at the right end of the maroon bar
QPixmap bottomPicture();            // 593 x 57, a stylised keyboard and panel strip

enum class Glyph {
    LoadBoth1, LoadBoth2, LoadBoth3,
    LoadUpper1, LoadUpper2, LoadUpper3,
    LoadLower1, LoadLower2, LoadLower3,
    GetConfiguration, GetParameters
};
// A three-state glyph (normal, disabled, pressed) as the modes of one QIcon.
QIcon toolGlyph(Glyph glyph);

QPixmap aboutPicture(); // about 120 x 120

} // namespace corvane::art
