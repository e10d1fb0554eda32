#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/cfile.h"
#include "platform/stop_request.h"

namespace veskari {

/// Appended to a record's message when a scan finds no further header.
inline constexpr const char* kNoMoreHeadersNotice = "もう次のヘッダーはないよん";

/// Scans read windows of this many bytes plus a kind's look-ahead, this
/// many bytes apart, so that consecutive windows overlap by the look-ahead.
inline constexpr std::size_t kScanStep = 8000;

class LocatedRecord;

/// Hears of every candidate that a scan tried and the record rejected.
class RejectionObserver {
public:
    /// `record` holds the candidate's `start`, its `error` flag and the
    /// diagnostic its Read left in `message`.
    virtual void Rejected(const LocatedRecord& record) = 0;

protected:
    ~RejectionObserver() = default;
};

/// A structure found at some byte position of a file: it reads and checks
/// itself at the current position, scans forward for its next valid
/// occurrence and moves the file to its start, past itself or to its data.
/// Bad data is never an exception: Read returns false and leaves a
/// diagnostic in `message` (record state only, never shown in the report).
class LocatedRecord {
public:
    LocatedRecord() = default;
    LocatedRecord(const LocatedRecord&) = delete;
    LocatedRecord& operator=(const LocatedRecord&) = delete;

    /// Reads and checks the record at the file's current position.
    [[nodiscard]] virtual bool Read(CFile& file);
    /// The next valid record at or after the current position; on success
    /// the file stands at its start.
    [[nodiscard]] virtual bool FindNext(CFile& file);
    void SeekToStart(CFile& file) { file.Seek(start); }
    virtual void SkipPast(CFile& file);
    virtual void SeekToData(CFile& file) = 0;
    [[nodiscard]] virtual const std::string& Name() const = 0;
    [[nodiscard]] virtual std::int32_t DataSize() const = 0;

    /// Reports the candidates that later scans reject (nullptr: none).
    void ObserveRejections(RejectionObserver* observer) noexcept { rejections_ = observer; }

    std::uint64_t start = 0;  ///< where the last Read began
    bool error = false;       ///< set when the last Read rejected its bytes as malformed
    std::string message;      ///< the last Read's diagnostic, then the end-of-scan notice

protected:
    ~LocatedRecord() = default;

    /// The scan frame shared by all kinds: windows of kScanStep + K bytes,
    /// kScanStep apart; every offset i < n - K of a window of n bytes for
    /// which `nextCandidate` reports a pattern match is tried with Read.
    /// `nextCandidate(window, from, end)` returns the first candidate offset
    /// in [from, end), or `end` when there is none.
    template <std::size_t K, typename CandidateFinder>
    [[nodiscard]] bool ScanFrame(CFile& file, CandidateFinder nextCandidate)
    {
        // The window is looked at in the file's own read buffer, not copied.
        constexpr std::size_t kWindowSize = kScanStep + K;
        static_assert(kWindowSize <= CFile::kBufferSize);
        std::uint64_t windowStart = file.GetPosition();
        for (;;) {
            // A stop request takes effect here, window by window, also
            // inside one huge file.
            PollStop();
            const std::uint8_t* window = nullptr;
            const std::size_t got = file.Peek(kWindowSize, window);
            if (got < K) {
                break;
            }
            const std::size_t end = got - K;
            for (std::size_t i = nextCandidate(window, 0, end); i < end; i = nextCandidate(window, i + 1, end)) {
                file.Seek(windowStart + i);
                if (Read(file)) {
                    SeekToStart(file);
                    return true;
                }
                if (rejections_ != nullptr) {
                    rejections_->Rejected(*this);
                }
                // Read may have moved the buffer: look at the window again.
                file.Seek(windowStart);
                (void)file.Peek(kWindowSize, window);
            }
            windowStart += kScanStep;
            file.Seek(windowStart);
        }
        EndScan();
        return false;
    }

private:
    void EndScan();

    RejectionObserver* rejections_ = nullptr;
};

}  // namespace veskari
