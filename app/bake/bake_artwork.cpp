// Build tool: paints the block diagram's pictures into DIR/<name>.png for the
// program's resources.
//   corvane-bake-artwork DIR NAME...
#include "Artwork.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    return corvane::art::bakeInto(QGuiApplication::arguments().mid(1), corvane::art::bakedPictures(),
                                  "corvane-bake-artwork");
}
