// The sound builder: its arithmetic (pitch split, thinning, top keys, loop
// placement, loop search, fit, 1..255) on generated tones, its readers on
// SFZ text and file names, and whole halves from material nobody here made
// (a Debian SoundFont, the freedesktop sound theme) through the emulator.
#include "BuildSources.h"
#include "TempFolder.h"
#include "Measure.h"
#include "MirageEmulator.h"
#include "Parameters.h"
#include "SoundBuilder.h"
#include "SoundFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <cstdlib>
#include <random>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace corvane;
using namespace corvane::build;
namespace fs = std::filesystem;

namespace {

constexpr double Pi = 3.14159265358979323846;

// A tone of a few harmonics, `seconds` long, at `rate`, sounding at `key`.
std::vector<float> tone(double key, int rate, double seconds, double level = 0.5)
{
    const double f = 440.0 * std::pow(2.0, (key - 69.0) / 12.0);
    std::vector<float> a(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double t = 2 * Pi * f * static_cast<double>(i) / rate;
        a[i] = static_cast<float>(level * (0.7 * std::sin(t) + 0.2 * std::sin(2 * t + 0.3) + 0.1 * std::sin(3 * t + 1.1)));
    }
    return a;
}

// A zone playing `audio` at `rate`, sounding at `key`.
Zone audioZone(double key, int rate, std::vector<float> audio, LoopKind loop = LoopKind::Find)
{
    Zone z;
    z.name = "zone " + keyName(static_cast<int>(std::lround(key)));
    z.pitch = key;
    z.loop = loop;
    auto shared = std::make_shared<std::vector<float>>(std::move(audio));
    z.frames = static_cast<std::int64_t>(shared->size());
    z.read = [shared, rate](std::int64_t max) {
        ZoneAudio a;
        a.rate = rate;
        a.samples.assign(shared->begin(), shared->begin() + std::min<std::int64_t>(max, static_cast<std::int64_t>(shared->size())));
        return a;
    };
    return z;
}

// Generated material at the wavesample rate: a tone of six harmonics whose
// pitch wavers by `vibratoCents` at 6 Hz, with a second voice `detuneCents`
// away at `chorus` of its level, falling by `dbPerSecond`; or noise.
struct Material {
    const char* name;
    double vibratoCents = 0, detuneCents = 0, chorus = 0, dbPerSecond = 0;
    bool noise = false;
    double tremoloDb = 0; // peak to peak, at 4.3 Hz as an ensemble's bowing
};

std::vector<float> material(const Material& m, double key, double seconds)
{
    std::vector<float> a(static_cast<std::size_t>(seconds * WavesampleRate));
    std::mt19937 random(11);
    std::normal_distribution<double> normal(0, 0.15);
    const double f = 440.0 * std::pow(2.0, (key - 69.0) / 12.0) / WavesampleRate;
    double phase = 0, phase2 = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double t = static_cast<double>(i) / WavesampleRate;
        const double g = std::pow(10.0, (-m.dbPerSecond * t + m.tremoloDb / 2 * std::sin(2 * Pi * 4.3 * t)) / 20);
        if (m.noise) {
            a[i] = static_cast<float>(g * normal(random));
            continue;
        }
        phase += 2 * Pi * f * std::pow(2.0, m.vibratoCents * std::sin(2 * Pi * 6 * t) / 1200);
        phase2 += 2 * Pi * f * std::pow(2.0, m.detuneCents / 1200);
        double x = 0;
        for (int h = 1; h <= 6; ++h)
            x += (std::sin(h * phase + h) + m.chorus * std::sin(h * phase2)) / h;
        a[i] = static_cast<float>(0.3 * g * x);
    }
    return a;
}

Zone toneZone(double key, int rate, double seconds, LoopKind loop = LoopKind::Find, double level = 0.5)
{
    Zone z;
    z.name = "tone " + keyName(static_cast<int>(std::lround(key)));
    z.pitch = key;
    z.loop = loop;
    auto audio = std::make_shared<std::vector<float>>(tone(key, rate, seconds, level));
    z.frames = static_cast<std::int64_t>(audio->size());
    z.read = [audio, rate](std::int64_t max) {
        ZoneAudio a;
        a.rate = rate;
        a.samples.assign(audio->begin(), audio->begin() + std::min<std::int64_t>(max, static_cast<std::int64_t>(audio->size())));
        return a;
    };
    return z;
}

int field(const sound::Bytes& dump, int ws, int parameter)
{
    return getNibblePair(dump.data(), dump.size(), wavesampleFieldPos(ws, findParameter(parameter)->position));
}

BuildOptions options(int half = 0)
{
    BuildOptions o;
    o.half = half;
    o.templateDump = emu::MirageEmulator().programDump(half);
    return o;
}

// The pitch of 8-bit samples by autocorrelation, as a fractional key at
// the wavesample rate: the first lag that correlates nearly as well as the
// best one is the fundamental's period.
double measuredKey(const std::vector<std::uint8_t>& bytes, int from, int count)
{
    const auto at = [&](int lag) {
        double c = 0;
        for (int i = 0; i + lag < count; ++i)
            c += (bytes[static_cast<std::size_t>(from + i)] - 128.0) * (bytes[static_cast<std::size_t>(from + i + lag)] - 128.0);
        return c / (count - lag);
    };
    std::vector<double> c(static_cast<std::size_t>(count / 2));
    for (int lag = 1; lag < count / 2; ++lag)
        c[static_cast<std::size_t>(lag)] = at(lag);
    const double best = *std::max_element(c.begin() + 8, c.end());
    int lag = 8;
    while (lag + 1 < count / 2 && !(c[static_cast<std::size_t>(lag)] > 0.9 * best &&
                                    c[static_cast<std::size_t>(lag)] >= c[static_cast<std::size_t>(lag - 1)] &&
                                    c[static_cast<std::size_t>(lag)] >= c[static_cast<std::size_t>(lag + 1)]))
        ++lag;
    const double a = c[static_cast<std::size_t>(lag - 1)], b = c[static_cast<std::size_t>(lag)],
                 d = c[static_cast<std::size_t>(lag + 1)];
    const double period = lag + 0.5 * (a - d) / (a - 2 * b + d);
    return 69 + 12 * std::log2(WavesampleRate / period / 440.0);
}

} // namespace

TEST(SoundBuilder, PitchSplitsIntoOctavesAndARemainderFromMinusSixToFive)
{
    struct Case { double semitones; int octaves; double remainder; };
    for (const Case c : {Case{0, 0, 0}, Case{5, 0, 5}, Case{5.5, 0, 5.5}, Case{6, 1, -6}, Case{-6, 0, -6}, Case{-7, -1, 5},
                         Case{17.5, 1, 5.5}, Case{29, 2, 5}, Case{-30, -2, -6}, Case{-31, -3, 5}}) {
        const PitchSplit s = splitPitch(c.semitones);
        EXPECT_EQ(s.octaves, c.octaves) << c.semitones;
        EXPECT_DOUBLE_EQ(s.remainder, c.remainder) << c.semitones;
    }
}

TEST(SoundBuilder, ThinningKeepsBothEndsAndTopKeysCoverTheKeyboard)
{
    EXPECT_EQ(thinZones(20, 8), (std::vector<int>{0, 3, 5, 8, 11, 14, 16, 19}));
    EXPECT_EQ(thinZones(5, 8), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(thinZones(40, 2), (std::vector<int>{0, 39}));

    std::vector<Zone> zones(4);
    const int roots[] = {30, 48, 60, 100};
    const int his[] = {40, 55, 70, 127};
    for (int i = 0; i < 4; ++i) {
        zones[static_cast<std::size_t>(i)].pitch = roots[i];
        zones[static_cast<std::size_t>(i)].hi = his[i];
    }
    // Halfway between roots, kept on the keyboard, the last at its top.
    EXPECT_EQ(topKeys(zones, false), (std::vector<int>{39, 54, 80, 96}));
    // The source's own ranges.
    EXPECT_EQ(topKeys(zones, true), (std::vector<int>{40, 55, 70, 96}));
    zones[0].pitch = 10;
    zones[1].pitch = 20;
    EXPECT_EQ(topKeys(zones, false).front(), FirstKey);
}

TEST(SoundBuilder, EveryWavesampleSoundsTheUnityKeysPitchClass)
{
    // Roots from far below to far above the unity key, at the rates
    // SoundFonts and files come in, each lands on the unity key's pitch
    // class with the octave it was moved by in its octave field, counted
    // from the template's first wavesample's for all (octaves beyond the
    // field's reach are resampled); one fine tune and one relative
    // amplitude for the half, the template's first or the one chosen.
    for (const int half : {0, 1}) {
        Source s;
        const double roots[] = {38.3, 47, 52, 57, 63.6, 70, 77, 90};
        const int rates[] = {44100, 48000, 22050, 32000, 44100, 96000, 29411, 44100};
        for (int i = 0; i < 8; ++i)
            s.zones.push_back(toneZone(roots[i], rates[i], 0.3));
        BuildOptions o = options(half);
        if (half == 1)
            o.fineTune = 40;
        const BuildResult r = buildHalf(s, o);
        ASSERT_TRUE(r.ok()) << r.text;
        ASSERT_EQ(r.zones.size(), 8u);
        ASSERT_NE(field(o.templateDump, 1, 68), field(o.templateDump, 0, 68)) << "the template's own differ";
        const int unity = DefaultUnityKey[half];
        for (int w = 0; w < 8; ++w) {
            const BuiltZone& z = r.zones[static_cast<std::size_t>(w)];
            const double key = measuredKey(z.bytes, 512, 3000);
            const double fromUnity = key - unity;
            EXPECT_NEAR(fromUnity - 12 * std::round(fromUnity / 12), 0.0, 0.1) << "root " << roots[w] << " half " << half;
            const int octaves = static_cast<int>(std::round((key - unity) / 12));
            EXPECT_EQ(field(r.half.programDump, w, 67), field(o.templateDump, 0, 67) - octaves) << roots[w];
            EXPECT_EQ(field(r.half.programDump, w, 68), half == 1 ? 40 : field(o.templateDump, 0, 68));
            EXPECT_EQ(field(r.half.programDump, w, 69), field(o.templateDump, 0, 69));
            EXPECT_EQ(field(r.half.programDump, w, 71), field(o.templateDump, w, 71)) << "the rest is the template's";
        }
        EXPECT_NE(r.notes.back().find("fine tune " + std::to_string(r.fineTune)), std::string::npos) << r.notes.back();
    }
}

TEST(SoundBuilder, SourceLoopIsKeptToTheByteFromAPageBoundary)
{
    struct Case { int rate; std::int64_t start, length; };
    for (const Case c : {Case{WavesampleRate, 1000, 3001}, Case{WavesampleRate, 512, 700}, Case{44100, 4410, 4999},
                         Case{22050, 300, 257}}) {
        Source s;
        s.zones.push_back(toneZone(52, c.rate, 1.0, LoopKind::Source));
        s.zones[0].loopStart = c.start;
        s.zones[0].loopEnd = c.start + c.length;
        const BuildResult r = buildHalf(s, options());
        ASSERT_TRUE(r.ok()) << r.text;
        const auto& d = r.half.programDump;
        const double ratio = static_cast<double>(WavesampleRate) / c.rate;
        const int loopStart = field(d, 0, 62) * 256, loopEnd = field(d, 0, 63) * 256 + field(d, 0, 64);
        EXPECT_EQ(field(d, 0, 65), 1);
        EXPECT_EQ(loopEnd + 1 - loopStart, std::lround(c.length * ratio)) << c.rate << " " << c.start;
        // Moved forward onto the next page, not by silence in front: the
        // data starts with the tone, and the samples the loop now reaches
        // past its old end are the ones it used to start with.
        const int move = static_cast<int>((256 - std::lround(c.start * ratio) % 256) % 256);
        EXPECT_EQ(loopStart - field(d, 0, 60) * 256 - std::lround(c.start * ratio), move);
        const auto& bytes = r.zones[0].bytes;
        EXPECT_GT(std::abs(bytes.at(1) - 128), 8);
        const int first = loopStart - field(d, 0, 60) * 256, last = loopEnd - field(d, 0, 60) * 256;
        for (int k = 1; k <= move; ++k)
            ASSERT_NEAR(bytes.at(static_cast<std::size_t>(last + 1 - k)), bytes.at(static_cast<std::size_t>(first - k)), 2) << k;
        ASSERT_TRUE(r.zones[0].spliceDb.has_value());
    }
}

TEST(SoundBuilder, LoopSearchOnTonesSplicesUnderMinus40Db)
{
    for (const double key : {45.0, 52.0, 57.3, 64.0, 71.0, 81.0}) {
        std::vector<float> a = tone(key, WavesampleRate, 0.5);
        const double period = WavesampleRate / (440.0 * std::pow(2.0, (key - 69.0) / 12.0));
        const auto found = findLoop(a, static_cast<int>(a.size()), period, 256);
        ASSERT_TRUE(found.has_value()) << key;
        EXPECT_EQ(found->start % 256, 0);
        EXPECT_LT(found->spliceDb, -40) << key;
        EXPECT_NEAR(found->length / period, std::round(found->length / period), 0.05) << key;
    }
    // And through the builder, with its crossfade: in the report.
    Source s;
    for (const double key : {45.0, 57.3, 71.0})
        s.zones.push_back(toneZone(key, 44100, 0.4));
    const BuildResult r = buildHalf(s, options());
    ASSERT_TRUE(r.ok()) << r.text;
    for (const BuiltZone& z : r.zones) {
        EXPECT_TRUE(z.foundLoop);
        EXPECT_LT(*z.spliceDb, -40) << z.line(1);
        EXPECT_EQ(z.loopEndPage, z.endPage - 1) << "the data ends with the loop";
    }
}

TEST(SoundBuilder, FitCutsTailsAfterLoopsThenTheLongestZonesThenRefuses)
{
    // Five zones of 1.5 s (172 pages each at 29,411 Hz, on the unity key's
    // pitch class so that nothing is resampled): far over 256 pages.
    Source s;
    for (int i = 0; i < 5; ++i) {
        s.zones.push_back(toneZone(40 + 12 * i, WavesampleRate, 1.5, i < 2 ? LoopKind::Source : LoopKind::Off));
        s.zones.back().loopStart = 2560;
        s.zones.back().loopEnd = 2560 + 2000;
    }
    BuildResult r = buildHalf(s, options());
    ASSERT_TRUE(r.ok()) << r.text;
    int pages = 0;
    for (const BuiltZone& z : r.zones)
        pages += z.pages();
    EXPECT_LE(pages, 256);
    // The looped zones lost their tails and kept their loops; the one-shots
    // were cut to one length and say so.
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(r.zones[i].foundLoop);
        EXPECT_EQ(r.zones[i].loopLength, 2000);
        EXPECT_NE(r.zones[i].cuts.front().find("after the loop"), std::string::npos);
    }
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(r.zones[i].pages(), r.zones[2].pages());
        EXPECT_NE(r.zones[i].cuts.back().find("to fit"), std::string::npos);
    }
    // One page each for the end marker, pages in order without overlap.
    for (std::size_t i = 1; i < r.zones.size(); ++i)
        EXPECT_EQ(r.zones[i].startPage, r.zones[i - 1].endPage + 1);

    BuildOptions tight = options();
    tight.minimumPages = 90;
    r = buildHalf(s, tight);
    EXPECT_EQ(r.error, BuildError::DoesNotFit);
    EXPECT_NE(r.text.find("keep fewer zones"), std::string::npos) << r.text;
}

TEST(SoundBuilder, FoundLoopsKeepTheLevelAndPitchOfTheAttack)
{
    // Sustained material at the unity key's pitch class, long enough that
    // memory allows long loops: each loop swells by at most 1 dB, plays
    // within 5 cents of the attack, lasts 0.1-0.5 s and the memory is full.
    // "sharp" plays 30 cents above the root its zone gives.
    for (const Material& m : {Material{"steady"}, Material{"vibrato", 10}, Material{"chorus", 0, 7, 0.05},
                              Material{"decaying", 0, 0, 0, 12}, Material{"decaying chorus", 0, 4, 0.05, 8},
                              Material{"tremolo", 6, 3, 0.3, 0, false, 8}, Material{"sharp"}}) {
        Source s;
        for (const double key : {40.0, 52.0, 64.0, 76.0})
            s.zones.push_back(audioZone(key - (m.name == std::string("sharp") ? 0.3 : 0), WavesampleRate, material(m, key, 3.0)));
        const BuildResult r = buildHalf(s, options());
        ASSERT_TRUE(r.ok()) << r.text;
        int pages = 0;
        for (const BuiltZone& z : r.zones) {
            pages += z.pages();
            const measure::Figures& f = z.figures;
            ASSERT_TRUE(z.foundLoop && f.loopCents && f.swellDb) << m.name << " " << z.line(1);
            EXPECT_LE(*f.swellDb, 1.0) << m.name << " " << z.line(1);
            EXPECT_LE(std::abs(*f.loopCents), 5.0) << m.name << " " << measure::describe(f);
            EXPECT_GE(f.loopMs(), 100) << m.name << " " << z.line(1);
            EXPECT_LE(f.loopMs(), 500) << m.name << " " << z.line(1);
            EXPECT_LE(f.leadIn, 29) << m.name << " " << z.line(1);
        }
        EXPECT_GE(pages, HalfPages - 2) << m.name << ": zones were cut";
    }
}

TEST(SoundBuilder, TheCrossfadeLawFollowsTheCorrelationOfTheSplicedAudio)
{
    // Linear on a tone spliced at whole cycles, equal power on noise: the
    // crossfaded stretch keeps the level of the audio either side.
    EXPECT_EQ(crossfadeGains(0.25, 1.0), std::make_pair(0.75, 0.25));
    const auto [out, in] = crossfadeGains(0.5, 0.0);
    EXPECT_NEAR(out * out + in * in, 1.0, 1e-12);
    for (const Material& m : {Material{"steady"}, Material{"noise", 0, 0, 0, 0, true}}) {
        std::vector<float> a = material(m, 57, 1.0);
        const double period = WavesampleRate / 220.0;
        const int start = 8192, length = static_cast<int>(std::lround(60 * period)), fade = 600;
        const double before = measure::measure(std::span(a).subspan(start + length - fade, fade), -1, -1).rmsDb;
        crossfade(a, start, length, fade);
        const double after = measure::measure(std::span(a).subspan(start + length - fade, fade), -1, -1).rmsDb;
        EXPECT_NEAR(after, before, m.noise ? 1.0 : 0.1) << m.name;
    }
    // Two stretches that drift from opposite phase into step across the
    // fade (an ensemble): uncorrelated on the whole, so the law is equal
    // power, yet the mix would dip 2.4 dB early in the fade and bulge late.
    // Every part of the fade keeps the sine's level within 1 dB.
    const int start = 4096, length = 8192, fade = 1024;
    std::vector<float> drift(static_cast<std::size_t>(start + length));
    for (int i = 0; i < start + length; ++i) {
        const int inFade = i - (start + length - fade);
        const double phase = inFade >= 0 ? Pi * (1 - (inFade + 0.5) / fade) : 0;
        drift[static_cast<std::size_t>(i)] = static_cast<float>(std::sin(2 * Pi * i / 64.0 + phase));
    }
    crossfade(drift, start, length, fade);
    for (int at = start + length - fade; at < start + length; at += 128)
        EXPECT_NEAR(measure::measure(std::span(drift).subspan(static_cast<std::size_t>(at), 128), -1, -1).rmsDb, -3.01, 1.0)
            << at - (start + length - fade);
}

TEST(SoundBuilder, NoPageIsLeftEmptyWhileAZoneIsCut)
{
    // Found loops, dropped source loops and one-shots of several lengths,
    // all longer than their share, silence in front of each; and the same
    // with a low unity key, whose long periods end found loops pages
    // before what the fit gave them: the half is full to two pages.
    for (const int unity : {NoKey, 31}) {
        Source s;
        for (int i = 0; i < 8; ++i) {
            const LoopKind kinds[] = {LoopKind::Find, LoopKind::Find, LoopKind::Source, LoopKind::Find, LoopKind::Off};
            std::vector<float> a(1500, 0.0f);
            const std::vector<float> tone = material(Material{"steady"}, 38 + 7 * i, 0.5 + 0.4 * i);
            a.insert(a.end(), tone.begin(), tone.end());
            s.zones.push_back(audioZone(38 + 7 * i, 44100, a, unity == NoKey ? kinds[i % 5] : LoopKind::Find));
            s.zones.back().loopStart = 40000 + 1000 * i;
            s.zones.back().loopEnd = s.zones.back().loopStart + 3000;
        }
        BuildOptions o = options();
        o.unityKey = unity;
        const BuildResult r = buildHalf(s, o);
        ASSERT_TRUE(r.ok()) << r.text;
        int pages = 0;
        bool cut = false;
        for (const BuiltZone& z : r.zones) {
            pages += z.pages();
            cut = cut || !z.cuts.empty();
        }
        EXPECT_TRUE(cut);
        EXPECT_GE(pages, HalfPages - 2) << unity;
        EXPECT_LE(pages, HalfPages);
    }
}

TEST(SoundBuilder, AWavesampleStartsWithItsAttackAndEndsWithItsSound)
{
    // 400 silent samples in front; a source loop that is dropped for lying
    // past what fits (its page-boundary silence goes too); a one-shot whose
    // tail is only dither at the half's gain; silence inside stays 128.
    std::vector<float> led(400, 0.0f);
    const std::vector<float> tone = material(Material{"steady"}, 52, 2.5);
    led.insert(led.end(), tone.begin(), tone.end());
    std::vector<float> tail(300, 0.0f);
    const std::vector<float> first = material(Material{"decaying", 0, 0, 0, 20}, 64, 0.15);
    tail.insert(tail.end(), first.begin(), first.end());
    tail.resize(tail.size() + 2000, 0.0f);
    const std::vector<float> again = material(Material{"decaying", 0, 0, 0, 20}, 64, 0.05);
    tail.insert(tail.end(), again.begin(), again.end());
    std::mt19937 random(3);
    std::uniform_real_distribution<float> dither(-1e-3f, 1e-3f);
    for (int i = 0; i < 6000; ++i)
        tail.push_back(dither(random));
    Source s;
    for (const int key : {40, 52, 76}) {
        s.zones.push_back(audioZone(key, 44100, led, LoopKind::Source));
        s.zones.back().loopStart = 40000;
        s.zones.back().loopEnd = 44321;
    }
    s.zones.push_back(audioZone(64, WavesampleRate, tail, LoopKind::Off));
    // A source loop that is kept, off a page boundary, keeps no silence in
    // front either.
    s.zones.push_back(audioZone(88, 44100, led, LoopKind::Source));
    s.zones.back().loopStart = 4000;
    s.zones.back().loopEnd = 7001;
    const BuildResult r = buildHalf(s, options());
    ASSERT_TRUE(r.ok()) << r.text;
    EXPECT_TRUE(r.zones.back().looped && !r.zones.back().foundLoop) << r.zones.back().line(5);
    for (const BuiltZone& z : r.zones) {
        EXPECT_LE(z.figures.leadIn, 29) << z.line(1);
        if (z.root != 64 && z.root != 88) {
            EXPECT_NE(z.cuts.at(0).find("its own loop lay past what fits"), std::string::npos);
        }
    }
    // The one-shot ends within a page of where its sound does; the pause
    // in it is silent.
    const BuiltZone& shot = r.zones[2];
    ASSERT_EQ(shot.root, 64);
    EXPECT_LE(shot.pages() - 1, static_cast<int>(0.2 * WavesampleRate + 2000) / 256 + 2) << shot.line(1);
    const std::size_t quiet = static_cast<std::size_t>(0.15 * WavesampleRate) + 200; // after 300 - 8 samples trimmed
    for (std::size_t i = quiet; i < quiet + 1600; ++i)
        ASSERT_EQ(shot.bytes.at(i), 128) << i;
}

TEST(SoundBuilder, SamplesStayWithinOneTo255AndOneGainServesTheHalf)
{
    const std::vector<float> loud = {1.0f, -1.0f, 0.999f, -0.999f, 0.0f, 2.0f, -2.0f};
    for (const std::uint8_t b : toBytes(loud, 1.0, 7)) {
        EXPECT_GE(b, 1);
        EXPECT_LE(b, 255);
    }
    Source s;
    s.zones.push_back(toneZone(50, 44100, 0.2, LoopKind::Off, 0.9));
    s.zones.push_back(toneZone(70, 44100, 0.2, LoopKind::Off, 0.3));
    const BuildResult r = buildHalf(s, options());
    ASSERT_TRUE(r.ok()) << r.text;
    int peaks[2] = {0, 0};
    for (int z = 0; z < 2; ++z)
        for (const std::uint8_t b : r.zones[static_cast<std::size_t>(z)].bytes) {
            EXPECT_NE(b, 0);
            peaks[z] = std::max(peaks[z], std::abs(b - 128));
        }
    EXPECT_GE(peaks[0], 124); // the loudest zone reaches full scale
    EXPECT_NEAR(peaks[1], peaks[0] / 3, 3); // the other keeps its level against it
}

TEST(SoundBuilder, KeysFromNamesAndSfzText)
{
    struct Name { const char* path; int key; };
    for (const Name n : {Name{"Piano C4.wav", 60}, Name{"pad_F#3.flac", 54}, Name{"str-60.wav", 60}, Name{"Bass Eb1.aif", 27},
                         Name{"kick.wav", NoKey}, Name{"dir/Cello_A2_ff.wav", 45}, Name{"C-1.wav", 0}, Name{"take 2 g5.wav", 79},
                         Name{"vox 200.wav", NoKey}})
        EXPECT_EQ(keyFromFileName(n.path), n.key) << n.path;
    EXPECT_EQ(parseKey("c#4"), 61);
    EXPECT_EQ(parseKey("128"), NoKey);

    const SfzText t = parseSfz(R"(// a comment
#define $ROOT 62
<control> default_path=samples\
<global> loop_mode=loop_continuous ampeg_release=0.5
<group> lokey=c3 hikey=e3 /* block
comment */ pitch_keycenter=$ROOT
<region> sample=Soft Piano D3.wav loop_start=100 loop_end=899
<region> sample=b.wav key=f#4 offset=10 end=5000 loop_mode=one_shot
<group> <region> sample=c.wav tune=-20 transpose=12 xfin_lokey=3
)");
    ASSERT_EQ(t.error, "");
    ASSERT_EQ(t.regions.size(), 3u);
    EXPECT_EQ(t.regions[0].sample, "samples/Soft Piano D3.wav");
    EXPECT_EQ(t.regions[0].lo, 48);
    EXPECT_EQ(t.regions[0].hi, 52);
    EXPECT_EQ(t.regions[0].keycenter, 62);
    EXPECT_EQ(t.regions[0].loopMode, "loop_continuous");
    EXPECT_EQ(t.regions[0].loopEnd, 899);
    EXPECT_EQ(t.regions[1].keycenter, 66);
    EXPECT_EQ(t.regions[1].lo, 66);
    EXPECT_EQ(t.regions[1].offset, 10);
    EXPECT_EQ(t.regions[1].end, 5000);
    EXPECT_EQ(t.regions[1].loopMode, "one_shot");
    EXPECT_EQ(t.regions[2].lo, NoKey); // a new group forgets the last one's keys
    EXPECT_EQ(t.regions[2].transpose, 12);
    EXPECT_EQ(t.unknownOpcodes, (std::vector<std::string>{"ampeg_release", "xfin_lokey"}));

    EXPECT_NE(parseSfz("<region> sample=a.wav\nlokey c4").error.find("line 2"), std::string::npos);
    EXPECT_NE(parseSfz("\n\n<region sample=a.wav").error.find("line 3"), std::string::npos);
}

// Zones one a semitone apart, each `seconds` long at 44.1 kHz (its own
// loop ending 0.1 s before its end when `looped`), as a reader gives them
// before any audio is read.
std::vector<Zone> semitoneZones(int from, int to, double seconds, bool looped)
{
    std::vector<Zone> zones;
    for (int key = from; key <= to; ++key) {
        Zone z;
        z.name = keyName(key);
        z.pitch = key;
        z.rate = 44100;
        z.frames = static_cast<std::int64_t>(seconds * 44100);
        if (looped) {
            z.loop = LoopKind::Source;
            z.loopStart = 4410;
            z.loopEnd = z.frames - 4410;
        }
        zones.push_back(z);
    }
    return zones;
}

TEST(SoundBuilder, TheZoneCountWeighsHowFarKeysPlayFromTheirRootsAgainstTheLengthKept)
{
    struct Case { std::vector<Zone> zones; int atMost; std::size_t least, most; const char* says; };
    for (const Case& c : {
             // Long loops: the fewest zones that keep every key within 7
             // semitones of its root, each kept longer than eight would be.
             Case{semitoneZones(36, 96, 3.0, true), 8, 4, 5, "would play keys"},
             // Short zones all fit: as many as allowed, all whole.
             Case{semitoneZones(36, 96, 0.05, false), 8, 8, 8, "all are kept whole"},
             Case{semitoneZones(36, 96, 0.05, false), 3, 3, 3, "(at most 3)"},
             // Roots far apart: every one, said why.
             Case{semitoneZones(40, 40, 3.0, true), 8, 1, 1, "kept whole"},
         }) {
        const ZoneChoice choice = chooseAutomatically(c.zones, c.atMost);
        EXPECT_GE(choice.zones.size(), c.least) << choice.why;
        EXPECT_LE(choice.zones.size(), c.most) << choice.why;
        EXPECT_NE(choice.why.find(c.says), std::string::npos) << choice.why;
        std::vector<Zone> kept;
        for (const int i : choice.zones)
            kept.push_back(c.zones[static_cast<std::size_t>(i)]);
        const std::vector<int> tops = topKeys(kept, false);
        for (std::size_t i = 0; c.atMost == 8 && i + 1 < kept.size(); ++i) {
            EXPECT_LE(tops[i] - kept[i].root(), MostTransposition) << choice.why;
            EXPECT_LE(kept[i + 1].root() - tops[i] - 1, MostTransposition) << choice.why;
        }
    }
    // Roots a fifth apart over two octaves: no count reaches 7 semitones
    // inside them... and every key beyond them is said to play farther.
    std::vector<Zone> fifths;
    for (const int key : {36, 43, 50, 57, 64, 71, 78, 85, 92})
        fifths.push_back(semitoneZones(key, key, 3.0, true).front());
    const ZoneChoice five = chooseAutomatically(fifths, 8);
    EXPECT_LE(five.zones.size(), 5u) << five.why;
    EXPECT_NE(five.why.find("each key plays at most"), std::string::npos) << five.why;
}

TEST(SoundBuilder, AKitOf47DrumsKeepsTheDrumsByRoleEachAtItsOwnPitchAndLevel)
{
    // 47 drums on keys 35-81, each a noise burst sounding at its own rate on
    // its key (root 60, as kits often give them), every other one 12 dB down.
    Source kit;
    kit.kit = true;
    for (int key = 35; key <= 81; ++key) {
        Zone z = toneZone(60, 44100, 0.05, LoopKind::Off, 0.8);
        z.name = "drum " + std::to_string(key);
        z.lo = z.hi = key;
        z.gainDb = key % 2 ? -12 : 0;
        kit.zones.push_back(z);
    }
    const std::vector<Zone> sorted = zonesByRoot(kit);
    const ZoneChoice choice = chooseAutomatically(sorted, 8, true);
    std::vector<int> keys;
    for (const int i : choice.zones)
        keys.push_back(sorted[static_cast<std::size_t>(i)].lo);
    EXPECT_EQ(keys, (std::vector<int>{36, 38, 39, 42, 45, 46, 48, 49})) << choice.why;
    EXPECT_NE(choice.why.find("kick C2, snare D2, closed hi-hat F#2"), std::string::npos) << choice.why;

    const BuildResult r = buildHalf(kit, options());
    ASSERT_TRUE(r.ok()) << r.text;
    ASSERT_EQ(r.zones.size(), 8u);
    int peaks[8] = {};
    for (std::size_t i = 0; i < 8; ++i) {
        const BuiltZone& z = r.zones[i];
        // Its own pitch in the middle of its keys: on key k it sounded at
        // 60 + (k - k), so the root moves with the middle.
        EXPECT_EQ(z.root, 60 + (z.lo + z.hi) / 2 - keys[i]) << z.line(1);
        EXPECT_GE(z.hi - z.lo, 6) << z.line(1);
        EXPECT_FALSE(z.looped);
        for (const std::uint8_t b : z.bytes)
            peaks[i] = std::max(peaks[i], std::abs(b - 128));
    }
    // Key 39 (clap) is 12 dB under key 38 (snare): a quarter of its peak.
    EXPECT_NEAR(static_cast<double>(peaks[2]) / peaks[1], 0.25, 0.03);
}

TEST(SoundBuilder, PresetsAreChosenByBankAndProgramNumberOrTheStartOfTheirName)
{
    const std::vector<PresetInfo> presets = {{0, 128, 0, "Standard", 47}, {1, 0, 24, "Nylon Guitar", 10},
                                             {2, 8, 24, "Ukulele", 4},     {3, 0, 0, "Yamaha Grand Piano", 40},
                                             {4, 128, 1, "Standard 1", 47}, {5, 0, 103, "Star Theme", 2}};
    struct Case { const char* wanted; int index; const char* says; };
    for (const Case& c : {Case{"", 3, ""}, Case{"128:0", 0, ""}, Case{"24", 1, ""}, Case{"8:24", 2, ""},
                          Case{"STANDARD", 0, ""}, Case{"nyl", 1, ""}, Case{"sta", -1, "128:001 Standard 1"},
                          Case{"piano", -1, "000:000 Yamaha Grand Piano"}, Case{"zither", -1, "corvane-disk presets"},
                          Case{"7:7", -1, "no preset \"7:7\""}}) {
        std::string error;
        const PresetInfo* p = choosePreset(presets, c.wanted, error);
        EXPECT_EQ(p ? p->index : -1, c.index) << c.wanted << ": " << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.wanted << ": " << error;
    }
}

class BuilderFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = corvane::test::uniqueTempFolder("corvane-builder-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
    // A 16-bit mono WAV of a tone at `key`, `seconds` long at 44.1 kHz.
    std::string wav(const std::string& name, double key, double seconds)
    {
        const std::string path = (dir / name).string();
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        std::vector<int> frames;
        for (const float x : tone(key, 44100, seconds, 0.8))
            frames.push_back(static_cast<int>(x * 2147483647.0f));
        sf_writef_int(f, frames.data(), static_cast<sf_count_t>(frames.size()));
        sf_close(f);
        return path;
    }

    // The half sent to the emulator as the sound windows send it, and read
    // back: the program dump, then each wavesample selected and its data.
    static void sendAndReadBack(const sound::Half& half)
    {
        emu::MirageEmulator mirage;
        mirage.receive(half.programDump);
        const auto entries = sound::wavesampleEntries(half.programDump);
        for (int w = 0; w < 8; ++w) {
            const auto& e = entries[static_cast<std::size_t>(w)];
            if (!e.first)
                continue;
            const std::uint8_t select = half.half ? key::UpperWavesample : key::LowerWavesample;
            mirage.receive(keyCodeMessage({select, static_cast<std::uint8_t>(w + 1)}));
            const auto replies = mirage.receive(sound::wavesampleSendMessage(half.wavesampleDumps[static_cast<std::size_t>(e.dump)]));
            ASSERT_FALSE(replies.empty());
            EXPECT_EQ(replies.front()[3], 0x09) << "wavesample " << w + 1 << " refused";
        }
        EXPECT_EQ(mirage.programDump(half.half), half.programDump);
        for (int w = 0; w < 8; ++w) {
            const auto& e = entries[static_cast<std::size_t>(w)];
            if (!e.first)
                continue;
            mirage.receive(keyCodeMessage({half.half ? key::UpperWavesample : key::LowerWavesample, static_cast<std::uint8_t>(w + 1)}));
            EXPECT_EQ(sound::wavesampleSamples(mirage.wavesampleDump()),
                      sound::wavesampleSamples(half.wavesampleDumps[static_cast<std::size_t>(e.dump)]))
                << "wavesample " << w + 1;
        }
    }

    fs::path dir;
};

TEST_F(BuilderFiles, BadSourcesAreNamedWithWhatIsWrong)
{
    write("missing.sfz", "<region> sample=nowhere.wav\n");
    write("broken.sf2", std::string("RIFF\x10\0\0\0sfbkLIST", 16));
    write("kick.wav", "not audio");
    struct Case { std::vector<std::string> paths; bool spread; const char* says; };
    for (const Case& c : {Case{{(dir / "missing.sfz").string()}, false, "nowhere.wav"},
                          Case{{(dir / "broken.sf2").string()}, false, "broken.sf2"},
                          Case{{(dir / "kick.wav").string()}, false, "kick.wav"},
                          Case{{(dir / "gone.flac").string()}, false, "gone.flac"},
                          Case{{dir.string()}, false, "kick.wav"}}) {
        const Source s = readSources(c.paths, "", c.spread);
        EXPECT_FALSE(s.ok());
        EXPECT_NE(s.error.find(c.says), std::string::npos) << s.error;
    }
}

// A whole one-zone SoundFont, damaged one way at a time, is refused before
// libgig reads it, with what is wrong.
TEST_F(BuilderFiles, DamagedSoundFontsAreRefusedWithWhatIsWrong)
{
    std::ifstream in(CORVANE_ONE_ZONE_SF2, std::ios::binary);
    const std::string seed((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(seed.size(), 2538u);
    ASSERT_EQ(seed.substr(2446, 6), "Saw C4");
    ASSERT_TRUE(readSoundFont(CORVANE_ONE_ZONE_SF2, "").ok());
    struct Case { std::size_t at; std::string bytes; const char* says; };
    for (const Case& c : {
             Case{8, "sfbx", "it is not a SoundFont 2 file (no RIFF sfbk header)"},
             Case{4, "\xe2\x09\x02\xe8", "it is cut short (the file holds 2538 of the 3892447722 bytes its header counts)"},
             Case{20, "JUNK", "it has no INFO list"},
             Case{28, std::string("\xc8\0", 2), "a chunk runs past the end of its list"},
             Case{2392, "xmod", "its imod list is missing or damaged"},
             Case{2222, "\x07", "its preset data points outside its own lists"},
             Case{2432, "\x05", "a zone names an instrument or sample that is not there"},
             Case{2470, std::string("\x88\x13\0", 3), "the sample \"Saw C4\" lies outside the sample data"},
         }) {
        std::string damaged = seed;
        damaged.replace(c.at, c.bytes.size(), c.bytes);
        write("damaged.sf2", damaged);
        const Source s = readSoundFont((dir / "damaged.sf2").string(), "");
        EXPECT_EQ(s.error, std::string("The SoundFont \"damaged.sf2\" cannot be read: ") + c.says + ".") << c.at;
    }
}

TEST_F(BuilderFiles, AudioFilesGiveTheirRootAndLoopFromTheirInstrumentData)
{
    // A 24-bit stereo WAV with a smpl chunk (A3, loop 1000-2999), named
    // with another note that its instrument data overrides.
    const std::string path = (dir / "Pad C5.wav").string();
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    SF_INSTRUMENT inst{};
    inst.basenote = 57;
    inst.loop_count = 1;
    inst.loops[0] = {SF_LOOP_FORWARD, 1000, 3000, 0};
    ASSERT_EQ(sf_command(f, SFC_SET_INSTRUMENT, &inst, sizeof inst), SF_TRUE);
    const std::vector<float> mono = tone(57, 44100, 0.2);
    std::vector<int> frames;
    for (const float x : mono)
        frames.insert(frames.end(), 2, static_cast<int>(x * 2147483647.0f));
    sf_writef_int(f, frames.data(), static_cast<sf_count_t>(mono.size()));
    sf_close(f);

    const Source s = readAudioFiles({path}, false);
    ASSERT_TRUE(s.ok()) << s.error;
    const Zone& z = s.zones.at(0);
    EXPECT_EQ(z.root(), 57);
    EXPECT_EQ(z.loop, LoopKind::Source);
    EXPECT_EQ(z.loopStart, 1000);
    EXPECT_EQ(z.loopEnd, 3000);
    const ZoneAudio a = z.read(1 << 20);
    EXPECT_EQ(a.samples.size(), mono.size());
    EXPECT_EQ(a.notes.size(), 2u) << "stereo mixed and 24 bits reduced, each said";
}

TEST_F(BuilderFiles, SfzLevelsAndTuningAreAppliedAndOddRegionsGetNotes)
{
    wav("a C4.wav", 60, 0.2);
    wav("b C4.wav", 60, 0.2);
    wav("c G4.wav", 67, 0.2);
    wav("long C3.wav", 48, 5.0);
    ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    // The group's volume for its regions unless they give their own; tune
    // and transpose move the root; two regions on one root share its keys.
    write("kit.sfz", "<group> volume=-6\n<region> sample=a C4.wav lokey=70 hikey=40\n"
                     "<region> sample=b C4.wav volume=-12\n"
                     "<group> <region> sample=c G4.wav transpose=-12 tune=50\n"
                     "<region> sample=long C3.wav loop_start=1000 loop_end=200000\n");
    const Source s = readSfz((dir / "kit.sfz").string());
    ASSERT_TRUE(s.ok()) << s.error;
    ASSERT_EQ(s.zones.size(), 4u);
    EXPECT_EQ(s.zones[0].gainDb, -6);
    EXPECT_EQ(s.zones[1].gainDb, -12);
    EXPECT_EQ(s.zones[0].lo, 40);
    EXPECT_EQ(s.zones[0].hi, 70);
    EXPECT_DOUBLE_EQ(s.zones[2].pitch, 67 + 12 - 0.5);
    EXPECT_EQ(s.zones[3].loop, LoopKind::Find) << "a loop longer than a half is given up before reading";
    std::string notes;
    for (const std::string& n : s.notes)
        notes += n + "\n";
    EXPECT_NE(notes.find("lokey=70 lies above hikey=40; taken as keys 40-70"), std::string::npos) << notes;
    EXPECT_NE(notes.find("the loop 1000-200000 lies past what a half holds"), std::string::npos) << notes;
    EXPECT_TRUE(s.unknownOpcodes.empty());

    BuildOptions o = options();
    o.keep = {1, 2}; // by root: long C3, b C4, a C4, c G4
    const BuildResult r = buildHalf(s, o);
    ASSERT_TRUE(r.ok()) << r.text;
    ASSERT_EQ(r.zones.size(), 1u);
    std::string said;
    for (const std::string& n : r.notes)
        said += n + "\n";
    EXPECT_NE(said.find("\"a C4.wav\" has the same root as \"b C4.wav\" (C4): left out."), std::string::npos) << said;

    // A sample that is a pipe is refused, not waited on.
    write("pipe.sfz", "<region> sample=pipe.wav\n");
    EXPECT_NE(readSfz((dir / "pipe.sfz").string()).error.find("\"pipe.wav\" is not a regular file"), std::string::npos);
    EXPECT_FALSE(readSfz((dir / "pipe.wav").string()).ok());
}

TEST_F(BuilderFiles, AFluidSoundFontPresetGoesToTheEmulatorAndComesBackEqual)
{
    const std::string sf2 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    if (!fs::exists(sf2))
        GTEST_FAIL() << sf2 << " is missing: scripts/install-deps.sh installs fluid-soundfont-gm";
    const PresetList presets = soundFontPresets(sf2);
    ASSERT_EQ(presets.error, "");
    EXPECT_GT(presets.presets.size(), 100u);
    for (const char* preset : {"48", "Yamaha Grand Piano"}) {
        const Source s = readSoundFont(sf2, preset);
        ASSERT_TRUE(s.ok()) << s.error;
        BuildOptions o = options(1);
        const BuildResult r = buildHalf(s, o);
        ASSERT_TRUE(r.ok()) << r.text;
        EXPECT_GE(r.zones.size(), 4u) << "as many as keep keys within 7 semitones of a root";
        EXPECT_LE(r.zones.size(), 6u);
        EXPECT_EQ(r.zones.back().hi, LastKey);
        sendAndReadBack(r.half);
    }
}

TEST_F(BuilderFiles, ASoundThemeFolderIsSpreadOverTheKeyboard)
{
    const fs::path theme = "/usr/share/sounds/freedesktop/stereo";
    if (!fs::exists(theme))
        GTEST_FAIL() << theme << " is missing: scripts/install-deps.sh installs sound-theme-freedesktop";
    // Without roots the files are refused, spread they make a kit.
    EXPECT_NE(readSources({theme.string()}, "", false).error.find("no root note"), std::string::npos);
    const Source s = readSources({theme.string()}, "", true);
    ASSERT_TRUE(s.ok()) << s.error;
    const BuildResult r = buildHalf(s, options(0));
    ASSERT_TRUE(r.ok()) << r.text;
    // More files than wavesamples: those kept share the keyboard again, each
    // at its own pitch in the middle of its keys.
    ASSERT_GT(s.zones.size(), 8u);
    ASSERT_EQ(r.zones.size(), 8u);
    for (const BuiltZone& z : r.zones) {
        EXPECT_FALSE(z.looped) << z.line(1);
        EXPECT_EQ(z.root, (z.lo + z.hi) / 2) << z.line(1);
        EXPECT_GE(z.hi - z.lo, 6) << z.line(1);
    }
    sendAndReadBack(r.half);
}

TEST_F(BuilderFiles, TheCommandPrintsAZoneALineAndExitsZeroOneOrTwo)
{
    const std::string sf2 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    const std::string out = (dir / "out.txt").string();
    const std::string syx = (dir / "strings.syx").string();
    write("empty.sfz", "// nothing here\n");
    write("disk.img", std::string(450560, '\0'));
    const std::string image = (dir / "disk.img").string();
    struct Case { std::string args; int exit; std::string says; };
    for (const Case& c : {Case{"build " + sf2 + " --preset 48 --half upper --zones 4 --to " + syx, 0, "zone 4: root "},
                          Case{"inspect " + syx, 0, "U ws8 C0-FF: the pages of ws4"},
                          Case{"inspect " + syx, 0, "cents, cut "},
                          Case{"inspect " + (dir / "empty.sfz").string(), 1, "empty.sfz"},
                          Case{"inspect", 2, "inspect needs at least one FILE.syx"},
                          Case{"build " + sf2 + " --preset \"No Such\" --to " + syx, 1, "no preset \"No Such\""},
                          Case{"build " + (dir / "empty.sfz").string() + " --to " + syx, 1, "holds no region"},
                          Case{"build " + sf2 + " --zones 9 --to " + syx, 2, "--zones takes 1 to 8"},
                          Case{"build " + sf2, 2, "either --to OUT.syx or --into IMAGE SLOT"},
                          Case{"build " + sf2 + " --half upper --into a.img L1 ", 2, "does not match slot L1"},
                          Case{"presets " + sf2, 0, "128:000 Standard                149 zones, a kit\n"},
                          Case{"build " + sf2 + " --into " + image + " L1", 0,
                               "note: Preset 000:000 Yamaha Grand Piano."},
                          Case{"build " + sf2 + " --preset 128:0 --into " + image + " L1", 0,
                               "Replaced L1 of \"" + image + "\" (6 wavesamples, 256 pages) with the built half; the "
                               "image as it was is kept as \"" + image + ".bak\"."}}) {
        const int status = std::system((std::string(CORVANE_DISK_TOOL) + " " + c.args + " > " + out + " 2>&1").c_str());
        EXPECT_EQ(WEXITSTATUS(status), c.exit) << c.args;
        std::ifstream in(out);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(c.says), std::string::npos) << c.args << "\n" << text;
    }
    const sound::ReadResult r = sound::readFile(syx);
    ASSERT_TRUE(r.ok()) << r.text;
    EXPECT_EQ(r.sound.halves.at(0).half, 1);
    EXPECT_EQ(r.sound.halves.at(0).wavesampleDumps.size(), 4u);
}
