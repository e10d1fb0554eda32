#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "analysis/report_sink.h"

namespace veskari {

/// What a front end may want to hear from a running analysis.
class AnalysisObserver {
public:
    /// A member is being decoded (the window shows the wait cursor).
    virtual void MemberDecodeStarted() {}
    virtual void MemberDecodeFinished() {}
    /// Asked before each top-level file, folder entry and archive member;
    /// true ends the analysis there, between files.
    [[nodiscard]] virtual bool StopRequested() { return false; }

protected:
    ~AnalysisObserver() = default;
};

/// Archives are expanded down to this many levels below a top-level file;
/// a member at the deepest level is still scanned for microcode.
inline constexpr int kMaxNestingLevel = 16;

/// Analyses files and folders and writes their report to a sink: a
/// headline per top-level file, then the blocks of its archive members,
/// then its own block of microcode updates in EntryKey order.
/// A refused file operation throws FileError out of AnalyzePath; the text
/// appended before it stays in the sink.
class Analyzer {
public:
    explicit Analyzer(ReportSink& sink, AnalysisObserver* observer = nullptr);

    /// Analyses `path` and reports it under `displayName`; a call with two
    /// equal texts is a top-level call (a selected or dropped path).
    void AnalyzePath(std::string path, std::string displayName);

private:
    void AnalyzeFile(const std::string& path, std::string displayName, bool topLevel, int nestingLevel);
    void AnalyzeFolder(std::string path, std::uint64_t device, std::uint64_t inode);
    void ArchivePass(const std::string& path, const std::string& displayName, int nestingLevel);
    void MicrocodePass(const std::string& path, const std::string& displayName);
    [[nodiscard]] bool StopRequested() const;

    ReportSink& sink_;
    AnalysisObserver* observer_;
    // The folders being walked, so that a link back into one of them is not followed.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> openFolders_;
};

/// Convenience for callers that analyse one path into a sink.
void AnalyzePath(ReportSink& sink, const std::string& path);

}  // namespace veskari
