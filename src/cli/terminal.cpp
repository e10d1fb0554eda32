#include "terminal.h"

namespace veskari::cli {

std::string ForTerminal(std::string_view text)
{
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F) {
            safe += '?';
        } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            safe += '?';
            ++i;
        } else {
            safe += static_cast<char>(byte);
        }
    }
    return safe;
}

}  // namespace veskari::cli
