#include "microcode/microcode_header.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "microcode/naming.h"
#include "microcode/update_layout.h"

namespace veskari {
namespace {

using namespace update_layout;

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
    if (formats_ == MicrocodeFormats::classic || start < classicOnlyBefore_) {
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
