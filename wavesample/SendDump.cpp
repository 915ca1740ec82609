#include "SendDump.h"

#include "WavFile.h"

#include <cstdio>

namespace corvane::wav {

std::optional<SendDump> buildSendDump(std::span<const std::uint8_t> samples)
{
    if (samples.size() > MaxDataSize)
        return std::nullopt;
    SendDump d;
    d.dataSize = static_cast<int>(samples.size());
    // The page count announces the pages the data fills. The instrument
    // takes the announced pages into the selected wavesample and refuses
    // the dump when they exceed its page pointers, so an exact multiple of
    // 256 bytes must not announce one page more.
    d.pages = (d.dataSize + PageBytes - 1) / PageBytes;
    d.percent = d.pages * 100 / MemoryPages;
    d.padding = d.dataSize % PageBytes;

    std::vector<std::uint8_t>& m = d.message;
    m.reserve(2 * samples.size() + 8);
    m = {0xF0, 0x0F, 0x01, 0x06, static_cast<std::uint8_t>(d.pages % 16), static_cast<std::uint8_t>(d.pages / 16)};
    unsigned sum = m[4] + m[5];
    for (std::uint8_t b : samples) {
        // The instrument takes 0 as the end-of-sample marker.
        if (b == 0)
            b = 1;
        m.push_back(b % 16);
        m.push_back(b / 16);
        sum += b % 16 + b / 16;
    }
    m.push_back(static_cast<std::uint8_t>(sum % 128));
    m.push_back(0x7F);
    return d;
}

std::string hexText(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value));
    return text;
}

} // namespace corvane::wav
