#include "records/record_text.h"

namespace veskari {
namespace {

// Digits are made from the end of a small array and appended at once.
void AppendDecimal(std::string& text, std::uint64_t value)
{
    char digits[24];
    char* first = digits + sizeof digits;
    do {
        *--first = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    text.append(first, static_cast<std::size_t>(digits + sizeof digits - first));
}

}  // namespace

std::string FormatField(std::string_view pattern, std::uint32_t value)
{
    const std::size_t percent = pattern.find('%');
    if (percent == std::string_view::npos) {
        return std::string(pattern);
    }
    std::string text(pattern.substr(0, percent));
    std::size_t at = percent + 1;
    int width = 0;
    if (at + 1 < pattern.size() && pattern[at] == '0') {
        width = pattern[at + 1] - '0';
        at += 2;
    }
    switch (at < pattern.size() ? pattern[at] : 'd') {
    case 'd': {
        const auto signedValue = static_cast<std::int32_t>(value);
        if (signedValue < 0) {
            text += '-';
        }
        AppendDecimal(text, signedValue < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(std::int64_t{signedValue})
                                            : static_cast<std::uint64_t>(signedValue));
        break;
    }
    case 'u':
        AppendDecimal(text, value);
        break;
    default:
        AppendHex(text, value, width);
        break;
    }
    text.append(pattern.substr(at + 1));
    return text;
}

}  // namespace veskari
