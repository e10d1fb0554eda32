#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "analysis/analysis_events.h"
#include "output/csv_output.h"

namespace veskari {

/// The events of one top-level unit, kept as values so that they can be
/// told again later: the window makes a file's JSON object from them when
/// Save asks for it, not while the analysis runs, where formatting JSON
/// would cost every run a fifth more time. Decoded members' bytes, update
/// bytes and rejected candidates are not kept, nor the updates themselves:
/// each is the update of the unit's row of the same place, which the table
/// keeps (one row for each accepted update, in the order they came).
class EventLog final : public AnalysisObserver {
public:
    /// The checksum verdict of each update is part of the log.
    [[nodiscard]] bool WantsUpdateBytes() const override { return true; }
    void FileStarted(const FileInfo& file) override;
    void FileFinished(const FileInfo& file) override;
    void MemberStarted(const MemberInfo& member) override;
    void MemberFinished(const MemberInfo& member, MemberOutcome outcome) override;
    void UpdateAccepted(const FileInfo& file, const UpdateRecord& update) override;
    void ProblemFound(const Problem& problem) override;

    [[nodiscard]] std::size_t Size() const noexcept { return events_.size(); }
    /// The file of a file's start or finish event, or the file holding the
    /// update of an update's event.
    [[nodiscard]] const FileInfo& FileOf(std::size_t event) const;
    /// The member of a member's start or finish event, and what became of
    /// it (none at its start).
    [[nodiscard]] const MemberInfo& MemberOf(std::size_t event) const;
    [[nodiscard]] std::optional<MemberOutcome> OutcomeOf(std::size_t event) const;
    void Reserve(std::size_t events) { events_.reserve(events); }
    /// Gives back the room kept for more events: the unit has ended.
    void ShrinkToFit() { events_.shrink_to_fit(); }
    /// Tells `observer` every kept event again, in the order they came;
    /// `rows` are the unit's rows of updates.
    void Replay(AnalysisObserver& observer, std::span<const output::UpdateRow> rows) const;

private:
    struct FileEvent {
        FileInfo file;
        bool finished = false;
    };
    struct MemberEvent {
        MemberInfo member;
        std::optional<MemberOutcome> outcome;  // none: started
    };
    struct UpdateEvent {
        std::size_t file = 0;  // the event that started the file holding it
        std::size_t row = 0;   // its row among the unit's
    };
    // The finish of a file or member whose description is still the one it
    // started with (as it nearly always is): it names that start instead of
    // holding a second copy of every name.
    struct FinishedAsStarted {
        std::size_t start = 0;
        std::optional<MemberOutcome> outcome;  // a member's; none for a file
    };

    std::vector<std::variant<FileEvent, MemberEvent, UpdateEvent, FinishedAsStarted, Problem>> events_;
    std::vector<std::size_t> openFiles_;    // the start events of the open files, by depth
    std::vector<std::size_t> openMembers_;  // the start events of the open members, by depth less one
    std::size_t updates_ = 0;             // updates accepted so far
};

}  // namespace veskari
