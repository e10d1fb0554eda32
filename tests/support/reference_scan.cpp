#include "support/reference_scan.h"

#include <algorithm>

#include "platform/stop_request.h"

namespace veskari::test {
namespace {

// Windows of kScanStep + K bytes, kScanStep apart; every offset i < n - K
// of a window of n bytes that `matches` is tried with `read`.
template <std::size_t K, typename Record, typename Pattern>
bool ScanFrame(Record& record, File& file, RejectionObserver* rejections, Pattern matches)
{
    constexpr std::size_t kWindowSize = kScanStep + K;
    static_assert(kWindowSize <= File::kBufferSize);
    for (std::uint64_t windowStart = file.GetPosition();; windowStart += kScanStep) {
        PollStop();
        file.Seek(windowStart);
        const std::uint8_t* window = nullptr;
        const std::size_t got = file.Peek(kWindowSize, window);
        if (got < K) {
            return false;
        }
        for (std::size_t i = 0; i < got - K; ++i) {
            if (!matches(window + i, i)) {
                continue;
            }
            file.Seek(windowStart + i);
            if (record.Read(file)) {
                file.Seek(record.start);
                return true;
            }
            if (rejections != nullptr) {
                rejections->Rejected(record);
            }
            // Read may have moved the buffer: look at the window again.
            file.Seek(windowStart);
            (void)file.Peek(kWindowSize, window);
        }
    }
}

}  // namespace

bool FindNext(MicrocodeHeader& header, File& file, RejectionObserver* rejections, MicrocodeFormats formats)
{
    const bool all = formats == MicrocodeFormats::all;
    return ScanFrame<MicrocodeHeader::kLookAhead>(header, file, rejections, [all](const std::uint8_t* at, std::size_t) {
        return all ? MicrocodeHeader::IsAnyFormatCandidate(at) : MicrocodeHeader::IsCandidate(at);
    });
}

bool FindNext(LzhHeader& header, File& file, RejectionObserver* rejections)
{
    // A header starts two bytes before the '-' of "-lh?-".
    return ScanFrame<LzhHeader::kLookAhead>(header, file, rejections, [](const std::uint8_t* at, std::size_t) {
        return at[2] == '-' && at[3] == 'l' && at[4] == 'h' && at[6] == '-';
    });
}

bool FindNext(SegmentHeader& header, File& file, RejectionObserver* rejections)
{
    return ScanFrame<SegmentHeader::kLookAhead>(header, file, rejections, [](const std::uint8_t* at, std::size_t) {
        return SegmentHeader::IsCandidate(at);
    });
}

bool LzhScan::Collect(std::vector<std::string>& list)
{
    while (FindNext(header, *file)) {
        list.push_back(header.Name());
        header.SkipPast(*file);
    }
    return !header.error;
}

bool LzhScan::FindMember(const std::string& name)
{
    while (FindNext(header, *file)) {
        if (header.Name() == name) {
            header.SeekToData(*file);
            return true;
        }
        header.SkipPast(*file);
    }
    return false;
}

bool MicrocodeScan::CollectUpdates(std::vector<UpdateRecord>& records, RejectionObserver* rejections, bool withBytes)
{
    UpdateCollector collector(formats_, withBytes, rejections);
    for (;;) {
        MicrocodeHeader header = collector.NewHeader();
        if (!FindNext(header, *file, rejections, formats_)) {
            break;
        }
        file->Seek(collector.Take(header, *file));
    }
    collector.Finish(records);
    return true;
}

bool MicrocodeScan::Collect(std::vector<std::string>& list)
{
    std::vector<UpdateRecord> records;
    CollectUpdates(records, nullptr, false);
    for (UpdateRecord& record : records) {
        list.push_back(std::move(record.line));
    }
    return true;
}

}  // namespace veskari::test
