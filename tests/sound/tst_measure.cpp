// The measurements of a wavesample on audio whose figures are known: the
// pitch of tones and of loops a few samples off whole cycles, the swell of
// a decaying tone's loop and of a tremolo's, lead-in and level.
#include "Measure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace corvane::measure;

namespace {

constexpr double Pi = 3.14159265358979323846;

// A tone of three harmonics at `key` (29,411 Hz), after `lead` silent
// samples, falling by `dbPerSecond`.
std::vector<float> tone(double key, double seconds, int lead = 0, double dbPerSecond = 0, double level = 0.5)
{
    const double f = 440.0 * std::pow(2.0, (key - 69.0) / 12.0) / WavesampleRate;
    std::vector<float> a(static_cast<std::size_t>(seconds * WavesampleRate), 0.0f);
    for (std::size_t i = static_cast<std::size_t>(lead); i < a.size(); ++i) {
        const double t = 2 * Pi * f * static_cast<double>(i);
        const double g = level * std::pow(10.0, -dbPerSecond * static_cast<double>(i) / WavesampleRate / 20);
        a[i] = static_cast<float>(g * (0.7 * std::sin(t) + 0.2 * std::sin(2 * t + 0.3) + 0.1 * std::sin(3 * t + 1.1)));
    }
    return a;
}

double periodOf(double key) { return WavesampleRate / (440.0 * std::pow(2.0, (key - 69.0) / 12.0)); }

} // namespace

TEST(Measure, LoopPitchIsCyclesOverLengthAndAttackPitchIsTheTones)
{
    // Whole cycles, one cycle five samples long (the pitch of the loop
    // falls by the ratio), forty cycles one sample long.
    struct Case { double key; int cycles; int extra; };
    for (const Case c : {Case{45, 20, 0}, Case{57.3, 40, 0}, Case{81.7, 100, 0}, Case{52, 1, 5}, Case{64, 40, 1}}) {
        const std::vector<float> a = tone(c.key, 1.0);
        const double p = periodOf(c.key);
        const int length = static_cast<int>(std::lround(c.cycles * p)) + c.extra;
        const Figures f = measure(a, 8192, 8192 + length);
        ASSERT_TRUE(f.attackKey && f.loopKey && f.loopCents) << c.key;
        EXPECT_NEAR(*f.attackKey, c.key, 0.005) << c.key;
        EXPECT_NEAR(*f.loopCents, 1200 * std::log2(c.cycles * p / length), 0.5) << c.key << " " << c.extra;
        EXPECT_LT(*f.swellDb, 0.2) << c.key;
    }
}

TEST(Measure, SwellLeadInLevelAndNoise)
{
    // A tone falling 10 dB a second, looped over 0.3 s, swells 3 dB.
    const std::vector<float> falling = tone(57, 1.5, 0, 10);
    const int length = static_cast<int>(std::lround(std::round(0.3 * WavesampleRate / periodOf(57)) * periodOf(57)));
    EXPECT_NEAR(measure(falling, 10240, 10240 + length).swellDb.value(), 3.0, 0.3);
    // An 8 dB tremolo at 4.3 Hz swells only where the loop cuts it out of
    // step: whole tremolo cycles against one and a half. Its level range is
    // the tremolo's either way.
    std::vector<float> tremolo = tone(57, 2.0);
    for (std::size_t i = 0; i < tremolo.size(); ++i)
        tremolo[i] *= static_cast<float>(std::pow(10.0, 4 * std::sin(2 * Pi * 4.3 * static_cast<double>(i) / WavesampleRate) / 20));
    for (const double cycles : {1.0, 2.0, 1.5}) {
        const double cyclesOfPitch = std::round(cycles * WavesampleRate / 4.3 / periodOf(57));
        const Figures f = measure(tremolo, 10240, 10240 + static_cast<int>(std::lround(cyclesOfPitch * periodOf(57))));
        EXPECT_NEAR(f.levelRangeDb.value(), 8.0, 1.0) << cycles;
        if (cycles == 1.5) {
            EXPECT_GT(f.swellDb.value(), 2.0);
        } else {
            EXPECT_LT(f.swellDb.value(), 0.5) << cycles;
        }
    }

    // 300 silent samples, then a full-scale sine: -3 dB RMS over the tone.
    std::vector<float> sine(30000, 0.0f);
    for (std::size_t i = 300; i < sine.size(); ++i)
        sine[i] = static_cast<float>(std::sin(2 * Pi * 0.01 * static_cast<double>(i - 300)));
    const Figures f = measure(sine, -1, -1);
    EXPECT_NEAR(f.leadIn, 300, 1);
    EXPECT_NEAR(f.peakDb, 0.0, 0.01);
    EXPECT_NEAR(f.rmsDb, -3.01 + 10 * std::log10(29700.0 / 30000), 0.02);
    EXPECT_FALSE(f.looped());
    // The same through 8-bit data.
    std::vector<std::uint8_t> bytes(sine.size());
    for (std::size_t i = 0; i < sine.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(std::lround(128 + 126 * sine[i]));
    EXPECT_NEAR(measureBytes(bytes, -1, -1).leadIn, 300, 1);
    EXPECT_NEAR(measureBytes(bytes, -1, -1).attackKey.value(), keyOfPeriod(100), 0.01);

    // Noise has no pitch.
    std::mt19937 random(5);
    std::normal_distribution<float> normal(0, 0.2f);
    std::vector<float> noise(20000);
    for (float& x : noise)
        x = normal(random);
    const Figures n = measure(noise, 4096, 16384);
    EXPECT_FALSE(n.attackKey);
    EXPECT_FALSE(n.loopKey);
}
