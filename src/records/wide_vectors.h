#pragma once

// The scans test sixteen positions at a time with the vectors every x86-64
// processor has; where the processor has 256-bit vectors (AVX2), thirty-two.
// The wider code is compiled for AVX2 alone and chosen at run time, so one
// build runs on every x86-64 processor.

#if defined(__x86_64__) && defined(__GNUC__)
#define VESKARI_WIDE_VECTORS 1
#include <immintrin.h>
#define VESKARI_TARGET_WIDE __attribute__((target("avx2")))
#endif

#include <atomic>

namespace veskari {

/// Whether the scans may use 256-bit vectors where the processor has them.
/// Tests turn them off to run the sixteen-wide code on any machine.
inline std::atomic<bool> wideVectorsAllowed{true};

#if defined(VESKARI_WIDE_VECTORS)
/// Whether the scans use 256-bit integer vectors; the processor is asked once.
[[nodiscard]] inline bool HasWideVectors() noexcept
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has && wideVectorsAllowed.load(std::memory_order_relaxed);
}
#endif

}  // namespace veskari
