#pragma once

// The JSON output of both front ends: the object of each top-level file,
// built from the analysis events, and the document around them, written as
// a stream.

#include <functional>
#include <optional>
#include <string_view>
#include <string>
#include <vector>

#include "analysis/run_engine.h"
#include "microcode/release_reference.h"
#include "output/json_text.h"
#include "output/output_budget.h"

namespace veskari::output {

/// Builds the JSON object of one top-level file from its events: its
/// members with their own analyses nested inside, its updates with every
/// field, its problems, and with `withRejections` every rejected candidate.
/// With a reference, each update has its standing against it and the
/// top-level file the summary of the processors it carries updates for.
/// With a budget, members, updates, rejections and problems draw their
/// bytes from it; once it is used up the rest are left out and the file
/// object says it was cut.
class JsonRecorder final : public AnalysisObserver {
public:
    /// `depth` counts the containers around the file object; `allFormats`
    /// adds the fields of the later layout to every update; `reference`
    /// may be nullptr (no standing), and so may `budget` (no bound).
    JsonRecorder(JsonStyle style, int depth, bool withRejections, bool allFormats, Language language,
                 const ReleaseReference* reference = &ReleaseReference::Public(), OutputBudget* budget = nullptr)
        : style_(style), depth_(depth), withRejections_(withRejections), allFormats_(allFormats),
          language_(language), reference_(reference), budget_(budget)
    {
    }

    [[nodiscard]] bool WantsUpdateBytes() const override { return true; }
    [[nodiscard]] bool WantsRejections() const override { return withRejections_; }
    void FileStarted(const FileInfo& file) override;
    void FileFinished(const FileInfo& file) override;
    void MemberStarted(const MemberInfo& member) override;
    void MemberFinished(const MemberInfo& member, MemberOutcome outcome) override;
    void UpdateAccepted(const FileInfo& file, const UpdateRecord& update) override;
    void CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                           bool malformed) override;
    void ProblemFound(const Problem& problem) override;

    /// The file object, once its file has finished; empty before.
    [[nodiscard]] const std::string& Text() const noexcept { return text_; }

private:
    struct FileNode {
        JsonArray members;
        JsonArray updates;
        JsonArray rejected;
        JsonArray problems;
    };
    [[nodiscard]] int FileDepth(int fileDepth) const noexcept { return depth_ + 3 * fileDepth; }
    /// Whether `bytes` more of detail fit in the budget.
    [[nodiscard]] bool Fits(std::size_t bytes) const noexcept { return budget_ == nullptr || budget_->Take(bytes); }
    [[nodiscard]] bool Exhausted() const noexcept { return budget_ != nullptr && budget_->Reached(); }

    JsonStyle style_;
    int depth_;
    bool withRejections_;
    bool allFormats_;
    Language language_;
    const ReleaseReference* reference_;
    OutputBudget* budget_;
    std::string topPath_;                     // of the top-level file, for the problem of a cut
    ProcessorSummary processors_;             // of the top-level file, its members included
    std::vector<FileNode> files_;             // open files, by depth
    std::vector<std::string> analyses_;       // the finished analysis of each open member, by depth
    // The fields of each open member known at its start, by depth; none for
    // a member left out because the budget was used up when it started.
    std::vector<std::optional<JsonObject>> heads_;
    std::string text_;
};

/// A problem as a JSON object.
[[nodiscard]] std::string ProblemJson(const Problem& problem, JsonStyle style, int depth, Language language);

/// The whole document, handed to `write` piece by piece as the units of
/// the run are delivered: memory follows the largest single file, not the run.
class JsonDocument {
public:
    using Writer = std::function<void(std::string_view text)>;

    /// `reference` (may be nullptr) is named in the document's head.
    JsonDocument(Writer write, const std::vector<std::string>& paths, Language language,
                 const ReleaseReference* reference = &ReleaseReference::Public());

    void Begin();
    /// A unit's share: its file object and its problems outside any file.
    void Add(const UnitResult& result, const std::string& fileObject);
    /// Closes the document with the error that ended the run, if any;
    /// `stopped`: a stop request ended the run before its last file, which
    /// the document then says in a "stopped" key.
    void End(const std::optional<RunFailure>& failure, bool stopped = false);

    /// The depth of a file object in the document.
    static constexpr int kFileDepth = 4;

private:
    void OpenPath(std::size_t argument);
    void ClosePath();
    void Write(const std::string& text);

    Writer write_;
    const std::vector<std::string>& paths_;
    Language language_;
    const ReleaseReference* reference_;
    std::size_t nextPath_ = 0;       // the first argument not yet opened
    bool pathOpen_ = false;
    bool anyFile_ = false;           // in the open path
    JsonArray pathProblems_{JsonStyle{}, 3};
};

}  // namespace veskari::output
