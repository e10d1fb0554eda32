#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "records/little_endian.h"

namespace veskari {

/// CRC-16/ARC (reflected polynomial 0xA001, initial value 0, no final
/// inversion), the check value of LZH members.
inline constexpr std::array<std::uint16_t, 256> kCrc16Table = [] {
    std::array<std::uint16_t, 256> table{};
    for (std::uint32_t i = 0; i < table.size(); ++i) {
        std::uint32_t value = i;
        for (int step = 0; step < 8; ++step) {
            value = (value & 1U) != 0 ? (value >> 1) ^ 0xA001U : value >> 1;
        }
        table[i] = static_cast<std::uint16_t>(value);
    }
    return table;
}();

/// One byte at a time with the 256-entry table.
[[nodiscard]] constexpr std::uint32_t UpdateCrc16(std::uint32_t crc, const std::uint8_t* bytes,
                                                  std::size_t count) noexcept
{
    for (std::size_t i = 0; i < count; ++i) {
        crc = kCrc16Table[(crc ^ bytes[i]) & 0xFFU] ^ (crc >> 8);
    }
    return crc;
}

/// Sixteen tables for sixteen bytes per step: table k advances a byte's
/// contribution past k further bytes. The same CRC as UpdateCrc16, several
/// times faster on whole chunks.
inline constexpr std::array<std::array<std::uint16_t, 256>, 16> kCrc16Slices = [] {
    std::array<std::array<std::uint16_t, 256>, 16> slices{};
    slices[0] = kCrc16Table;
    for (std::size_t k = 1; k < slices.size(); ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t previous = slices[k - 1][i];
            slices[k][i] = static_cast<std::uint16_t>((previous >> 8) ^ kCrc16Table[previous & 0xFFU]);
        }
    }
    return slices;
}();

[[nodiscard]] inline std::uint32_t UpdateCrc16Sliced(std::uint32_t crc, const std::uint8_t* bytes,
                                                     std::size_t count) noexcept
{
    const auto& t = kCrc16Slices;
    const std::span<const std::uint8_t> data(bytes, count);
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        // The CRC is reflected: the first byte is the least significant.
        const std::uint64_t low = ReadLe64(data, i) ^ crc;
        const std::uint64_t high = ReadLe64(data, i + 8);
        crc = static_cast<std::uint32_t>(
            t[15][low & 0xFF] ^ t[14][(low >> 8) & 0xFF] ^ t[13][(low >> 16) & 0xFF] ^ t[12][(low >> 24) & 0xFF] ^
            t[11][(low >> 32) & 0xFF] ^ t[10][(low >> 40) & 0xFF] ^ t[9][(low >> 48) & 0xFF] ^ t[8][low >> 56] ^
            t[7][high & 0xFF] ^ t[6][(high >> 8) & 0xFF] ^ t[5][(high >> 16) & 0xFF] ^ t[4][(high >> 24) & 0xFF] ^
            t[3][(high >> 32) & 0xFF] ^ t[2][(high >> 40) & 0xFF] ^ t[1][(high >> 48) & 0xFF] ^ t[0][high >> 56]);
    }
    return UpdateCrc16(crc, bytes + i, count - i);
}

/// The same CRC for whole chunks at the speed of memory: where the
/// processor multiplies without carries (PCLMULQDQ), 64 bytes per step are
/// folded into four 16-byte remainders, which the sliced tables finish.
[[nodiscard]] std::uint32_t UpdateCrc16Fast(std::uint32_t crc, const std::uint8_t* bytes, std::size_t count) noexcept;

// The catalogue check value of CRC-16/ARC: 0xBB3D for "123456789".
inline constexpr std::uint8_t kCrc16CheckInput[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
static_assert(UpdateCrc16(0, kCrc16CheckInput, sizeof kCrc16CheckInput) == 0xBB3D);

}  // namespace veskari
