// Floppy disk images: a file of any other size is refused with the size
// found and the size expected. The input is also laid into one slot of a
// marked image (first byte: the slot, then the program data and the
// sample memory): a slot read as a sound gives a half that reads back from
// its sound file and writes back into the slot byte for byte; one that is
// not a sound says why; writing a slot changes no byte outside it.
#include "DiskImage.h"
#include "FuzzCheck.h"

#include <algorithm>

using namespace corvane;
using namespace corvane::disk;

namespace {
FUZZ_UNCOVERED Bytes marked()
{
    Bytes b(Layout::ImageSize);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8));
    return b;
}
} // namespace

extern "C" FUZZ_UNCOVERED int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Image image;
    const std::string error = image.assign(Bytes(data, data + size), "fuzz.img");
    FUZZ_REQUIRE(error.empty() == (size == Layout::ImageSize));
    FUZZ_REQUIRE(error.empty() || error.find(std::to_string(size)) != std::string::npos);
    if (size < 1)
        return 0;

    static const Bytes base = marked();
    FUZZ_REQUIRE(image.assign(base, "marked.img").empty());
    const int slot = data[0] % Layout::Slots;
    SlotData d = image.slot(slot);
    const std::size_t program = std::min(size - 1, d.program.size());
    std::copy_n(data + 1, program, d.program.begin());
    std::copy_n(data + 1 + program, std::min(size - 1 - program, d.memory.size()), d.memory.begin());
    image.setSlot(slot, d);

    const SlotRead r = readSlot(image, slot);
    if (!r.ok()) {
        FUZZ_REQUIRE(!r.check.text.empty());
        FUZZ_REQUIRE(r.half.programDump.empty());
        return 0;
    }
    const sound::ReadResult back = sound::parseFile(sound::fileImage({{r.half}}));
    FUZZ_REQUIRE(back.ok());
    Image other;
    FUZZ_REQUIRE(other.assign(base, "marked.img").empty());
    other.setSlot(slot, slotOf(back.sound.halves[0], d));
    FUZZ_REQUIRE(other.bytes() == image.bytes());
    const SlotData again = other.slot(slot);
    FUZZ_REQUIRE(again.program == d.program && again.memory == d.memory);
    return 0;
}
