// Sound files (.syx): whatever the reader accepts is written back as a file
// image that reads again as the same sound, each half a program dump of its
// size with the wavesample dumps it calls for; whatever it refuses gives a
// reason and keeps nothing. Every half read is measured as `corvane-disk
// inspect` measures it: eight wavesamples, finite figures inside the data.
#include "FuzzCheck.h"
#include "Measure.h"
#include "SoundFile.h"

#include <cmath>

using namespace corvane;
using namespace corvane::sound;

namespace {
FUZZ_UNCOVERED bool same(const Half& a, const Half& b)
{
    return a.half == b.half && a.programDump == b.programDump && a.wavesampleDumps == b.wavesampleDumps &&
           a.hasNames == b.hasNames && (!a.hasNames || (a.names == b.names && a.colours == b.colours));
}
} // namespace

extern "C" FUZZ_UNCOVERED int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ReadResult read = parseFile({data, size});
    if (!read.ok()) {
        FUZZ_REQUIRE(!read.text.empty());
        FUZZ_REQUIRE(read.sound.halves.empty());
        return 0;
    }
    const auto& halves = read.sound.halves;
    FUZZ_REQUIRE(!halves.empty() && halves.size() <= 2);
    for (std::size_t i = 0; i < halves.size(); ++i) {
        const Half& h = halves[i];
        FUZZ_REQUIRE(h.half == 0 || h.half == 1);
        FUZZ_REQUIRE(i == 0 || h.half > halves[i - 1].half);
        FUZZ_REQUIRE(h.programDump.size() == ProgramMessageSize);
        FUZZ_REQUIRE(static_cast<int>(h.wavesampleDumps.size()) == dumpsNeeded(h.programDump));
        for (const Bytes& d : h.wavesampleDumps)
            FUZZ_REQUIRE(d.size() == 8 + 512 * static_cast<std::size_t>(wavesamplePages(d)));
    }

    for (const Half& h : halves) {
        const std::vector<measure::Wavesample> measured = measure::measureHalf(h);
        FUZZ_REQUIRE(measured.size() == 8);
        for (const measure::Wavesample& w : measured) {
            const measure::Figures& f = w.figures;
            FUZZ_REQUIRE(w.sameAs >= 0 && w.sameAs < w.number);
            FUZZ_REQUIRE(f.samples >= 0 && f.leadIn >= 0 && f.leadIn <= f.samples);
            FUZZ_REQUIRE(std::isfinite(f.rmsDb) && std::isfinite(f.peakDb) && f.rmsDb <= f.peakDb + 1e-6 && f.peakDb <= 0.01);
            for (const std::optional<double>& v :
                 {f.attackKey, f.loopKey, f.loopCents, f.cutCents, f.swellDb, f.levelRangeDb, f.spliceDb})
                FUZZ_REQUIRE(!v || std::isfinite(*v));
            FUZZ_REQUIRE(!measure::line(w, h.half).empty());
        }
    }

    const ReadResult again = parseFile(fileImage(read.sound));
    FUZZ_REQUIRE(again.ok());
    FUZZ_REQUIRE(again.sound.halves.size() == halves.size());
    for (std::size_t i = 0; i < halves.size(); ++i)
        FUZZ_REQUIRE(same(halves[i], again.sound.halves[i]));
    return 0;
}
