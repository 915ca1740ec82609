#include "Dumps.h"

#include <cstring>

namespace corvane {

namespace {
bool inside(std::size_t bufferSize, int pos)
{
    return pos >= 0 && static_cast<std::size_t>(pos) + 1 < bufferSize;
}
} // namespace

bool nibbleData(const std::uint8_t* message, std::size_t size)
{
    // Eight bytes a step: every message of a dump's size is looked at.
    std::size_t i = 4;
    for (; i + 8 < size; i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, message + i, 8);
        if (eight & 0xF0F0F0F0F0F0F0F0ull)
            return false;
    }
    for (; i + 1 < size; ++i)
        if (message[i] > 0x0F)
            return false;
    return true;
}

int getNibblePair(const std::uint8_t* buffer, std::size_t bufferSize, int pos)
{
    if (!inside(bufferSize, pos))
        return 0;
    return buffer[pos] + 16 * buffer[pos + 1];
}

bool setNibblePair(std::uint8_t* buffer, std::size_t bufferSize, int pos, int value)
{
    // Two nibbles hold 0..255; anything else would leave a byte above 0x0F
    // in the dump, which the instrument never sends.
    if (!inside(bufferSize, pos) || value < 0 || value > 255)
        return false;
    const int high = value / 16;
    buffer[pos + 1] = static_cast<std::uint8_t>(high);
    buffer[pos] = static_cast<std::uint8_t>(value - 16 * high);
    return true;
}

} // namespace corvane
