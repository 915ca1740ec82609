// Damaged WAV files: header bytes changed at random and files cut anywhere
// are refused or read within their bounds, never past them.
#include "WavFile.h"

#include <gtest/gtest.h>

#include <random>

namespace corvane::wav {
namespace {

TEST(WavImportRobustness, DamagedHeadersAndCutFilesStayInBounds)
{
    std::vector<std::uint8_t> good = exportImage(std::vector<std::uint8_t>(3000, 0x80), 0x11);
    // A LIST chunk ahead of the data, so the walk crosses more than one chunk.
    const std::vector<std::uint8_t> list = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'I', 'N', 'F', 'O', 'x', 0};
    good.insert(good.begin() + 36, list.begin(), list.end());
    ASSERT_TRUE(parseImport(good).ok());

    std::mt19937 random(20240611);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::uint8_t> image = good;
        const int changes = 1 + static_cast<int>(random() % 6);
        for (int c = 0; c < changes; ++c)
            image[random() % 70] = static_cast<std::uint8_t>(random());
        if (random() % 4 == 0)
            image.resize(random() % image.size());
        const ImportResult r = parseImport(image);
        if (r.ok()) {
            ++accepted;
            ASSERT_GT(r.samples.size(), 0u);
            ASSERT_LE(r.samples.size(), std::min<std::size_t>(MaxDataSize, image.size()));
        } else {
            ASSERT_TRUE(r.samples.empty());
            ASSERT_STRNE(r.text(), "");
        }
    }
    EXPECT_GT(accepted, 0) << "some changes leave the file readable";
}

} // namespace
} // namespace corvane::wav
