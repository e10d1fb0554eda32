#include "microcode/microcode_header.h"

#include <cstdio>
#include <cstring>

#include "microcode/naming.h"
#include "records/little_endian.h"

namespace veskari {
namespace {

// Field offsets of the update header.
constexpr std::size_t kHeaderVersionOffset = 0;
constexpr std::size_t kRevisionOffset = 4;
constexpr std::size_t kDateOffset = 8;
constexpr std::size_t kSignatureOffset = 12;
constexpr std::size_t kChecksumOffset = 16;
constexpr std::size_t kLoaderOffset = 20;
constexpr std::size_t kFlagsOffset = 24;
constexpr std::size_t kReservedOffset = 28;
constexpr std::size_t kReservedSize = 20;

constexpr std::uint32_t kMaxRevision = 0xFF;
constexpr std::uint32_t kMaxPlatformFlags = 0x80;
constexpr std::uint32_t kFamilyMask = 0xF00;
constexpr std::uint32_t kFamily6 = 0x600;

// The message left when the file ends inside the header: the bytes beyond
// the end count as missing, not as zero.
constexpr const char* kEndOfFileMessage = "ファイル終端か？";

// printf's %d renders the 32-bit field as a signed number.
std::string FormatSigned(const char* format, std::uint32_t value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<std::int32_t>(value));
    return text;
}

std::string FormatUnsigned(const char* format, std::uint32_t value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

bool MicrocodeHeader::IsCandidate(const std::uint8_t* window) noexcept
{
    return window[0] == 0x01 && window[1] == 0 && window[2] == 0 && window[3] == 0 && window[5] == 0 &&
           window[6] == 0 && window[7] == 0 && (window[13] & 0x0F) == 0x06;
}

bool MicrocodeHeader::Read(CFile& file)
{
    error = false;
    message.clear();
    start = file.GetPosition();

    std::uint8_t bytes[kHeaderSize];
    const std::size_t got = file.Read(bytes, sizeof bytes);

    // Rejects with a message; used by every check below.
    const auto reject = [this](std::string text) {
        error = true;
        message = std::move(text);
        return false;
    };
    const auto missing = [got](std::size_t end) { return got < end; };

    if (missing(kHeaderVersionOffset + 4)) {
        return reject(kEndOfFileMessage);
    }
    headerVersion = ReadLe32(bytes, kHeaderVersionOffset);
    headerVersionText = FormatSigned("Header Ver. %d", headerVersion);
    if (headerVersion != 1) {
        return reject(FormatSigned("知らないヘッダーバージョン %d", headerVersion));
    }

    if (missing(kRevisionOffset + 4)) {
        return reject(kEndOfFileMessage);
    }
    revision = ReadLe32(bytes, kRevisionOffset);
    revisionText = FormatUnsigned("Rev. 0x%02X", revision);
    if (revision == 0 || revision > kMaxRevision) {
        return reject(FormatSigned("コードリビジョンが大きすぎる %d", revision));
    }

    if (missing(kDateOffset + 4)) {
        return reject(kEndOfFileMessage);
    }
    date = ReadLe32(bytes, kDateOffset);
    const std::uint32_t year = date & 0xFFFF;
    const std::uint32_t day = (date >> 16) & 0xFF;
    const std::uint32_t month = date >> 24;
    {
        char text[32];
        std::snprintf(text, sizeof text, "%04X/%02X/%02X", year, month, day);
        dateText = text;
    }
    // The digits read as a decimal date, but the bounds are plain numbers.
    if (year < 0x1990 || year > 0x2100) {
        return reject(FormatSigned("変な年 %d", year));
    }
    if (month < 0x01 || month > 0x12) {
        return reject(FormatSigned("変な月 %d", month));
    }
    if (day < 0x01 || day > 0x31) {
        return reject(FormatSigned("変な日 %d", day));
    }

    if (missing(kSignatureOffset + 4)) {
        return reject(kEndOfFileMessage);
    }
    signature = ReadLe32(bytes, kSignatureOffset);
    if ((signature & kFamilyMask) != kFamily6) {
        return reject(FormatUnsigned("CPUの世代が変 %04X", signature));
    }

    if (missing(kChecksumOffset + 4)) {
        return reject(kEndOfFileMessage);
    }
    checksum = ReadLe32(bytes, kChecksumOffset);

    if (missing(kLoaderOffset + 4)) {
        return reject(kEndOfFileMessage);
    }
    loaderRevision = ReadLe32(bytes, kLoaderOffset);
    loaderText = FormatSigned("Loader Ver. %d", loaderRevision);
    if (loaderRevision != 1) {
        return reject(FormatSigned("ローダーバージョンが変 %d", loaderRevision));
    }

    if (missing(kFlagsOffset + 4)) {
        return reject(kEndOfFileMessage);
    }
    platformFlags = ReadLe32(bytes, kFlagsOffset);
    if (platformFlags > kMaxPlatformFlags) {
        return reject(FormatSigned("パッケージタイプが変 %d", platformFlags));
    }

    for (std::uint32_t i = 0; i < kReservedSize; ++i) {
        if (missing(kReservedOffset + i + 1)) {
            return reject(kEndOfFileMessage);
        }
        if (bytes[kReservedOffset + i] != 0) {
            // The value counts four per zero byte before it (0 to 76):
            // the diagnostic's own unit, not the byte count.
            return reject(FormatSigned("ブランクの数が足りない %d", 4 * i));
        }
    }

    NameProcessor(signature, platformFlags, packageText, processorName);
    return true;
}

bool MicrocodeHeader::FindNext(CFile& file)
{
    return ScanFrame<kLookAhead>(file, [](const std::uint8_t* window, std::size_t from, std::size_t end) {
        // A header starts with the byte 0x01: let memchr find those.
        while (from < end) {
            const void* hit = std::memchr(window + from, 0x01, end - from);
            if (hit == nullptr) {
                return end;
            }
            from = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - window);
            if (IsCandidate(window + from)) {
                return from;
            }
            ++from;
        }
        return end;
    });
}

void MicrocodeHeader::SkipPast(CFile& file)
{
    file.Seek(start + kUpdateSize);
}

void MicrocodeHeader::SeekToData(CFile& /*file*/)
{
}

const std::string& MicrocodeHeader::Name() const
{
    static const std::string kNoName;
    return kNoName;
}

std::int32_t MicrocodeHeader::DataSize() const
{
    return 0;
}

void MicrocodeHeader::ReportLine(std::string& line) const
{
    line.clear();
    line += dateText;
    line += ' ';
    line += revisionText;
    line += ' ';
    line += FormatUnsigned("(CPUID 0x%X)", signature);
    line += ' ';
    line += packageText;
    line += ' ';
    line += processorName;
}

}  // namespace veskari
