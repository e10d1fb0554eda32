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
    constexpr std::size_t kCentury = kDateOffset + 1;
    constexpr std::size_t kDay = kDateOffset + 2;
    constexpr std::size_t kMonth = kDateOffset + 3;
    return window[0] == 0x01 && window[1] == 0 && window[2] == 0 && window[3] == 0 &&
           window[kCentury] >= (kFirstYear >> 8) && window[kCentury] <= (kLastYear >> 8) && window[kDay] >= 0x01 &&
           window[kDay] <= kLastDay && window[kMonth] >= 0x01 && window[kMonth] <= kLastMonth;
}

bool MicrocodeHeader::Read(File& file)
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
        return Reject(kEndOfFileDiagnostic);
    }
    headerVersion = ReadLe32(header, kHeaderVersionOffset);
    headerVersionText = FormatField("Header Ver. %d", headerVersion);
    if (headerVersion != 1) {
        return Reject(FormatField("知らないヘッダーバージョン %d", headerVersion));
    }

    if (missing(kRevisionOffset + 4)) {
        return Reject(kEndOfFileDiagnostic);
    }
    revision = ReadLe32(header, kRevisionOffset);
    revisionText = FormatField("Rev. 0x%02X", revision);
    if (revision == 0 || revision > kMaxRevision) {
        return Reject(FormatField("コードリビジョンが大きすぎる %d", revision));
    }

    if (missing(kDateOffset + 4)) {
        return Reject(kEndOfFileDiagnostic);
    }
    date = ReadLe32(header, kDateOffset);
    dateText = DateText(date);
    if (std::string problem = DateProblem(date); !problem.empty()) {
        return Reject(std::move(problem));
    }

    if (missing(kSignatureOffset + 4)) {
        return Reject(kEndOfFileDiagnostic);
    }
    signature = ReadLe32(header, kSignatureOffset);
    if ((signature & kFamilyMask) != kFamily6) {
        return Reject(FormatField("CPUの世代が変 %04X", signature));
    }

    if (missing(kChecksumOffset + 4)) {
        return Reject(kEndOfFileDiagnostic);
    }
    checksum = ReadLe32(header, kChecksumOffset);

    if (missing(kLoaderOffset + 4)) {
        return Reject(kEndOfFileDiagnostic);
    }
    loaderRevision = ReadLe32(header, kLoaderOffset);
    loaderText = FormatField("Loader Ver. %d", loaderRevision);
    if (loaderRevision != 1) {
        return Reject(FormatField("ローダーバージョンが変 %d", loaderRevision));
    }

    if (missing(kFlagsOffset + 4)) {
        return Reject(kEndOfFileDiagnostic);
    }
    platformFlags = ReadLe32(header, kFlagsOffset);
    if (platformFlags > kMaxPlatformFlags) {
        return Reject(FormatField("パッケージタイプが変 %d", platformFlags));
    }

    for (std::uint32_t i = 0; i < kReservedSize; ++i) {
        if (missing(kReservedOffset + i + 1)) {
            return Reject(kEndOfFileDiagnostic);
        }
        if (bytes[kReservedOffset + i] != 0) {
            // The value counts four per zero byte before it (0 to 76):
            // the diagnostic's own unit, not the byte count.
            return Reject(FormatField("ブランクの数が足りない %d", 4 * i));
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
    line += FormatField("(CPUID 0x%X)", lineSignature);
    line += ' ';
    line += package;
    line += ' ';
    line += processor;
}

}  // namespace veskari
