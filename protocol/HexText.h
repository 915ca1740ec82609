// Numbers and bytes as the instrument's own display and manual write them:
// upper-case hexadecimal. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane {

// A byte as exactly two digits ("0F").
std::string hexByte(std::uint8_t value);

// A number as at least two digits ("04", "100"); a negative one keeps its
// sign ("-05").
std::string hexNumber(int value);

// Bytes as two-digit pairs with a space between, at most `shown` of them,
// then " ... (N bytes)" when there are more.
std::string hexBytes(const std::uint8_t* data, std::size_t size, std::size_t shown);

} // namespace corvane
