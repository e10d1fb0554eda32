#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/file.h"
#include "records/located_record.h"
#include "records/sweep.h"

namespace veskari {

/// The fields of a compressed segment's header, as read.
struct SegmentHeaderFields {
    std::uint8_t type = 0;            ///< the kind of module, as the firmware numbers it
    std::uint16_t loadSegment = 0;    ///< the real-mode segment it is decoded to; 0 when none is given
    std::uint32_t decodedSize = 0;    ///< bytes it decodes to
    std::uint32_t compressedSize = 0; ///< bytes of compressed data after the header

    friend bool operator==(const SegmentHeaderFields&, const SegmentHeaderFields&) = default;
};

/// The 18-byte header of a compressed segment, as firmware of one BIOS
/// family of the mid-1990s keeps its modules: "BC", D6 F1, two zero bytes,
/// the header's own length 0x12, the module's type, the segment it loads
/// to, its decoded and its compressed size (little-endian), then the data,
/// LZSS over a 4 KiB window (SegmentDecoder). The header has no name and
/// no checksum of its own.
class SegmentHeader final : public LocatedRecord, public SegmentHeaderFields {
public:
    static constexpr std::size_t kHeaderSize = 18;
    /// Every header starts with the seven bytes "BC" D6 F1 00 00 12. They are
    /// never written down whole in the program (see IsCandidate).
    static constexpr std::size_t kLookAhead = 7;

    /// Reads and checks the header where the file stands.
    [[nodiscard]] bool Read(File& file);
    /// The name the report gives the segment (see SegmentName).
    [[nodiscard]] const std::string& Name() const { return name_; }

    /// Whether `bytes` (at least kLookAhead of them) start like a header.
    [[nodiscard]] static bool IsCandidate(const std::uint8_t* bytes) noexcept;

private:
    std::string name_;
};

/// The name under which a segment is reported, since its header has none:
/// "seg" and its type in two hexadecimal digits, then "-" and the address
/// it loads to (segment times 16, five digits), or, when the header gives
/// no segment, "-at-" and where its header starts in the file (eight
/// digits): "seg05-C0000", "seg09-at-0001A2F0".
[[nodiscard]] std::string SegmentName(const SegmentHeaderFields& fields, std::uint64_t start);

/// A segment found by a listing: where its header starts, and the header.
struct ListedSegment {
    std::uint64_t start = 0;
    SegmentHeaderFields fields;
    std::string name;
};

/// The listing of a file's segments as a lane of a sweep: each one found,
/// in file order; the search goes on after each segment's data.
class SegmentListingLane final : public SweepLane {
public:
    /// Rejected candidates are reported to `rejections` (may be nullptr);
    /// once `maxSegments` are listed, nothing more is tried.
    explicit SegmentListingLane(RejectionObserver* rejections,
                                std::uint64_t maxSegments = std::numeric_limits<std::uint64_t>::max())
        : rejections_(rejections), maxSegments_(maxSegments)
    {
    }

    [[nodiscard]] std::size_t LookAhead() const noexcept override { return SegmentHeader::kLookAhead; }
    [[nodiscard]] std::size_t NextCandidate(const std::uint8_t* window, std::size_t size, std::size_t from,
                                            std::size_t end) const noexcept override;
    /// D6 F1, after "BC": rare in firmware, where "BC" is not.
    [[nodiscard]] Marks CandidateMarks() const noexcept override { return {true, 2, 0xD6, 3, 0xF1}; }
    std::uint64_t Try(File& file, std::uint64_t position) override;

    std::vector<ListedSegment> segments;

private:
    SegmentHeader header_;
    RejectionObserver* rejections_;
    std::uint64_t maxSegments_;
};

}  // namespace veskari
