#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace veskari {

/// Little-endian fields of on-disk records, read byte by byte so that
/// neither alignment nor the host's byte order matters. `offset` plus the
/// field's width must lie inside `bytes`; callers check that once per record.
[[nodiscard]] constexpr std::uint32_t ReadLe16(std::span<const std::uint8_t> bytes, std::size_t offset = 0) noexcept
{
    return static_cast<std::uint32_t>(bytes[offset]) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 8);
}

[[nodiscard]] constexpr std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes, std::size_t offset = 0) noexcept
{
    return ReadLe16(bytes, offset) | (ReadLe16(bytes, offset + 2) << 16);
}

[[nodiscard]] constexpr std::uint64_t ReadLe64(std::span<const std::uint8_t> bytes, std::size_t offset = 0) noexcept
{
    return static_cast<std::uint64_t>(ReadLe32(bytes, offset)) |
           (static_cast<std::uint64_t>(ReadLe32(bytes, offset + 4)) << 32);
}

}  // namespace veskari
