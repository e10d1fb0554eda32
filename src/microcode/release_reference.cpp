#include "microcode/release_reference.h"

#include <algorithm>
#include <tuple>

#include "microcode/release_table.h"

namespace veskari {
namespace {

constexpr const char* kStandingNames[] = {"newest", "older", "newer", "notCovered"};

// Flags 0 are the oldest headers, which name no platform: they match only
// updates published without one. Otherwise platforms match on a common bit.
constexpr bool PlatformsOverlap(std::uint32_t flags, std::uint32_t mask) noexcept
{
    return flags == 0 ? mask == 0 : (flags & mask) != 0;
}

}  // namespace

const char* StandingName(Standing standing) noexcept
{
    return kStandingNames[static_cast<int>(standing)];
}

const ReleaseReference& ReleaseReference::Public()
{
    static const ReleaseReference reference = [] {
        ReleaseReference built;
        for (const std::string_view name : kPublicReleases) {
            built.releases_.emplace_back(name);
        }
        ReferenceSource& source = built.sources_.emplace_back();
        source.name = "public releases " + built.releases_.front() + " to " + built.releases_.back();
        source.bundled = true;
        for (const PublishedUpdateRow& row : kPublishedUpdates) {
            built.rows_.push_back(
                Row{row.signature, row.platformMask, row.revision, row.date, row.firstRelease, row.lastRelease});
            source.updates += 1;
            if (DateOrder(row.date) > DateOrder(source.newestDate)) {
                source.newestDate = row.date;
            }
        }
        built.Seal();
        return built;
    }();
    return reference;
}

void ReleaseReference::BeginSource(std::string name)
{
    releases_.push_back(name);
    sources_.push_back(ReferenceSource{std::move(name), false, 0, 0});
}

void ReleaseReference::Add(std::uint32_t signature, std::uint32_t platformMask, std::uint32_t revision,
                           std::uint32_t date)
{
    const std::size_t release = releases_.size() - 1;
    rows_.push_back(Row{signature, platformMask, revision, date, release, release});
    ReferenceSource& source = sources_.back();
    source.updates += 1;
    if (DateOrder(date) > DateOrder(source.newestDate)) {
        source.newestDate = date;
    }
}

void ReleaseReference::Seal()
{
    std::stable_sort(rows_.begin(), rows_.end(), [](const Row& a, const Row& b) {
        return std::tie(a.signature, a.platformMask, a.revision) < std::tie(b.signature, b.platformMask, b.revision);
    });
}

UpdateStanding ReleaseReference::StandingOf(std::uint32_t signature, std::uint32_t platformFlags,
                                            std::uint32_t revision) const
{
    UpdateStanding result;
    const auto first = std::lower_bound(rows_.begin(), rows_.end(), signature,
                                        [](const Row& row, std::uint32_t value) { return row.signature < value; });
    bool covered = false;
    bool anyPlatform = false;
    for (auto row = first; row != rows_.end() && row->signature == signature; ++row) {
        anyPlatform = true;
        if (!PlatformsOverlap(platformFlags, row->platformMask)) {
            continue;
        }
        if (!covered || row->revision > result.newestRevision) {
            covered = true;
            result.newestRevision = row->revision;
            result.newestDate = row->date;
            result.newestFirstRelease = row->firstRelease;
            result.newestLastRelease = row->lastRelease;
        } else if (row->revision == result.newestRevision) {
            result.newestFirstRelease = std::min(result.newestFirstRelease, row->firstRelease);
            result.newestLastRelease = std::max(result.newestLastRelease, row->lastRelease);
        }
        if (row->revision == revision) {
            result.firstRelease = result.published ? std::min(result.firstRelease, row->firstRelease)
                                                   : row->firstRelease;
            result.lastRelease = result.published ? std::max(result.lastRelease, row->lastRelease)
                                                  : row->lastRelease;
            result.published = true;
        }
    }
    if (!covered) {
        result.flagsZeroUnmatched = platformFlags == 0 && anyPlatform;
        return result;
    }
    result.standing = revision > result.newestRevision   ? Standing::newer
                      : revision == result.newestRevision ? Standing::newest
                                                          : Standing::older;
    return result;
}

std::string ReleaseReference::Description() const
{
    std::string text;
    for (const ReferenceSource& source : sources_) {
        text += text.empty() ? "" : " and ";
        text += source.name;
    }
    return text;
}

std::uint32_t ReleaseReference::NewestDate() const noexcept
{
    std::uint32_t newest = 0;
    for (const ReferenceSource& source : sources_) {
        if (DateOrder(source.newestDate) > DateOrder(newest)) {
            newest = source.newestDate;
        }
    }
    return newest;
}

void ProcessorSummary::Add(std::uint32_t signature, std::uint32_t platformFlags, std::uint32_t revision,
                           std::uint32_t date)
{
    const auto [entry, added] = highest_.try_emplace({signature, platformFlags}, revision, date);
    if (!added && revision > entry->second.first) {
        entry->second = {revision, date};
    }
}

std::vector<ProcessorSummary::Row> ProcessorSummary::Rows(const ReleaseReference& reference) const
{
    std::vector<Row> rows;
    rows.reserve(highest_.size());
    for (const auto& [key, value] : highest_) {
        rows.push_back(Row{key.first, key.second, value.first, value.second,
                           reference.StandingOf(key.first, key.second, value.first)});
    }
    return rows;
}

}  // namespace veskari
