#include "lzh/lzh_source.h"

#include <limits>

#include "records/byte_pair.h"

namespace veskari {

bool LzhSource::Collect(std::vector<std::string>& list)
{
    while (header.FindNext(file)) {
        list.push_back(header.Name());
        header.SkipPast(file);
    }
    return !header.error;
}

bool LzhSource::FindMember(const std::string& name)
{
    while (header.FindNext(file)) {
        if (header.Name() == name) {
            header.SeekToData(file);
            return true;
        }
        header.SkipPast(file);
    }
    return false;
}

bool LzhSource::FindMember(const ListedMember& member)
{
    if (file.GetPosition() == member.searchFrom) {
        file.Seek(member.start);
        if (header.Read(file) && header.Name() == member.name) {
            header.SeekToData(file);
            return true;
        }
        file.Seek(member.searchFrom);
    }
    return FindMember(member.name);
}

std::size_t LzhListingLane::NextCandidate(const std::uint8_t* window, std::size_t /*size*/, std::size_t from,
                                          std::size_t end) const noexcept
{
    // A header starts two bytes before the '-' of "-lh?-".
    for (std::size_t dash = FindBytePair(window, from + 2, end + 2, '-', 'l'); dash < end + 2;
         dash = FindBytePair(window, dash + 1, end + 2, '-', 'l')) {
        if (window[dash + 2] == 'h' && window[dash + 4] == '-') {
            return dash - 2;
        }
    }
    return end;
}

std::uint64_t LzhListingLane::Try(CFile& file, std::uint64_t position)
{
    if (members.size() >= maxMembers_) {
        // A full listing goes on from beyond any file: nothing more is tried.
        return std::numeric_limits<std::uint64_t>::max();
    }
    if (!header_.Read(file)) {
        if (rejections_ != nullptr) {
            rejections_->Rejected(header_);
        }
        return position + 1;
    }
    members.push_back(ListedMember{header_.Name(), searchFrom_, header_.start});
    header_.SkipPast(file);
    searchFrom_ = file.GetPosition();
    return searchFrom_;
}

}  // namespace veskari
