#pragma once

#include <string>
#include <string_view>

namespace veskari {

/// A name or path as every text output shows it: each byte that is not
/// part of a printable UTF-8 character (C0 controls, DEL, C1 controls, the
/// bidirectional controls U+202A to U+202E and U+2066 to U+2069, and bytes
/// that are not valid UTF-8) becomes \xHH, two upper-case hex digits.
/// Printable names, Japanese ones included, are unchanged. A file or member
/// name can then neither start a line of its own nor drive a terminal.
[[nodiscard]] std::string VisibleText(std::string_view text);

/// Whether `text` is valid UTF-8.
[[nodiscard]] bool IsValidUtf8(std::string_view text) noexcept;

/// The length of the valid UTF-8 character at the start of `text`, or 0
/// when it does not start with one.
[[nodiscard]] std::size_t Utf8CharacterLength(std::string_view text) noexcept;

}  // namespace veskari
