#include "support/bytes.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "records/little_endian.h"

namespace veskari::test {

void PutLe16(Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    if (bytes.size() < offset + 2) {
        bytes.resize(offset + 2);
    }
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLe32(Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    PutLe16(bytes, offset, value & 0xFFFF);
    PutLe16(bytes, offset + 2, value >> 16);
}

// Byte by byte: GCC 12 reports false out-of-bounds moves for vector
// inserts after a resize at -O2.
void Append(Bytes& bytes, const Bytes& more)
{
    bytes.reserve(bytes.size() + more.size());
    for (const std::uint8_t byte : more) {
        bytes.push_back(byte);
    }
}

void Append(Bytes& bytes, const std::string& more)
{
    bytes.reserve(bytes.size() + more.size());
    for (const char c : more) {
        bytes.push_back(static_cast<std::uint8_t>(c));
    }
}

Bytes MakeMicrocodeHeader(const MicrocodeFields& fields)
{
    Bytes bytes(48, 0);
    PutLe32(bytes, 0, fields.headerVersion);
    PutLe32(bytes, 4, fields.revision);
    PutLe32(bytes, 8, fields.date);
    PutLe32(bytes, 12, fields.signature);
    PutLe32(bytes, 16, fields.checksum);
    PutLe32(bytes, 20, fields.loaderRevision);
    PutLe32(bytes, 24, fields.platformFlags);
    return bytes;
}

Bytes MakeMicrocodeUpdate(const MicrocodeFields& fields)
{
    Bytes bytes = MakeMicrocodeHeader(fields);
    // Filler without the byte 0x01, so that no candidate starts in it.
    for (std::size_t i = bytes.size(); i < 2048; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(0xA0 + (i % 31)));
    }
    return bytes;
}

namespace {

std::uint32_t SumOfDwords(const Bytes& bytes, std::size_t from, std::size_t to)
{
    std::uint32_t sum = 0;
    for (std::size_t i = from; i + 4 <= to; i += 4) {
        sum += ReadLe32(bytes, i);
    }
    return sum;
}

}  // namespace

void FixChecksum(Bytes& update)
{
    PutLe32(update, 16, 0);
    PutLe32(update, 16, 0U - SumOfDwords(update, 0, update.size()));
}

Bytes MakeLaterUpdate(const MicrocodeFields& fields, std::uint32_t totalSize,
                      const std::vector<std::pair<std::uint32_t, std::uint32_t>>& extended)
{
    const std::uint32_t extendedSize = extended.empty() ? 0 : 20 + 12 * static_cast<std::uint32_t>(extended.size());
    const std::uint32_t dataSize = totalSize - 48 - extendedSize;
    Bytes bytes = MakeMicrocodeHeader(fields);
    PutLe32(bytes, 28, dataSize);
    PutLe32(bytes, 32, totalSize);
    for (std::size_t i = 0; i < dataSize; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(0xA0 + (i % 31)));
    }
    FixChecksum(bytes);
    if (!extended.empty()) {
        // Each entry's checksum stands in for the header's when the entry's
        // signature and mask replace the header's.
        const std::uint32_t headerSum = fields.signature + fields.platformFlags + ReadLe32(bytes, 16);
        const std::size_t table = bytes.size();
        bytes.resize(table + extendedSize, 0);
        PutLe32(bytes, table, static_cast<std::uint32_t>(extended.size()));
        for (std::size_t i = 0; i < extended.size(); ++i) {
            const auto [signature, mask] = extended[i];
            const std::size_t entry = table + 20 + 12 * i;
            PutLe32(bytes, entry, signature);
            PutLe32(bytes, entry + 4, mask);
            PutLe32(bytes, entry + 8, headerSum - signature - mask);
        }
        PutLe32(bytes, table + 4, 0U - SumOfDwords(bytes, table, bytes.size()));
    }
    return bytes;
}

std::filesystem::path FsPath(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(FsPath(path), std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

void WriteFile(const std::string& path, const std::string& text)
{
    WriteFile(path, Bytes(text.begin(), text.end()));
}

}  // namespace veskari::test
