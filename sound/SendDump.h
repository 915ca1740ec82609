// The wavesample dump sent to the Mirage from a WAV file's sample data, and
// the figures shown beside it. Plain C++.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane::wav {

constexpr int MemoryPages = 256; // the Mirage's sample memory of one half, in pages
constexpr int PageBytes = 256;

struct SendDump {
    // F0 0F 01 06, page count (low nibble, high nibble), each sample byte as
    // low and high nibble, checksum, 7F: 2N + 8 bytes, no F7.
    std::vector<std::uint8_t> message;
    int dataSize = 0; // N, the sample bytes sent
    int pages = 0;    // P, the whole pages the data fills
    int percent = 0;  // P as a share of the 256 pages, rounded down
    int padding = 0;  // N mod 256: the bytes the last page is filled with
};

// Builds the dump of `samples` (at most 65,535 bytes, otherwise nullopt).
// A sample byte 0 is sent as 1.
std::optional<SendDump> buildSendDump(std::span<const std::uint8_t> samples);

} // namespace corvane::wav
