// Dump requests: the right command, size and layout, built from the state;
// requests with and without End of Exclusive; the factory state.
#include "EmulatorFixture.h"

namespace corvane::emu::test {
namespace {

bool isWellFormedReply(const Message& m)
{
    if (m.size() < 5 || m[0] != 0xF0 || m[1] != 0x0F || m[2] != 0x01 || m.back() != 0xF7)
        return false;
    for (std::size_t i = 1; i + 1 < m.size(); ++i)
        if (m[i] >= 0x80)
            return false;
    return true;
}

TEST_F(EmulatorTest, DumpRequestsAreAnsweredWithTheirDumps)
{
    struct Case { std::uint8_t request; std::uint8_t reply; std::size_t size; };
    for (const Case c : {Case{0x00, 0x02, 63}, Case{0x03, 0x05, 1255}, Case{0x13, 0x15, 1255}}) {
        SCOPED_TRACE(static_cast<int>(c.request));
        const Message with7F = {0xF0, 0x0F, 0x01, c.request, 0x7F};
        const Message with7FandF7 = {0xF0, 0x0F, 0x01, c.request, 0x7F, 0xF7};
        const Message withF7Only = {0xF0, 0x0F, 0x01, c.request, 0xF7};
        for (const Message& request : {with7F, with7FandF7, withF7Only}) {
            auto replies = send(request);
            ASSERT_EQ(replies.size(), 1u);
            EXPECT_EQ(replies[0].size(), c.size);
            EXPECT_EQ(replies[0][3], c.reply);
            EXPECT_TRUE(isWellFormedReply(replies[0]));
            // nibble pairs only between the header and F7
            for (std::size_t i = 4; i + 1 < replies[0].size(); ++i)
                ASSERT_LE(replies[0][i], 0x0F) << "position " << i;
        }
    }
}

TEST_F(EmulatorTest, ProgramDumpPlacesEveryRegionAtItsPositions)
{
    Half& lower = mirage.half(0);
    lower.leading[0] = 0xA5;
    lower.leading[8] = 0x5A;
    lower.wavesamples[7].setField(wsf::LoopEndFine, 0xC3);
    lower.wavesamples[2].bytes[23] = 0x77; // the last, unnamed pair of stride 3
    lower.further[0] = 0x12;
    lower.further[279] = 0x34;
    lower.programs[3].setField(pgf::AmpModulation + 8, 0x9C);
    lower.programs[0].setField(pgf::MonoMode, 1);
    lower.programs[3].bytes[35] = 0x6B; // the unnamed last pair of the last program

    const Message d = lowerDump();
    EXPECT_EQ(field(d, 4), 0xA5);
    EXPECT_EQ(field(d, 20), 0x5A);
    EXPECT_EQ(field(d, 22 + 48 * 7 + 22), 0xC3);
    EXPECT_EQ(field(d, 22 + 48 * 2 + 46), 0x77);
    EXPECT_EQ(field(d, 406), 0x12);
    EXPECT_EQ(field(d, 964), 0x34);
    EXPECT_EQ(field(d, 966), 1);
    EXPECT_EQ(field(d, 966 + 72 * 3 + 62), 0x9C);
    EXPECT_EQ(field(d, 1252), 0x6B); // right before the closing F7
    EXPECT_EQ(d[1254], 0xF7);
}

TEST_F(EmulatorTest, LowerAndUpperDumpsComeFromTheirOwnHalf)
{
    mirage.half(1).programs[0].setField(pgf::FilterCutoff, 0x42);
    mirage.half(0).programs[0].setField(pgf::FilterCutoff, 0x24);
    EXPECT_EQ(field(upperDump(), 978), 0x42);
    EXPECT_EQ(field(lowerDump(), 978), 0x24);
}

TEST_F(EmulatorTest, ConfigurationDumpCarriesFieldsAndVersion)
{
    mirage.config().setField(cfg::MidiChannel, 9);
    const Message d = configDump();
    EXPECT_EQ(field(d, 28), 9);
    // version 3.2: major digit at 59, minor digit at 58, single bytes
    EXPECT_EQ(d[59], 3);
    EXPECT_EQ(d[58], 2);
}

TEST_F(EmulatorTest, FactoryStateIsWithinEveryEditorRange)
{
    for (int h = 0; h < 2; ++h) {
        const Message d = programDumpOf(h);
        int previousTop = -1;
        for (int w = 0; w < 8; ++w) {
            SCOPED_TRACE(testing::Message() << "half " << h << " wavesample " << w);
            const int base = 22 + 48 * w;
            const int s = field(d, base + 14), e = field(d, base + 16);
            const int ls = field(d, base + 18), le = field(d, base + 20);
            EXPECT_LE(s, ls);
            EXPECT_LE(ls, le);
            EXPECT_LE(le, e);
            EXPECT_GE(e - s + 1, 8) << "a wavesample of a few pages at least";
            const int top = field(d, base + 12);
            EXPECT_GT(top, previousTop) << "top keys rise over the keyboard";
            EXPECT_LE(top, 60);
            previousTop = top;
            EXPECT_LE(field(d, base + 2), 7);
            EXPECT_LE(field(d, base + 6), 63);
            EXPECT_LE(field(d, base + 8), 198);
            EXPECT_LE(field(d, base + 10), 198);
            const Message data = (selectWavesample(8 * h + w), single(send(wavesampleRequestMessage())));
            int lowest = 255, highest = 0;
            for (std::size_t i = 6; i + 3 < data.size(); i += 2) {
                const int v = data[i] + 16 * data[i + 1];
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
            }
            EXPECT_GE(lowest, 1) << "no end-of-sample marker inside the data";
            EXPECT_GT(highest - lowest, 100) << "a real waveform, not silence";
        }
        EXPECT_EQ(previousTop, 60) << "the last wavesample reaches the top key";
        for (int p = 0; p < 4; ++p) {
            const int base = 966 + 72 * p;
            EXPECT_LE(field(d, base + 12), 198);
            EXPECT_LE(field(d, base + 14), 160);
            EXPECT_LE(field(d, base + 16), 4);
            EXPECT_LE(field(d, base + 20), 7);
            for (int i = 0; i < 5; ++i) {
                EXPECT_LE(field(d, base + 24 + 2 * i), 31);
                EXPECT_LE(field(d, base + 44 + 2 * i), 31);
                EXPECT_EQ(field(d, base + 34 + 2 * i) % 4, 0);
                EXPECT_LE(field(d, base + 54 + 2 * i), 124);
            }
        }
    }
    const Message c = configDump();
    EXPECT_GE(field(c, 16), 30);
    EXPECT_GE(field(c, 18) / 2, 50);
    EXPECT_LE(field(c, 28), 15);
}

TEST_F(EmulatorTest, RequestsWithTrailingDataAreNotAnswered)
{
    EXPECT_TRUE(send({0xF0, 0x0F, 0x01, 0x00, 0x01, 0x7F}).empty());
    EXPECT_TRUE(send({0xF0, 0x0F, 0x01, 0x04, 0x01}).empty());
    EXPECT_TRUE(send({0xF0, 0x0F, 0x01, 0x13, 0x13, 0x7F, 0xF7}).empty());
}

} // namespace
} // namespace corvane::emu::test
