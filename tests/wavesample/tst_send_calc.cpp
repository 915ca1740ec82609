// The dump sent from a WAV file's data with its figures, and the
// calculator's arithmetic.
#include "SendDump.h"
#include "WsCalculator.h"

#include <gtest/gtest.h>

#include <numeric>

namespace corvane {
namespace {

TEST(SendDump, FiguresAndPageCountFollowTheDataSize)
{
    struct Row {
        int size;
        const char* pagesHex;
        int percent, padding;
        std::uint8_t low, high;
    };
    const Row rows[] = {
        {1, "01", 0, 1, 0x01, 0x00},
        {256, "01", 0, 0, 0x01, 0x00}, // a whole page announces one page, not two
        {257, "02", 0, 1, 0x02, 0x00},
        {1000, "04", 1, 232, 0x04, 0x00},
        {65280, "FF", 99, 0, 0x0F, 0x0F},
        {65281, "100", 100, 1, 0x00, 0x10},
        {65535, "100", 100, 255, 0x00, 0x10},
    };
    for (const Row& r : rows) {
        const auto d = wav::buildSendDump(std::vector<std::uint8_t>(static_cast<std::size_t>(r.size), 0x80));
        ASSERT_TRUE(d) << r.size;
        EXPECT_EQ(d->dataSize, r.size);
        EXPECT_EQ(wav::hexText(d->pages), r.pagesHex) << r.size;
        EXPECT_EQ(d->percent, r.percent) << r.size;
        EXPECT_EQ(d->padding, r.padding) << r.size;
        ASSERT_EQ(d->message.size(), 2u * r.size + 8) << r.size; // 1,000 bytes: 2,008
        EXPECT_EQ(d->message[4], r.low) << r.size;
        EXPECT_EQ(d->message[5], r.high) << r.size;
        EXPECT_EQ(d->message.back(), 0x7F);
    }
    EXPECT_FALSE(wav::buildSendDump(std::vector<std::uint8_t>(65536, 0x80)));
}

TEST(SendDump, NibblesZerosAndChecksum)
{
    EXPECT_EQ(wav::buildSendDump(std::vector<std::uint8_t>{0x23})->message,
              (std::vector<std::uint8_t>{0xF0, 0x0F, 0x01, 0x06, 0x01, 0x00, 0x03, 0x02, 0x06, 0x7F}));
    EXPECT_EQ(wav::buildSendDump(std::vector<std::uint8_t>{0x00, 0xFF})->message,
              (std::vector<std::uint8_t>{0xF0, 0x0F, 0x01, 0x06, 0x01, 0x00, 0x01, 0x00, 0x0F, 0x0F, 0x20, 0x7F}));
    // A long message: the sum wraps modulo 128.
    std::vector<std::uint8_t> samples(3000);
    std::iota(samples.begin(), samples.end(), 0);
    const auto m = wav::buildSendDump(samples)->message;
    const unsigned sum = std::accumulate(m.begin() + 4, m.end() - 2, 0u);
    EXPECT_EQ(m[m.size() - 2], sum % 128);
    EXPECT_EQ(m[6 + 2 * 256], 0x01) << "the zero of the second page";
}

TEST(Calculator, LoopChoicesPointersAndConverter)
{
    struct Choices {
        int index, size;
        std::size_t count;
        int last;
    };
    for (const Choices& c : {Choices{0, 256, 252, 64256}, Choices{1, 512, 126, 64000}, Choices{2, 1024, 63, 63488}}) {
        const auto list = wscalc::loopStartChoices(wscalc::loopSizeBytes(c.index));
        EXPECT_EQ(wscalc::loopSizeBytes(c.index), c.size);
        ASSERT_EQ(list.size(), c.count) << c.size;
        EXPECT_EQ(list.front(), 0);
        EXPECT_EQ(list.back(), c.last);
    }

    struct Example {
        int loopSize, entry, startPage, marker, wavSize;
        const char* pointers;
    };
    for (const Example& e : {Example{256, 16, 2, 4352, 4608, "02 12 12 13"},
                             Example{1024, 0, 0, 1024, 1280, "00 00 03 04"}}) {
        const int loopStart = wscalc::loopStartChoices(e.loopSize)[static_cast<std::size_t>(e.entry)];
        const auto f = wscalc::loopFigures(loopStart, e.loopSize);
        EXPECT_EQ(f.markerByte, e.marker);
        EXPECT_EQ(f.wavSize, e.wavSize);
        const auto p = wscalc::pointers(loopStart, e.loopSize, e.startPage);
        EXPECT_EQ(wav::hexText(p.wsStart) + " " + wav::hexText(p.loopStart) + " " + wav::hexText(p.loopEnd) + " " +
                      wav::hexText(p.wsEnd),
                  e.pointers);
    }

    EXPECT_EQ(wscalc::convert(256).hex, "100");
    EXPECT_EQ(wscalc::convert(256).dec, "256");
    EXPECT_EQ(wscalc::convert(10).hex, "0A");
    EXPECT_EQ(wscalc::convert(0).dec, "0");
}

} // namespace
} // namespace corvane
