#pragma once

#include <string>
#include <vector>

#include "analysis/analysis_events.h"
#include "microcode/release_reference.h"
#include "output/output_budget.h"
#include "platform/file_error.h"

namespace veskari::cli {

/// The --verbose lines of one top-level file: every rejected candidate,
/// every member with its outcome and every update with its checksum verdict,
/// each after the name of the file it concerns, and each update's standing
/// against `reference` in words. With a budget, lines that no longer fit
/// in it are left out.
class VerboseRecorder final : public AnalysisObserver {
public:
    /// Rejections are told in `language`.
    VerboseRecorder(const ReleaseReference& reference, Language language,
                    output::OutputBudget* budget = nullptr) noexcept
        : reference_(reference), language_(language), budget_(budget)
    {
    }

    [[nodiscard]] bool WantsUpdateBytes() const override { return true; }
    [[nodiscard]] bool WantsRejections() const override { return true; }
    void FileStarted(const FileInfo& file) override;
    void FileFinished(const FileInfo& file) override;
    void MemberFinished(const MemberInfo& member, MemberOutcome outcome) override;
    void UpdateAccepted(const FileInfo& file, const UpdateRecord& update) override;
    void CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                           bool malformed) override;

    [[nodiscard]] const std::string& Text() const noexcept { return text_; }

private:
    void Line(std::size_t depth, const std::string& text);
    /// The line of an update or of an entry of its extended signature table.
    [[nodiscard]] static std::string UpdateText(const UpdateRecord& update);

    const ReleaseReference& reference_;
    Language language_;
    output::OutputBudget* budget_;
    std::vector<std::string> labels_;  // the shown name of each open file, by depth
    std::string text_;
};

}  // namespace veskari::cli
