#pragma once

#include <atomic>

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/file.h"

namespace veskari {

/// One kind of record that a sweep looks for: it finds its candidates in a
/// window and tries them. Each lane goes on from its own position, so one
/// read of the file serves several kinds, each seeing exactly the
/// candidates that a scan of its own would see.
class SweepLane {
public:
    /// Bytes after a candidate that its pattern test may look at: a
    /// candidate in the last `lookAhead` bytes of the file is never tried.
    [[nodiscard]] virtual std::size_t LookAhead() const noexcept = 0;
    /// Bytes after a candidate that the lane likes to see in the window
    /// (its pattern test may look further when they are there).
    [[nodiscard]] virtual std::size_t Margin() const noexcept { return LookAhead(); }
    /// The first candidate offset in [from, end) of `window`, or `end`.
    /// `window` holds `size` bytes, at least LookAhead() of them past `end`,
    /// and Margin() of them unless the file ends first.
    [[nodiscard]] virtual std::size_t NextCandidate(const std::uint8_t* window, std::size_t size, std::size_t from,
                                                    std::size_t end) const noexcept = 0;
    /// Two bytes that every candidate of the lane has, at these offsets
    /// from it (both below LookAhead()): the sweep looks for the marks of
    /// all lanes in one pass over each window, and asks a lane for its
    /// candidates only from the first place where its marks stand. A lane
    /// without marks (`marked` false) is asked for every window.
    struct Marks {
        bool marked = false;
        std::uint8_t firstOffset = 0;
        std::uint8_t first = 0;
        std::uint8_t secondOffset = 0;
        std::uint8_t second = 0;
    };
    [[nodiscard]] virtual Marks CandidateMarks() const noexcept { return {}; }
    /// Tries the candidate at `position` (the file stands there) and
    /// returns the position from which the lane goes on: just after the
    /// candidate when it was rejected, past the record when accepted.
    virtual std::uint64_t Try(File& file, std::uint64_t position) = 0;

    /// Where the lane goes on; candidates before it are passed over.
    std::uint64_t next = 0;

protected:
    ~SweepLane() = default;
};

/// Reads the file once, from its current position to its end, in windows
/// of the scan frame (kScanStep bytes apart), and lets every lane try its
/// candidates in file order. Polls the stop request window by window, and
/// stores in `scanned`, when given, how far the scan has come (the start of
/// the window it reads), so that another thread can show it.
void Sweep(File& file, std::span<SweepLane* const> lanes, std::atomic<std::uint64_t>* scanned = nullptr);

}  // namespace veskari
