// Build tool: paints the block diagram's pictures into DIR/<name>.png for the
// program's resources. The names the build expects are given after DIR; a
// name this tool does not paint, or one it paints that is not given, is an
// error, so the two lists cannot drift apart.
//   corvane-bake-artwork DIR NAME...
#include "Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QSet>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: corvane-bake-artwork DIR NAME...\n");
        return 2;
    }
    const QSet<QString> expected(args.begin() + 1, args.end());
    QSet<QString> painted;
    QDir dir(args.first());
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "corvane-bake-artwork: cannot make %s\n", qPrintable(dir.path()));
        return 1;
    }
    for (const corvane::art::BakedPicture& p : corvane::art::bakedPictures()) {
        painted.insert(p.name);
        const QString file = dir.filePath(p.name + ".png");
        if (!p.paint().save(file, "PNG")) {
            std::fprintf(stderr, "corvane-bake-artwork: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    if (painted != expected) {
        std::fprintf(stderr, "corvane-bake-artwork: the build lists other pictures than the program paints\n");
        return 1;
    }
    return 0;
}
