// SoundFont 2 files through the outline check and libgig: a file is either
// refused with a message naming it, or gives presets and zones whose loops
// lie within their samples and whose audio reads as mono samples in -1..1.
#include "BuildSources.h"
#include "FuzzCheck.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace corvane;

namespace {

// libgig reads a file by name: one scratch file per fuzzing process.
FUZZ_UNCOVERED const std::string& scratchPath()
{
    static const std::string path = [] {
        char name[] = "/tmp/corvane-fuzz-sf2-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0)
            std::abort();
        close(fd);
        std::atexit([] { std::remove(scratchPath().c_str()); });
        return std::string(name) ;
    }();
    return path;
}

} // namespace

extern "C" FUZZ_UNCOVERED int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::FILE* f = std::fopen(scratchPath().c_str(), "wb");
        if (!f)
            return 0;
        const bool ok = std::fwrite(data, 1, size, f) == size;
        if (std::fclose(f) != 0 || !ok)
            return 0;
    }
    const build::PresetList list = build::soundFontPresets(scratchPath());
    FUZZ_REQUIRE(list.error.empty() != list.presets.empty());
    const build::Source s = build::readSoundFont(scratchPath(), "");
    if (!s.ok()) {
        FUZZ_REQUIRE(s.zones.empty() || s.error.find("loop") != std::string::npos || s.error.find("no samples") != std::string::npos);
        return 0;
    }
    int read = 0;
    for (const build::Zone& z : s.zones) {
        FUZZ_REQUIRE(z.lo >= 0 && z.lo <= z.hi && z.hi <= 127);
        FUZZ_REQUIRE(std::isfinite(z.pitch));
        if (z.loop == build::LoopKind::Source)
            FUZZ_REQUIRE(z.loopStart < z.loopEnd && z.loopEnd <= z.frames);
        if (read++ < 4) {
            const build::ZoneAudio a = z.read(1 << 16);
            FUZZ_REQUIRE(a.samples.size() <= (1u << 16));
            if (a.error.empty())
                for (float x : a.samples)
                    FUZZ_REQUIRE(x >= -1.0f && x <= 1.0f);
        }
    }
    return 0;
}
