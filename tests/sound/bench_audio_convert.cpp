// How long the import takes for a 60 s stereo 44.1 kHz 16-bit file, and the
// export of a full wavesample resampled to 44.1 kHz. Prints the figures; not
// a test. Needs sox.
#include "AudioConvert.h"
#include "TempFolder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace corvane::audio;

namespace {

template <typename F>
double bestSeconds(int runs, F&& f)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

} // namespace

int main()
{
    namespace fs = std::filesystem;
    const fs::path dir = corvane::test::uniqueTempFolder("corvane-audio-bench");
    const std::string source = (dir / "source.wav").string();
    const std::string command = std::string(CORVANE_SOX) + " -n -r 44100 -c 2 -b 16 " + source +
                                " synth 60 pinknoise gain -6 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "sox could not make %s\n", source.c_str());
        return 1;
    }
    constexpr double SourceSeconds = 60;
    for (const bool normalise : {false, true}) {
        Conversion c;
        const double s = bestSeconds(3, [&] { c = importAudio(source, {.normalise = normalise}); });
        if (!c.ok()) {
            std::fprintf(stderr, "%s\n", c.text().c_str());
            return 1;
        }
        const double converted = c.length / static_cast<double>(c.rate);
        std::printf("import%s: %.1f ms for the 60 s file, %.2f ms per second of source, "
                    "%.1f ms per second of audio converted (%.3f s kept, %.3f s cut)\n",
                    normalise ? " normalised" : "", s * 1e3, s * 1e3 / SourceSeconds, s * 1e3 / converted,
                    converted, c.cutSeconds);
    }
    const Conversion c = importAudio(source);
    const std::string out = (dir / "out.wav").string();
    const double s = bestSeconds(3, [&] { exportAudio(out, c.samples, c.rate, {Container::Wav, 16, 44100}); });
    std::printf("export at 44.1 kHz: %.1f ms for %.3f s of audio, %.1f ms per second\n", s * 1e3,
                c.samples.size() / static_cast<double>(c.rate), s * 1e3 * c.rate / c.samples.size());
    fs::remove_all(dir);
    return 0;
}
