// Audio files of any format libsndfile reads, with the import's options
// taken from the first bytes: whatever the import accepts is 1 to 65,535
// bytes of 8-bit samples (1..255, whole pages or the loop's data size) that
// go out as a wavesample dump; whatever it refuses gives a reason and no
// data.
#include "AudioConvert.h"
#include "FuzzCheck.h"
#include "SendDump.h"
#include "WavFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace corvane;
using namespace corvane::audio;

namespace {

// The import reads a file by name: one scratch file per fuzzing process.
FUZZ_UNCOVERED const std::string& scratchPath()
{
    static const std::string path = [] {
        char name[] = "/tmp/corvane-fuzz-audio-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0)
            std::abort();
        close(fd);
        std::atexit([] { std::remove(scratchPath().c_str()); });
        return std::string(name);
    }();
    return path;
}

FUZZ_UNCOVERED bool write(const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(scratchPath().c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

} // namespace

extern "C" FUZZ_UNCOVERED int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Option bytes: flags, start page, rate, loop start, loop length.
    constexpr std::size_t OptionBytes = 5;
    if (size < OptionBytes)
        return 0;
    static const int rates[] = {29411, 29411, 20000, 44100, 8000, 50000, 999, 192001};
    ImportOptions options;
    options.normalise = data[0] & 1;
    if (data[0] & 2)
        options.loop = LoopRequest{data[3] / 16.0, data[4] / 16.0, (data[0] & 4) ? LoopUnit::Samples : LoopUnit::Seconds};
    if (options.loop && options.loop->unit == LoopUnit::Samples) {
        options.loop->start *= 4096;
        options.loop->length *= 4096;
    }
    options.startPage = data[1];
    options.rate = rates[data[2] % 8];
    options.ditherSeed = data[0] >> 3;
    if (!write(data + OptionBytes, size - OptionBytes))
        return 0;

    const Conversion c = importAudio(scratchPath(), options);
    if (!c.ok()) {
        FUZZ_REQUIRE(c.samples.empty());
        FUZZ_REQUIRE(!c.text().empty());
        return 0;
    }
    const std::vector<std::uint8_t>& s = c.samples;
    FUZZ_REQUIRE(!s.empty() && s.size() <= wav::MaxDataSize);
    FUZZ_REQUIRE(c.rate == options.rate);
    FUZZ_REQUIRE(c.length >= 1 && static_cast<std::size_t>(c.length) <= s.size());
    FUZZ_REQUIRE(c.cutSamples >= 0);
    for (std::uint8_t b : s)
        FUZZ_REQUIRE(b >= 1);
    if (c.loop) {
        FUZZ_REQUIRE(options.loop.has_value());
        FUZZ_REQUIRE(c.loop->loopStart % 256 == 0 && c.loop->loopSize % 256 == 0 && c.loop->loopSize > 0);
        FUZZ_REQUIRE(c.loop->markerByte <= 0xFC00);
        FUZZ_REQUIRE(s.size() == static_cast<std::size_t>(c.loop->dataSize));
    } else {
        FUZZ_REQUIRE(!options.loop);
        FUZZ_REQUIRE(s.size() % 256 == 0 || s.size() == wav::MaxDataSize);
    }
    FUZZ_REQUIRE(wav::buildSendDump(s).has_value());
    return 0;
}
