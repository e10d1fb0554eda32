#include "event_log.h"

#include <algorithm>
#include <stdexcept>

namespace veskari {

void EventLog::FileStarted(const FileInfo& file)
{
    openFiles_.resize(static_cast<std::size_t>(file.depth));
    openFiles_.push_back(events_.size());
    events_.emplace_back(FileEvent{file, false});
}

void EventLog::FileFinished(const FileInfo& file)
{
    const auto depth = static_cast<std::size_t>(file.depth);
    if (depth < openFiles_.size() && std::get<FileEvent>(events_[openFiles_[depth]]).file == file) {
        events_.emplace_back(FinishedAsStarted{openFiles_[depth], std::nullopt});
    } else {
        events_.emplace_back(FileEvent{file, true});
    }
}

void EventLog::MemberStarted(const MemberInfo& member)
{
    openMembers_.resize(static_cast<std::size_t>(std::max(member.depth - 1, 0)));
    openMembers_.push_back(events_.size());
    events_.emplace_back(MemberEvent{member, std::nullopt});
}

void EventLog::MemberFinished(const MemberInfo& member, MemberOutcome outcome)
{
    const auto level = static_cast<std::size_t>(std::max(member.depth - 1, 0));
    if (level < openMembers_.size() && std::get<MemberEvent>(events_[openMembers_[level]]).member == member) {
        events_.emplace_back(FinishedAsStarted{openMembers_[level], outcome});
    } else {
        events_.emplace_back(MemberEvent{member, outcome});
    }
}

void EventLog::UpdateAccepted(const FileInfo& file, const UpdateRecord& /*update*/)
{
    // The file is the one started last at its depth.
    events_.emplace_back(UpdateEvent{openFiles_.at(static_cast<std::size_t>(file.depth)), updates_++});
}

void EventLog::ProblemFound(const Problem& problem)
{
    events_.emplace_back(problem);
}

const FileInfo& EventLog::FileOf(std::size_t event) const
{
    if (const auto* update = std::get_if<UpdateEvent>(&events_.at(event))) {
        event = update->file;
    } else if (const auto* finish = std::get_if<FinishedAsStarted>(&events_[event])) {
        event = finish->start;
    }
    return std::get<FileEvent>(events_.at(event)).file;
}

const MemberInfo& EventLog::MemberOf(std::size_t event) const
{
    if (const auto* finish = std::get_if<FinishedAsStarted>(&events_.at(event))) {
        event = finish->start;
    }
    return std::get<MemberEvent>(events_.at(event)).member;
}

std::optional<MemberOutcome> EventLog::OutcomeOf(std::size_t event) const
{
    if (const auto* finish = std::get_if<FinishedAsStarted>(&events_.at(event))) {
        return finish->outcome;
    }
    return std::get<MemberEvent>(events_.at(event)).outcome;
}

void EventLog::Replay(AnalysisObserver& observer, std::span<const output::UpdateRow> rows) const
{
    for (const auto& event : events_) {
        if (const auto* file = std::get_if<FileEvent>(&event)) {
            if (file->finished) {
                observer.FileFinished(file->file);
            } else {
                observer.FileStarted(file->file);
            }
        } else if (const auto* member = std::get_if<MemberEvent>(&event)) {
            if (member->outcome) {
                observer.MemberFinished(member->member, *member->outcome);
            } else {
                observer.MemberStarted(member->member);
            }
        } else if (const auto* update = std::get_if<UpdateEvent>(&event)) {
            if (update->row >= rows.size()) {
                throw std::out_of_range("an update without its row");  // the recorder makes one for each
            }
            observer.UpdateAccepted(std::get<FileEvent>(events_[update->file]).file, rows[update->row].update);
        } else if (const auto* finish = std::get_if<FinishedAsStarted>(&event)) {
            if (finish->outcome) {
                observer.MemberFinished(MemberOf(finish->start), *finish->outcome);
            } else {
                observer.FileFinished(FileOf(finish->start));
            }
        } else {
            observer.ProblemFound(std::get<Problem>(event));
        }
    }
}

}  // namespace veskari
