// Floppy disk images made by the tests themselves. The sectors a sound never
// uses (operating system, configuration, sequences) hold a pattern marked by
// each byte's offset, never an operating system from anywhere; the sound
// slots hold the emulator's factory sounds.
#pragma once

#include "DiskImage.h"
#include "ImageDisk.h"
#include "MirageEmulator.h"

#include <string>

namespace corvane::test {

// Byte `offset` of a marked image: recognisable and different from its
// neighbours, so that a byte moved or overwritten shows.
inline std::uint8_t markOf(std::size_t offset)
{
    return static_cast<std::uint8_t>((offset * 31 + (offset >> 8) * 7 + 0x5A) & 0xFF);
}

inline disk::Bytes markedBytes()
{
    disk::Bytes b(disk::Layout::ImageSize);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = markOf(i);
    return b;
}

// Slot s (0..5) holds factoryHalf(s % 2, variant + s / 2); `emptySlots`
// (a mask, bit s for slot s) are left as a formatted disk leaves them: the
// parameter data one repeated byte.
inline disk::Image factoryImage(int variant = 0, unsigned emptySlots = 0)
{
    disk::Image image;
    image.assign(markedBytes(), "test.img");
    for (int s = 0; s < disk::Layout::Slots; ++s) {
        disk::SlotData d = emu::slotDataOf(emu::factoryHalf(s % 2, variant + s / 2));
        if (emptySlots & (1u << s))
            d.program.fill(0xE5);
        image.setSlot(s, d);
    }
    return image;
}

} // namespace corvane::test
