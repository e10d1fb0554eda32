#include "platform/visible_text.h"

#include <cstdint>

#include "platform/hex_text.h"

namespace veskari {

std::size_t Utf8CharacterLength(std::string_view text) noexcept
{
    if (text.empty()) {
        return 0;
    }
    const auto lead = static_cast<std::uint8_t>(text[0]);
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    std::uint32_t smallest = 0;
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1FU;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0FU;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07U;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if ((byte & 0xC0U) != 0x80U) {
            return 0;
        }
        codePoint = (codePoint << 6) | (byte & 0x3FU);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if (codePoint < smallest || (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) {
        return 0;
    }
    return length;
}

bool IsValidUtf8(std::string_view text) noexcept
{
    while (!text.empty()) {
        const std::size_t length = Utf8CharacterLength(text);
        if (length == 0) {
            return false;
        }
        text.remove_prefix(length);
    }
    return true;
}

namespace {

// Characters beyond the C0 and C1 controls that change how a terminal shows
// the rest of a line: the bidirectional embeddings, overrides and isolates
// can make a name read backwards or move text before it.
struct CodePointRange {
    std::uint32_t first;
    std::uint32_t last;
};
constexpr CodePointRange kInvisible[] = {
    {0x202A, 0x202E},  // LRE, RLE, PDF, LRO, RLO
    {0x2066, 0x2069},  // LRI, RLI, FSI, PDI
};

std::uint32_t CodePointOf(std::string_view character) noexcept
{
    const auto lead = static_cast<std::uint8_t>(character[0]);
    if (character.size() == 1) {
        return lead;
    }
    std::uint32_t codePoint = lead & (0x7FU >> character.size());
    for (std::size_t i = 1; i < character.size(); ++i) {
        codePoint = (codePoint << 6) | (static_cast<std::uint8_t>(character[i]) & 0x3FU);
    }
    return codePoint;
}

bool IsControl(std::uint32_t codePoint) noexcept
{
    if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0)) {
        return true;
    }
    for (const CodePointRange& range : kInvisible) {
        if (codePoint >= range.first && codePoint <= range.last) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string VisibleText(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    const auto escape = [&shown](std::uint8_t byte) {
        shown += "\\x";
        AppendHex(shown, byte, 2);
    };
    while (!text.empty()) {
        const std::size_t length = Utf8CharacterLength(text);
        if (length == 0 || IsControl(CodePointOf(text.substr(0, length)))) {
            // One byte at a time: a C1 control shows both of its bytes.
            const std::size_t bytes = length == 0 ? 1 : length;
            for (std::size_t i = 0; i < bytes; ++i) {
                escape(static_cast<std::uint8_t>(text[i]));
            }
            text.remove_prefix(bytes);
            continue;
        }
        shown.append(text.substr(0, length));
        text.remove_prefix(length);
    }
    return shown;
}

}  // namespace veskari
