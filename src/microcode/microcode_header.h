#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "platform/file.h"
#include "records/located_record.h"

namespace veskari {

/// Sort key of an accepted update: the signature's low 16 bits above the
/// platform flags.
using EntryKey = std::uint32_t;

/// Which update layouts a scan lists. `classic`: the 48-byte headers of
/// family-6 updates with zero size fields, as the report always listed them.
/// `all`: those too, exactly as before, and every update of the published
/// layout with sizes, any family and a checksum that adds up.
enum class MicrocodeFormats { classic, all };

/// The rules that accepted an update.
enum class MicrocodeFormat {
    classic,  ///< the classic header rules: a 2048-byte update, checksum not required
    later,    ///< the published layout: sizes, any family, whole-update checksum of 0
};

/// One entry of an update's extended signature table: a further processor
/// that the same update serves, named like the header's own.
struct ExtendedSignature {
    std::uint32_t signature = 0;
    std::uint32_t platformFlags = 0;  ///< the entry's platform-ID mask
    std::uint32_t checksum = 0;
    std::string packageText;
    std::string processorName;
};

/// The fields of an update header as read, with the texts made from them:
/// the one list of them that the record and the events of an accepted
/// update share.
struct MicrocodeHeaderFields {
    std::uint32_t headerVersion = 0;
    std::uint32_t revision = 0;
    std::uint32_t date = 0;
    std::uint32_t signature = 0;
    std::uint32_t checksum = 0;
    std::uint32_t loaderRevision = 0;
    std::uint32_t platformFlags = 0;  ///< the platform-ID mask in the later format
    std::string headerVersionText;
    std::string revisionText;
    std::string dateText;
    std::string loaderText;
    std::string packageText;
    std::string processorName;
    MicrocodeFormat format = MicrocodeFormat::classic;
    /// The update's data bytes and its whole length (header, data and
    /// extended table), with stored zeros already read as 2000 and 2048.
    std::uint32_t dataSize = 0;
    std::uint32_t totalSize = 0;
    /// The extended signature table as stored (later format only).
    std::vector<ExtendedSignature> extendedSignatures;
};

/// Bounds the bytes that the checksums of rejected candidates may read in
/// the scans of one top-level file and its members: a candidate may announce
/// any size up to the end of its file, and without a bound, candidates
/// packed every few bytes, each announcing the rest of the file, would make
/// a scan quadratic. A candidate is summed while the sums of the rejected
/// ones before it have read at most four times the bytes scanned so far
/// (in this scan and the earlier ones that share the allowance) plus 1 MiB;
/// so the scans read at most about five times what they scan, however many
/// members there are, and an update of any size is summed unless lying
/// candidates have used that up. Candidates refused for that are counted,
/// so that the analysis can tell that its report may lack updates.
class ChecksumAllowance {
public:
    /// Whether a candidate at `position` of the current scan may be
    /// summed; counts it when not.
    [[nodiscard]] bool Allows(std::uint64_t position) noexcept
    {
        if (spent_ <= kBase + kPerByte * (scannedBefore_ + position)) {
            return true;
        }
        ++refused_;
        return false;
    }
    void Spend(std::uint64_t bytes) noexcept { spent_ += bytes; }
    /// A scan of `bytes` bytes has ended: the next scan's positions count
    /// after them.
    void Scanned(std::uint64_t bytes) noexcept { scannedBefore_ += bytes; }
    /// How many candidates were not summed because the allowance was used up.
    [[nodiscard]] std::uint64_t Refused() const noexcept { return refused_; }

private:
    static constexpr std::uint64_t kBase = std::uint64_t{1} << 20;
    static constexpr std::uint64_t kPerByte = 4;
    std::uint64_t spent_ = 0;
    std::uint64_t refused_ = 0;
    std::uint64_t scannedBefore_ = 0;
};

/// The header of a processor microcode update, found anywhere in a file and
/// checked field by field: by default the 48-byte header of a family-6
/// update; with `MicrocodeFormats::all` also every update of the published
/// layout, whose whole bytes are then checked too.
class MicrocodeHeader final : public LocatedRecord, public MicrocodeHeaderFields {
public:
    static constexpr std::size_t kHeaderSize = 48;
    /// An update with zero size fields is 2048 bytes long; the scan resumes
    /// there after an accepted classic header.
    static constexpr std::uint64_t kUpdateSize = 2048;
    /// Look-ahead of the scan: the candidate patterns span 14 bytes.
    static constexpr std::size_t kLookAhead = 16;

    /// `allowance` bounds the checksum reads of rejected candidates (nullptr:
    /// unbounded, for a Read on its own); `extendedKeep` the entries of an
    /// extended signature table that are kept; a header that starts before
    /// `classicOnlyBefore` is read by the classic rules alone.
    explicit MicrocodeHeader(MicrocodeFormats formats = MicrocodeFormats::classic,
                             ChecksumAllowance* allowance = nullptr,
                             std::uint64_t extendedKeep = std::numeric_limits<std::uint64_t>::max(),
                             std::uint64_t classicOnlyBefore = 0) noexcept
        : formats_(formats), allowance_(allowance), extendedKeep_(extendedKeep), classicOnlyBefore_(classicOnlyBefore)
    {
    }

    /// Reads and checks the header where the file stands.
    [[nodiscard]] bool Read(File& file);

    /// Replaces `line` with the report line of this (accepted) header.
    void ReportLine(std::string& line) const;
    /// Replaces `line` with the report line of extended signature `index`:
    /// the header's date and revision, the entry's CPUID, package and name.
    void ExtendedReportLine(std::size_t index, std::string& line) const;

    [[nodiscard]] EntryKey Key() const noexcept { return (signature << 16) | platformFlags; }

    /// Entries of the extended signature table beyond those kept: checked
    /// all the same, then left out, so that a table of millions costs no
    /// memory.
    std::uint64_t extendedLeftOut = 0;

    /// Whether the bytes at `window[0..13]` look like a classic header:
    /// version 1, revision below 256, family 6.
    [[nodiscard]] static bool IsCandidate(const std::uint8_t* window) noexcept;
    /// Whether they look like a header of either format: version 1 and the
    /// leading digits of a year and a month that are in range.
    [[nodiscard]] static bool IsAnyFormatCandidate(const std::uint8_t* window) noexcept;
    /// False when Read would certainly reject a header that starts with
    /// `bytes`, by the rules that look at the 48 header bytes alone (true
    /// when fewer are there): a scan passes such candidates over without
    /// making their diagnostics.
    [[nodiscard]] static bool MayAccept(std::span<const std::uint8_t> bytes, MicrocodeFormats formats) noexcept;

private:
    [[nodiscard]] bool ReadClassic(const std::uint8_t* bytes, std::size_t got);
    [[nodiscard]] bool ReadLater(File& file, const std::uint8_t* bytes, std::size_t got);
    /// Sums the whole update; `summed` tells how many bytes that read.
    [[nodiscard]] bool CheckWholeUpdate(File& file, std::uint64_t& summed);
    [[nodiscard]] bool ReadExtendedTable(File& file);
    [[nodiscard]] bool Reject(std::string text);
    void ComposeLine(std::uint32_t lineSignature, const std::string& package, const std::string& processor,
                     std::string& line) const;

    MicrocodeFormats formats_;
    ChecksumAllowance* allowance_;
    std::uint64_t extendedKeep_;
    // Inside an accepted later-format update (before this position) only
    // the classic rules apply: no update is listed twice over its bytes.
    std::uint64_t classicOnlyBefore_;
};

/// The order of report lines, ascending; equal keys keep file order. A
/// classic line keeps its EntryKey, which holds only the low 16 bits of the
/// signature above the platform flags. A later-format line puts the bits
/// that key drops in front of it, so later lines order by their whole
/// signature, then mask, and sort among classic lines exactly as a classic
/// line of the same signature would when the signature fits in 16 bits. A
/// report of classic updates thus reads the same in either mode.
[[nodiscard]] constexpr std::uint64_t OrderKey(MicrocodeFormat format, std::uint32_t signature,
                                               std::uint32_t platformFlags) noexcept
{
    const std::uint64_t classicKey = static_cast<EntryKey>((signature << 16) | platformFlags);
    return format == MicrocodeFormat::later ? (std::uint64_t{signature >> 16} << 32) | classicKey : classicKey;
}

}  // namespace veskari
