#include "microcode/microcode_header.h"

#include <algorithm>
#include <vector>

#include "microcode/naming.h"
#include "microcode/update_layout.h"
#include "platform/stop_request.h"

// The rules of the later published layout (sizes, the whole update's
// checksum, the extended signature table), and the quick test of a
// candidate's header bytes that a scan makes before reading it.

namespace veskari {

using namespace update_layout;

bool MicrocodeHeader::MayAccept(std::span<const std::uint8_t> bytes, MicrocodeFormats formats) noexcept
{
    if (bytes.size() < kHeaderSize) {
        return true;  // Read tells what the end of the file does
    }
    const std::uint32_t revisionField = ReadLe32(bytes, kRevisionOffset);
    const std::uint32_t flags = ReadLe32(bytes, kFlagsOffset);
    const std::uint32_t loader = ReadLe32(bytes, kLoaderOffset);
    // The rules that both layouts share.
    if (ReadLe32(bytes, kHeaderVersionOffset) != 1 || !DateInRange(ReadLe32(bytes, kDateOffset)) ||
        loader > kMaxLaterLoader || revisionField == 0 || flags > kMaxPlatformMask) {
        return false;
    }
    const bool classic = loader == kClassicLoader && revisionField <= kMaxRevision &&
                         (ReadLe32(bytes, kSignatureOffset) & kFamilyMask) == kFamily6 && flags <= kMaxPlatformFlags &&
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

bool MicrocodeHeader::ReadLater(File& file, const std::uint8_t* bytes, std::size_t got)
{
    error = false;
    message.clear();
    if (got < kHeaderSize) {
        return Reject(kEndOfFileDiagnostic);
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
    headerVersionText = FormatField("Header Ver. %d", headerVersion);
    revisionText = FormatField("Rev. 0x%02X", revision);
    dateText = DateText(date);
    loaderText = FormatField("Loader Ver. %d", loaderRevision);
    dataSize = storedDataSize == 0 ? kDefaultDataSize : storedDataSize;
    totalSize = storedTotalSize == 0 ? static_cast<std::uint32_t>(kUpdateSize) : storedTotalSize;
    extendedSignatures.clear();
    extendedLeftOut = 0;

    if (headerVersion != 1) {
        return Reject(FormatField("知らないヘッダーバージョン %d", headerVersion));
    }
    if (revision == 0) {
        return Reject("コードリビジョンがない 0");
    }
    if (std::string problem = DateProblem(date); !problem.empty()) {
        return Reject(std::move(problem));
    }
    if (loaderRevision > kMaxLaterLoader) {
        return Reject(FormatField("ローダーバージョンが変 %d", loaderRevision));
    }
    if (platformFlags > kMaxPlatformMask) {
        return Reject(FormatField("パッケージタイプが変 %d", platformFlags));
    }
    if (dataSize % kDataSizeUnit != 0) {
        return Reject(FormatField("データサイズが変 %u", storedDataSize));
    }
    if (totalSize % kTotalSizeUnit != 0) {
        return Reject(FormatField("トータルサイズが変 %u", storedTotalSize));
    }
    if (std::uint64_t{dataSize} + kHeaderSize > totalSize) {
        return Reject(FormatField("データサイズがトータルサイズを超える %u", dataSize));
    }
    const std::uint32_t extendedSize = totalSize - dataSize - static_cast<std::uint32_t>(kHeaderSize);
    if (extendedSize != 0 &&
        (extendedSize < kExtendedHeaderSize || (extendedSize - kExtendedHeaderSize) % kExtendedEntrySize != 0)) {
        return Reject(FormatField("拡張シグネチャテーブルの大きさが変 %u", extendedSize));
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

bool MicrocodeHeader::CheckWholeUpdate(File& file, std::uint64_t& summed)
{
    // An update that would end past the end of the file is rejected without
    // reading it, so that a size that lies costs nothing of the allowance.
    // Where the system cannot tell the size (some special files), the read
    // below finds the end.
    if (const std::uint64_t size = file.Size();
        size != 0 && (std::uint64_t{totalSize} > size || start > size - totalSize)) {
        return Reject(kEndOfFileDiagnostic);
    }
    if (allowance_ != nullptr && !allowance_->Allows(start)) {
        return Reject(FormatField("チェックサムを数えきれない %u", totalSize));
    }
    // The update is summed where it lies in the read buffer, a buffer at a
    // time; a file that ends first rejects it without reading further.
    file.Seek(start);
    std::uint32_t sum = 0;
    while (summed < totalSize) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(totalSize - summed, File::kBufferSize));
        const std::uint8_t* data = nullptr;
        const std::size_t got = file.Peek(want, data);
        summed += got;
        if (got < want) {
            return Reject(kEndOfFileDiagnostic);
        }
        sum += SumOfDwords(std::span(data, got));
        file.Seek(start + summed);
        PollStop();
    }
    if (sum != 0) {
        return Reject(FormatField("チェックサムが合わない %08X", sum));
    }
    return true;
}

bool MicrocodeHeader::ReadExtendedTable(File& file)
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
        return Reject(FormatField("拡張シグネチャの数が変 %u", count));
    }
    // Each entry's checksum is the header's with the entry's signature and
    // mask in place of the header's: the three add up to the same. Every
    // entry is checked; only the first `extendedKeep_` are kept.
    const std::uint64_t kept = std::min<std::uint64_t>(count, extendedKeep_);
    extendedSignatures.resize(static_cast<std::size_t>(kept));
    std::string problem;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t bytes[kExtendedEntrySize];
        (void)file.Read(bytes, sizeof bytes);
        sum += SumOfDwords(bytes);
        ExtendedSignature entry;
        entry.signature = ReadLe32(bytes, 0);
        entry.platformFlags = ReadLe32(bytes, 4);
        entry.checksum = ReadLe32(bytes, 8);
        if (problem.empty() && entry.platformFlags > kMaxPlatformMask) {
            problem = FormatField("パッケージタイプが変 %d", entry.platformFlags);
        } else if (problem.empty() &&
                   entry.signature + entry.platformFlags + entry.checksum != signature + platformFlags + checksum) {
            problem = FormatField("拡張シグネチャのチェックサムが合わない %X", entry.signature);
        }
        if (i < kept) {
            extendedSignatures[i] = std::move(entry);
        }
    }
    if (sum != 0) {
        return Reject(FormatField("拡張シグネチャテーブルのチェックサムが合わない %08X", sum));
    }
    if (!problem.empty()) {
        return Reject(std::move(problem));
    }
    extendedLeftOut = count - kept;
    return true;
}

}  // namespace veskari
