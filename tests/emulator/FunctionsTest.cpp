// Disk load and save between the three sound slots, configuration save and
// reboot, program copy and wavesample copy, seen through the next dumps.
#include "EmulatorFixture.h"

#include "FactorySamples.h"

#include <algorithm>

namespace corvane::emu::test {
namespace {

TEST_F(EmulatorTest, SavedSoundLoadsBackIntoItsHalf)
{
    selectProgram(0, 0);
    mirage.half(0).programs[0].setField(pgf::FilterCutoff, 100);
    mirage.half(0).memory[0x1234] = 0x99;
    keys({0x01, 0x01, 0x02, key::Enter}); // save lower to slot 2
    EXPECT_EQ(mirage.counters().lastSavedSlot, 1);
    const Message saved = lowerDump();

    keys({0x11, 0x01, key::Enter});       // load sound 1 into lower
    EXPECT_NE(lowerDump(), saved);
    EXPECT_EQ(mirage.counters().lastLoadedSlot, 0);

    keys({0x11, 0x02, key::Enter});       // load sound 2 into lower
    EXPECT_EQ(lowerDump(), saved);
    EXPECT_EQ(mirage.half(0).memory[0x1234], 0x99) << "sample memory travels with the sound";
    EXPECT_EQ(mirage.counters().lastLoadedSlot, 1);
}

TEST_F(EmulatorTest, UpperAndBothLoadAndSaveTouchOnlyTheirHalves)
{
    const Message lower = lowerDump();
    mirage.half(1).programs[2].setField(pgf::LfoSpeed, 77);
    keys({0x01, 0x02, 0x03, key::Enter}); // save upper to slot 3
    const Message upperSaved = upperDump();
    keys({0x10, 0x01, key::Enter});       // load upper from 1
    EXPECT_NE(upperDump(), upperSaved);
    EXPECT_EQ(lowerDump(), lower);
    keys({0x10, 0x03, key::Enter});
    EXPECT_EQ(upperDump(), upperSaved);
    EXPECT_EQ(lowerDump(), lower);

    // both halves at once
    mirage.half(0).programs[1].setField(pgf::Detune, 55);
    keys({0x01, 0x03, 0x01, key::Enter}); // save both to slot 1
    const Message l = lowerDump(), u = upperDump();
    keys({0x10, 0x11, 0x02, key::Enter}); // load both from 2
    EXPECT_NE(lowerDump(), l);
    EXPECT_NE(upperDump(), u);
    keys({0x10, 0x11, 0x01, key::Enter});
    EXPECT_EQ(lowerDump(), l);
    EXPECT_EQ(upperDump(), u);
}

TEST_F(EmulatorTest, DiskSoundsDifferFromEachOther)
{
    keys({0x10, 0x11, 0x01, key::Enter});
    const Message one = lowerDump();
    keys({0x10, 0x11, 0x02, key::Enter});
    const Message two = lowerDump();
    keys({0x10, 0x11, 0x03, key::Enter});
    EXPECT_NE(one, two);
    EXPECT_NE(two, lowerDump());
}

// The samples the build computed are the ones the emulator computes now, and
// none holds the end-of-sample 0.
TEST(FactorySamples, TheBakedMemoryIsTheComputedOne)
{
    for (int half = 0; half < 2; ++half)
        for (int variant = 0; variant < 3; ++variant) {
            const std::uint8_t* baked = bakedFactoryMemory(half, variant);
            ASSERT_NE(baked, nullptr) << "a native build bakes the factory samples";
            const std::vector<std::uint8_t> computed = computeFactoryMemory(half, variant);
            ASSERT_EQ(computed.size(), SampleMemorySize);
            EXPECT_TRUE(std::equal(computed.begin(), computed.end(), baked)) << half << " " << variant;
            EXPECT_EQ(std::count(computed.begin(), computed.end(), 0), 0);
        }
    EXPECT_EQ(bakedFactoryMemory(2, 0), nullptr);
}

TEST_F(EmulatorTest, RebootBringsBackTheSavedConfigurationAndSoundOne)
{
    step(21, true);
    const int tuned = field(configDump(), 6);
    keys({0x01, 0x04, key::Enter}); // save configuration
    step(21, true);
    step(21, true);
    mirage.half(0).programs[0].setField(pgf::Mix, 0);
    selectWavesample(12);

    keys({0x10, 0x11, 0x00, key::Enter});
    EXPECT_EQ(mirage.counters().rebooted, 1);
    EXPECT_EQ(field(configDump(), 6), tuned);
    const Message afterReboot = lowerDump();
    keys({0x11, 0x01, key::Enter});
    EXPECT_EQ(afterReboot, lowerDump());
    EXPECT_EQ(mirage.currentHalf(), 0);
}

TEST_F(EmulatorTest, LoadAndSaveWithBadSlotsDoNothing)
{
    const Message lower = lowerDump();
    keys({0x11, 0x04, key::Enter});
    keys({0x11, 0x00, key::Enter});
    keys({0x01, 0x01, 0x07, key::Enter});
    keys({0x11, 0x02}); // no enter
    EXPECT_EQ(lowerDump(), lower);
    EXPECT_EQ(mirage.counters().loads, 0);
    EXPECT_EQ(mirage.counters().saves, 0);
}

TEST_F(EmulatorTest, ProgramCopyCopiesTheCurrentProgramIntoTheSlot)
{
    selectProgram(0, 1);
    step(36, true);
    step(50, true);
    const Message lower = lowerDump();
    auto programBlock = [](const Message& d, int p) {
        return Message(d.begin() + 966 + 72 * p, d.begin() + 966 + 72 * (p + 1));
    };
    keys({0x01, 0x06, 0x04, key::Enter}); // to upper program 4
    EXPECT_EQ(programBlock(upperDump(), 3), programBlock(lower, 1));
    keys({0x01, 0x05, 0x03, key::Enter}); // to lower program 3
    const Message after = lowerDump();
    EXPECT_EQ(programBlock(after, 2), programBlock(lower, 1));
    EXPECT_EQ(programBlock(after, 0), programBlock(lower, 0));
    EXPECT_EQ(programBlock(after, 3), programBlock(lower, 3));
    EXPECT_EQ(mirage.counters().programCopies, 2);
}

TEST_F(EmulatorTest, WavesampleCopyCopiesParametersAndDataAcrossHalves)
{
    selectWavesample(2); // L3
    step(69, false);
    const Message lower = lowerDump();
    auto wsBlock = [](const Message& d, int w) {
        return Message(d.begin() + 22 + 48 * w, d.begin() + 22 + 48 * (w + 1));
    };
    const std::vector<std::uint8_t> data = single(send(wavesampleRequestMessage()));

    keys({key::Param, 0x01, 0x08, 0x06, key::Enter}); // to upper 6
    EXPECT_EQ(wsBlock(upperDump(), 5), wsBlock(lower, 2));
    selectWavesample(13); // U6
    Message copied = single(send(wavesampleRequestMessage()));
    EXPECT_EQ(copied, data);

    selectWavesample(2);
    keys({key::Param, 0x01, 0x07, 0x08, key::Enter}); // to lower 8
    EXPECT_EQ(wsBlock(lowerDump(), 7), wsBlock(lower, 2));
    EXPECT_EQ(wsBlock(lowerDump(), 6), wsBlock(lower, 6));
    EXPECT_EQ(mirage.counters().wavesampleCopies, 2);
}

TEST_F(EmulatorTest, CopiesWithBadDestinationsDoNothing)
{
    const Message lower = lowerDump(), upper = upperDump();
    keys({0x01, 0x05, 0x05, key::Enter});
    keys({0x01, 0x06, 0x00, key::Enter});
    keys({key::Param, 0x01, 0x07, 0x09, key::Enter});
    keys({key::Param, 0x01, 0x08, 0x00, key::Enter});
    keys({key::Param, 0x01, 0x07, 0x03}); // no enter
    EXPECT_EQ(lowerDump(), lower);
    EXPECT_EQ(upperDump(), upper);
}

} // namespace
} // namespace corvane::emu::test
