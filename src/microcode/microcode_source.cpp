#include "microcode/microcode_source.h"

#include <algorithm>

#include "records/little_endian.h"

namespace veskari {
namespace {

// The 32-bit sum of all dwords of an update is 0 when it is intact.
bool ChecksumValid(const std::vector<std::uint8_t>& bytes, std::uint32_t totalSize)
{
    if (bytes.size() != totalSize) {
        return false;
    }
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        sum += ReadLe32(bytes, i);
    }
    return sum == 0;
}

// Whether entry `index` names a signature and mask that the header or an
// earlier entry already named: the line would repeat theirs.
bool RepeatsEarlier(const MicrocodeHeaderFields& header, std::size_t index)
{
    const ExtendedSignature& entry = header.extendedSignatures[index];
    const auto same = [&entry](std::uint32_t signature, std::uint32_t platformFlags) {
        return entry.signature == signature && entry.platformFlags == platformFlags;
    };
    const auto earlier = header.extendedSignatures.begin() + static_cast<std::ptrdiff_t>(index);
    return same(header.signature, header.platformFlags) ||
           std::any_of(header.extendedSignatures.begin(), earlier,
                       [&same](const ExtendedSignature& other) { return same(other.signature, other.platformFlags); });
}

}  // namespace

bool MicrocodeSource::CollectUpdates(std::vector<UpdateRecord>& records, RejectionObserver* rejections,
                                     bool withBytes)
{
    // A multimap keeps equal keys in insertion order, which is file order.
    std::multimap<std::uint64_t, UpdateRecord> entries;
    ChecksumAllowance allowance;
    for (;;) {
        MicrocodeHeader header(formats_, &allowance);
        header.ObserveRejections(rejections);
        if (!header.FindNext(file)) {
            break;
        }
        UpdateRecord record;
        record.offset = header.start;
        record.header = header;
        header.ReportLine(record.line);
        record.checksumValid = header.format == MicrocodeFormat::later;
        if (withBytes) {
            record.bytes.resize(header.totalSize);
            header.SeekToStart(file);
            record.bytes.resize(file.Read(record.bytes.data(), record.bytes.size()));
            record.checksumValid = ChecksumValid(record.bytes, header.totalSize);
        }
        const bool checksumValid = record.checksumValid;
        entries.emplace(OrderKey(header.format, header.signature, header.platformFlags), std::move(record));
        for (std::size_t i = 0; i < header.extendedSignatures.size(); ++i) {
            if (RepeatsEarlier(header, i)) {
                continue;
            }
            UpdateRecord extended;
            extended.offset = header.start;
            extended.header = header;
            extended.extendedIndex = static_cast<int>(i);
            extended.checksumValid = checksumValid;
            header.ExtendedReportLine(i, extended.line);
            const ExtendedSignature& entry = header.extendedSignatures[i];
            entries.emplace(OrderKey(header.format, entry.signature, entry.platformFlags), std::move(extended));
        }
        header.SkipPast(file);
    }
    for (auto& entry : entries) {
        records.push_back(std::move(entry.second));
    }
    return true;
}

bool MicrocodeSource::Collect(std::vector<std::string>& list)
{
    std::vector<UpdateRecord> records;
    CollectUpdates(records, nullptr, false);
    for (UpdateRecord& record : records) {
        list.push_back(std::move(record.line));
    }
    return true;
}

}  // namespace veskari
