// A floppy disk image file as the emulator's disk: "Load Sound n" reads
// sound n from the image each time, "Save Sound n" writes the halves saved
// into it (atomically; nothing else of the image changes).
#pragma once

#include "DiskImage.h"
#include "MirageEmulator.h"

#include <functional>
#include <string>

namespace corvane::emu {

// A half of the emulator as the 625 program bytes and memory of a disk
// slot, and back.
disk::SlotData slotDataOf(const Half& half);
Half halfOf(const disk::SlotData& data);

class ImageDisk {
public:
    using Report = std::function<void(const std::string& text)>;

    // `report` is told what went wrong when the image cannot be read or
    // written while the emulator runs.
    ImageDisk(std::string path, Report report);

    // Opens the image once: "" when it is one, else the message.
    std::string check() const;
    // Makes the image the emulator's disk until the emulator is given other
    // hooks; the ImageDisk must outlive that.
    void attach(MirageEmulator& emulator);

    const std::string& path() const { return path_; }

private:
    std::array<bool, 2> load(int slot, DiskSound& sound);
    void saved(int slot, const DiskSound& sound, bool lower, bool upper);

    std::string path_;
    Report report_;
};

} // namespace corvane::emu
