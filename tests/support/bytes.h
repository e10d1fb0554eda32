#pragma once

// Byte builders for the tests: microcode headers and little-endian fields.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace veskari::test {

using Bytes = std::vector<std::uint8_t>;

void PutLe16(Bytes& bytes, std::size_t offset, std::uint32_t value);
void PutLe32(Bytes& bytes, std::size_t offset, std::uint32_t value);
void Append(Bytes& bytes, const Bytes& more);
void Append(Bytes& bytes, const std::string& more);

struct MicrocodeFields {
    std::uint32_t headerVersion = 1;
    std::uint32_t revision = 0x2A;
    std::uint32_t date = 0x05251999;  // month 05, day 25, year 1999
    std::uint32_t signature = 0x652;
    std::uint32_t checksum = 0;
    std::uint32_t loaderRevision = 1;
    std::uint32_t platformFlags = 4;
};

/// The 48-byte header alone.
[[nodiscard]] Bytes MakeMicrocodeHeader(const MicrocodeFields& fields);
/// A whole 2048-byte update: the header and filler that holds no candidate.
[[nodiscard]] Bytes MakeMicrocodeUpdate(const MicrocodeFields& fields);

/// An update of the later published layout, `totalSize` bytes long (a
/// multiple of 1024): the header with its size fields, data that holds no
/// candidate, and an extended signature table of these (signature, mask)
/// entries when there are any; every checksum made to add up.
[[nodiscard]] Bytes MakeLaterUpdate(const MicrocodeFields& fields, std::uint32_t totalSize,
                                    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& extended = {});
/// Sets the header's checksum so that the dwords of the whole update add
/// up to 0 again (after a test changed some of them).
void FixChecksum(Bytes& update);

/// The date field as stored: year, month and day as hexadecimal digits.
[[nodiscard]] constexpr std::uint32_t MicrocodeDate(std::uint32_t year, std::uint32_t month, std::uint32_t day)
{
    return year | (day << 16) | (month << 24);
}

/// A UTF-8 path as std::filesystem takes it (on Windows a narrow string
/// would be read in the ANSI code page).
[[nodiscard]] std::filesystem::path FsPath(const std::string& utf8);

[[nodiscard]] std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);
void WriteFile(const std::string& path, const std::string& text);

}  // namespace veskari::test
