#pragma once

#include <string>
#include <string_view>

namespace veskari {

/// A text with each %1 replaced by `first` and each %2 by `second`: the
/// texts of both languages keep the places of their values so. What is put
/// in is never read again for places.
[[nodiscard]] inline std::string FillPattern(std::string_view pattern, std::string_view first,
                                             std::string_view second = {})
{
    std::string text;
    text.reserve(pattern.size() + first.size() + second.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == '1' || pattern[i + 1] == '2')) {
            text.append(pattern[i + 1] == '1' ? first : second);
            ++i;
        } else {
            text.push_back(pattern[i]);
        }
    }
    return text;
}

}  // namespace veskari
