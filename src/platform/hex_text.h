#pragma once

#include <cstdint>
#include <string>

namespace veskari {

/// The letters of hexadecimal digits: reports and visible names write
/// upper case, JSON lower case.
enum class HexCase { upper, lower };

/// Appends `value` in hexadecimal, at least `width` digits, zero-padded.
inline void AppendHex(std::string& text, std::uint32_t value, int width = 0, HexCase letters = HexCase::upper)
{
    const char* digitsOf = letters == HexCase::upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[16];
    char* first = digits + sizeof digits;
    do {
        *--first = digitsOf[value & 0x0F];
        value >>= 4;
    } while (value != 0);
    while (digits + sizeof digits - first < width && first > digits) {
        *--first = '0';
    }
    text.append(first, static_cast<std::size_t>(digits + sizeof digits - first));
}

}  // namespace veskari
