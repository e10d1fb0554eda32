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
constexpr std::size_t kMarkedLanes = 3;

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
        const std::size_t until = std::min(first[k], stop);
        for (std::size_t q = p; q < until; ++q) {
            if (MarkedAt(window, q, search.marks[k])) {
                first[k] = q;
                break;
            }
        }
    }
}

// The lanes that one vector pass looks for together: their marks, and where
// to put the first position at which each lane's marks stand.
template <std::size_t N>
struct OpenLanes {
    std::array<const SweepLane::Marks*, N> marks;
    std::array<std::size_t*, N> first;
};

#if defined(VESKARI_WIDE_VECTORS)
// Thirty-two positions at a time for N lanes until the marks of any of them
// stand; returns where it stopped.
template <std::size_t N>
VESKARI_TARGET_WIDE std::size_t FindMarksWide(const std::uint8_t* window, std::size_t size, std::size_t p,
                                              std::size_t stop, std::size_t reach, const OpenLanes<N>& lanes) noexcept
{
    __m256i firstBytes[N];
    __m256i secondBytes[N];
    for (std::size_t k = 0; k < N; ++k) {
        firstBytes[k] = _mm256_set1_epi8(static_cast<char>(lanes.marks[k]->first));
        secondBytes[k] = _mm256_set1_epi8(static_cast<char>(lanes.marks[k]->second));
    }
    const auto at = [window](std::size_t offset) VESKARI_TARGET_WIDE {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + offset));
    };
    // Up to `stop`, while a whole vector and its marks lie in the window.
    const std::size_t limit = size >= 32 + reach ? std::min(stop, size - 32 - reach + 1) : p;
    // Two vectors per test while neither has a lane's marks; the loop
    // after it tells the lanes apart in the vector where they stand.
    for (; p + 32 < limit; p += 2 * 32) {
        __m256i any = _mm256_setzero_si256();
        for (std::size_t k = 0; k < N; ++k) {
            for (const std::size_t q : {p, p + 32}) {
                any = _mm256_or_si256(any, _mm256_and_si256(_mm256_cmpeq_epi8(at(q + lanes.marks[k]->firstOffset), firstBytes[k]),
                                   _mm256_cmpeq_epi8(at(q + lanes.marks[k]->secondOffset), secondBytes[k])));
            }
        }
        if (_mm256_movemask_epi8(any) != 0) {
            break;
        }
    }
    for (; p < limit; p += 32) {
        __m256i hits[N];
        __m256i any = _mm256_setzero_si256();
        for (std::size_t k = 0; k < N; ++k) {
            hits[k] = _mm256_and_si256(_mm256_cmpeq_epi8(at(p + lanes.marks[k]->firstOffset), firstBytes[k]),
                                       _mm256_cmpeq_epi8(at(p + lanes.marks[k]->secondOffset), secondBytes[k]));
            any = _mm256_or_si256(any, hits[k]);
        }
        if (_mm256_movemask_epi8(any) != 0) {
            for (std::size_t k = 0; k < N; ++k) {
                if (const auto mask = static_cast<unsigned>(_mm256_movemask_epi8(hits[k])); mask != 0) {
                    *lanes.first[k] = p + static_cast<std::size_t>(__builtin_ctz(mask));
                }
            }
            return p + 32;  // the lanes still unfound go on without those found
        }
    }
    return p;
}
#endif

#if defined(__SSE2__)
// Sixteen positions at a time, with the vectors every x86-64 processor has.
template <std::size_t N>
std::size_t FindMarksNarrow(const std::uint8_t* window, std::size_t size, std::size_t p, std::size_t stop,
                            std::size_t reach, const OpenLanes<N>& lanes) noexcept
{
    __m128i firstBytes[N];
    __m128i secondBytes[N];
    for (std::size_t k = 0; k < N; ++k) {
        firstBytes[k] = _mm_set1_epi8(static_cast<char>(lanes.marks[k]->first));
        secondBytes[k] = _mm_set1_epi8(static_cast<char>(lanes.marks[k]->second));
    }
    const auto at = [window](std::size_t offset) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + offset));
    };
    // Up to `stop`, while a whole vector and its marks lie in the window.
    const std::size_t limit = size >= 16 + reach ? std::min(stop, size - 16 - reach + 1) : p;
    // Two vectors per test while neither has a lane's marks; the loop
    // after it tells the lanes apart in the vector where they stand.
    for (; p + 16 < limit; p += 2 * 16) {
        __m128i any = _mm_setzero_si128();
        for (std::size_t k = 0; k < N; ++k) {
            for (const std::size_t q : {p, p + 16}) {
                any = _mm_or_si128(any, _mm_and_si128(_mm_cmpeq_epi8(at(q + lanes.marks[k]->firstOffset), firstBytes[k]),
                                   _mm_cmpeq_epi8(at(q + lanes.marks[k]->secondOffset), secondBytes[k])));
            }
        }
        if (_mm_movemask_epi8(any) != 0) {
            break;
        }
    }
    for (; p < limit; p += 16) {
        __m128i hits[N];
        __m128i any = _mm_setzero_si128();
        for (std::size_t k = 0; k < N; ++k) {
            hits[k] = _mm_and_si128(_mm_cmpeq_epi8(at(p + lanes.marks[k]->firstOffset), firstBytes[k]),
                                    _mm_cmpeq_epi8(at(p + lanes.marks[k]->secondOffset), secondBytes[k]));
            any = _mm_or_si128(any, hits[k]);
        }
        if (_mm_movemask_epi8(any) != 0) {
            for (std::size_t k = 0; k < N; ++k) {
                if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits[k])); mask != 0) {
                    *lanes.first[k] = p + static_cast<std::size_t>(__builtin_ctz(mask));
                }
            }
            return p + 16;
        }
    }
    return p;
}

// One vector pass over the N lanes still unfound, `open` naming them.
template <std::size_t N>
std::size_t FindOpenMarks(const std::uint8_t* window, std::size_t size, std::size_t p, std::size_t stop,
                          const MarkSearch& search, const std::array<std::size_t, kMarkedLanes>& open,
                          std::array<std::size_t, kMarkedLanes>& first) noexcept
{
    OpenLanes<N> lanes{};
    for (std::size_t k = 0; k < N; ++k) {
        lanes.marks[k] = &search.marks[open[k]];
        lanes.first[k] = &first[open[k]];
    }
#if defined(VESKARI_WIDE_VECTORS)
    if (HasWideVectors()) {
        return FindMarksWide<N>(window, size, p, stop, search.reach, lanes);
    }
#endif
    return FindMarksNarrow<N>(window, size, p, stop, search.reach, lanes);
}
#endif

// For each marked lane, the first position in [from, stop) of the window
// where its marks stand, or `stop` (or beyond) when there is none.
void FindMarks(const std::uint8_t* window, std::size_t size, std::size_t from, std::size_t stop,
               const MarkSearch& search, std::array<std::size_t, kMarkedLanes>& first) noexcept
{
    first.fill(stop);
    std::size_t p = from;
    (void)size;
#if defined(__SSE2__)
    // All lanes' marks together until some are found; then the others
    // without them, so that where one kind is dense the rest cost no more
    // than their own search did. A window too short for one vector (a
    // small member's) goes to the tail at once.
    while (p + 16 + search.reach <= size) {
        std::array<std::size_t, kMarkedLanes> open{};
        std::size_t count = 0;
        for (std::size_t k = 0; k < search.count; ++k) {
            if (first[k] == stop) {
                open[count++] = k;
            }
        }
        if (count == 0 || p >= stop) {
            return;
        }
        const std::size_t q = count == 3   ? FindOpenMarks<3>(window, size, p, stop, search, open, first)
                              : count == 2 ? FindOpenMarks<2>(window, size, p, stop, search, open, first)
                                           : FindOpenMarks<1>(window, size, p, stop, search, open, first);
        const bool found = std::any_of(open.begin(), open.begin() + static_cast<std::ptrdiff_t>(count),
                                       [&](std::size_t k) { return first[k] != stop; });
        p = q;
        if (!found) {
            break;  // the vectors ran out of window: the tail one by one
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
    const std::size_t windowSize = kScanStep + margin;
    std::uint64_t windowStart = file.GetPosition();
    file.WillReadToEnd();
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
