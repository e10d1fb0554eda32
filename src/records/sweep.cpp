#include "records/sweep.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/stop_request.h"
#include "records/located_record.h"
#include "records/processor_extensions.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace veskari {
namespace {

// The lanes whose marks one pass looks for; further lanes are asked for
// every window.
constexpr std::size_t kMarkedLanes = 2;

struct MarkSearch {
    std::array<SweepLane::Marks, kMarkedLanes> marks{};
    std::size_t count = 0;
    std::size_t reach = 0;  // bytes past a position that its marks' test reads
};

bool MarkedAt(const std::uint8_t* window, std::size_t p, const SweepLane::Marks& marks) noexcept
{
    return window[p + marks.firstOffset] == marks.first && window[p + marks.secondOffset] == marks.second;
}

// Position by position, from `p` to `stop`, for the lanes still unfound.
void FindMarksOneByOne(const std::uint8_t* window, std::size_t p, std::size_t stop, const MarkSearch& search,
                       std::array<std::size_t, kMarkedLanes>& first) noexcept
{
    for (std::size_t k = 0; k < search.count; ++k) {
        for (std::size_t q = p; q < first[k] && q < stop; ++q) {
            if (MarkedAt(window, q, search.marks[k])) {
                first[k] = q;
                break;
            }
        }
    }
}

#if defined(VESKARI_WIDE_VECTORS)
// Thirty-two positions at a time for two lanes; returns where it stopped.
VESKARI_TARGET_WIDE std::size_t FindMarksWide(const std::uint8_t* window, std::size_t size, std::size_t p,
                                              std::size_t stop, const MarkSearch& search,
                                              std::array<std::size_t, kMarkedLanes>& first) noexcept
{
    const SweepLane::Marks& a = search.marks[0];
    const SweepLane::Marks& b = search.marks[1];
    const __m256i a1 = _mm256_set1_epi8(static_cast<char>(a.first));
    const __m256i a2 = _mm256_set1_epi8(static_cast<char>(a.second));
    const __m256i b1 = _mm256_set1_epi8(static_cast<char>(b.first));
    const __m256i b2 = _mm256_set1_epi8(static_cast<char>(b.second));
    const auto at = [window](std::size_t offset) VESKARI_TARGET_WIDE {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + offset));
    };
    for (; p < stop && p + 32 + search.reach <= size; p += 32) {
        const auto hitsA = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(
            _mm256_cmpeq_epi8(at(p + a.firstOffset), a1), _mm256_cmpeq_epi8(at(p + a.secondOffset), a2))));
        const auto hitsB = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(
            _mm256_cmpeq_epi8(at(p + b.firstOffset), b1), _mm256_cmpeq_epi8(at(p + b.secondOffset), b2))));
        if ((hitsA | hitsB) != 0) {
            if (hitsA != 0 && first[0] > p) {
                first[0] = p + static_cast<std::size_t>(__builtin_ctz(hitsA));
            }
            if (hitsB != 0 && first[1] > p) {
                first[1] = p + static_cast<std::size_t>(__builtin_ctz(hitsB));
            }
            return p + 32;  // the other lane, if unfound, goes on alone
        }
    }
    return p;
}

// One lane's marks, thirty-two positions at a time.
VESKARI_TARGET_WIDE std::size_t FindMarkWide(const std::uint8_t* window, std::size_t size, std::size_t p,
                                             std::size_t stop, std::size_t reach, const SweepLane::Marks& marks,
                                             std::size_t& first) noexcept
{
    const __m256i v1 = _mm256_set1_epi8(static_cast<char>(marks.first));
    const __m256i v2 = _mm256_set1_epi8(static_cast<char>(marks.second));
    const auto at = [window](std::size_t offset) VESKARI_TARGET_WIDE {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + offset));
    };
    for (; p < stop && p + 32 + reach <= size; p += 32) {
        const auto hits = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(at(p + marks.firstOffset), v1), _mm256_cmpeq_epi8(at(p + marks.secondOffset), v2))));
        if (hits != 0) {
            first = p + static_cast<std::size_t>(__builtin_ctz(hits));
            return stop;
        }
    }
    return p;
}
#endif

#if defined(__SSE2__)
// Sixteen positions at a time for two lanes, with the vectors every x86-64
// processor has; returns where it stopped.
std::size_t FindMarksNarrow(const std::uint8_t* window, std::size_t size, std::size_t p, std::size_t stop,
                            const MarkSearch& search, std::array<std::size_t, kMarkedLanes>& first) noexcept
{
    const SweepLane::Marks& a = search.marks[0];
    const SweepLane::Marks& b = search.marks[1];
    const __m128i a1 = _mm_set1_epi8(static_cast<char>(a.first));
    const __m128i a2 = _mm_set1_epi8(static_cast<char>(a.second));
    const __m128i b1 = _mm_set1_epi8(static_cast<char>(b.first));
    const __m128i b2 = _mm_set1_epi8(static_cast<char>(b.second));
    const auto at = [window](std::size_t offset) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + offset));
    };
    for (; p < stop && p + 16 + search.reach <= size; p += 16) {
        const auto hitsA = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(at(p + a.firstOffset), a1), _mm_cmpeq_epi8(at(p + a.secondOffset), a2))));
        const auto hitsB = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(at(p + b.firstOffset), b1), _mm_cmpeq_epi8(at(p + b.secondOffset), b2))));
        if ((hitsA | hitsB) != 0) {
            if (hitsA != 0 && first[0] > p) {
                first[0] = p + static_cast<std::size_t>(__builtin_ctz(hitsA));
            }
            if (hitsB != 0 && first[1] > p) {
                first[1] = p + static_cast<std::size_t>(__builtin_ctz(hitsB));
            }
            return p + 16;  // the other lane, if unfound, goes on alone
        }
    }
    return p;
}

// One lane's marks, sixteen positions at a time.
std::size_t FindMarkNarrow(const std::uint8_t* window, std::size_t size, std::size_t p, std::size_t stop,
                           std::size_t reach, const SweepLane::Marks& marks, std::size_t& first) noexcept
{
    const __m128i v1 = _mm_set1_epi8(static_cast<char>(marks.first));
    const __m128i v2 = _mm_set1_epi8(static_cast<char>(marks.second));
    const auto at = [window](std::size_t offset) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + offset));
    };
    for (; p < stop && p + 16 + reach <= size; p += 16) {
        const auto hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(at(p + marks.firstOffset), v1), _mm_cmpeq_epi8(at(p + marks.secondOffset), v2))));
        if (hits != 0) {
            first = p + static_cast<std::size_t>(__builtin_ctz(hits));
            return stop;
        }
    }
    return p;
}
#endif

// For each marked lane, the first position in [from, stop) of the window
// where its marks stand, or `stop`.
void FindMarks(const std::uint8_t* window, std::size_t size, std::size_t from, std::size_t stop,
               const MarkSearch& search, std::array<std::size_t, kMarkedLanes>& first) noexcept
{
    first.fill(stop);
    std::size_t p = from;
    (void)size;
#if defined(__SSE2__)
    // Both lanes' marks together until either is found; then the other
    // alone, so that where one kind is dense the other costs no more than
    // its own search did.
#if defined(VESKARI_WIDE_VECTORS)
    const bool wide = HasWideVectors();
    p = wide ? FindMarksWide(window, size, p, stop, search, first)
             : FindMarksNarrow(window, size, p, stop, search, first);
#else
    p = FindMarksNarrow(window, size, p, stop, search, first);
#endif
    for (std::size_t k = 0; k < kMarkedLanes && p < stop; ++k) {
        if (first[k] == stop) {
            const std::size_t other = 1 - k;
            if (first[other] == stop) {
                break;  // neither found: the vectors ran out of window, the tail below
            }
#if defined(VESKARI_WIDE_VECTORS)
            const std::size_t q = wide ? FindMarkWide(window, size, p, stop, search.reach, search.marks[k], first[k])
                                       : FindMarkNarrow(window, size, p, stop, search.reach, search.marks[k], first[k]);
#else
            const std::size_t q = FindMarkNarrow(window, size, p, stop, search.reach, search.marks[k], first[k]);
#endif
            if (first[k] == stop) {
                // The vectors ran out of window at q: the tail one by one.
                std::array<std::size_t, kMarkedLanes> tail{stop, stop};
                FindMarksOneByOne(window, q, stop, search, tail);
                first[k] = tail[k];
            }
            return;
        }
    }
#endif
    FindMarksOneByOne(window, p, stop, search, first);
}

}  // namespace

void Sweep(File& file, std::span<SweepLane* const> lanes, std::atomic<std::uint64_t>* scanned)
{
    std::size_t margin = 0;
    MarkSearch search;
    std::array<std::size_t, kMarkedLanes> first{};
    std::vector<int> markIndex(lanes.size(), -1);
    for (std::size_t k = 0; k < lanes.size(); ++k) {
        const SweepLane* lane = lanes[k];
        margin = std::max({margin, lane->LookAhead(), lane->Margin()});
        const SweepLane::Marks marks = lane->CandidateMarks();
        if (marks.marked && search.count < kMarkedLanes) {
            markIndex[k] = static_cast<int>(search.count);
            search.marks[search.count++] = marks;
            search.reach = std::max<std::size_t>({search.reach, marks.firstOffset, marks.secondOffset});
        }
    }
    if (search.count == 1) {
        // A lone lane's marks are looked for twice over, so that the
        // vectors serve it too.
        search.marks[1] = search.marks[0];
        search.count = 2;
    }
    const std::size_t windowSize = kScanStep + margin;
    std::uint64_t windowStart = file.GetPosition();
    for (const std::uint8_t* window = nullptr;; windowStart += kScanStep) {
        PollStop();
        if (scanned != nullptr) {
            scanned->store(windowStart, std::memory_order_relaxed);
        }
        file.Seek(windowStart);
        const std::size_t got = file.Peek(windowSize, window);
        if (search.count != 0) {
            // Where the marks of each marked lane first stand in the part of
            // the window that any lane may search.
            std::size_t from = kScanStep;
            std::size_t stop = 0;
            for (std::size_t k = 0; k < lanes.size(); ++k) {
                if (markIndex[k] >= 0 && got >= lanes[k]->LookAhead()) {
                    const std::size_t end = std::min(kScanStep, got - lanes[k]->LookAhead());
                    const std::uint64_t next = lanes[k]->next;
                    from = std::min<std::size_t>(from, next > windowStart ? static_cast<std::size_t>(
                                                                               std::min<std::uint64_t>(next - windowStart, end))
                                                                         : 0);
                    stop = std::max(stop, end);
                }
            }
            if (from < stop) {
                FindMarks(window, got, from, stop, search, first);
            } else {
                first.fill(stop);
            }
        }
        bool anyLeft = false;
        for (std::size_t k = 0; k < lanes.size(); ++k) {
            SweepLane* lane = lanes[k];
            // This window is the lane's for [windowStart, windowStart +
            // kScanStep), short of its look-ahead before the file's end.
            if (got < lane->LookAhead()) {
                continue;
            }
            anyLeft = true;
            const std::size_t end = std::min(kScanStep, got - lane->LookAhead());
            const auto resume = [&] {
                return lane->next > windowStart
                           ? static_cast<std::size_t>(std::min<std::uint64_t>(lane->next - windowStart, end))
                           : 0;
            };
            // A marked lane has no candidate before its marks stand.
            const std::size_t marked = markIndex[k] >= 0 ? first[static_cast<std::size_t>(markIndex[k])] : 0;
            for (std::size_t from = std::max(resume(), std::min(marked, end));; from = resume()) {
                const std::size_t i = lane->NextCandidate(window, got, from, end);
                if (i >= end) {
                    break;
                }
                file.Seek(windowStart + i);
                lane->next = lane->Try(file, windowStart + i);
                // Trying may have moved the file's buffer: look again.
                file.Seek(windowStart);
                (void)file.Peek(windowSize, window);
            }
        }
        if (!anyLeft) {
            break;
        }
    }
}

}  // namespace veskari
