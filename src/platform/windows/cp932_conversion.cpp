#include "platform/cp932.h"

#include "platform/windows/windows_api.h"

namespace veskari {
namespace {

constexpr UINT kCodePage932 = 932;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Single bytes that Windows maps to private or control characters where the
// code page defines nothing: they are not converted, as on other systems.
constexpr bool IsUndefinedSingleByte(std::uint8_t byte) noexcept
{
    return byte == 0x80 || byte == 0xA0 || byte >= 0xFD;
}

}  // namespace

void PrepareCp932Conversion()
{
    // The system's conversion tables need nothing opened per thread.
}

bool Cp932ConversionMissing() noexcept
{
    return false;  // code page 932 is part of every Windows
}

std::string Cp932ToUtf8(std::string_view text)
{
    // Character by character, so that a byte that cannot be converted
    // becomes U+FFFD and conversion goes on with the next byte.
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        const int length = IsCp932LeadByte(lead) && i + 1 < text.size() ? 2 : 1;
        wchar_t wide[2];
        const int got = IsUndefinedSingleByte(lead)
                            ? 0
                            : ::MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, text.data() + i, length,
                                                    wide, 2);
        if (got == 1) {
            out += windows::Utf8FromWide(std::wstring_view(wide, 1));
            i += static_cast<std::size_t>(length);
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

}  // namespace veskari
