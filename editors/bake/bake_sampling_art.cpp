// Build tool: paints the sampling window's pictures into DIR/<name>.png for
// the program's resources.
//   corvane-bake-sampling-art DIR NAME...
#include "SamplingArt.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    return corvane::art::bakeInto(QGuiApplication::arguments().mid(1), corvane::art::samplingPictures(),
                                  "corvane-bake-sampling-art");
}
