#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veskari {

/// The diagnostic of a candidate that the end of its file cuts short, the
/// same for every kind of record: the bytes beyond the end count as
/// missing, not as zero.
inline constexpr char kEndOfFileDiagnostic[] = "ファイル終端か？";

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

/// A structure found at some byte position of a file, which reads and
/// checks itself where the file stands. Bad data is never an exception:
/// Read returns false and leaves a diagnostic in `message` (record state
/// only, never shown in the report).
class LocatedRecord {
public:
    LocatedRecord() = default;
    LocatedRecord(const LocatedRecord&) = delete;
    LocatedRecord& operator=(const LocatedRecord&) = delete;

    std::uint64_t start = 0;  ///< where the last Read began
    bool error = false;       ///< set when the last Read rejected its bytes as malformed
    std::string message;      ///< the last Read's diagnostic

protected:
    ~LocatedRecord() = default;
};

}  // namespace veskari
