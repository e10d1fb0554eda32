#pragma once

// The scans test sixteen positions at a time with the vectors every x86-64
// processor has; where the processor has 256-bit vectors (AVX2), thirty-two.
// The CRC of decoded members uses the carry-less multiply (PCLMULQDQ) where
// there is one. Such code is compiled for its extension alone and chosen at
// run time, so one build runs on every x86-64 processor.

#if defined(__x86_64__) && defined(__GNUC__)
#define VESKARI_WIDE_VECTORS 1
#include <immintrin.h>
#define VESKARI_TARGET_WIDE __attribute__((target("avx2")))
#include <wmmintrin.h>
#define VESKARI_TARGET_CARRYLESS __attribute__((target("pclmul")))
#endif

#include <atomic>

namespace veskari {

/// Whether the scans may use 256-bit vectors, and the CRC the carry-less
/// multiply, where the processor has them. Tests turn them off to run the
/// plain code on any machine.
inline std::atomic<bool> processorExtensionsAllowed{true};

#if defined(VESKARI_WIDE_VECTORS)
/// Whether the scans use 256-bit integer vectors; the processor is asked once.
[[nodiscard]] inline bool HasWideVectors() noexcept
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has && processorExtensionsAllowed.load(std::memory_order_relaxed);
}

/// Whether the CRC may multiply without carries (PCLMULQDQ); tests turn it
/// off with the wide vectors.
[[nodiscard]] inline bool HasCarrylessMultiply() noexcept
{
    static const bool has = __builtin_cpu_supports("pclmul");
    return has && processorExtensionsAllowed.load(std::memory_order_relaxed);
}
#endif

}  // namespace veskari
