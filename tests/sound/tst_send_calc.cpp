// The dump sent from a WAV file's data with its figures, and the
// calculator's arithmetic.
#include "HexText.h"
#include "SendDump.h"
#include "WavPrepArithmetic.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(SendDump, FiguresPageCountNibblesAndChecksum)
{
    const struct {
        int size;
        const char* pagesHex;
        int percent, padding;
        std::uint8_t low, high;
    } rows[] = {
        {256, "01", 0, 0, 0x01, 0x00}, // a whole page announces one page, not two
        {257, "02", 0, 1, 0x02, 0x00},
        {1000, "04", 1, 232, 0x04, 0x00},
        {65280, "FF", 99, 0, 0x0F, 0x0F},
        {65281, "100", 100, 1, 0x00, 0x10},
        {65535, "100", 100, 255, 0x00, 0x10},
    };
    for (const auto& r : rows) {
        const auto d = wav::buildSendDump(std::vector<std::uint8_t>(static_cast<std::size_t>(r.size), 0x80));
        ASSERT_TRUE(d) << r.size;
        EXPECT_EQ(hexNumber(d->pages), r.pagesHex) << r.size;
        EXPECT_EQ(d->percent, r.percent) << r.size;
        EXPECT_EQ(d->padding, r.padding) << r.size;
        ASSERT_EQ(d->message.size(), 2u * r.size + 8) << r.size; // 1,000 bytes: 2,008
        EXPECT_EQ(d->message[4], r.low) << r.size;
        EXPECT_EQ(d->message[5], r.high) << r.size;
    }
    EXPECT_FALSE(wav::buildSendDump(std::vector<std::uint8_t>(65536, 0x80)));

    using M = std::vector<std::uint8_t>;
    EXPECT_EQ(wav::buildSendDump(M{0x23})->message, (M{0xF0, 0x0F, 0x01, 0x06, 0x01, 0x00, 0x03, 0x02, 0x06, 0x7F}));
    EXPECT_EQ(wav::buildSendDump(M{0x00, 0xFF})->message,
              (M{0xF0, 0x0F, 0x01, 0x06, 0x01, 0x00, 0x01, 0x00, 0x0F, 0x0F, 0x20, 0x7F}));
    EXPECT_EQ(wav::buildSendDump(M(300, 0xFF))->message[606], (2 + 300 * 30) % 128) << "the sum wraps";
}

TEST(Calculator, LoopChoicesPointersAndConverter)
{
    const int sizes[] = {256, 512, 1024};
    const std::size_t counts[] = {252, 126, 63};
    for (int i = 0; i < 3; ++i) {
        const auto list = wavprep::loopStartChoices(wavprep::loopSizeBytes(i));
        ASSERT_EQ(list.size(), counts[i]) << sizes[i];
        EXPECT_EQ(list.back(), sizes[i] * static_cast<int>(counts[i] - 1)); // 64,256, 64,000, 63,488
    }
    auto shown = [](int loopStart, int loopSize, int startPage) {
        const auto f = wavprep::loopFigures(loopStart, loopSize);
        const auto p = wavprep::pointers(loopStart, loopSize, startPage);
        return std::to_string(f.markerByte) + " " + std::to_string(f.wavSize) + " " + hexNumber(p.wsStart) + " " +
               hexNumber(p.loopStart) + " " + hexNumber(p.loopEnd) + " " + hexNumber(p.wsEnd);
    };
    EXPECT_EQ(shown(wavprep::loopStartChoices(256)[16], 256, 2), "4352 4608 02 12 12 13");
    EXPECT_EQ(shown(0, 1024, 0), "1024 1280 00 00 03 04");
    EXPECT_EQ(wavprep::convert(256).hex + " " + wavprep::convert(256).dec, "100 256");
    EXPECT_EQ(wavprep::convert(10).hex, "0A");
}

} // namespace
} // namespace corvane
