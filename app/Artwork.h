// Pictures we draw ourselves: the block diagram of the main window, the tool
// button glyphs, the about box picture. Everything is painted with QPainter.
// The block diagram's fixed pictures are painted once when the program is
// built and kept in it as PNG resources: decoding them is a fraction of
// painting them, and the start needs every one. A tool glyph's pixmap for a
// mode and resolution is painted when a button first shows it.
#pragma once

#include "Baking.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

#include <functional>
#include <vector>

namespace corvane::art {

// Block diagram pieces; half 0 lower, 1 upper. From the resources where the
// build put them there, otherwise painted.
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

// The pictures the build paints into the resources, with the painting that
// makes each.
std::vector<BakedPicture> bakedPictures();

namespace painted {
QPixmap memoryBlock(int half);
QPixmap oscillatorBlock(int half);
QPixmap filterBlock(int half);
QPixmap keyboardBlock();
QPixmap outputConnector();
QPixmap bottomPicture();
} // namespace painted

} // namespace corvane::art
