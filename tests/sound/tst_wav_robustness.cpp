// Damaged WAV files: header bytes changed at random and files cut anywhere
// are refused or read within their bounds. Damaged WAV, AIFF and FLAC files
// through the audio conversion: refused with a message or converted within a
// wavesample's bounds.
#include "AudioConvert.h"
#include "TempFolder.h"
#include "WavFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

TEST(WavImportRobustness, DamagedHeadersAndCutFilesStayInBounds)
{
    using namespace corvane::wav;
    std::vector<std::uint8_t> good = exportImage(std::vector<std::uint8_t>(3000, 0x80), 0x11);
    const std::uint8_t list[] = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'I', 'N', 'F', 'O', 'x', 0};
    good.insert(good.begin() + 36, std::begin(list), std::end(list)); // a second chunk to walk over
    std::mt19937 random(20240611);
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::uint8_t> image = good;
        for (int c = 1 + static_cast<int>(random() % 6); c > 0; --c)
            image[random() % 70] = static_cast<std::uint8_t>(random());
        if (random() % 4 == 0)
            image.resize(random() % image.size());
        const ImportResult r = parseImport(image);
        ASSERT_EQ(r.ok(), !r.samples.empty());
        ASSERT_LE(r.samples.size(), std::min<std::size_t>(MaxDataSize, image.size()));
    }
}

TEST(AudioImportRobustness, DamagedFilesAreRefusedOrConvertedWithinBounds)
{
    using namespace corvane::audio;
    namespace fs = std::filesystem;
    const fs::path dir = corvane::test::uniqueTempFolder("corvane-audio-robustness");
    const std::string damaged = (dir / "damaged").string();
    std::vector<std::uint8_t> wave(3000);
    for (std::size_t i = 0; i < wave.size(); ++i)
        wave[i] = static_cast<std::uint8_t>(128 + 100 * std::sin(i / 5.0));
    std::mt19937 random(20261207);
    for (const Container c : {Container::Wav, Container::Aiff, Container::Flac}) {
        const std::string good = (dir / (std::string("good.") + extensionOf(c))).string();
        ASSERT_TRUE(exportAudio(good, wave, 29411, {c, 16, 44100}).ok());
        std::ifstream in(good, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        for (int round = 0; round < 200; ++round) {
            std::vector<char> image = bytes;
            for (int n = 1 + static_cast<int>(random() % 6); n > 0; --n)
                image[random() % (round % 2 ? image.size() : std::min<std::size_t>(image.size(), 128))] =
                    static_cast<char>(random());
            if (random() % 4 == 0)
                image.resize(random() % image.size());
            std::ofstream(damaged, std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));
            ImportOptions options;
            options.normalise = round % 2;
            if (round % 3 == 0)
                options.loop = LoopRequest{0.01, 0.02};
            const Conversion r = importAudio(damaged, options);
            if (!r.ok()) {
                ASSERT_TRUE(r.samples.empty());
                ASSERT_EQ(r.text().rfind("Error - ", 0), 0u) << r.text();
                continue;
            }
            ASSERT_FALSE(r.samples.empty());
            ASSERT_LE(r.samples.size(), 65535u);
            ASSERT_EQ(std::count(r.samples.begin(), r.samples.end(), 0), 0);
        }
    }
    fs::remove_all(dir);
}
