// Colours are kept as Windows colour values 0x00BBGGRR everywhere; these
// convert at the drawing edge.
#pragma once

#include <QColor>
#include <cstdint>

namespace corvane {

inline QColor fromWindowsColour(std::uint32_t v)
{
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

inline std::uint32_t toWindowsColour(const QColor& c)
{
    return std::uint32_t(c.red()) | (std::uint32_t(c.green()) << 8) | (std::uint32_t(c.blue()) << 16);
}

} // namespace corvane
