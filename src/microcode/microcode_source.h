#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "microcode/microcode_header.h"
#include "records/processor_extensions.h"
#include "records/sweep.h"

namespace veskari {

/// One report line with every field of its update, for the detailed output.
/// An update with an extended signature table gives one line for its header
/// and one for each entry that names another signature or mask; all of them
/// carry the update's fields, and `extendedIndex` tells which one the line
/// shows.
struct UpdateRecord {
    std::uint64_t offset = 0;
    /// The update's header fields; its extended signature table is held
    /// once for all of the update's lines, in `extendedSignatures`.
    MicrocodeHeaderFields header;
    std::string line;  ///< the report line
    /// -1: the line of the header's own signature; otherwise the index of
    /// the entry of the extended signature table that the line shows.
    int extendedIndex = -1;
    /// The update's extended signature table, shared by all of its lines
    /// (nullptr without one), so that a table of any length costs its
    /// size once and not once per line.
    std::shared_ptr<const std::vector<ExtendedSignature>> extendedSignatures;
    /// Whether the dwords of the whole update add up to 0: for a classic
    /// update only when the bytes were asked for (a classic update that the
    /// file cuts short is not valid); always for the later format, where it
    /// is a rule. The bytes themselves are never held: an observer that
    /// wants them reads them from the file (AnalysisObserver::UpdateBytes).
    bool checksumValid = false;

    /// The processor the line shows: an extended line's entry, else the header's.
    [[nodiscard]] std::uint32_t LineSignature() const noexcept
    {
        return extendedIndex < 0 ? header.signature : Entry().signature;
    }
    [[nodiscard]] std::uint32_t LinePlatformFlags() const noexcept
    {
        return extendedIndex < 0 ? header.platformFlags : Entry().platformFlags;
    }
    [[nodiscard]] const std::string& LinePackage() const noexcept
    {
        return extendedIndex < 0 ? header.packageText : Entry().packageText;
    }
    [[nodiscard]] const std::string& LineProcessor() const noexcept
    {
        return extendedIndex < 0 ? header.processorName : Entry().processorName;
    }

    [[nodiscard]] std::span<const ExtendedSignature> ExtendedSignatures() const noexcept
    {
        return extendedSignatures ? std::span<const ExtendedSignature>(*extendedSignatures)
                                  : std::span<const ExtendedSignature>();
    }

private:
    [[nodiscard]] const ExtendedSignature& Entry() const noexcept
    {
        return (*extendedSignatures)[static_cast<std::size_t>(extendedIndex)];
    }
};

/// Keeps the accepted updates of one scan of a file, in report order: by
/// OrderKey, equal keys in file order, each update's extended lines placed
/// by their own signature.
class UpdateCollector {
public:
    /// `withBytes` also verifies each classic update's checksum;
    /// rejected candidates are reported to `rejections` (may be nullptr).
    UpdateCollector(MicrocodeFormats formats, bool withBytes, RejectionObserver* rejections)
        : formats_(formats), withBytes_(withBytes), rejections_(rejections)
    {
    }
    UpdateCollector(const UpdateCollector&) = delete;
    UpdateCollector& operator=(const UpdateCollector&) = delete;

    /// A header record for the next candidate of this scan.
    [[nodiscard]] MicrocodeHeader NewHeader() noexcept
    {
        return MicrocodeHeader(formats_, allowance_,
                               extendedLinesLeft_ != nullptr ? *extendedLinesLeft_
                                                             : std::numeric_limits<std::uint64_t>::max(),
                               laterNext_);
    }
    /// Candidates of the later format that were not checked because the
    /// checksum reads of the scan were used up: updates may be missing.
    [[nodiscard]] std::uint64_t UncheckedCandidates() const noexcept { return allowance_->Refused(); }
    /// Shares `allowance` (kept by the caller, for the scans of one
    /// top-level file and its members) instead of one of this scan's own.
    void ShareAllowance(ChecksumAllowance& allowance) noexcept { allowance_ = &allowance; }
    /// Counts the lines of extended signatures against `left`, shared with
    /// the scans of other files; once it is 0 they are omitted.
    void LimitExtendedLines(std::uint64_t& left) noexcept { extendedLinesLeft_ = &left; }
    /// Lines of extended signatures omitted for the limit.
    [[nodiscard]] std::uint64_t OmittedExtendedLines() const noexcept { return omittedExtendedLines_; }
    /// In the classic mode: updates of the later layout that the scan met
    /// and did not list (each checked in full, checksum included).
    [[nodiscard]] std::uint64_t UnlistedLaterUpdates() const noexcept { return unlistedLater_; }
    /// Keeps a header that Read accepted (and its extended lines) unless it
    /// lies inside an update of its kind already kept; returns where the
    /// scan goes on: past the update when no other kind can start before,
    /// else at the next byte.
    [[nodiscard]] std::uint64_t Take(MicrocodeHeader& header, File& file);
    /// Tries the candidate where the file stands; returns where the scan
    /// goes on (see Take; the next byte after a rejected candidate).
    [[nodiscard]] std::uint64_t TryAt(File& file);
    /// Moves the kept lines, in report order, to the end of `records`.
    void Finish(std::vector<UpdateRecord>& records);

private:
    // Counts the update of the later layout at `start`, if there is one,
    // without listing it.
    void CountUnlistedLater(File& file, std::uint64_t start);
    void Add(MicrocodeHeader& header, File& file);

    MicrocodeFormats formats_;
    bool withBytes_;
    RejectionObserver* rejections_;
    ChecksumAllowance ownAllowance_;
    ChecksumAllowance* allowance_ = &ownAllowance_;
    // The checksum reads of the count have their own allowance: they are
    // not the listing's, and a count cut short makes no report incomplete.
    ChecksumAllowance countAllowance_;
    std::uint64_t unlistedLater_ = 0;
    std::uint64_t countedUpTo_ = 0;  // the end of the last update counted
    std::uint64_t* extendedLinesLeft_ = nullptr;
    std::uint64_t omittedExtendedLines_ = 0;
    // The classic headers and the later-format updates are found as two
    // scans would find them, each going on past what it accepted: a
    // classic header 2048 bytes on, a later update past its total size.
    // The classic lines are thus exactly those of the classic mode.
    std::uint64_t classicNext_ = 0;
    std::uint64_t laterNext_ = 0;
    std::multimap<std::uint64_t, UpdateRecord> entries_;  // equal keys stay in insertion order
};

/// The microcode updates of a file as a lane of a sweep that reads the file
/// once for several kinds of record.
class MicrocodeLane final : public SweepLane {
public:
    MicrocodeLane(MicrocodeFormats formats, bool withBytes, RejectionObserver* rejections)
        : collector(formats, withBytes, rejections), formats_(formats), observed_(rejections != nullptr)
    {
    }

    [[nodiscard]] std::size_t LookAhead() const noexcept override { return MicrocodeHeader::kLookAhead; }
    /// The whole header, so that its bytes can be judged in the window.
    [[nodiscard]] std::size_t Margin() const noexcept override { return MicrocodeHeader::kHeaderSize; }
    [[nodiscard]] std::size_t NextCandidate(const std::uint8_t* window, std::size_t size, std::size_t from,
                                            std::size_t end) const noexcept override;
    /// Every header of every format starts with the version 01 00 00 00.
    [[nodiscard]] Marks CandidateMarks() const noexcept override { return {true, 0, 0x01, 1, 0x00}; }
    std::uint64_t Try(File& file, std::uint64_t position) override;

    UpdateCollector collector;

private:
    [[nodiscard]] bool IsCandidateAt(const std::uint8_t* window, std::size_t size, std::size_t i) const noexcept;
#if defined(VESKARI_WIDE_VECTORS)
    std::size_t WideCandidateSearch(const std::uint8_t* window, std::size_t size, std::size_t i, std::size_t end,
                                    std::size_t& found) const noexcept;
#endif

    MicrocodeFormats formats_;
    bool observed_;  // rejections are told, each with its diagnostic: every candidate is read
};

}  // namespace veskari
