#pragma once

// The observers of one top-level file's analysis that make the command
// line's extra output: the JSON tree, the verbose lines and the extracted
// files.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/analyze_path.h"
#include "platform/cfile.h"

namespace veskari::cli {

/// Builds the JSON object of one top-level file: its members (with their
/// own analyses nested inside), its updates with every field, and with
/// `withRejections` every rejected candidate.
class JsonRecorder final : public AnalysisObserver {
public:
    explicit JsonRecorder(bool withRejections) : withRejections_(withRejections) {}

    [[nodiscard]] bool WantsDetails() const override { return true; }
    void FileStarted(const std::string& path, const std::string& displayName, bool topLevel) override;
    void FileFinished(bool opened) override;
    void MemberStarted(const MemberInfo& member) override;
    void MemberFinished(const MemberInfo& member, MemberOutcome outcome) override;
    void UpdateAccepted(const UpdateRecord& update) override;
    void CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                           bool malformed) override;

    /// The file's object; nodes left open by a file error are closed and
    /// marked incomplete.
    [[nodiscard]] nlohmann::ordered_json Take();

private:
    bool withRejections_;
    std::vector<nlohmann::ordered_json> files_;    // open file objects, innermost last
    std::vector<nlohmann::ordered_json> members_;  // open member objects, innermost last
    std::vector<std::string> chain_;       // display name of the file, then member names
    nlohmann::ordered_json root_;
};

/// Writes, for --verbose, a line per rejected candidate, per member and per
/// update with its checksum verdict.
class VerboseRecorder final : public AnalysisObserver {
public:
    [[nodiscard]] bool WantsDetails() const override { return true; }
    void FileStarted(const std::string& path, const std::string& displayName, bool topLevel) override;
    void FileFinished(bool opened) override;
    void MemberFinished(const MemberInfo& member, MemberOutcome outcome) override;
    void UpdateAccepted(const UpdateRecord& update) override;
    void CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                           bool malformed) override;

    [[nodiscard]] const std::string& Text() const noexcept { return text_; }

private:
    void Line(const std::string& text);

    std::vector<std::string> labels_;  // the name of each open file, innermost last
    std::string text_;
};

/// Writes each accepted update's bytes, and with `members` each decoded
/// member, into a folder, never outside it and never over an existing file.
class Extractor final : public AnalysisObserver {
public:
    /// `folder` is an open descriptor of the target folder (shared, not owned).
    Extractor(int folder, std::string folderPath, bool members)
        : folder_(folder), folderPath_(std::move(folderPath)), members_(members)
    {
    }

    [[nodiscard]] bool WantsDetails() const override { return true; }
    void FileStarted(const std::string& path, const std::string& displayName, bool topLevel) override;
    void FileFinished(bool opened) override;
    void MemberDecoded(const MemberInfo& member, const std::string& decodedPath) override;
    void UpdateAccepted(const UpdateRecord& update) override;

private:
    /// Creates a file of this name that did not exist, adding a counter
    /// before the extension while the name is taken, and opens it in `file`.
    void CreateNew(const std::string& name, CFile& file);

    int folder_;
    std::string folderPath_;
    bool members_;
    std::vector<std::string> names_;  // display name of each open file
};

/// The name a display name becomes inside the extraction folder: one path
/// component, '/' and control characters replaced by '_', never "." or "..",
/// at most `limit` bytes.
[[nodiscard]] std::string ExtractionName(const std::string& displayName, std::size_t limit = 200);

/// Names of the member outcomes as the JSON and verbose output give them.
[[nodiscard]] const char* OutcomeName(MemberOutcome outcome);

/// Forwards every event to several observers, and asks `stop` whether to stop.
class ObserverChain final : public AnalysisObserver {
public:
    explicit ObserverChain(std::vector<AnalysisObserver*> observers, std::function<bool()> stop)
        : observers_(std::move(observers)), stop_(std::move(stop))
    {
    }

    [[nodiscard]] bool StopRequested() override { return stop_ && stop_(); }
    [[nodiscard]] bool WantsDetails() const override;
    void FileStarted(const std::string& path, const std::string& displayName, bool topLevel) override;
    void FileFinished(bool opened) override;
    void MemberStarted(const MemberInfo& member) override;
    void MemberDecoded(const MemberInfo& member, const std::string& decodedPath) override;
    void MemberFinished(const MemberInfo& member, MemberOutcome outcome) override;
    void UpdateAccepted(const UpdateRecord& update) override;
    void CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                           bool malformed) override;

private:
    std::vector<AnalysisObserver*> observers_;
    std::function<bool()> stop_;
};

}  // namespace veskari::cli
