#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace veskari {

/// True for the first byte of a double-byte character of code page 932.
[[nodiscard]] constexpr bool IsCp932LeadByte(std::uint8_t byte) noexcept
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

/// Position of the last backslash of a code page 932 text, walking it
/// character by character so that a trail byte 0x5C is never taken for
/// one; npos when there is none.
[[nodiscard]] std::size_t FindLastCp932Backslash(std::string_view text) noexcept;

/// Makes this thread ready to convert, while it can still open what the
/// conversion needs; throws FileError when it cannot.
void PrepareCp932Conversion();

/// Converts code page 932 bytes to UTF-8. A byte that cannot be
/// converted becomes U+FFFD and conversion goes on with the next byte.
/// Where the system has no conversion for code page 932 (an iconv without
/// its CP932 module), the bytes are returned as they are, so that every
/// output shows them as bytes (\xHH, or hex in JSON), and
/// Cp932ConversionMissing() becomes true.
[[nodiscard]] std::string Cp932ToUtf8(std::string_view text);

/// Whether a name that needed the conversion of code page 932 was left as
/// bytes because the system has none; for a front end to tell once.
[[nodiscard]] bool Cp932ConversionMissing() noexcept;

}  // namespace veskari
