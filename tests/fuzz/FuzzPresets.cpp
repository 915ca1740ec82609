// The presets file "EnvPresets.cv1": whatever the reader takes from a file of
// any length and content, written back and read again, is the same table,
// and what is written is always the full 360 bytes. In memory: the file
// functions only read and write those bytes.
#include "FuzzCheck.h"
#include "Presets.h"

#include <algorithm>

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const EnvPresetTable read = presetsFromBytes(std::vector<std::uint8_t>(data, data + std::min(size, PresetFileSize)));
    for (const std::string& name : read.names) {
        FUZZ_REQUIRE(name.size() <= PresetNameMax);
        FUZZ_REQUIRE(name.find('\0') == std::string::npos);
    }
    for (int v : read.values)
        FUZZ_REQUIRE(v >= 0 && v <= 255);

    const std::vector<std::uint8_t> bytes = presetsToBytes(read);
    FUZZ_REQUIRE(bytes.size() == PresetFileSize);
    const EnvPresetTable again = presetsFromBytes(bytes);
    FUZZ_REQUIRE(again.names == read.names);
    FUZZ_REQUIRE(again.values == read.values);
    return 0;
}
