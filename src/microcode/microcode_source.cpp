#include "microcode/microcode_source.h"

#include "records/little_endian.h"

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
        sum += ReadLe32(bytes, i);
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
        record.header = header;
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
