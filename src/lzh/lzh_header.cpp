#include "lzh/lzh_header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/cp932.h"
#include "records/little_endian.h"
#include "records/record_text.h"

namespace veskari {
namespace {

// The diagnostics of a header whose fields contradict each other, and of
// one that the end of the file cuts short after its fixed part.
constexpr char kMalformedHeader[] = "未知のヘッダー形式";
constexpr char kCutShort[] = "ファイルが切れてる？";

// Offsets in the fixed part of a member header.
constexpr std::size_t kSizeOffset = 0;          // h at levels 0 and 1, total size at level 2
constexpr std::size_t kChecksumOffset = 1;      // levels 0 and 1
constexpr std::size_t kMethodIdOffset = 2;      // "-lh?-"
constexpr std::size_t kMethodDigitOffset = 5;
constexpr std::size_t kCompressedOffset = 7;
constexpr std::size_t kDecodedOffset = 11;
constexpr std::size_t kLevelOffset = 20;
constexpr std::size_t kNameLengthOffset = 21;  // levels 0 and 1
constexpr std::size_t kNameOffset = 22;        // levels 0 and 1
constexpr std::size_t kLevel2CrcOffset = 21;
constexpr std::int32_t kLevel2BaseSize = 26;
// The smallest read that can hold a header's fixed fields.
constexpr std::size_t kMinimumRead = 25;
// Fixed bytes around a level-0/1 name: 22 before it, the CRC-16 after it.
constexpr std::int32_t kNameFrame = 24;

// Real archivers write a handful of extended headers, well inside the
// 16-bit size of a level-2 header. Longer chains are refused: without a
// bound, every candidate of a hostile file could walk a chain through the
// whole file and the scan would take quadratic time.
constexpr int kMaxExtendedHeaders = 256;
constexpr std::int64_t kMaxExtendedSize = 0xFFFF;

// One archiver counts a level-2 header without the zero size field that
// ends its chain: its chain ends this many bytes past the stated size, and
// its data begins where the chain ends.
constexpr std::int64_t kLevel2SizeShortfall = 2;

constexpr std::uint8_t kExtendedFileName = 1;
constexpr std::uint8_t kExtendedDirectory = 2;
// Each extended header counts its type byte and the next size field.
constexpr std::uint32_t kExtendedOverhead = 3;

bool IsKnownMethod(std::int32_t method) noexcept
{
    switch (method) {
    case kMethodStored:
    case 4:
    case 5:
    case 6:
    case 7:
    case kMethodDirectory:
        return true;
    default:
        return false;
    }
}

// A 16-bit size field of the extended-header chain, low byte first;
// false when the file ends inside it.
bool ReadSizeField(File& file, std::uint32_t& size)
{
    const int low = file.ReadByte();
    const int high = file.ReadByte();
    if (low < 0 || high < 0) {
        return false;
    }
    size = static_cast<std::uint32_t>(low) | (static_cast<std::uint32_t>(high) << 8);
    return true;
}

}  // namespace

bool LzhHeader::Reject(const char* text)
{
    error = true;
    message = text;
    return false;
}

bool LzhHeader::Read(File& file)
{
    error = false;
    message.clear();
    start = file.GetPosition();
    const std::size_t got = file.Read(headerBytes.data(), headerBytes.size());
    const std::uint8_t* bytes = headerBytes.data();

    if (got < kMinimumRead) {
        message = kEndOfFileDiagnostic;
        return false;
    }
    method = static_cast<std::int32_t>(static_cast<std::int8_t>(bytes[kMethodDigitOffset])) - '0';
    if (std::memcmp(bytes + kMethodIdOffset, "-lh", 3) != 0 || bytes[kMethodIdOffset + 4] != '-') {
        return Reject("LZH書庫ではない");
    }
    if (!IsKnownMethod(method)) {
        return Reject(FormatField("未知の圧縮形式 -lh%d-", static_cast<std::uint32_t>(method)).c_str());
    }
    level = bytes[kLevelOffset];
    if (level > 2) {
        return Reject(kMalformedHeader);
    }
    message = FormatField("ヘッダーVer. %d", static_cast<std::uint32_t>(level));

    const std::uint32_t h = bytes[kSizeOffset];
    baseSize = level == 2 ? kLevel2BaseSize : static_cast<std::int32_t>(h + 2);
    if (got < static_cast<std::size_t>(baseSize)) {
        message = kCutShort;
        return false;
    }
    if (level < 2) {
        std::uint32_t sum = 0;
        for (std::size_t i = 2; i < h + 2; ++i) {
            sum += bytes[i];
        }
        sum &= 0xFF;
        if (sum != bytes[kChecksumOffset]) {
            char text[96];
            std::snprintf(text, sizeof text, "ヘッダーチェックサムが違います %02X / %02X", sum,
                          static_cast<unsigned>(bytes[kChecksumOffset]));
            return Reject(text);
        }
    }
    if (bytes[kSizeOffset] == 0) {
        message = "アーカイブ終端";
        return false;
    }

    // The name and CRC-16 of levels 0 and 1 must lie inside the fixed part.
    const std::int32_t nameLength = bytes[kNameLengthOffset];
    if (level < 2 && kNameFrame + nameLength > baseSize) {
        return Reject(kMalformedHeader);
    }

    // A level-2 header holds at least its fixed part: a smaller size would
    // put its data inside the header.
    if (level == 2 && ReadLe16(headerBytes, kSizeOffset) < static_cast<std::uint32_t>(kLevel2BaseSize)) {
        return Reject(kMalformedHeader);
    }

    std::int64_t extendedSize = 0;
    std::string name;
    if (level < 2) {
        name.assign(reinterpret_cast<const char*>(bytes + kNameOffset), static_cast<std::size_t>(nameLength));
    }
    memberName = std::move(name);
    if (level > 0 && !WalkExtendedHeaders(file, extendedSize)) {
        return false;
    }

    switch (level) {
    case 0:
        headerSize = baseSize;
        break;
    case 1:
        if (baseSize + extendedSize > std::numeric_limits<std::int32_t>::max()) {
            return Reject(kMalformedHeader);
        }
        headerSize = baseSize + static_cast<std::int32_t>(extendedSize);
        break;
    default:
        // The data never begins inside the chain: where the chain ends past
        // the stated size (within the slack the walk allows), it begins at
        // the chain's end.
        headerSize = std::max(static_cast<std::int32_t>(ReadLe16(headerBytes, kSizeOffset)),
                              baseSize + static_cast<std::int32_t>(extendedSize));
        break;
    }
    // The name is copied only now that the header is accepted.
    if (level > 0 && !ReadNameParts(file)) {
        return false;
    }
    compressedSize = static_cast<std::int32_t>(ReadLe32(headerBytes, kCompressedOffset));
    if (level == 1) {
        // At level 1 the stored size also counts the extended headers.
        compressedSize = static_cast<std::int32_t>(static_cast<std::uint32_t>(compressedSize) -
                                                   static_cast<std::uint32_t>(extendedSize));
    }
    // The next header can only lie past this one: a data size that would
    // put it at or before the header's start (negative as a 32-bit signed
    // size, or at level 1 smaller than the extended headers it counts) is
    // malformed, and refusing it keeps every listing moving forward.
    if (compressedSize < 0) {
        return Reject(kMalformedHeader);
    }
    decodedSize = ReadLe32(headerBytes, kDecodedOffset);
    crc16 = level < 2 ? ReadLe16(headerBytes, kNameOffset + static_cast<std::size_t>(nameLength))
                      : ReadLe16(headerBytes, kLevel2CrcOffset);
    return true;
}

// Walks the chain of extended headers that begins with the size field in
// the last two bytes of the fixed part: sums their sizes and notes where
// the names of types 1 and 2 lie, seeking past all data, so that a
// candidate rejected on the way has copied none of it. A size of 1 or 2
// (smaller than its own type byte and size field), a chain cut by the end
// of the file or a chain longer than the bytes its header counts for it
// rejects the header.
bool LzhHeader::WalkExtendedHeaders(File& file, std::int64_t& extendedSize)
{
    // A header counts its chain in its own sizes: a level-2 header in its
    // size field, a level-1 header in its data size. Walking no further
    // keeps a candidate inside its own bytes, and the listing goes on past
    // those bytes, so no byte of the file is named by two listed members:
    // otherwise headers that claim a few bytes each, a few bytes apart,
    // could each walk a name of up to 64 KiB over the headers after them,
    // and a listing would hold far more name than the file has bytes.
    const std::int64_t chainLimit =
        level == 2 ? static_cast<std::int64_t>(ReadLe16(headerBytes, kSizeOffset)) - kLevel2BaseSize +
                         kLevel2SizeShortfall
                   : std::min<std::int64_t>(ReadLe32(headerBytes, kCompressedOffset), kMaxExtendedSize);
    nameParts_.clear();
    std::uint64_t position = start + static_cast<std::uint64_t>(baseSize) - 2;
    file.Seek(position);
    for (int count = 0;; ++count) {
        std::uint32_t size = 0;
        if (!ReadSizeField(file, size)) {
            return Reject(kCutShort);
        }
        if (size == 0) {
            return true;
        }
        extendedSize += size;
        if (size < kExtendedOverhead || count == kMaxExtendedHeaders || extendedSize > chainLimit) {
            return Reject(kMalformedHeader);
        }
        const int type = file.ReadByte();
        if (type < 0) {
            return Reject(kCutShort);
        }
        if (type == kExtendedFileName) {
            // A file name replaces everything named before it.
            nameParts_.clear();
        }
        if (type == kExtendedFileName || type == kExtendedDirectory) {
            nameParts_.push_back(NamePart{file.GetPosition(), size - kExtendedOverhead, type == kExtendedDirectory});
        }
        position += size;
        file.Seek(position);
    }
}

// Reads the name parts of an accepted header: its directories, the last
// named first, before the chain's file name or, when the chain names no
// file, before the name of the fixed part.
bool LzhHeader::ReadNameParts(File& file)
{
    if (nameParts_.empty()) {
        return true;
    }
    const bool chainNamesFile = !nameParts_.front().directory;
    std::size_t length = chainNamesFile ? 0 : memberName.size();
    for (const NamePart& part : nameParts_) {
        length += part.size;
    }
    std::string name(length, '\0');
    std::size_t at = 0;
    for (auto part = nameParts_.rbegin(); part != nameParts_.rend(); ++part) {
        file.Seek(part->position);
        if (file.Read(name.data() + at, part->size) != part->size) {
            return Reject(kCutShort);
        }
        if (part->directory) {
            // 0xFF separates directory names; a trail byte is never one.
            for (std::size_t i = at; i < at + part->size; ++i) {
                const auto byte = static_cast<std::uint8_t>(name[i]);
                if (IsCp932LeadByte(byte)) {
                    ++i;
                } else if (byte == 0xFF) {
                    name[i] = '\\';
                }
            }
        }
        at += part->size;
    }
    if (!chainNamesFile) {
        name.replace(at, memberName.size(), memberName);
    }
    memberName = std::move(name);
    return true;
}

void LzhHeader::SkipPast(File& file)
{
    // Read accepts no negative size, so this lies past `start`.
    file.Seek(start + static_cast<std::uint64_t>(headerSize) + static_cast<std::uint64_t>(compressedSize));
}

void LzhHeader::SeekToData(File& file)
{
    file.Seek(start + static_cast<std::uint64_t>(headerSize));
}

}  // namespace veskari
