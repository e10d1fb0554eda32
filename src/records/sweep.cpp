#include "records/sweep.h"

#include <algorithm>

#include "platform/stop_request.h"
#include "records/located_record.h"

namespace veskari {

void Sweep(CFile& file, std::span<SweepLane* const> lanes, std::atomic<std::uint64_t>* scanned)
{
    std::size_t margin = 0;
    for (const SweepLane* lane : lanes) {
        margin = std::max({margin, lane->LookAhead(), lane->Margin()});
    }
    const std::size_t windowSize = kScanStep + margin;
    std::uint64_t windowStart = file.GetPosition();
    for (const std::uint8_t* window = nullptr;; windowStart += kScanStep) {
        PollStop();
        if (scanned != nullptr) {
            scanned->store(windowStart, std::memory_order_relaxed);
        }
        file.Seek(windowStart);
        const std::size_t got = file.Peek(windowSize, window);
        bool anyLeft = false;
        for (SweepLane* lane : lanes) {
            // This window is the lane's for [windowStart, windowStart +
            // kScanStep), short of its look-ahead before the file's end.
            if (got < lane->LookAhead()) {
                continue;
            }
            anyLeft = true;
            const std::size_t end = std::min(kScanStep, got - lane->LookAhead());
            for (;;) {
                const std::size_t from =
                    lane->next > windowStart ? static_cast<std::size_t>(std::min<std::uint64_t>(lane->next - windowStart, end)) : 0;
                const std::size_t i = lane->NextCandidate(window, got, from, end);
                if (i >= end) {
                    break;
                }
                file.Seek(windowStart + i);
                lane->next = lane->Try(file, windowStart + i);
                // Trying may have moved the file's buffer: look again.
                file.Seek(windowStart);
                (void)file.Peek(windowSize, window);
            }
        }
        if (!anyLeft) {
            break;
        }
    }
}

}  // namespace veskari
