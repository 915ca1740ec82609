// Damaged WAV files: header bytes changed at random and files cut anywhere
// are refused or read within their bounds.
#include "WavFile.h"

#include <gtest/gtest.h>

#include <random>

TEST(WavImportRobustness, DamagedHeadersAndCutFilesStayInBounds)
{
    using namespace corvane::wav;
    std::vector<std::uint8_t> good = exportImage(std::vector<std::uint8_t>(3000, 0x80), 0x11);
    const std::uint8_t list[] = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'I', 'N', 'F', 'O', 'x', 0};
    good.insert(good.begin() + 36, std::begin(list), std::end(list)); // a second chunk to walk over
    std::mt19937 random(20240611);
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::uint8_t> image = good;
        for (int c = 1 + static_cast<int>(random() % 6); c > 0; --c)
            image[random() % 70] = static_cast<std::uint8_t>(random());
        if (random() % 4 == 0)
            image.resize(random() % image.size());
        const ImportResult r = parseImport(image);
        ASSERT_EQ(r.ok(), !r.samples.empty());
        ASSERT_LE(r.samples.size(), std::min<std::size_t>(MaxDataSize, image.size()));
    }
}
