#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "lzh/lzh_header.h"
#include "records/sweep.h"

namespace veskari {

/// A member found by a listing: its name and where its header starts.
struct ListedMember {
    std::string name;
    std::uint64_t start = 0;
};

/// The listing of a file's members as a lane of a sweep that reads the
/// file once for several kinds of record: every member's name, in file
/// order, with where its header was found.
class LzhListingLane final : public SweepLane {
public:
    /// Reads each candidate with `header`; rejected candidates are
    /// reported to `rejections` (may be nullptr). Once `maxMembers` members
    /// are listed the lane tries no further candidate: a caller that will
    /// look at no more than that many holds no more names.
    LzhListingLane(LzhHeader& header, RejectionObserver* rejections,
                   std::uint64_t maxMembers = std::numeric_limits<std::uint64_t>::max())
        : header_(header), rejections_(rejections), maxMembers_(maxMembers)
    {
    }

    [[nodiscard]] std::size_t LookAhead() const noexcept override { return LzhHeader::kLookAhead; }
    [[nodiscard]] std::size_t NextCandidate(const std::uint8_t* window, std::size_t size, std::size_t from,
                                            std::size_t end) const noexcept override;
    /// A header holds "-lh?-" two bytes after its start.
    [[nodiscard]] Marks CandidateMarks() const noexcept override { return {true, 2, '-', 4, 'h'}; }
    std::uint64_t Try(File& file, std::uint64_t position) override;

    std::vector<ListedMember> members;

private:
    LzhHeader& header_;
    RejectionObserver* rejections_;
    std::uint64_t maxMembers_;
};

}  // namespace veskari
