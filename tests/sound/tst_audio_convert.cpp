// Audio files of other formats converted into wavesamples and wavesamples
// written out as such files: sine tones made by sox, the loop placed on
// pages, files read back through libsndfile, and refused input.
#include "AudioConvert.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>

namespace corvane::audio {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
constexpr int Rate = 29411;

// The strength of `hz` in 8-bit samples played at `rate` (Goertzel).
double strength(const Bytes& s, int n, int rate, double hz)
{
    const double k = 2 * std::cos(2 * std::numbers::pi * hz / rate);
    double a = 0, b = 0;
    for (int i = 0; i < n; ++i) {
        const double c = (s[static_cast<std::size_t>(i)] - 128.0) + k * a - b;
        b = a;
        a = c;
    }
    return a * a + b * b - k * a * b;
}

// The strongest frequency: a coarse scan of 100..4000 Hz, then a fine one.
double peakFrequency(const Bytes& s, int n, int rate)
{
    auto best = [&](double from, double to, double step) {
        double top = from, most = -1;
        for (double f = from; f <= to; f += step)
            if (const double m = strength(s, n, rate, f); m > most)
                most = m, top = f;
        return top;
    };
    const double coarse = best(100, 4000, 20);
    return best(coarse - 20, coarse + 20, 0.25);
}

int peakLevel(const Bytes& s)
{
    int peak = 0;
    for (std::uint8_t b : s)
        peak = std::max(peak, std::abs(b - 128));
    return peak;
}

class AudioFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = corvane::test::uniqueTempFolder("corvane-audio-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    // A sine of `hz` at half full scale made by sox; `format` holds its options.
    std::string sine(const std::string& name, const std::string& format, double seconds = 1, int hz = 440)
    {
        const std::string command = std::string(CORVANE_SOX) + " -n " + format + " " + path(name) + " synth " +
                                    std::to_string(seconds) + " sine " + std::to_string(hz) + " gain -6 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path(name);
    }

    fs::path dir;
};

TEST_F(AudioFiles, SineOfEachFormatBecomesAWavesampleAt29411Hz)
{
    const struct {
        const char* name;
        const char* format;
        const char* source; // as the window shows it
    } rows[] = {
        {"sine.wav", "-r 44100 -c 2 -b 16", "WAV, Signed 16 bit PCM, stereo, 44100 Hz, 1.000 s"},
        {"sine.aiff", "-r 48000 -c 2 -b 24", "AIFF, Signed 24 bit PCM, stereo, 48000 Hz, 1.000 s"},
        {"sine.flac", "-r 96000 -c 1 -b 24", "FLAC, Signed 24 bit PCM, mono, 96000 Hz, 1.000 s"},
    };
    for (const auto& r : rows) {
        const std::string file = sine(r.name, r.format);
        for (const bool normalise : {false, true}) {
            SCOPED_TRACE(std::string(r.name) + (normalise ? " normalised" : ""));
            const Conversion c = importAudio(file, {.normalise = normalise});
            ASSERT_TRUE(c.ok()) << c.text();
            EXPECT_EQ(c.source.text(), r.source);
            EXPECT_EQ(c.rate, Rate);
            EXPECT_NEAR(c.length, Rate, 1);
            EXPECT_EQ(c.samples.size(), 29440u) << "padded to 115 whole pages";
            EXPECT_EQ(std::count(c.samples.begin(), c.samples.end(), 0), 0);
            EXPECT_NEAR(peakFrequency(c.samples, c.length, Rate), 440, 2);
            EXPECT_TRUE(c.dithered);
            EXPECT_EQ(c.cutSamples, 0);
            // Half scale stays half scale; normalised it comes within 1 dB of full scale.
            if (normalise)
                EXPECT_GE(peakLevel(c.samples), 127 * std::pow(10, -1 / 20.0));
            else
                EXPECT_NEAR(peakLevel(c.samples), 64, 3);
        }
    }
    const Conversion at20k = importAudio(path("sine.wav"), {.rate = rateOfSampleTime(50)});
    EXPECT_NEAR(at20k.length, 20000, 1);
    EXPECT_NEAR(peakFrequency(at20k.samples, at20k.length, 20000), 440, 2);
}

TEST_F(AudioFiles, LoopLandsOnPagesWithTheCalculatorsPointers)
{
    const std::string file = sine("sine.wav", "-r 44100 -c 1 -b 16");
    // 1,024 source samples at 0.5 s: 682.9 samples at 14,705.5 once converted.
    for (const LoopRequest loop : {LoopRequest{0.5, 1024 / 44100.0, LoopUnit::Seconds},
                                   LoopRequest{22050, 1024, LoopUnit::Samples}}) {
        const Conversion c = importAudio(file, {.loop = loop, .startPage = 2});
        ASSERT_TRUE(c.ok()) << c.text();
        ASSERT_TRUE(c.loop);
        EXPECT_EQ(c.loop->loopStart, 57 * 256);
        EXPECT_EQ(c.loop->loopSize, 3 * 256);
        EXPECT_EQ(c.loop->markerByte, 60 * 256);
        EXPECT_EQ(c.samples.size(), 61u * 256) << "one page for the marker after the loop";
        const wavprep::Pointers p = wavprep::pointers(57 * 256, 3 * 256, 2);
        EXPECT_EQ((std::vector{c.loop->pointers.wsStart, c.loop->pointers.loopStart, c.loop->pointers.loopEnd,
                               c.loop->pointers.wsEnd}),
                  (std::vector{p.wsStart, p.loopStart, p.loopEnd, p.wsEnd}));
        EXPECT_EQ(p.loopEnd, 0x3D);
        EXPECT_GT(c.cutSamples, 0) << "the audio after the marker page is left out";
    }
    EXPECT_EQ(importAudio(file, {.loop = LoopRequest{0.9, 0.2}}).error, AudioError::LoopOutside);
    EXPECT_EQ(importAudio(file, {.loop = LoopRequest{0.5, 0}}).error, AudioError::LoopOutside);
    EXPECT_EQ(importAudio(file, {.loop = LoopRequest{0.5, 0.1}, .startPage = 240}).error, AudioError::TooLong);
}

TEST_F(AudioFiles, LongFileIsCutToWhatAWavesampleHoldsWithProgressAndCancel)
{
    const std::string file = sine("long.flac", "-r 44100 -c 2 -b 16", 3);
    std::vector<double> steps;
    const Conversion c = importAudio(file, {}, {.progress = [&](double f) { steps.push_back(f); }});
    ASSERT_TRUE(c.ok()) << c.text();
    EXPECT_EQ(c.length, 65535);
    EXPECT_EQ(c.samples.size(), 65535u);
    EXPECT_NEAR(c.cutSamples, 3 * Rate - 65535, 2);
    EXPECT_EQ(c.cutNotice(), "Note - 0.772 s of audio (" + std::to_string(c.cutSamples) + " samples) cut.");
    ASSERT_GT(steps.size(), 2u);
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
    EXPECT_EQ(steps.back(), 1.0);
    EXPECT_EQ(importAudio(file, {.loop = LoopRequest{2.19, 0.01}}).error, AudioError::TooLong);

    std::atomic<bool> stop{false};
    const Conversion cancelled = importAudio(file, {}, {.progress = [&](double) { stop = true; }, .cancel = &stop});
    EXPECT_EQ(cancelled.error, AudioError::Cancelled);
    EXPECT_TRUE(cancelled.samples.empty());
}

TEST_F(AudioFiles, ExportedFilesReadBackAndEightBitRoundTripIsExact)
{
    Bytes received(115 * 256);
    for (std::size_t i = 0; i < received.size(); ++i)
        received[i] = static_cast<std::uint8_t>(1 + (i * 37) % 255);
    const struct {
        Container container;
        int bits, rate;
        int format;
    } rows[] = {
        {Container::Wav, 16, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {Container::Aiff, 24, 48000, SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
        {Container::Flac, 16, 0, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {Container::Wav, 24, 0, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
    };
    for (const auto& r : rows) {
        const std::string file = path(std::string("out.") + extensionOf(r.container));
        SCOPED_TRACE(file + " " + std::to_string(r.bits) + " bits at " + std::to_string(r.rate));
        const ExportResult e = exportAudio(file, received, Rate, {r.container, r.bits, r.rate});
        ASSERT_TRUE(e.ok()) << e.text();
        SF_INFO info{};
        SNDFILE* f = sf_open(file.c_str(), SFM_READ, &info);
        ASSERT_TRUE(f);
        sf_close(f);
        const int rate = r.rate ? r.rate : Rate;
        EXPECT_EQ(info.samplerate, rate);
        EXPECT_EQ(info.channels, 1);
        EXPECT_EQ(info.format, r.format);
        EXPECT_NEAR(static_cast<double>(info.frames), received.size() * static_cast<double>(rate) / Rate, 2);
        if (r.rate == 0) {
            const Conversion back = importAudio(file, {.rate = Rate});
            ASSERT_TRUE(back.ok()) << back.text();
            EXPECT_EQ(back.samples, received);
            EXPECT_FALSE(back.dithered);
        }
    }
    EXPECT_EQ(exportAudio(path("x.wav"), received, Rate, {Container::Wav, 12}).error, AudioError::Unsupported);
    EXPECT_EQ(exportAudio(path("none/x.wav"), received, Rate, {}).text(),
              "Error - File write fail - cannot create " + path("none/x.wav") + ".");
}

TEST_F(AudioFiles, BadInputIsRefusedWithItsMessage)
{
    std::ofstream(path("text.wav")) << "These are words, not sound.\n";
    std::ofstream(path("empty.wav")).flush();
    ASSERT_EQ(std::system((std::string(CORVANE_SOX) + " -n -r 44100 -c 1 -b 16 " + path("noframes.wav") + " trim 0 0")
                              .c_str()),
              0);
    fs::resize_file(sine("cut.flac", "-r 44100 -c 2 -b 16"), 20000);
    const struct {
        const char* name;
        AudioError error;
        const char* message;
    } rows[] = {
        {"text.wav", AudioError::Unsupported, "Error - Audio format detect fail - unsupported file type."},
        {"empty.wav", AudioError::NoAudio, "Error - Audio data detect fail - no sample data."},
        {"noframes.wav", AudioError::NoAudio, "Error - Audio data detect fail - no sample data."},
        {"cut.flac", AudioError::Damaged, "Error - Audio data read fail - file damaged or cut short."},
        {"missing.wav", AudioError::CannotOpen, "Error - File open fail - cannot read file."},
    };
    for (const auto& r : rows) {
        const Conversion c = importAudio(path(r.name));
        EXPECT_EQ(c.error, r.error) << r.name;
        EXPECT_EQ(c.text(), r.message) << r.name;
        EXPECT_TRUE(c.samples.empty()) << r.name;
    }
}

} // namespace
} // namespace corvane::audio
