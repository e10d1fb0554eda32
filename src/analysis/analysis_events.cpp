#include "analysis/analysis_events.h"

#include <algorithm>

namespace veskari {

const char* OutcomeName(MemberOutcome outcome) noexcept
{
    switch (outcome) {
    case MemberOutcome::analysed:
        return "analysed";
    case MemberOutcome::crcMismatch:
        return "crc mismatch";
    case MemberOutcome::damaged:
        return "damaged";
    case MemberOutcome::tooLarge:
        return "too large";
    case MemberOutcome::directory:
        return "directory";
    case MemberOutcome::notFound:
        return "not found";
    case MemberOutcome::passedOver:
        return "passed over";
    case MemberOutcome::limitReached:
        return "limit reached";
    case MemberOutcome::incomplete:
        return "incomplete";
    }
    return "incomplete";
}

bool ObserverFanOut::WantsUpdateBytes() const
{
    return std::any_of(observers_.begin(), observers_.end(),
                       [](const AnalysisObserver* observer) { return observer->WantsUpdateBytes(); });
}

bool ObserverFanOut::WantsRejections() const
{
    return std::any_of(observers_.begin(), observers_.end(),
                       [](const AnalysisObserver* observer) { return observer->WantsRejections(); });
}

void ObserverFanOut::FileStarted(const FileInfo& file)
{
    for (AnalysisObserver* observer : observers_) {
        observer->FileStarted(file);
    }
}

void ObserverFanOut::FileFinished(const FileInfo& file)
{
    for (AnalysisObserver* observer : observers_) {
        observer->FileFinished(file);
    }
}

void ObserverFanOut::MemberStarted(const MemberInfo& member)
{
    for (AnalysisObserver* observer : observers_) {
        observer->MemberStarted(member);
    }
}

void ObserverFanOut::MemberDecoded(const MemberInfo& member, const ByteSource& decoded, std::uint64_t size)
{
    for (AnalysisObserver* observer : observers_) {
        observer->MemberDecoded(member, decoded, size);
    }
}

void ObserverFanOut::MemberFinished(const MemberInfo& member, MemberOutcome outcome)
{
    for (AnalysisObserver* observer : observers_) {
        observer->MemberFinished(member, outcome);
    }
}

void ObserverFanOut::UpdateAccepted(const FileInfo& file, const UpdateRecord& update)
{
    for (AnalysisObserver* observer : observers_) {
        observer->UpdateAccepted(file, update);
    }
}

void ObserverFanOut::UpdateBytes(const FileInfo& file, const UpdateRecord& update, File& bytes)
{
    for (AnalysisObserver* observer : observers_) {
        if (observer->WantsUpdateBytes()) {
            bytes.Seek(update.offset);  // each reads from the update's start
            observer->UpdateBytes(file, update, bytes);
        }
    }
}

void ObserverFanOut::CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                                       bool malformed)
{
    for (AnalysisObserver* observer : observers_) {
        observer->CandidateRejected(kind, offset, message, malformed);
    }
}

void ObserverFanOut::ProblemFound(const Problem& problem)
{
    for (AnalysisObserver* observer : observers_) {
        observer->ProblemFound(problem);
    }
}

}  // namespace veskari
