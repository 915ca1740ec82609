// How long a keyboard half takes to build from a 20-zone SoundFont preset
// (the Yamaha Grand Piano of Debian's FluidR3 GM: 20 zones on the
// keyboard's left samples at velocity 100, of which the builder chooses how
// many to keep, 6 of them today, each with a long measured loop), from
// opening the file to the finished half. Prints the figures and the
// builder's summary; not a test. Goal: under 2 s.
#include "BuildSources.h"
#include "MirageEmulator.h"
#include "SoundBuilder.h"

#include <chrono>
#include <cstdio>
#include <string>

using namespace corvane;
using namespace corvane::build;

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    const char* preset = argc > 2 ? argv[2] : "Yamaha Grand Piano";
    BuildOptions options;
    options.templateDump = emu::MirageEmulator().programDump(0);
    double best = 1e9, worst = 0;
    std::size_t zones = 0;
    std::string summary;
    for (int run = 0; run < 5; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        const Source source = readSoundFont(path, preset);
        if (!source.ok()) {
            std::fprintf(stderr, "%s\n", source.error.c_str());
            return 1;
        }
        const BuildResult r = buildHalf(source, options);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!r.ok()) {
            std::fprintf(stderr, "%s\n", r.text.c_str());
            return 1;
        }
        zones = source.zones.size();
        summary = builtSummary(r);
        best = std::min(best, s);
        worst = std::max(worst, s);
    }
    std::printf("build of a half from \"%s\" (%zu zones): best %.3f s, worst %.3f s of 5 runs (goal < 2 s)\n", preset,
                zones, best, worst);
    std::printf("%s\n", summary.c_str());
    return 0;
}
