// Sounds kept on the computer: one or both keyboard halves of the Mirage as
// a standard .syx file, every message whole (F0 ... F7) and back to back, as
// other SysEx librarians read and write them. Plain C++.
//
// A half is its program dump (F0 0F 01 05 lower, 15 upper, 1,255 bytes) and
// then one wavesample dump (F0 0F 01 06, 8 + 512 x pages bytes) for each of
// its eight wavesamples in order, leaving out a wavesample whose pages are
// the same as an earlier one's and one whose page pointers hold no pages.
// Which wavesample a dump belongs to thus follows from the program dump in
// front of it. A names message under the non-commercial ID (F0 7D) closes
// the file with the halves' wavesample names and colours; Corvane reads it
// back and never sends it to the instrument.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane::sound {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t ProgramMessageSize = 1255;
constexpr int MaxPages = 256;

// The pages of one wavesample, from its page pointers in a program dump.
struct PageRange {
    int start = 0;
    int end = 0;
    int pages() const { return end >= start ? end - start + 1 : 0; }
    bool operator==(const PageRange&) const = default;
};

// One wavesample of a half and the dump in the file that holds its data.
struct WavesampleEntry {
    PageRange range;
    int dump = -1;       // index into Half::wavesampleDumps; -1: no pages
    bool first = false;  // this wavesample's dump is fetched or sent here
};

struct Half {
    int half = 0;                        // 0 lower, 1 upper
    Bytes programDump;                   // 1,255 bytes, F0 ... F7
    std::vector<Bytes> wavesampleDumps;  // in the order of the wavesamples
    std::array<std::string, 8> names{};
    std::array<std::uint32_t, 8> colours{}; // Windows colour values 0x00BBGGRR
    bool hasNames = false;
};

struct Sound {
    std::vector<Half> halves; // lower before upper
    const Half* find(int half) const;
};

// The page ranges of the eight wavesamples in a program dump, and which of
// them need a dump of their own.
std::array<WavesampleEntry, 8> wavesampleEntries(std::span<const std::uint8_t> programDump);
int dumpsNeeded(std::span<const std::uint8_t> programDump);
// Which wavesamples play another's pages: "wavesamples 6-8 play wavesample
// 5's pages", "wavesample 8 plays wavesample 7's pages"; "" when each has
// pages of its own.
std::string sharedPagesText(std::span<const std::uint8_t> programDump);
// The wavesamples of a half that differ, counted as the instrument holds
// them: "5 wavesamples (wavesamples 6-8 play wavesample 5's pages)". A
// built half, a file and a send count alike.
std::string wavesamplesText(std::span<const std::uint8_t> programDump);

// The wavesample dump as the instrument sends it: F0 0F 01 06, page count
// (low nibble, then the rest: 256 pages are 00 10), each sample byte as low
// and high nibble, checksum, F7.
Bytes wavesampleDumpMessage(int pages, std::span<const std::uint8_t> samples, std::uint8_t checksum);
// The same data as the program sends it to the instrument: the checksum is
// the sum of the page-count and sample nibbles modulo 128, closed by 7F.
Bytes wavesampleSendMessage(std::span<const std::uint8_t> dump);
// The sample bytes of a wavesample dump.
Bytes wavesampleSamples(std::span<const std::uint8_t> dump);
// The page count a wavesample dump announces.
int wavesamplePages(std::span<const std::uint8_t> dump);

// The names message of the halves that carry names.
Bytes namesMessage(const Sound& sound);

// The whole file.
Bytes fileImage(const Sound& sound);

// ---- reading ----------------------------------------------------------------

enum class ReadError {
    None,
    CannotOpen,
    Empty,
    TooBig,
    OutsideMessage,      // bytes between messages that do not start one
    Truncated,           // the file ends before the message's F7
    CutShort,            // a status byte inside a message before its F7
    Foreign,             // another manufacturer's or device's message
    UnknownNames,        // a message under 7D that is not Corvane's names
    UnexpectedCommand,   // a Mirage message that has no place in a sound file
    ProgramSize,         // a program dump of the wrong size
    BadNibble,           // a data byte above 0x0F where nibbles belong
    DuplicateHalf,       // a second program dump of the same half
    Orphan,              // a wavesample dump before any program dump
    PageMismatch,        // a wavesample dump whose page count and data disagree
    WavesampleMismatch,  // a dump that does not fit its wavesample's pages
    WavesampleCount,     // too few or too many wavesample dumps for a half
    NamesMismatch,       // names for a half the file does not hold, or damaged
    NoProgram,           // not a single program dump
};

struct ReadResult {
    ReadError error = ReadError::None;
    std::string text; // what is wrong, naming the message and the bytes
    Sound sound;
    bool ok() const { return error == ReadError::None; }
    // The text of the window's box: first, in plain words, that the file is
    // not a Mirage sound or is damaged, then `text`.
    std::string message() const;
    static constexpr const char* Caption = "Load Sound from File";
};

// Checks a whole file image; nothing of a refused file is kept.
ReadResult parseFile(std::span<const std::uint8_t> image);
ReadResult readFile(const std::string& path);

// ---- writing ----------------------------------------------------------------

// Writes `bytes` to a temporary file beside `path`, then renames it over
// `path`: either the whole file is there or nothing has changed. Returns ""
// on success, otherwise what went wrong.
std::string writeAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

// The time `bytes` take on the MIDI wire (3,125 bytes a second), in ms.
constexpr long long wireMs(std::size_t bytes) { return (static_cast<long long>(bytes) * 1000 + 3124) / 3125; }

} // namespace corvane::sound
