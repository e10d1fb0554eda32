#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"
#include "records/located_record.h"

namespace veskari {

/// Method numbers of the member kinds this tool decodes: '0' (stored),
/// '4' to '7' (static Huffman LZSS) and 'd' (a directory entry), each
/// minus the digit zero.
inline constexpr std::int32_t kMethodStored = 0;
inline constexpr std::int32_t kMethodDirectory = 'd' - '0';

/// The fields of a member header as read: the one list of them that the
/// record and the events of the archive pass share.
struct LzhHeaderFields {
    std::int32_t level = 0;
    std::int32_t baseSize = 0;
    std::int32_t headerSize = 0;
    std::int32_t method = 0;
    std::int32_t compressedSize = 0;
    std::uint32_t decodedSize = 0;
    std::string memberName;  ///< raw code page 932 bytes, directory part included
    std::uint32_t crc16 = 0;

    friend bool operator==(const LzhHeaderFields&, const LzhHeaderFields&) = default;
};

/// One LZH member header, found at any byte position of a file: levels 0,
/// 1 and 2, with extended headers of types 1 (file name) and 2 (directory).
class LzhHeader final : public LocatedRecord, public LzhHeaderFields {
public:
    /// The fixed part is read in one request of this many bytes.
    static constexpr std::size_t kHeaderBytes = 255;
    /// Look-ahead of the scan: the method identifier ends 6 bytes after the start.
    static constexpr std::size_t kLookAhead = 6;

    /// Reads and checks the header where the file stands.
    [[nodiscard]] bool Read(File& file);
    /// Moves past the member's data; never back to or before `start`, so
    /// every scan that uses it makes progress.
    void SkipPast(File& file);
    void SeekToData(File& file);
    [[nodiscard]] const std::string& Name() const { return memberName; }
    [[nodiscard]] std::int32_t DataSize() const { return compressedSize; }

    /// The header's first bytes as read at `start`.
    std::array<std::uint8_t, kHeaderBytes> headerBytes{};

private:
    // The data of an extended header that names the member (type 1) or
    // its directory (type 2), found by the walk and read once accepted.
    struct NamePart {
        std::uint64_t position = 0;
        std::uint32_t size = 0;
        bool directory = false;
    };

    [[nodiscard]] bool Reject(const char* text);
    [[nodiscard]] bool WalkExtendedHeaders(File& file, std::int64_t& extendedSize);
    [[nodiscard]] bool ReadNameParts(File& file);

    // The parts that make up the name, in chain order: at most one file
    // name, first, then the directories named after it.
    std::vector<NamePart> nameParts_;
};

}  // namespace veskari
