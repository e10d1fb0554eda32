#include "lzh/crc16.h"

#include "records/processor_extensions.h"

namespace veskari {
namespace {

#if defined(VESKARI_WIDE_VECTORS)

// Folding. Read as a polynomial over GF(2), a message M leaves the CRC
// M(x) * x^16 mod P, with P = x^16 + x^15 + x^2 + 1. Any part of M may be
// replaced by something congruent to it modulo P without changing the CRC,
// so a 128-bit block X that stands d bits before the end of the part folded
// so far is replaced by its two halves, each multiplied by x to the power
// of its distance, reduced modulo P: a product of 80 bits or less that is
// added to the block d bits further on. Four blocks are folded side by side
// (d = 512) so that the multiplier's latency is hidden; at the end they are
// folded into one, and its 16 bytes and the bytes after them go through
// the tables.
//
// The CRC is reflected: the first bit of the message is bit 0 of its first
// byte, so a 16-byte block loaded little-endian holds its highest power of
// x in bit 0. A carry-less product of two such 64-bit words is the product
// of their polynomials times x, which the constants absorb (x^(e - 1) where
// x^e is meant).

constexpr std::uint32_t kPolynomial = 0x18005;

// x^exponent mod P, as 64 reflected bits (the coefficient of x^63 in bit 0).
constexpr std::uint64_t ReflectedPowerOfX(int exponent)
{
    std::uint32_t remainder = 1;
    for (int i = 0; i < exponent; ++i) {
        remainder <<= 1;
        if ((remainder & 0x10000U) != 0) {
            remainder ^= kPolynomial;
        }
    }
    std::uint64_t reflected = 0;
    for (int bit = 0; bit < 16; ++bit) {
        if ((remainder >> bit & 1U) != 0) {
            reflected |= std::uint64_t{1} << (63 - bit);
        }
    }
    return reflected;
}

constexpr std::size_t kLanes = 4;
constexpr std::size_t kStep = 16 * kLanes;

VESKARI_TARGET_CARRYLESS __m128i Fold(__m128i block, __m128i constants, __m128i next)
{
    // The low half of the block holds its higher powers of x.
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(block, constants, 0x00),
                                       _mm_clmulepi64_si128(block, constants, 0x11)),
                         next);
}

VESKARI_TARGET_CARRYLESS std::uint32_t FoldedCrc16(std::uint32_t crc, const std::uint8_t* bytes, std::size_t count)
{
    const auto load = [bytes](std::size_t offset) VESKARI_TARGET_CARRYLESS {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + offset));
    };
    // The running value stands for the first 16 bits of what follows.
    __m128i lanes[kLanes] = {_mm_xor_si128(load(0), _mm_cvtsi32_si128(static_cast<int>(crc))), load(16), load(32),
                             load(48)};
    const __m128i across = _mm_set_epi64x(static_cast<long long>(ReflectedPowerOfX(8 * kStep - 1)),
                                          static_cast<long long>(ReflectedPowerOfX(8 * kStep + 64 - 1)));
    std::size_t offset = kStep;
    for (; offset + kStep <= count; offset += kStep) {
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            lanes[lane] = Fold(lanes[lane], across, load(offset + 16 * lane));
        }
    }
    const __m128i next = _mm_set_epi64x(static_cast<long long>(ReflectedPowerOfX(128 - 1)),
                                        static_cast<long long>(ReflectedPowerOfX(128 + 64 - 1)));
    __m128i folded = lanes[0];
    for (std::size_t lane = 1; lane < kLanes; ++lane) {
        folded = Fold(folded, next, lanes[lane]);
    }
    alignas(16) std::uint8_t remainder[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(remainder), folded);
    return UpdateCrc16Sliced(UpdateCrc16Sliced(0, remainder, sizeof remainder), bytes + offset, count - offset);
}

#endif

}  // namespace

std::uint32_t UpdateCrc16Fast(std::uint32_t crc, const std::uint8_t* bytes, std::size_t count) noexcept
{
#if defined(VESKARI_WIDE_VECTORS)
    // Below a few steps the tables are as fast.
    if (count >= 4 * kStep && HasCarrylessMultiply()) {
        return FoldedCrc16(crc, bytes, count);
    }
#endif
    return UpdateCrc16Sliced(crc, bytes, count);
}

}  // namespace veskari
