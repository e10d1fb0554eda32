#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace veskari {

/// The first offset i in [from, end) at which `bytes[i]` is `first` and
/// `bytes[i + 1]` is `second`, or `end`; `bytes[end]` must be readable.
/// Candidates of the scans start with such a pair (01 00 for an update
/// header, "-l" for an LZH method identifier), and looking for the pair
/// sixteen positions at a time keeps a scan near the speed of memory even
/// where the first byte alone is common.
[[nodiscard]] inline std::size_t FindBytePair(const std::uint8_t* bytes, std::size_t from, std::size_t end,
                                              std::uint8_t first, std::uint8_t second) noexcept
{
    std::size_t i = from;
#if defined(__GNUC__)
    static_assert(std::endian::native == std::endian::little, "the lanes are read as little-endian words");
    using Block = std::uint8_t __attribute__((vector_size(16)));
    for (; i + 16 <= end; i += 16) {
        Block here;
        Block after;
        std::memcpy(&here, bytes + i, sizeof here);
        std::memcpy(&after, bytes + i + 1, sizeof after);
        const auto hits = (here == first) & (after == second);
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        std::memcpy(&low, &hits, 8);
        std::memcpy(&high, reinterpret_cast<const char*>(&hits) + 8, 8);
        if ((low | high) != 0) {
            // Lanes are 0xFF where both bytes match; the lowest set bit on
            // a little-endian machine marks the first of them.
            return i + (low != 0 ? static_cast<std::size_t>(__builtin_ctzll(low)) / 8
                                 : 8 + static_cast<std::size_t>(__builtin_ctzll(high)) / 8);
        }
    }
#endif
    for (; i < end; ++i) {
        if (bytes[i] == first && bytes[i + 1] == second) {
            return i;
        }
    }
    return end;
}

}  // namespace veskari
