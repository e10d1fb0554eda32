#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
#if defined(__SSE2__)
    const __m128i wantFirst = _mm_set1_epi8(static_cast<char>(first));
    const __m128i wantSecond = _mm_set1_epi8(static_cast<char>(second));
    for (; i + 16 <= end; i += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 1));
        const int hits =
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, wantFirst), _mm_cmpeq_epi8(after, wantSecond)));
        if (hits != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
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
