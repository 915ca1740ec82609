// Program and wavesample selection, the half switch and the status replies
// the editor reads its current half and wavesample from.
#include "EmulatorFixture.h"

namespace corvane::emu::test {
namespace {

Message query(EmulatorTest&, std::vector<Message> replies)
{
    EXPECT_EQ(replies.size(), 1u);
    return replies.empty() ? Message{} : replies[0];
}

TEST_F(EmulatorTest, QueryOfParameter26AnswersHalfAndWavesample)
{
    for (int index : {0, 2, 7, 8, 11, 15}) {
        SCOPED_TRACE(index);
        selectWavesample(index);
        for (bool withF7 : {false, true}) {
            const Message r = query(*this, keys({key::Param, 0x02, 0x06, key::Value}, withF7));
            ASSERT_GE(r.size(), 6u);
            EXPECT_LE(r.size(), 9u);
            EXPECT_TRUE(r[3] == cmd::StatusHalfWavesample || r[3] == cmd::StatusHalfWavesampleAlt);
            EXPECT_EQ(r[4] >> 4, index / 8);
            EXPECT_EQ(r[4] & 0x0F, index % 8);
            EXPECT_EQ(r.back(), 0xF7);
        }
    }
}

TEST_F(EmulatorTest, OnlyTheQueryAndProgramSelectionAnswer)
{
    EXPECT_TRUE(keys({key::Param, 0x03, 0x06, key::Value, key::Inc}).empty());
    EXPECT_TRUE(keys({key::LowerWavesample, 0x03}).empty());
    EXPECT_TRUE(keys({0x02}).empty());
    EXPECT_TRUE(keys({key::Param, 0x02, 0x06}).empty()) << "no answer before the value key";
}

TEST_F(EmulatorTest, ProgramSelectionReportsTheHalfAndSwitchesIt)
{
    auto r = keys({0x00, 0x00});
    ASSERT_EQ(r.size(), 1u);
    EXPECT_LE(r[0].size(), 9u);
    EXPECT_EQ(r[0][4] >> 4, 0);

    r = keys({0x00});
    EXPECT_EQ(mirage.currentHalf(), 1);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][4] >> 4, 1) << "the switch reports the new half";

    keys({0x03});
    EXPECT_EQ(mirage.currentProgram(1), 2);
    EXPECT_EQ(mirage.currentProgram(0), 0);

    r = keys({0x00, 0x00});
    EXPECT_EQ(r[0][4] >> 4, 1) << "program select alone does not switch";
    keys({0x00});
    EXPECT_EQ(mirage.currentHalf(), 0);
}

TEST_F(EmulatorTest, StepsLandInTheSelectedProgramOfTheSelectedHalf)
{
    // cut-off of each of the eight programs raised a different number of times
    for (int half = 0; half < 2; ++half)
        for (int program = 0; program < 4; ++program) {
            mirage.half(half).programs[program].setField(pgf::FilterCutoff, 20);
            selectProgram(half, program);
            for (int i = 0; i <= program + 4 * half; ++i)
                step(36, true);
        }
    for (int half = 0; half < 2; ++half) {
        const Message d = programDumpOf(half);
        for (int program = 0; program < 4; ++program)
            EXPECT_EQ(field(d, 978 + 72 * program), 20 + 2 * (program + 4 * half + 1))
                << "half " << half << " program " << program;
    }
}

TEST_F(EmulatorTest, WavesampleSelectionPicksHalfAndWavesample)
{
    selectWavesample(13); // U6
    EXPECT_EQ(mirage.currentHalf(), 1);
    EXPECT_EQ(mirage.currentWavesample(), 5);
    step(69, false);
    EXPECT_EQ(field(upperDump(), 28 + 48 * 5), mirage.half(1).wavesamples[5].field(wsf::RelAmplitude));
    const int before = field(lowerDump(), 28 + 48 * 5);
    step(69, false);
    EXPECT_EQ(field(lowerDump(), 28 + 48 * 5), before) << "the lower twin is untouched";

    selectWavesample(2); // L3
    EXPECT_EQ(mirage.currentHalf(), 0);
    EXPECT_EQ(mirage.currentWavesample(), 2);
}

TEST_F(EmulatorTest, WavesampleSelectionOutOfRangeIsIgnored)
{
    selectWavesample(3);
    keys({key::LowerWavesample, 0x00});
    keys({key::UpperWavesample, 0x09});
    keys({key::UpperWavesample});
    EXPECT_EQ(mirage.currentHalf(), 0);
    EXPECT_EQ(mirage.currentWavesample(), 3);
}

TEST_F(EmulatorTest, TopKeyAndInitialWavesampleFollowTheCurrentHalf)
{
    selectWavesample(9); // U2
    selectProgram(1, 3);
    const int top = field(upperDump(), 34 + 48 * 1);
    const int initial = field(upperDump(), 986 + 72 * 3);
    keys({0x07, 0x02, key::Value, key::Dec});
    keys({0x02, 0x07, key::Value, key::Inc});
    EXPECT_EQ(field(upperDump(), 34 + 48 * 1), top - 1);
    EXPECT_EQ(field(upperDump(), 986 + 72 * 3), initial + 1);
}

} // namespace
} // namespace corvane::emu::test
