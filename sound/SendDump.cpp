#include "SendDump.h"

#include "Frames.h"
#include "WavFile.h"

#include <algorithm>

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

    // The instrument takes 0 as the end-of-sample marker.
    std::vector<std::uint8_t> sent(samples.begin(), samples.end());
    std::replace(sent.begin(), sent.end(), std::uint8_t{0}, std::uint8_t{1});
    d.message = makeWavesampleDump(d.pages, sent, sysex::Close);
    return d;
}

} // namespace corvane::wav
