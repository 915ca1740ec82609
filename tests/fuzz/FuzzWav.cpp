// WAV files: whatever the import accepts is 1 to 65,535 bytes of sample
// data that the export writes back and the import reads again unchanged, and
// that goes out as a well-formed wavesample dump; whatever it refuses gives
// a reason and no data.
#include "FuzzCheck.h"
#include "SendDump.h"
#include "WavFile.h"

#include <cstring>

using namespace corvane;

extern "C" FUZZ_UNCOVERED int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const wav::ImportResult read = wav::parseImport({data, size});
    if (!read.ok()) {
        FUZZ_REQUIRE(read.samples.empty());
        FUZZ_REQUIRE(std::strlen(read.text()) > 0);
        return 0;
    }
    const std::vector<std::uint8_t>& samples = read.samples;
    FUZZ_REQUIRE(!samples.empty() && samples.size() <= wav::MaxDataSize);
    FUZZ_REQUIRE(std::strlen(read.text()) == 0);

    const std::vector<std::uint8_t> image = wav::exportImage(samples, 0x5A);
    FUZZ_REQUIRE(image.size() == wav::HeaderSize + samples.size() + 1);
    const wav::ImportResult again = wav::parseImport(image);
    FUZZ_REQUIRE(again.ok() && again.samples == samples);

    const auto dump = wav::buildSendDump(samples);
    FUZZ_REQUIRE(dump.has_value());
    const std::vector<std::uint8_t>& m = dump->message;
    FUZZ_REQUIRE(m.size() == 8 + 2 * samples.size());
    FUZZ_REQUIRE(m[0] == 0xF0 && m[1] == 0x0F && m[2] == 0x01 && m[3] == 0x06 && m.back() == 0x7F);
    for (std::size_t i = 1; i + 1 < m.size(); ++i)
        FUZZ_REQUIRE(m[i] < 0x80);
    const std::size_t pages = m[4] + 16u * m[5];
    FUZZ_REQUIRE(pages * 256 >= samples.size() && pages * 256 < samples.size() + 256);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int sent = m[6 + 2 * i] + 16 * m[7 + 2 * i];
        FUZZ_REQUIRE(sent == (samples[i] == 0 ? 1 : samples[i]));
    }
    return 0;
}
