// Pictures painted once when the program is built and kept in it as PNG
// resources: decoding one is a fraction of painting it. A build tool paints
// each under its name; the program loads ":/baked/<name>.png", and paints
// the picture itself where the build could not run the tool (a cross build).
#pragma once

#include <QDir>
#include <QPixmap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <vector>

namespace corvane::art {

struct BakedPicture {
    QString name; // the file name, without ".png"
    std::function<QPixmap()> paint;
};

inline QString bakedPath(const QString& name) { return QStringLiteral(":/baked/%1.png").arg(name); }

// The picture `name` of those `all` lists, from the resources if the build
// put it there.
inline QPixmap bakedOrPainted(const QString& name, std::vector<BakedPicture> (*all)())
{
    QPixmap pm;
    if (pm.load(bakedPath(name), "PNG"))
        return pm;
    for (const BakedPicture& p : all())
        if (p.name == name)
            return p.paint();
    return pm;
}

// A build tool's work: paints `all` into DIR/<name>.png, DIR and the names
// the build expects given as `args`. A name the tool does not paint, or one
// it paints that is not given, is an error, so the two lists cannot drift
// apart. Returns the tool's exit code.
inline int bakeInto(const QStringList& args, const std::vector<BakedPicture>& all, const char* tool)
{
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: %s DIR NAME...\n", tool);
        return 2;
    }
    const QSet<QString> expected(args.begin() + 1, args.end());
    QSet<QString> painted;
    QDir dir(args.first());
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "%s: cannot make %s\n", tool, qPrintable(dir.path()));
        return 1;
    }
    for (const BakedPicture& p : all) {
        painted.insert(p.name);
        const QString file = dir.filePath(p.name + ".png");
        if (!p.paint().save(file, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", tool, qPrintable(file));
            return 1;
        }
    }
    if (painted != expected) {
        std::fprintf(stderr, "%s: the build lists other pictures than the program paints\n", tool);
        return 1;
    }
    return 0;
}

} // namespace corvane::art
