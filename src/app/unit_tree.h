#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysis_events.h"
#include "output/csv_output.h"

namespace veskari {

/// One place of a unit's tree: its top-level file, a member (nested in the
/// member or file that holds it) or an update line of the file it sits in.
struct TreeNode {
    enum class Kind { file, member, update };

    /// At most this many of an item's first bytes are kept for its hex view:
    /// the tree of a large folder must not hold the firmware it analysed.
    static constexpr std::size_t kHeadBytes = 256;

    Kind kind = Kind::file;
    int parent = -1;  ///< the index of the node that holds it; -1 for the top-level file
    /// What describes it among the unit's events (see EventLog): a file's
    /// or member's last event (its finish once it has finished), an
    /// update's own event.
    std::size_t event = 0;
    std::uint64_t decodedSize = 0;         ///< kind member: the bytes it decoded to
    /// Kind update: the table's row, standing included, once the window has
    /// the unit (the table and the tree share it); until then its place
    /// among the unit's rows is in `rowIndex`.
    const output::UpdateRow* row = nullptr;
    std::size_t rowIndex = 0;
    std::string head;                      ///< the first bytes (at most kHeadBytes)
};

/// Builds the tree of one top-level unit from its analysis events, on the
/// analysis thread: nodes in the order the events came, each pointing at
/// its holder.
class TreeRecorder {
public:
    // Each call names the event that the unit's EventLog made of it.
    void FileStarted(const FileInfo& file, std::size_t event);
    void FileFinished(const FileInfo& file, std::size_t event);
    void MemberStarted(const MemberInfo& member, std::size_t event);
    void MemberDecoded(const MemberInfo& member, const ByteSource& decoded, std::uint64_t size);
    void MemberFinished(const MemberInfo& member, std::size_t event);
    /// `row` is the update's row as the table gets it, the `index`-th of the unit.
    void UpdateAccepted(const FileInfo& file, std::size_t event, const output::UpdateRow& row, std::size_t index);
    /// `bytes` stands at the update accepted last.
    void UpdateBytes(File& bytes);

    [[nodiscard]] std::vector<TreeNode>& Nodes() noexcept { return nodes_; }

private:
    // The node holding what starts at each depth: the top-level file, then
    // the member being analysed at each level.
    std::vector<int> holders_;
    std::vector<TreeNode> nodes_;
    std::uint32_t updateSize_ = 0;  // the total size of the update accepted last
};

}  // namespace veskari
