#include "platform/cp932.h"

namespace veskari {

std::size_t FindLastCp932Backslash(std::string_view text) noexcept
{
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (IsCp932LeadByte(byte)) {
            ++i;  // the trail byte is part of this character
        } else if (byte == '\\') {
            last = i;
        }
    }
    return last;
}

}  // namespace veskari
