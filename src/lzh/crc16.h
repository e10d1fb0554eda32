#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

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

[[nodiscard]] constexpr std::uint32_t UpdateCrc16(std::uint32_t crc, const std::uint8_t* bytes,
                                                  std::size_t count) noexcept
{
    for (std::size_t i = 0; i < count; ++i) {
        crc = kCrc16Table[(crc ^ bytes[i]) & 0xFFU] ^ (crc >> 8);
    }
    return crc;
}

// The catalogue check value of CRC-16/ARC: 0xBB3D for "123456789".
inline constexpr std::uint8_t kCrc16CheckInput[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
static_assert(UpdateCrc16(0, kCrc16CheckInput, sizeof kCrc16CheckInput) == 0xBB3D);

}  // namespace veskari
