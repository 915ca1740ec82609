// The wave editor's operations on generated signals: edits that must give
// the bytes back, fades, gain and normalise against the peak, the filters
// against their responses, resampling against a sine's new period, the
// loop snapped to the instrument's rules, the history's memory bound.
#include "WaveEdit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

using namespace corvane::waveedit;

namespace {

constexpr int Rate = 29411;

Samples sine(double hz, int n, double level = 0.5)
{
    Samples s(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<float>(level * std::sin(2 * std::numbers::pi * hz * i / Rate));
    return s;
}

std::vector<std::uint8_t> bytesOf(const Samples& s)
{
    return toBytes(s);
}

// A wavesample as received: a tone in 8 bits, with the 0 and 255 a dump may hold.
WaveBuffer received(int n = 4096)
{
    std::vector<std::uint8_t> b = bytesOf(sine(441, n));
    b[10] = 0;
    b[11] = 255;
    return WaveBuffer::fromBytes(b, {true, 1024, 2047}, Rate);
}

double rms(const Samples& s, int from, int to)
{
    double e = 0;
    for (int i = from; i < to; ++i)
        e += static_cast<double>(s[static_cast<std::size_t>(i)]) * s[static_cast<std::size_t>(i)];
    return std::sqrt(e / (to - from));
}

float peakOf(const Samples& s)
{
    float p = 0;
    for (float v : s)
        p = std::max(p, std::abs(v));
    return p;
}

} // namespace

// Opened and given back without an edit, or after edits that undo each
// other, the wavesample is byte for byte what it was (a 0 in the dump too).
TEST(WaveEdit, EditsThatCancelGiveTheBytesBack)
{
    const std::vector<std::uint8_t> original = received().bytes();
    struct Case {
        const char* name;
        std::function<void(WaveBuffer&)> edit;
        bool edited;
    };
    const Case cases[] = {
        {"nothing", [](WaveBuffer&) {}, false},
        {"undo of a gain", [](WaveBuffer& w) { w.gain({}, 3); w.undo(); }, false},
        {"reverse twice", [](WaveBuffer& w) { w.reverse({100, 900}); w.reverse({100, 900}); }, true},
        {"invert twice", [](WaveBuffer& w) { w.invert({}); w.invert({}); }, true},
        {"cut then paste", [](WaveBuffer& w) { const Samples c = w.cut({300, 700}); w.paste(300, c); }, true},
        {"undo, redo, undo", [](WaveBuffer& w) { w.lowPass({}, 500); w.undo(); w.redo(); w.undo(); }, false},
    };
    for (const Case& c : cases) {
        WaveBuffer w = received();
        c.edit(w);
        EXPECT_EQ(w.edited(), c.edited) << c.name;
        const std::vector<std::uint8_t> back = w.bytes();
        if (c.edited) { // the 0 is sent as 1, everything else as it was
            std::vector<std::uint8_t> expected = original;
            expected[10] = 1;
            EXPECT_EQ(back, expected) << c.name;
        } else {
            EXPECT_EQ(back, original) << c.name;
        }
        EXPECT_EQ(w.loop(), (Loop{true, 1024, 2047})) << c.name;
    }
}

TEST(WaveEdit, CutPasteAndSilenceMoveTheSamplesAndTheLoop)
{
    WaveBuffer w = received();
    const Samples before = w.samples();
    const Samples clip = w.cut({0, 256});
    EXPECT_EQ(clip, Samples(before.begin(), before.begin() + 256));
    EXPECT_EQ(w.size(), 4096 - 256);
    EXPECT_EQ(w.loop(), (Loop{true, 768, 1791})); // moved with its samples, still on a page
    w.insertSilence(0, 512);
    EXPECT_EQ(w.samples()[0], 0.0f);
    EXPECT_EQ(w.loop(), (Loop{true, 1280, 2303}));
    w.trim({1280, 2304});
    EXPECT_EQ(w.size(), 1024);
    EXPECT_EQ(w.loop(), (Loop{true, 0, 1023}));
    w.pasteMix(0, Samples(2000, 0.25f), 0.5);
    EXPECT_EQ(w.size(), 2000);
    EXPECT_FLOAT_EQ(w.samples()[1500], 0.125f);
    w.erase({0, 1990});
    EXPECT_FALSE(w.loop().on); // nothing of it left
}

TEST(WaveEdit, FadesReachTheirEndpoints)
{
    for (const FadeShape shape : {FadeShape::Linear, FadeShape::EqualPower}) {
        WaveBuffer w = WaveBuffer::fromSamples(Samples(1001, 0.5f), {}, Rate);
        w.fadeIn({0, 1001}, shape);
        EXPECT_FLOAT_EQ(w.samples()[0], 0.0f);
        EXPECT_FLOAT_EQ(w.samples()[1000], 0.5f);
        EXPECT_NEAR(w.samples()[500], shape == FadeShape::Linear ? 0.25 : 0.5 * std::sqrt(0.5), 1e-6);
        const float at500 = w.samples()[500];
        w.fadeOut({500, 1001}, shape);
        EXPECT_FLOAT_EQ(w.samples()[500], at500); // a fade out starts at full level
        EXPECT_FLOAT_EQ(w.samples()[1000], 0.0f);
    }
}

TEST(WaveEdit, GainAndNormaliseAgainstThePeak)
{
    WaveBuffer w = WaveBuffer::fromSamples(sine(300, 3000, 0.25), {}, Rate);
    w.gain({}, 20 * std::log10(2.0));
    EXPECT_NEAR(peakOf(w.samples()), 0.5, 1e-3);
    w.normalise({});
    EXPECT_NEAR(peakOf(w.samples()), 127.0 / 128, 1e-6);
    bool dithered = false;
    const std::vector<std::uint8_t> b = w.bytes(&dithered);
    EXPECT_TRUE(dithered);
    EXPECT_EQ(*std::min_element(b.begin(), b.end()), 1); // never 0
    EXPECT_GE(*std::max_element(b.begin(), b.end()), 254);

    // Dither only where the edit left samples between the steps: a gain on
    // a selection leaves every byte outside it as it was.
    WaveBuffer part = received();
    part.gain({1000, 1100}, 1.5);
    const std::vector<std::uint8_t> before = received().bytes(), after = part.bytes();
    for (std::size_t i = 12; i < before.size(); ++i) {
        if (i < 1000 || i >= 1100) {
            ASSERT_EQ(after[i], before[i]) << i;
        }
    }
}

// The second-order Butterworth through the bilinear transform: the power
// passed at `hz` by a low-pass (or high-pass) at `cutoff`, in dB.
double butterworthDb(double hz, double cutoff, bool high)
{
    const double r = std::tan(std::numbers::pi * hz / Rate) / std::tan(std::numbers::pi * cutoff / Rate);
    return -10 * std::log10(1 + std::pow(high ? 1 / r : r, 4));
}

// Each filter on sines below, at and above its frequency: what passes, in dB.
TEST(WaveEdit, FiltersFollowTheirResponses)
{
    struct Case {
        const char* name;
        std::function<void(WaveBuffer&)> filter;
        double hz, db, tolerance;
    };
    const auto low = [](WaveBuffer& w) { w.lowPass({}, 1000); };
    const auto high = [](WaveBuffer& w) { w.highPass({}, 1000); };
    const Case cases[] = {
        {"low-pass below", low, 100, butterworthDb(100, 1000, false), 0.2},
        {"low-pass at", low, 1000, -3.01, 0.2},
        {"low-pass above", low, 8000, butterworthDb(8000, 1000, false), 0.5},
        {"high-pass below", high, 100, butterworthDb(100, 1000, true), 0.5},
        {"high-pass at", high, 1000, -3.01, 0.2},
        {"high-pass above", high, 8000, butterworthDb(8000, 1000, true), 0.2},
        {"equaliser low", [](WaveBuffer& w) { w.equalise({}, {6, 0, 0}); }, 30, 6, 0.5},
        {"equaliser mid", [](WaveBuffer& w) { w.equalise({}, {0, -6, 0}); }, 1000, -6, 0.7},
        {"equaliser high", [](WaveBuffer& w) { w.equalise({}, {0, 0, 6}); }, 12000, 6, 0.7},
        {"equaliser flat", [](WaveBuffer& w) { w.equalise({}, {0, 0, 0}); }, 3000, 0, 0.01},
    };
    for (const Case& c : cases) {
        WaveBuffer w = WaveBuffer::fromSamples(sine(c.hz, 16384, 0.25), {}, Rate);
        const double in = rms(w.samples(), 8192, 16384);
        c.filter(w);
        EXPECT_NEAR(20 * std::log10(rms(w.samples(), 8192, 16384) / in), c.db, c.tolerance) << c.name;
    }
}

// A sine resampled up or down by semitones and cents has the period of its new pitch.
TEST(WaveEdit, ResampleMovesASineToItsNewPitch)
{
    for (const double semitones : {12.0, -7.0, 0.5, 3.25}) {
        WaveBuffer w = WaveBuffer::fromSamples(sine(441, 20000), {true, 4096, 8191}, Rate);
        ASSERT_TRUE(w.resample({}, semitones));
        const double ratio = std::pow(2.0, semitones / 12);
        EXPECT_NEAR(w.size(), 20000 / ratio, 4) << semitones;
        const auto period = measurePeriod(w.samples(), w.size() / 2);
        ASSERT_TRUE(period) << semitones;
        EXPECT_NEAR(*period, Rate / 441.0 / ratio, 0.05) << semitones;
        EXPECT_EQ(w.loop().start % PageBytes, 0) << semitones;
    }
}

// Markers dragged anywhere land where the instrument can loop: the start on
// a page, the end on a byte after it, inside the sample.
TEST(WaveEdit, LoopSnapsToTheInstrumentsRules)
{
    struct Case {
        Loop asked;
        int length;
        Loop snapped;
    };
    const Case cases[] = {
        {{true, 300, 1000}, 4096, {true, 256, 1000}},
        {{true, 400, 1000}, 4096, {true, 512, 1000}},
        {{true, 256, 9999}, 4096, {true, 256, 4095}},
        {{true, 2048, 100}, 4096, {true, 2048, 2049}},
        {{true, 4090, 4095}, 4096, {true, 3840, 4095}},
        {{true, -500, 10}, 300, {true, 0, 10}},
    };
    for (const Case& c : cases) {
        const Loop l = snapLoop(c.asked, c.length);
        EXPECT_EQ(l, c.snapped) << c.asked.start << "-" << c.asked.end;
        EXPECT_EQ(loopProblem(l, c.length), "");
    }
    const LoopPointers p = pointersOf({true, 0x300, 0x5A7});
    EXPECT_EQ(p.startPage, 3);
    EXPECT_EQ(p.endPage, 5);
    EXPECT_EQ(p.fine, 0xA7);
    EXPECT_EQ(loopOf(p, true), (Loop{true, 0x300, 0x5A7}));
    EXPECT_NE(loopProblem({true, 300, 1000}, 4096).find("page boundary"), std::string::npos);
    EXPECT_NE(loopProblem({true, 256, 5000}, 4096).find("past the last sample"), std::string::npos);
}

TEST(WaveEdit, FindLoopNearHereTakesWholeCyclesAndCrossfades)
{
    const double hz = 29411.0 / 73.3; // a period of 73.3 samples
    WaveBuffer w = WaveBuffer::fromSamples(sine(hz, 16000), {}, Rate);
    ASSERT_TRUE(w.findLoopNear(12000));
    const Loop l = w.loop();
    EXPECT_TRUE(l.on);
    EXPECT_EQ(l.start % PageBytes, 0);
    EXPECT_LE(l.end, 12000);
    const double cycles = l.length() / 73.3;
    EXPECT_NEAR(cycles, std::round(cycles), 2.5 / 73.3);
    const Samples before = w.samples();
    ASSERT_TRUE(w.crossfadeLoop(200));
    EXPECT_NE(w.samples(), before);
    EXPECT_EQ(w.undoName(), "Crossfade Loop");
}

TEST(WaveEdit, HistoryKeepsWithinItsMemoryBound)
{
    WaveBuffer w = WaveBuffer::fromSamples(Samples(10000, 0.1f), {}, Rate);
    w.setHistoryLimit(3 * 10000 * sizeof(float) + 1000);
    for (int i = 0; i < 10; ++i)
        w.gain({}, 1);
    EXPECT_LE(w.historyBytes(), 3 * 10000 * sizeof(float) + 1000);
    int undone = 0;
    while (w.canUndo()) {
        w.undo();
        ++undone;
    }
    EXPECT_EQ(undone, 3);
    EXPECT_NEAR(w.samples()[0], 0.1 * std::pow(10.0, 7 / 20.0), 1e-6); // the oldest steps are gone
    w.redo();
    EXPECT_EQ(w.redoName(), "Gain");
}

// A key above the unity key steps over stored samples, one below repeats
// them: the nearest stored sample at each step, never a value between; the
// loop rendered once round, as the instrument sustains it.
TEST(WaveEdit, AuditionTakesTheNearestStoredSampleAtEachStep)
{
    std::vector<std::uint8_t> b(1024);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(1 + i % 250);
    const Rendered up = renderAtPitch(b, {}, 12);
    ASSERT_EQ(up.samples.size(), 512u);
    for (std::size_t i = 0; i < up.samples.size(); ++i)
        ASSERT_EQ(up.samples[i], b[2 * i]) << i;
    const Rendered down = renderAtPitch(b, {}, -12);
    ASSERT_EQ(down.samples.size(), 2048u);
    for (std::size_t i = 0; i + 1 < down.samples.size(); i += 2)
        ASSERT_TRUE(down.samples[i + 1] == b[i / 2] || down.samples[i + 1] == b[i / 2 + 1]) << i;
    const Rendered looped = renderAtPitch(b, {true, 256, 767}, 0);
    EXPECT_TRUE(looped.looped);
    EXPECT_EQ(looped.loopBegin, 768u);
    EXPECT_EQ(looped.loopEnd, 768u + 512u);
    EXPECT_EQ(looped.samples[768], b[256]); // round again from the loop's start
}

// The 16-bit WAV holds each byte as (b - 128) * 256 and the loop in `smpl`,
// its end the last sample played.
TEST(WaveEdit, WavImageCarriesTheLoopInSmpl)
{
    const std::vector<std::uint8_t> b{1, 128, 255, 0x90};
    const auto v = wavImage16(b, Rate, {true, 0, 2});
    const auto u32 = [&v](std::size_t at) { return v[at] | v[at + 1] << 8 | v[at + 2] << 16 | v[at + 3] << 24; };
    const auto s16 = [&v](std::size_t at) { return static_cast<std::int16_t>(v[at] | v[at + 1] << 8); };
    EXPECT_EQ(u32(24), static_cast<unsigned>(Rate));
    EXPECT_EQ(s16(44), -127 * 256);
    EXPECT_EQ(s16(46), 0);
    EXPECT_EQ(s16(48), 127 * 256);
    ASSERT_EQ(std::string(v.begin() + 52, v.begin() + 56), "smpl");
    EXPECT_EQ(u32(52 + 8 + 28), 1u);         // one loop
    EXPECT_EQ(u32(52 + 8 + 36 + 8), 0u);     // its start
    EXPECT_EQ(u32(52 + 8 + 36 + 12), 2u);    // its last sample
    EXPECT_EQ(u32(4), v.size() - 8);
    EXPECT_EQ(wavImage16(b, Rate, {}).size(), 44u + 8u);
}
