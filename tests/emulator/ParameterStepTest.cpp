// One step message moves the stored field exactly as the editor's mirror does
// and stops at the ends of the editor's range, for every stepped parameter.
#include "EmulatorFixture.h"

namespace corvane::emu::test {
namespace {

enum class Where { Config, Program, Wavesample };

// Parameter, where its field lives, position (configuration) or offset
// (program / wavesample stride), step on the stored value, and the stored
// values at the two ends of the editor's up-down range.
struct Stepped {
    int parameter;
    Where where;
    int pos;
    int step;
    int storedMin;
    int storedMax;
};

std::vector<Stepped> steppedParameters()
{
    std::vector<Stepped> t = {
        {21, Where::Config, 6, 1, 0, 99},
        {22, Where::Config, 8, 1, 0, 12},
        {23, Where::Config, 10, 1, 0, 63},
        {24, Where::Config, 12, 2, 0, 126},
        {73, Where::Config, 16, 1, 30, 99},
        {74, Where::Config, 18, 2, 100, 198},
        {76, Where::Config, 22, 2, 0, 126},
        {82, Where::Config, 28, 1, 0, 15},
        {27, Where::Program, 20, 1, 0, 7},
        {31, Where::Program, 2, 1, 0, 99},
        {32, Where::Program, 4, 1, 0, 99},
        {33, Where::Program, 6, 1, 0, 99},
        {34, Where::Program, 8, 4, 0, 252},
        {35, Where::Program, 10, 4, 0, 124},
        {36, Where::Program, 12, 2, 0, 198},
        {37, Where::Program, 14, 4, 0, 160},
        {38, Where::Program, 16, 1, 0, 4},
        {64, Where::Wavesample, 22, 1, 0, 255},
        {67, Where::Wavesample, 2, 1, 0, 7},
        {68, Where::Wavesample, 4, 1, 0, 255},
        {69, Where::Wavesample, 6, 1, 0, 63},
        {70, Where::Wavesample, 8, 2, 0, 198},
        {71, Where::Wavesample, 10, 2, 0, 198},
        {72, Where::Wavesample, 12, 1, 0, 60},
    };
    for (int i = 0; i < 5; ++i) {
        t.push_back({40 + i, Where::Program, 24 + 2 * i, 1, 0, 31});
        t.push_back({45 + i, Where::Program, 34 + 2 * i, 4, 0, 124});
        t.push_back({50 + i, Where::Program, 44 + 2 * i, 1, 0, 31});
        t.push_back({55 + i, Where::Program, 54 + 2 * i, 4, 0, 124});
    }
    return t;
}

// The instrument is put on upper program 3 and upper wavesample 6 so that a
// step landing in the wrong slot shows.
constexpr int Half_ = 1, Program_ = 2, Wavesample_ = 5;

class ParameterStep : public EmulatorTest, public ::testing::WithParamInterface<Stepped> {
protected:
    void SetUp() override
    {
        selectProgram(Half_, Program_);
        selectWavesample(8 + Wavesample_);
        ASSERT_EQ(mirage.currentHalf(), Half_);
        ASSERT_EQ(mirage.currentProgram(Half_), Program_);
        ASSERT_EQ(mirage.currentWavesample(), Wavesample_);
    }

    int dumpPosition(const Stepped& p) const
    {
        switch (p.where) {
        case Where::Config: return p.pos;
        case Where::Program: return 966 + 72 * Program_ + p.pos;
        case Where::Wavesample: return 22 + 48 * Wavesample_ + p.pos;
        }
        return 0;
    }
    Message dumpOf(const Stepped& p) { return p.where == Where::Config ? configDump() : upperDump(); }
    int read(const Stepped& p) { return field(dumpOf(p), dumpPosition(p)); }
    void write(const Stepped& p, int v)
    {
        switch (p.where) {
        case Where::Config: mirage.config().setField(p.pos, v); break;
        case Where::Program: mirage.half(Half_).programs[Program_].setField(p.pos, v); break;
        case Where::Wavesample: mirage.half(Half_).wavesamples[Wavesample_].setField(p.pos, v); break;
        }
    }
    void press(const Stepped& p, bool up)
    {
        // The keyboard window types top key and initial wavesample without
        // the parameter key; every other editor uses the parameter key.
        if (p.parameter == 72 || p.parameter == 27)
            keys({static_cast<std::uint8_t>(p.parameter / 10), static_cast<std::uint8_t>(p.parameter % 10),
                  key::Value, up ? key::Inc : key::Dec});
        else
            step(p.parameter, up);
    }
};

TEST_P(ParameterStep, MovesByItsStepAndOnlyItsField)
{
    const Stepped p = GetParam();
    const int mid = p.storedMin + ((p.storedMax - p.storedMin) / (2 * p.step)) * p.step;
    write(p, mid);
    const Message before = dumpOf(p);
    press(p, true);
    Message after = dumpOf(p);
    EXPECT_EQ(field(after, dumpPosition(p)), mid + p.step);
    // nothing else in the dump moved
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (static_cast<int>(i) != dumpPosition(p) && static_cast<int>(i) != dumpPosition(p) + 1) {
            ASSERT_EQ(before[i], after[i]) << "position " << i;
        }
    }
    press(p, false);
    press(p, false);
    EXPECT_EQ(read(p), mid - p.step);
}

TEST_P(ParameterStep, WalksTheWholeRangeAndStopsAtBothEnds)
{
    const Stepped p = GetParam();
    write(p, p.storedMin);
    press(p, false);
    EXPECT_EQ(read(p), p.storedMin) << "no step below the bottom of the range";

    const int presses = (p.storedMax - p.storedMin) / p.step;
    for (int i = 0; i < presses + 3; ++i)
        press(p, true);
    EXPECT_EQ(read(p), p.storedMin + presses * p.step);
    EXPECT_EQ(read(p), p.storedMax);

    for (int i = 0; i < presses + 3; ++i)
        press(p, false);
    EXPECT_EQ(read(p), p.storedMin);
}

// Fields kept multiplied by two or four.
class MultipliedParameterStep : public ParameterStep {};

TEST_P(MultipliedParameterStep, EndsAreJudgedOnTheShownValue)
{
    // A stored value between two shown values (odd, for a doubled field)
    // keeps its remainder, as the editor's mirror does.
    const Stepped p = GetParam();
    write(p, p.storedMax + 1);
    press(p, true);
    EXPECT_EQ(read(p), p.storedMax + 1) << "shown value is already at the top";
    press(p, false);
    EXPECT_EQ(read(p), p.storedMax + 1 - p.step);
    write(p, p.storedMin + 1);
    press(p, false);
    EXPECT_EQ(read(p), p.storedMin + 1) << "shown value is already at the bottom";
}

std::string parameterName(const testing::TestParamInfo<Stepped>& info)
{
    return "Parameter" + std::to_string(info.param.parameter);
}

INSTANTIATE_TEST_SUITE_P(EveryStepped, ParameterStep, testing::ValuesIn(steppedParameters()),
                         parameterName);

std::vector<Stepped> multipliedParameters()
{
    std::vector<Stepped> t;
    for (const auto& p : steppedParameters())
        if (p.step > 1)
            t.push_back(p);
    return t;
}

INSTANTIATE_TEST_SUITE_P(EveryMultiplied, MultipliedParameterStep,
                         testing::ValuesIn(multipliedParameters()), parameterName);

TEST_F(EmulatorTest, SwitchParametersTurnOnAndOff)
{
    struct Switch { int parameter; bool config; int pos; };
    const Switch switches[] = {{25, true, 14}, {75, true, 20}, {77, true, 24}, {81, true, 26},
                               {83, true, 30}, {84, true, 32}, {29, false, 966 + 72 * 1},
                               {28, false, 988 + 72 * 1}, {65, false, 22 + 48 * 4}};
    selectProgram(0, 1);
    selectWavesample(4);
    for (const auto& s : switches) {
        SCOPED_TRACE(s.parameter);
        auto dump = [&] { return s.config ? configDump() : lowerDump(); };
        step(s.parameter, true);
        EXPECT_EQ(field(dump(), s.pos), 1);
        step(s.parameter, true);
        EXPECT_EQ(field(dump(), s.pos), 1) << "on stays on";
        step(s.parameter, false);
        EXPECT_EQ(field(dump(), s.pos), 0);
        step(s.parameter, false);
        EXPECT_EQ(field(dump(), s.pos), 0);
    }
    // a stray value in a switch field is replaced, not counted up from
    mirage.config().setField(cfg::Omni, 5);
    step(81, true);
    EXPECT_EQ(field(configDump(), 26), 1);
}

// ---- memory map: page pointers bound each other

class MemoryMap : public EmulatorTest {
protected:
    void SetUp() override { selectWavesample(2); }
    Wavesample& ws() { return mirage.half(0).wavesamples[2]; }
    void set(int s, int e, int ls, int le, int fine)
    {
        ws().setField(wsf::StartPage, s);
        ws().setField(wsf::EndPage, e);
        ws().setField(wsf::LoopStart, ls);
        ws().setField(wsf::LoopEnd, le);
        ws().setField(wsf::LoopEndFine, fine);
    }
    // start, end, loop start, loop end, fine, read from the lower dump
    std::array<int, 5> pointers()
    {
        const Message d = lowerDump();
        const int b = 22 + 48 * 2;
        return {field(d, b + 14), field(d, b + 16), field(d, b + 18), field(d, b + 20), field(d, b + 22)};
    }
};

TEST_F(MemoryMap, EndStepMovesEndAndResetsTheLoop)
{
    set(0x10, 0x20, 0x12, 0x18, 0x40);
    step(61, true);
    EXPECT_EQ(pointers(), (std::array<int, 5>{0x10, 0x21, 0x20, 0x20, 0xFF}));
    step(61, false);
    EXPECT_EQ(pointers(), (std::array<int, 5>{0x10, 0x20, 0x1F, 0x1F, 0xFF}));
}

TEST_F(MemoryMap, EndStaysAboveStartAndBelowTheLastPage)
{
    set(0x10, 0x11, 0x10, 0x10, 0x40);
    step(61, false);
    EXPECT_EQ(pointers(), (std::array<int, 5>{0x10, 0x11, 0x10, 0x10, 0x40}));
    set(0x10, 0xFF, 0x20, 0x30, 0x40);
    step(61, true);
    EXPECT_EQ(pointers(), (std::array<int, 5>{0x10, 0xFF, 0x20, 0x30, 0x40}));
}

TEST_F(MemoryMap, StartStepMovesStartUpToEndAndResetsTheLoop)
{
    set(0x10, 0x20, 0x12, 0x18, 0x40);
    step(60, true);
    EXPECT_EQ(pointers(), (std::array<int, 5>{0x11, 0x20, 0x1F, 0x1F, 0xFF}));
    set(0x20, 0x20, 0x20, 0x20, 0x40);
    step(60, true);
    EXPECT_EQ(pointers()[0], 0x20) << "start never passes end";
    set(0x1F, 0x20, 0x1F, 0x1F, 0x40);
    step(60, true);
    EXPECT_EQ(pointers(), (std::array<int, 5>{0x20, 0x20, 0x20, 0x20, 0xFF})) << "loop not before the start";
    set(0x00, 0x20, 0x12, 0x18, 0x40);
    step(60, false);
    EXPECT_EQ(pointers(), (std::array<int, 5>{0x00, 0x20, 0x12, 0x18, 0x40}));
}

TEST_F(MemoryMap, LoopStartStaysBetweenStartAndLoopEnd)
{
    set(0x10, 0x20, 0x11, 0x13, 0x40);
    step(62, false);
    step(62, false);
    step(62, false);
    EXPECT_EQ(pointers()[2], 0x10);
    for (int i = 0; i < 6; ++i)
        step(62, true);
    EXPECT_EQ(pointers(), (std::array<int, 5>{0x10, 0x20, 0x13, 0x13, 0x40}));
}

TEST_F(MemoryMap, LoopEndStaysBetweenLoopStartAndEndAndResetsFine)
{
    set(0x10, 0x14, 0x12, 0x13, 0x40);
    step(63, true);
    EXPECT_EQ(pointers(), (std::array<int, 5>{0x10, 0x14, 0x12, 0x14, 0xFF}));
    ws().setField(wsf::LoopEndFine, 0x40);
    step(63, true);
    EXPECT_EQ(pointers(), (std::array<int, 5>{0x10, 0x14, 0x12, 0x14, 0x40})) << "refused: fine kept";
    step(63, false);
    step(63, false);
    step(63, false);
    EXPECT_EQ(pointers(), (std::array<int, 5>{0x10, 0x14, 0x12, 0x12, 0xFF}));
}

TEST_F(EmulatorTest, StepWithoutAKnownParameterChangesNothing)
{
    const Message lower = lowerDump(), upper = upperDump(), config = configDump();
    keys({key::Inc});                       // nothing selected yet
    step(26, true);                          // the query parameter is not stepped
    step(99, true);
    step(66, false);
    EXPECT_EQ(lowerDump(), lower);
    EXPECT_EQ(upperDump(), upper);
    EXPECT_EQ(configDump(), config);
}

TEST_F(EmulatorTest, SelectedParameterStaysForLaterPresses)
{
    selectProgram(0, 0);
    mirage.half(0).programs[0].setField(pgf::LfoSpeed, 10);
    keys({key::Param, 0x03, 0x01, key::Value});
    keys({key::Inc});
    keys({key::Inc});
    keys({key::Inc, key::Inc, key::Dec});
    EXPECT_EQ(field(lowerDump(), 968), 13);
}

} // namespace
} // namespace corvane::emu::test
