// The built-in emulator's disk: a floppy disk image file named in the
// settings file ([Emulator] DiskImage=...), or the emulator's own three
// sounds when none is named.
#pragma once

#include <QString>

#include <memory>
#include <string>

namespace corvane {

class Seams;
class VirtualMirage;
namespace emu {
class ImageDisk;
}

// The image named in the settings file at `settingsPath`, "" for none.
std::string emulatorDiskImage(const QString& settingsPath);

// Makes the image named in the settings the emulator's disk and starts the
// emulator from its sound 1. An image that cannot be used is reported in a
// message box (caption "Disk Image") and the emulator keeps its own disk;
// what goes wrong later is reported the same way. Returns the disk, which
// must outlive the emulator's use of it, or nullptr.
std::unique_ptr<emu::ImageDisk> attachEmulatorDisk(VirtualMirage& mirage, Seams& seams, const QString& settingsPath);

} // namespace corvane
