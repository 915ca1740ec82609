// SFZ text: the reader takes any text without crashing and either names
// the line that is wrong or gives regions whose keys are MIDI keys or unset,
// whose offsets are not negative, and whose unknown opcodes are listed once.
#include "BuildSources.h"
#include "FuzzCheck.h"

#include <set>
#include <string>

using namespace corvane;

extern "C" FUZZ_UNCOVERED int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const build::SfzText sfz = build::parseSfz(text);
    if (!sfz.error.empty()) {
        FUZZ_REQUIRE(sfz.error.rfind("line ", 0) == 0);
        return 0;
    }
    for (const build::SfzRegion& r : sfz.regions) {
        FUZZ_REQUIRE(!r.sample.empty());
        for (const int k : {r.lo, r.hi, r.keycenter})
            FUZZ_REQUIRE(k == build::NoKey || (k >= 0 && k <= 127));
        FUZZ_REQUIRE(r.offset >= 0 && r.end >= -1);
        FUZZ_REQUIRE(r.loopStart >= -1 && r.loopEnd >= -1);
    }
    const std::set<std::string> unique(sfz.unknownOpcodes.begin(), sfz.unknownOpcodes.end());
    FUZZ_REQUIRE(unique.size() == sfz.unknownOpcodes.size());
    return 0;
}
