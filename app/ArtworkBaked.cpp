// The block diagram's pictures as the build painted them into the resources.
#include "Artwork.h"

namespace corvane::art {

namespace {

QPixmap baked(const QString& name) { return bakedOrPainted(name, &bakedPictures); }

QString halfName(const char* piece, int half) { return QStringLiteral("%1-%2").arg(QLatin1String(piece)).arg(half); }

} // namespace

std::vector<BakedPicture> bakedPictures()
{
    std::vector<BakedPicture> all;
    for (int half : {0, 1}) {
        all.push_back({halfName("memory", half), [half] { return painted::memoryBlock(half); }});
        all.push_back({halfName("oscillator", half), [half] { return painted::oscillatorBlock(half); }});
        all.push_back({halfName("filter", half), [half] { return painted::filterBlock(half); }});
    }
    all.push_back({QStringLiteral("keyboard"), &painted::keyboardBlock});
    all.push_back({QStringLiteral("output-connector"), &painted::outputConnector});
    all.push_back({QStringLiteral("bottom"), &painted::bottomPicture});
    return all;
}

QPixmap memoryBlock(int half) { return baked(halfName("memory", half)); }
QPixmap oscillatorBlock(int half) { return baked(halfName("oscillator", half)); }
QPixmap filterBlock(int half) { return baked(halfName("filter", half)); }
QPixmap keyboardBlock() { return baked(QStringLiteral("keyboard")); }
QPixmap outputConnector() { return baked(QStringLiteral("output-connector")); }
QPixmap bottomPicture() { return baked(QStringLiteral("bottom")); }

} // namespace corvane::art
