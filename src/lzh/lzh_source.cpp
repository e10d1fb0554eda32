#include "lzh/lzh_source.h"

#include <limits>

#include "records/byte_pair.h"
#include "records/processor_extensions.h"

namespace veskari {

#if defined(VESKARI_WIDE_VECTORS)
namespace {

// The first "-lh?-" whose '-' lies in [from, end), thirty-two positions at
// a time, or where the search stands when fewer than 37 bytes are left.
VESKARI_TARGET_WIDE std::size_t WideFindIdentifier(const std::uint8_t* window, std::size_t size, std::size_t& from,
                                                   std::size_t end) noexcept
{
    const __m256i dash = _mm256_set1_epi8('-');
    const __m256i ell = _mm256_set1_epi8('l');
    const __m256i aitch = _mm256_set1_epi8('h');
    const auto at = [window](std::size_t offset) VESKARI_TARGET_WIDE {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + offset));
    };
    for (; from + 32 <= end && from + 32 + 4 <= size; from += 32) {
        const __m256i hits =
            _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(at(from), dash), _mm256_cmpeq_epi8(at(from + 1), ell)),
                             _mm256_and_si256(_mm256_cmpeq_epi8(at(from + 2), aitch), _mm256_cmpeq_epi8(at(from + 4), dash)));
        if (const auto lanes = static_cast<unsigned>(_mm256_movemask_epi8(hits)); lanes != 0) {
            return from + static_cast<std::size_t>(__builtin_ctz(lanes));
        }
    }
    return end;
}

}  // namespace
#endif

std::size_t LzhListingLane::NextCandidate(const std::uint8_t* window, std::size_t size, std::size_t from,
                                          std::size_t end) const noexcept
{
    // A header starts two bytes before the '-' of "-lh?-".
#if defined(VESKARI_WIDE_VECTORS)
    if (HasWideVectors()) {
        std::size_t at = from + 2;
        if (const std::size_t dash = WideFindIdentifier(window, size, at, end + 2); dash < end + 2) {
            return dash - 2;
        }
        from = at - 2;
    }
#else
    (void)size;
#endif
    for (std::size_t dash = FindBytePair(window, from + 2, end + 2, '-', 'l'); dash < end + 2;
         dash = FindBytePair(window, dash + 1, end + 2, '-', 'l')) {
        if (window[dash + 2] == 'h' && window[dash + 4] == '-') {
            return dash - 2;
        }
    }
    return end;
}

std::uint64_t LzhListingLane::Try(File& file, std::uint64_t position)
{
    if (members.size() >= maxMembers_) {
        // A full listing goes on from beyond any file: nothing more is tried.
        return std::numeric_limits<std::uint64_t>::max();
    }
    if (!header_.Read(file)) {
        if (rejections_ != nullptr) {
            rejections_->Rejected(header_);
        }
        return position + 1;
    }
    members.push_back(ListedMember{header_.Name(), header_.start});
    header_.SkipPast(file);
    return file.GetPosition();
}

}  // namespace veskari
