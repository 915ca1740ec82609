#include "HexText.h"

namespace corvane {

namespace {
constexpr char Digits[] = "0123456789ABCDEF";
}

std::string hexByte(std::uint8_t value) { return std::string{Digits[value >> 4], Digits[value & 0x0F]}; }

std::string hexNumber(int value)
{
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    std::string digits;
    do {
        digits.insert(digits.begin(), Digits[magnitude & 0x0F]);
        magnitude >>= 4;
    } while (magnitude);
    if (digits.size() < 2)
        digits.insert(digits.begin(), '0');
    return value < 0 ? "-" + digits : digits;
}

std::string hexBytes(const std::uint8_t* data, std::size_t size, std::size_t shown)
{
    std::string s;
    for (std::size_t i = 0; i < size && i < shown; ++i) {
        if (i)
            s += ' ';
        s += hexByte(data[i]);
    }
    if (size > shown)
        s += " ... (" + std::to_string(size) + " bytes)";
    return s;
}

} // namespace corvane
