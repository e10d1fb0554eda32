#pragma once

// The standing of an update against the releases of microcode that its
// vendor published: whether it is the newest revision for its processor and
// platform, an older one, one newer than any published, or one for a
// processor and platform that no release covers.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace veskari {

enum class Standing {
    newest,      ///< no published revision for an overlapping platform is higher
    older,       ///< a higher revision was published for an overlapping platform
    newer,       ///< higher than every published revision (pre-release or vendor-specific)
    notCovered,  ///< no published update for this signature and platform
};

/// The name of a standing in JSON and CSV: "newest", "older", "newer", "notCovered".
[[nodiscard]] const char* StandingName(Standing standing) noexcept;

/// An update's standing, with what the reference says about its processor.
struct UpdateStanding {
    static constexpr std::size_t kNoRelease = static_cast<std::size_t>(-1);

    Standing standing = Standing::notCovered;
    /// When covered: the highest revision published for an overlapping
    /// platform, its date as stored and the first and last release that
    /// carried it.
    std::uint32_t newestRevision = 0;
    std::uint32_t newestDate = 0;
    std::size_t newestFirstRelease = kNoRelease;
    std::size_t newestLastRelease = kNoRelease;
    /// Whether this very revision was published for an overlapping
    /// platform, and the first and last release that carried it.
    bool published = false;
    std::size_t firstRelease = kNoRelease;
    std::size_t lastRelease = kNoRelease;
    /// Platform flags 0 (the oldest headers) match only updates published
    /// with mask 0: true when the signature was published for other
    /// platforms only, so that the update is not covered for that reason.
    bool flagsZeroUnmatched = false;
};

/// Where the updates of a reference came from: the public releases bundled
/// with the program, or a file or folder that the user named.
struct ReferenceSource {
    std::string name;  ///< "public releases FIRST to LAST", or the path as given
    bool bundled = false;
    std::size_t updates = 0;
    std::uint32_t newestDate = 0;  ///< the newest header date in it, as stored (0: none)
};

/// The updates that standings are judged against, by signature, platform
/// mask and revision, with the releases that carried them.
class ReleaseReference {
public:
    /// The public releases, built once from the generated table.
    [[nodiscard]] static const ReleaseReference& Public();

    /// Starts a source of its own, which is also one release: the updates
    /// added until the next source are carried by it.
    void BeginSource(std::string name);
    /// Adds an update of the current source; Seal must follow the last.
    void Add(std::uint32_t signature, std::uint32_t platformMask, std::uint32_t revision, std::uint32_t date);
    /// Orders the updates for StandingOf.
    void Seal();

    /// The standing of revision `revision` of an update for `signature` and
    /// platform flags (or mask) `platformFlags`. Platforms overlap when the
    /// masks share a bit; flags 0 match mask 0 only. Revisions are compared,
    /// never dates.
    [[nodiscard]] UpdateStanding StandingOf(std::uint32_t signature, std::uint32_t platformFlags,
                                            std::uint32_t revision) const;

    [[nodiscard]] const std::string& ReleaseName(std::size_t release) const { return releases_.at(release); }
    /// Every release, oldest first; each source of the user's own is one.
    [[nodiscard]] const std::vector<std::string>& Releases() const noexcept { return releases_; }
    [[nodiscard]] const std::vector<ReferenceSource>& Sources() const noexcept { return sources_; }
    /// The sources' names joined by " and ".
    [[nodiscard]] std::string Description() const;
    /// The newest header date of all sources, as stored (0: none).
    [[nodiscard]] std::uint32_t NewestDate() const noexcept;
    [[nodiscard]] std::size_t Size() const noexcept { return rows_.size(); }

private:
    struct Row {
        std::uint32_t signature;
        std::uint32_t platformMask;
        std::uint32_t revision;
        std::uint32_t date;
        std::size_t firstRelease;
        std::size_t lastRelease;
    };

    std::vector<Row> rows_;  // sorted by signature, mask, revision
    std::vector<std::string> releases_;
    std::vector<ReferenceSource> sources_;
};

/// A header date as stored, as a number that orders dates: yyyymmdd in hex digits.
[[nodiscard]] constexpr std::uint32_t DateOrder(std::uint32_t date) noexcept
{
    return ((date & 0xFFFF) << 16) | ((date >> 24) << 8) | ((date >> 16) & 0xFF);
}

/// The processors that one top-level file carries updates for, its members
/// included: one row per signature and platform flags (or mask), with the
/// highest revision found for it and that revision's standing.
class ProcessorSummary {
public:
    struct Row {
        std::uint32_t signature = 0;
        std::uint32_t platformFlags = 0;
        std::uint32_t revision = 0;
        std::uint32_t date = 0;  ///< the date of that revision's first update met
        UpdateStanding standing;
    };

    void Add(std::uint32_t signature, std::uint32_t platformFlags, std::uint32_t revision, std::uint32_t date);
    [[nodiscard]] bool Empty() const noexcept { return highest_.empty(); }
    /// The rows in signature and platform order, each judged against `reference`.
    [[nodiscard]] std::vector<Row> Rows(const ReleaseReference& reference) const;

private:
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::pair<std::uint32_t, std::uint32_t>> highest_;
};

}  // namespace veskari
