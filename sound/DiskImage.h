// Raw images of the Mirage's 3.5-inch floppy disks, as floppy emulators
// (Gotek with FlashFloppy, HxC) read them from a USB stick. Plain C++.
//
// A disk is one side of 80 tracks; a track holds sectors 0-4 of 1,024 bytes
// and sector 5 of 512 bytes. A raw image stores the tracks in order and the
// sectors of a track in number order. Each of the six sounds (the lower and
// upper halves of sounds 1-3) has a parameter sector and 64 data sectors;
// everything else (the operating system, the configuration, sequences) is
// never written here.
//
// Where the sounds lie, in what order the data sectors hold the pages and
// what the parameter sector holds is our reading of public descriptions of
// the disk, not the manufacturer's: it is all in `Layout` and
// `dataSectors()`, so that a correction is made in one place.
#pragma once

#include "SoundFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane::disk {

using Bytes = std::vector<std::uint8_t>;

struct Layout {
    static constexpr int Tracks = 80;
    static constexpr int Sectors = 6;                   // 0..5 on every track
    static constexpr std::size_t BigSector = 1024;      // sectors 0..4
    static constexpr std::size_t SmallSector = 512;     // sector 5
    static constexpr std::size_t TrackSize = 5 * BigSector + SmallSector; // 5,632
    static constexpr std::size_t ImageSize = Tracks * TrackSize;          // 450,560
    static constexpr int Slots = 6;
    // The first track of L1, U1, L2, U2, L3, U3.
    static constexpr std::array<int, Slots> FirstTrack = {2, 15, 28, 41, 54, 67};
    static constexpr int SoundTracks = 13;              // the first track and twelve more
    static constexpr int DataSectors = 64;              // 64 x 1,024 bytes: pages 00..FF
    static constexpr std::size_t ProgramData = 625;     // at the start of the parameter sector
};

// Byte offset of a sector in the image.
constexpr std::size_t sectorOffset(int track, int sector)
{
    return static_cast<std::size_t>(track) * Layout::TrackSize + static_cast<std::size_t>(sector) * Layout::BigSector;
}

struct SectorRef {
    int track = 0;
    int sector = 0;
};

// The parameter sector of a slot (0..5 = L1, U1, L2, U2, L3, U3): sector 0
// of its first track.
SectorRef parameterSector(int slot);
// Its data sectors in page order: sectors 1-4 of the first track, then
// sectors 0-4 of the next twelve tracks. Sector k holds pages 4k..4k+3.
std::array<SectorRef, Layout::DataSectors> dataSectors(int slot);

// "L1", "U1", ... and back (-1 for anything else, upper or lower case).
std::string slotName(int slot);
int slotFromName(const std::string& name);
constexpr int halfOfSlot(int slot) { return slot % 2; }   // 0 lower, 1 upper
constexpr int soundOfSlot(int slot) { return slot / 2; }  // 0..2 = sound 1..3

// What a slot holds, unpacked: the half's 625 program data bytes in the
// order of the program dump and its 64 KiB of sample memory.
struct SlotData {
    std::array<std::uint8_t, Layout::ProgramData> program{};
    Bytes memory = Bytes(static_cast<std::size_t>(sound::MaxPages) * 256, 0x80);
};

enum class SlotState {
    Sound,
    Empty,   // the program data is one byte repeated: nothing was saved here
    Damaged, // page pointers out of order or out of range
};

struct SlotCheck {
    SlotState state = SlotState::Sound;
    std::string text; // what is wrong, for an empty or damaged slot
};

// The pointers of every wavesample must keep start <= loop start <=
// loop end <= end, as the instrument's own stepping keeps them.
SlotCheck checkProgram(std::span<const std::uint8_t, Layout::ProgramData> program);

class Image {
public:
    static constexpr const char* Caption = "Disk Image";

    // Takes the bytes of an image; "" or what is wrong with them (the size
    // found and the size expected).
    std::string assign(Bytes bytes, const std::string& name);
    // Reads an image file whole; "" or the message.
    std::string open(const std::string& path);
    // Writes the image to `path` atomically; "" or the message.
    std::string save(const std::string& path) const;

    const Bytes& bytes() const { return bytes_; }

    SlotData slot(int slot) const;
    SlotCheck check(int slot) const;
    // Writes the program data into the first 625 bytes of the parameter
    // sector and the memory into the 64 data sectors; no other byte changes.
    void setSlot(int slot, const SlotData& data);

private:
    Bytes bytes_;
};

// ---- slots as sound halves ------------------------------------------------------

// The program dump of a half from its 625 data bytes, and back.
sound::Bytes programDumpOf(int half, std::span<const std::uint8_t, Layout::ProgramData> program);
std::array<std::uint8_t, Layout::ProgramData> programDataOf(std::span<const std::uint8_t> programDump);

// A slot as the half of a sound file: its program dump and a wavesample dump
// for each wavesample that needs one, as the instrument sends them.
sound::Half halfOf(const SlotData& data, int half);
// A half of a sound file into a slot. Pages no wavesample of the half uses
// keep what `into` holds.
SlotData slotOf(const sound::Half& half, SlotData into);

struct SlotRead {
    SlotCheck check;
    sound::Half half;       // filled for a slot that holds a sound
    bool ok() const { return check.state == SlotState::Sound; }
};
SlotRead readSlot(const Image& image, int slot);
// What a slot holds, for a line that says what a write replaces: "6
// wavesamples, 242 pages" (those with pages of their own), "empty" or
// "damaged".
std::string slotSummary(const Image& image, int slot);

// Writes `half` into `slot` of the image file at `path` and saves it
// atomically; "" or the message.
std::string insertHalf(const std::string& path, int slot, const sound::Half& half);

// The half of a sound file that goes into `slot`: the half of the slot's
// side, or the only half the file holds; nullptr when there is none.
const sound::Half* halfForSlot(const sound::Sound& sound, int slot);

// The file name of wavesample `wavesample` (0..7) of a slot exported from
// the image named `imageStem`: IMAGE-SLOT-WS.EXT with WS counted from 1.
std::string exportName(const std::string& imageStem, int slot, int wavesample, const std::string& extension);

} // namespace corvane::disk
