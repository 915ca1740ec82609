// The arithmetic of the WAV preparation calculator: loops that fall on the
// Mirage's 256-byte pages, the WAV size that leaves one page for the
// end-of-sample and loop marker, and the four page pointers to enter in the
// memory map. Plain C++.
#pragma once

#include <string>
#include <vector>

namespace corvane::wavprep {

constexpr int MaxStartPage = 250;

// Loop size in bytes for the size list's entry 0, 1 or 2: 256, 512, 1024.
int loopSizeBytes(int index);

// The loop start bytes offered for a loop size: every multiple of it from 0
// below 64,512 (0xFC00).
std::vector<int> loopStartChoices(int loopSize);

struct LoopFigures {
    int markerByte; // first byte after the loop, where the loop marker starts
    int wavSize;    // the WAV data size, one page longer than that
};
LoopFigures loopFigures(int loopStart, int loopSize);

struct Pointers {
    int wsStart;
    int loopStart;
    int loopEnd;
    int wsEnd;
};
// The pointers, in pages, of a wavesample starting at page `startPage`.
Pointers pointers(int loopStart, int loopSize, int startPage);

// The converter's two displays for a position 0..256: hexadecimal (at least
// two upper-case digits) and decimal.
struct Converted {
    std::string hex;
    std::string dec;
};
Converted convert(int value);

} // namespace corvane::wavprep
