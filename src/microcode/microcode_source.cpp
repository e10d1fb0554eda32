#include "microcode/microcode_source.h"

namespace veskari {
namespace {

// The 32-bit sum of all dwords of an update is 0 when it is intact.
bool ChecksumValid(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() != MicrocodeHeader::kUpdateSize) {
        return false;
    }
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        sum += static_cast<std::uint32_t>(bytes[i]) | (static_cast<std::uint32_t>(bytes[i + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes[i + 2]) << 16) | (static_cast<std::uint32_t>(bytes[i + 3]) << 24);
    }
    return sum == 0;
}

}  // namespace

bool MicrocodeSource::CollectUpdates(std::vector<UpdateRecord>& records, RejectionObserver* rejections,
                                     bool withBytes)
{
    // A multimap keeps equal keys in insertion order, which is file order.
    std::multimap<EntryKey, UpdateRecord> entries;
    for (;;) {
        MicrocodeHeader header;
        header.ObserveRejections(rejections);
        if (!header.FindNext(file)) {
            break;
        }
        UpdateRecord record;
        record.offset = header.start;
        record.headerVersion = header.headerVersion;
        record.revision = header.revision;
        record.date = header.date;
        record.signature = header.signature;
        record.checksum = header.checksum;
        record.loaderRevision = header.loaderRevision;
        record.platformFlags = header.platformFlags;
        record.dateText = header.dateText;
        record.packageText = header.packageText;
        record.processorName = header.processorName;
        header.ReportLine(record.line);
        if (withBytes) {
            record.bytes.resize(MicrocodeHeader::kUpdateSize);
            header.SeekToStart(file);
            record.bytes.resize(file.Read(record.bytes.data(), record.bytes.size()));
            record.checksumValid = ChecksumValid(record.bytes);
        }
        entries.emplace(header.Key(), std::move(record));
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
