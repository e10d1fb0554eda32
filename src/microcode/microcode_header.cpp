#include "microcode/microcode_header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

#include "microcode/naming.h"
#include "records/little_endian.h"
#include "records/record_text.h"

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
// In the published layout the first reserved bytes hold the sizes; the 12
// after them are not checked: current updates keep a minimum revision there.
constexpr std::size_t kDataSizeOffset = 28;
constexpr std::size_t kTotalSizeOffset = 32;

// Stored sizes of zero stand for the classic 2000 data bytes in 2048.
constexpr std::uint32_t kDefaultDataSize = 2000;
constexpr std::uint32_t kDataSizeUnit = 4;
constexpr std::uint32_t kTotalSizeUnit = 1024;
constexpr std::uint32_t kMaxPlatformMask = 0xFF;

// The extended signature table: count, checksum and 12 reserved bytes,
// then entries of signature, platform-ID mask and checksum.
constexpr std::size_t kExtendedHeaderSize = 20;
constexpr std::size_t kExtendedEntrySize = 12;

constexpr std::uint32_t kMaxRevision = 0xFF;
constexpr std::uint32_t kMaxPlatformFlags = 0x80;
constexpr std::uint32_t kFamilyMask = 0xF00;
constexpr std::uint32_t kFamily6 = 0x600;

// The message left when the file ends inside the header: the bytes beyond
// the end count as missing, not as zero.
constexpr const char* kEndOfFileMessage = "ファイル終端か？";

// %d renders the 32-bit field as a signed number, as printf does.
std::string FormatSigned(const char* format, std::uint32_t value)
{
    return FormatField(format, value);
}

std::string FormatUnsigned(const char* format, std::uint32_t value)
{
    return FormatField(format, value);
}

// Year/month/day, the digits as stored.
std::string DateText(std::uint32_t date)
{
    std::string text;
    AppendHex(text, date & 0xFFFF, 4);
    text += '/';
    AppendHex(text, date >> 24, 2);
    text += '/';
    AppendHex(text, (date >> 16) & 0xFF, 2);
    return text;
}

// The diagnostic of a date out of range, or an empty text. The digits read
// as a decimal date, but the bounds are plain numbers.
std::string DateProblem(std::uint32_t date)
{
    const std::uint32_t year = date & 0xFFFF;
    const std::uint32_t day = (date >> 16) & 0xFF;
    const std::uint32_t month = date >> 24;
    if (year < 0x1990 || year > 0x2100) {
        return FormatSigned("変な年 %d", year);
    }
    if (month < 0x01 || month > 0x12) {
        return FormatSigned("変な月 %d", month);
    }
    if (day < 0x01 || day > 0x31) {
        return FormatSigned("変な日 %d", day);
    }
    return {};
}

// The 32-bit sum of the little-endian dwords of `bytes` (a multiple of 4 long).
std::uint32_t SumOfDwords(std::span<const std::uint8_t> bytes) noexcept
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        sum += ReadLe32(bytes, i);
    }
    return sum;
}

// A header starts with the byte 0x01: memchr finds those, `matches` tests them.
template <typename Pattern>
std::size_t NextCandidate(const std::uint8_t* window, std::size_t from, std::size_t end, Pattern matches)
{
    while (from < end) {
        const void* hit = std::memchr(window + from, 0x01, end - from);
        if (hit == nullptr) {
            return end;
        }
        from = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - window);
        if (matches(window + from)) {
            return from;
        }
        ++from;
    }
    return end;
}

}  // namespace

bool MicrocodeHeader::IsCandidate(const std::uint8_t* window) noexcept
{
    return window[0] == 0x01 && window[1] == 0 && window[2] == 0 && window[3] == 0 && window[5] == 0 &&
           window[6] == 0 && window[7] == 0 && (window[13] & 0x0F) == 0x06;
}

bool MicrocodeHeader::IsAnyFormatCandidate(const std::uint8_t* window) noexcept
{
    // Every header that either format accepts has these: the date bytes
    // are year low, year high, day, month.
    return window[0] == 0x01 && window[1] == 0 && window[2] == 0 && window[3] == 0 && window[9] >= 0x19 &&
           window[9] <= 0x21 && window[10] >= 0x01 && window[10] <= 0x31 && window[11] >= 0x01 && window[11] <= 0x12;
}

bool MicrocodeHeader::MayAccept(std::span<const std::uint8_t> bytes, MicrocodeFormats formats) noexcept
{
    if (bytes.size() < kHeaderSize) {
        return true;  // Read tells what the end of the file does
    }
    const std::uint32_t revisionField = ReadLe32(bytes, kRevisionOffset);
    const std::uint32_t dateField = ReadLe32(bytes, kDateOffset);
    const std::uint32_t year = dateField & 0xFFFF;
    const std::uint32_t day = (dateField >> 16) & 0xFF;
    const std::uint32_t month = dateField >> 24;
    const std::uint32_t flags = ReadLe32(bytes, kFlagsOffset);
    // The rules that both layouts share.
    if (ReadLe32(bytes, kHeaderVersionOffset) != 1 || year < 0x1990 || year > 0x2100 || month < 0x01 ||
        month > 0x12 || day < 0x01 || day > 0x31 || ReadLe32(bytes, kLoaderOffset) != 1 || revisionField == 0 ||
        flags > kMaxPlatformMask) {
        return false;
    }
    const bool classic = revisionField <= kMaxRevision && (ReadLe32(bytes, kSignatureOffset) & kFamilyMask) == kFamily6 &&
                         flags <= kMaxPlatformFlags &&
                         std::all_of(bytes.begin() + kReservedOffset, bytes.begin() + kReservedOffset + kReservedSize,
                                     [](std::uint8_t byte) { return byte == 0; });
    if (classic || formats == MicrocodeFormats::classic) {
        return classic;
    }
    const std::uint32_t storedDataSize = ReadLe32(bytes, kDataSizeOffset);
    const std::uint32_t storedTotalSize = ReadLe32(bytes, kTotalSizeOffset);
    const std::uint64_t dataBytes = storedDataSize == 0 ? kDefaultDataSize : storedDataSize;
    const std::uint64_t totalBytes = storedTotalSize == 0 ? kUpdateSize : storedTotalSize;
    if (dataBytes % kDataSizeUnit != 0 || totalBytes % kTotalSizeUnit != 0 || dataBytes + kHeaderSize > totalBytes) {
        return false;
    }
    const std::uint64_t extendedSize = totalBytes - dataBytes - kHeaderSize;
    return extendedSize == 0 ||
           (extendedSize >= kExtendedHeaderSize && (extendedSize - kExtendedHeaderSize) % kExtendedEntrySize == 0);
}

bool MicrocodeHeader::Read(CFile& file)
{
    error = false;
    message.clear();
    start = file.GetPosition();

    std::uint8_t bytes[kHeaderSize];
    const std::size_t got = file.Read(bytes, sizeof bytes);
    if (ReadClassic(bytes, got)) {
        return true;
    }
    if (formats_ == MicrocodeFormats::classic) {
        return false;
    }
    return ReadLater(file, bytes, got);
}

bool MicrocodeHeader::Reject(std::string text)
{
    error = true;
    message = std::move(text);
    return false;
}

bool MicrocodeHeader::ReadClassic(const std::uint8_t* bytes, std::size_t got)
{
    const std::span<const std::uint8_t> header(bytes, kHeaderSize);
    const auto missing = [got](std::size_t end) { return got < end; };

    if (missing(kHeaderVersionOffset + 4)) {
        return Reject(kEndOfFileMessage);
    }
    headerVersion = ReadLe32(header, kHeaderVersionOffset);
    headerVersionText = FormatSigned("Header Ver. %d", headerVersion);
    if (headerVersion != 1) {
        return Reject(FormatSigned("知らないヘッダーバージョン %d", headerVersion));
    }

    if (missing(kRevisionOffset + 4)) {
        return Reject(kEndOfFileMessage);
    }
    revision = ReadLe32(header, kRevisionOffset);
    revisionText = FormatUnsigned("Rev. 0x%02X", revision);
    if (revision == 0 || revision > kMaxRevision) {
        return Reject(FormatSigned("コードリビジョンが大きすぎる %d", revision));
    }

    if (missing(kDateOffset + 4)) {
        return Reject(kEndOfFileMessage);
    }
    date = ReadLe32(header, kDateOffset);
    dateText = DateText(date);
    if (std::string problem = DateProblem(date); !problem.empty()) {
        return Reject(std::move(problem));
    }

    if (missing(kSignatureOffset + 4)) {
        return Reject(kEndOfFileMessage);
    }
    signature = ReadLe32(header, kSignatureOffset);
    if ((signature & kFamilyMask) != kFamily6) {
        return Reject(FormatUnsigned("CPUの世代が変 %04X", signature));
    }

    if (missing(kChecksumOffset + 4)) {
        return Reject(kEndOfFileMessage);
    }
    checksum = ReadLe32(header, kChecksumOffset);

    if (missing(kLoaderOffset + 4)) {
        return Reject(kEndOfFileMessage);
    }
    loaderRevision = ReadLe32(header, kLoaderOffset);
    loaderText = FormatSigned("Loader Ver. %d", loaderRevision);
    if (loaderRevision != 1) {
        return Reject(FormatSigned("ローダーバージョンが変 %d", loaderRevision));
    }

    if (missing(kFlagsOffset + 4)) {
        return Reject(kEndOfFileMessage);
    }
    platformFlags = ReadLe32(header, kFlagsOffset);
    if (platformFlags > kMaxPlatformFlags) {
        return Reject(FormatSigned("パッケージタイプが変 %d", platformFlags));
    }

    for (std::uint32_t i = 0; i < kReservedSize; ++i) {
        if (missing(kReservedOffset + i + 1)) {
            return Reject(kEndOfFileMessage);
        }
        if (bytes[kReservedOffset + i] != 0) {
            // The value counts four per zero byte before it (0 to 76):
            // the diagnostic's own unit, not the byte count.
            return Reject(FormatSigned("ブランクの数が足りない %d", 4 * i));
        }
    }

    format = MicrocodeFormat::classic;
    dataSize = kDefaultDataSize;
    totalSize = kUpdateSize;
    extendedSignatures.clear();
    NameProcessor(signature, platformFlags, packageText, processorName);
    return true;
}

bool MicrocodeHeader::ReadLater(CFile& file, const std::uint8_t* bytes, std::size_t got)
{
    error = false;
    message.clear();
    if (got < kHeaderSize) {
        return Reject(kEndOfFileMessage);
    }
    const std::span<const std::uint8_t> header(bytes, kHeaderSize);
    headerVersion = ReadLe32(header, kHeaderVersionOffset);
    revision = ReadLe32(header, kRevisionOffset);
    date = ReadLe32(header, kDateOffset);
    signature = ReadLe32(header, kSignatureOffset);
    checksum = ReadLe32(header, kChecksumOffset);
    loaderRevision = ReadLe32(header, kLoaderOffset);
    platformFlags = ReadLe32(header, kFlagsOffset);
    const std::uint32_t storedDataSize = ReadLe32(header, kDataSizeOffset);
    const std::uint32_t storedTotalSize = ReadLe32(header, kTotalSizeOffset);
    headerVersionText = FormatSigned("Header Ver. %d", headerVersion);
    revisionText = FormatUnsigned("Rev. 0x%02X", revision);
    dateText = DateText(date);
    loaderText = FormatSigned("Loader Ver. %d", loaderRevision);
    dataSize = storedDataSize == 0 ? kDefaultDataSize : storedDataSize;
    totalSize = storedTotalSize == 0 ? static_cast<std::uint32_t>(kUpdateSize) : storedTotalSize;
    extendedSignatures.clear();

    if (headerVersion != 1) {
        return Reject(FormatSigned("知らないヘッダーバージョン %d", headerVersion));
    }
    if (revision == 0) {
        return Reject("コードリビジョンがない 0");
    }
    if (std::string problem = DateProblem(date); !problem.empty()) {
        return Reject(std::move(problem));
    }
    if (loaderRevision != 1) {
        return Reject(FormatSigned("ローダーバージョンが変 %d", loaderRevision));
    }
    if (platformFlags > kMaxPlatformMask) {
        return Reject(FormatSigned("パッケージタイプが変 %d", platformFlags));
    }
    if (dataSize % kDataSizeUnit != 0) {
        return Reject(FormatUnsigned("データサイズが変 %u", storedDataSize));
    }
    if (totalSize % kTotalSizeUnit != 0) {
        return Reject(FormatUnsigned("トータルサイズが変 %u", storedTotalSize));
    }
    if (std::uint64_t{dataSize} + kHeaderSize > totalSize) {
        return Reject(FormatUnsigned("データサイズがトータルサイズを超える %u", dataSize));
    }
    const std::uint32_t extendedSize = totalSize - dataSize - static_cast<std::uint32_t>(kHeaderSize);
    if (extendedSize != 0 &&
        (extendedSize < kExtendedHeaderSize || (extendedSize - kExtendedHeaderSize) % kExtendedEntrySize != 0)) {
        return Reject(FormatUnsigned("拡張シグネチャテーブルの大きさが変 %u", extendedSize));
    }

    // Only a header that passed every rule above costs reading its update.
    std::uint64_t summed = 0;
    if (!CheckWholeUpdate(file, summed) || !ReadExtendedTable(file)) {
        if (allowance_ != nullptr) {
            allowance_->Spend(summed);
        }
        return false;
    }
    format = MicrocodeFormat::later;
    NameLaterProcessor(signature, platformFlags, packageText, processorName);
    for (ExtendedSignature& entry : extendedSignatures) {
        NameLaterProcessor(entry.signature, entry.platformFlags, entry.packageText, entry.processorName);
    }
    return true;
}

bool MicrocodeHeader::CheckWholeUpdate(CFile& file, std::uint64_t& summed)
{
    if (allowance_ != nullptr && !allowance_->Allows(start)) {
        return Reject(FormatUnsigned("チェックサムを数えきれない %u", totalSize));
    }
    // The update is summed where it lies in the read buffer, a buffer at a
    // time; a file that ends first rejects it without reading further.
    file.Seek(start);
    std::uint32_t sum = 0;
    while (summed < totalSize) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(totalSize - summed, CFile::kBufferSize));
        const std::uint8_t* data = nullptr;
        const std::size_t got = file.Peek(want, data);
        summed += got;
        if (got < want) {
            return Reject(kEndOfFileMessage);
        }
        sum += SumOfDwords(std::span(data, got));
        file.Seek(start + summed);
    }
    if (sum != 0) {
        return Reject(FormatUnsigned("チェックサムが合わない %08X", sum));
    }
    return true;
}

bool MicrocodeHeader::ReadExtendedTable(CFile& file)
{
    const std::uint32_t extendedSize = totalSize - dataSize - static_cast<std::uint32_t>(kHeaderSize);
    if (extendedSize == 0) {
        return true;
    }
    // The whole update has been read already: these reads cannot fall
    // short, and the count is bounded by bytes that exist.
    file.Seek(start + kHeaderSize + dataSize);
    std::uint8_t table[kExtendedHeaderSize];
    (void)file.Read(table, sizeof table);
    std::uint32_t sum = SumOfDwords(table);
    const std::uint32_t count = ReadLe32(table, 0);
    if (count != (extendedSize - kExtendedHeaderSize) / kExtendedEntrySize) {
        return Reject(FormatUnsigned("拡張シグネチャの数が変 %u", count));
    }
    extendedSignatures.resize(count);
    for (ExtendedSignature& entry : extendedSignatures) {
        std::uint8_t bytes[kExtendedEntrySize];
        (void)file.Read(bytes, sizeof bytes);
        sum += SumOfDwords(bytes);
        entry.signature = ReadLe32(bytes, 0);
        entry.platformFlags = ReadLe32(bytes, 4);
        entry.checksum = ReadLe32(bytes, 8);
    }
    if (sum != 0) {
        return Reject(FormatUnsigned("拡張シグネチャテーブルのチェックサムが合わない %08X", sum));
    }
    // Each entry's checksum is the header's with the entry's signature and
    // mask in place of the header's: the three add up to the same.
    for (const ExtendedSignature& entry : extendedSignatures) {
        if (entry.platformFlags > kMaxPlatformMask) {
            return Reject(FormatSigned("パッケージタイプが変 %d", entry.platformFlags));
        }
        if (entry.signature + entry.platformFlags + entry.checksum != signature + platformFlags + checksum) {
            return Reject(FormatUnsigned("拡張シグネチャのチェックサムが合わない %X", entry.signature));
        }
    }
    return true;
}

bool MicrocodeHeader::FindNext(CFile& file)
{
    if (formats_ == MicrocodeFormats::classic) {
        return ScanFrame<kLookAhead>(file, [](const std::uint8_t* window, std::size_t from, std::size_t end) {
            return NextCandidate(window, from, end, IsCandidate);
        });
    }
    return ScanFrame<kLookAhead>(file, [](const std::uint8_t* window, std::size_t from, std::size_t end) {
        return NextCandidate(window, from, end, IsAnyFormatCandidate);
    });
}

void MicrocodeHeader::SkipPast(CFile& file)
{
    file.Seek(start + totalSize);
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
    ComposeLine(signature, packageText, processorName, line);
}

void MicrocodeHeader::ExtendedReportLine(std::size_t index, std::string& line) const
{
    const ExtendedSignature& entry = extendedSignatures.at(index);
    ComposeLine(entry.signature, entry.packageText, entry.processorName, line);
}

void MicrocodeHeader::ComposeLine(std::uint32_t lineSignature, const std::string& package,
                                  const std::string& processor, std::string& line) const
{
    line.clear();
    line += dateText;
    line += ' ';
    line += revisionText;
    line += ' ';
    line += FormatUnsigned("(CPUID 0x%X)", lineSignature);
    line += ' ';
    line += package;
    line += ' ';
    line += processor;
}

}  // namespace veskari
