#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "lzh/lzh_decoder.h"
#include "lzh/lzh_header.h"
#include "records/file_source.h"
#include "records/sweep.h"

namespace veskari {

/// A member found by a listing: its name and where its header starts.
struct ListedMember {
    std::string name;
    std::uint64_t start = 0;
};

/// The listing of a file's members as a lane of a sweep that reads the
/// file once for several kinds of record: the names of Collect, in file
/// order, with where each was found.
class LzhListingLane final : public SweepLane {
public:
    /// Uses the source's one header record; rejected candidates are
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
    std::uint64_t Try(CFile& file, std::uint64_t position) override;

    std::vector<ListedMember> members;

private:
    LzhHeader& header_;
    RejectionObserver* rejections_;
    std::uint64_t maxMembers_;
};

/// An input file scanned for LZH members, with the one header record that
/// describes the member last read and the decoder for its members.
class LzhSource final : public FileSource {
public:
    /// Defined where the source is, so that `make_unique<LzhSource>()`
    /// does not clear the decoder's 88 KB first: its arrays are written
    /// before they are read.
    LzhSource();

    /// Appends the name of every member from the current position to the
    /// end of the file, in file order; false when the last header tried
    /// was rejected as malformed.
    bool Collect(std::vector<std::string>& list) override;

    /// Searches forward for a member with exactly this (raw) name; on
    /// success the file stands at its data and `header` describes it.
    [[nodiscard]] bool FindMember(const std::string& name);

    LzhHeader header;
    LzhDecoder decoder;
};

}  // namespace veskari
