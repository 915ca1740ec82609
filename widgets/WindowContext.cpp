#include "WindowContext.h"

namespace corvane {

const std::string& WindowContext::wavesampleName(int index) const
{
    static const std::string none;
    return index >= 0 && index < 16 ? wavesampleNames[static_cast<std::size_t>(index)] : none;
}

std::uint32_t WindowContext::wavesampleColour(int index) const
{
    return index >= 0 && index < 16 ? wavesampleColours[static_cast<std::size_t>(index)] : 0;
}

} // namespace corvane
