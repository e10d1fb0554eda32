#include "analysis/analyze_path.h"

#include <algorithm>

#include "microcode/microcode_source.h"
#include "platform/folder.h"

namespace veskari {
namespace {

constexpr const char* kLineEnd = "\r\n";

}  // namespace

Analyzer::Analyzer(ReportSink& sink, AnalysisObserver* observer) : sink_(sink), observer_(observer)
{
}

bool Analyzer::StopRequested() const
{
    return observer_ != nullptr && observer_->StopRequested();
}

void Analyzer::AnalyzePath(std::string path, std::string displayName)
{
    const bool topLevel = path == displayName;
    if (topLevel) {
        if (StopRequested()) {
            return;
        }
        const auto status = QueryPathStatus(path);
        if (status && status->isDirectory) {
            AnalyzeFolder(std::move(path), status->device, status->inode);
            return;
        }
    }
    AnalyzeFile(path, std::move(displayName), topLevel, 0);
}

void Analyzer::AnalyzeFolder(std::string path, std::uint64_t device, std::uint64_t inode)
{
    const auto folder = std::make_pair(device, inode);
    // A folder we are already inside (through a link) is not walked again.
    if (std::find(openFolders_.begin(), openFolders_.end(), folder) != openFolders_.end()) {
        return;
    }
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    openFolders_.push_back(folder);
    struct PopOnExit {
        std::vector<std::pair<std::uint64_t, std::uint64_t>>& folders;
        ~PopOnExit() { folders.pop_back(); }
    } popOnExit{openFolders_};

    for (const std::string& name : ListFolder(path)) {
        const std::string entry = path + name;
        AnalyzePath(entry, entry);
    }
}

void Analyzer::AnalyzeFile(const std::string& path, std::string displayName, bool topLevel, int nestingLevel)
{
    if (topLevel) {
        std::string headline;
        if (!sink_.IsEmpty()) {
            headline += kLineEnd;
        }
        headline += "<< ";
        headline += displayName;
        headline += " >>";
        headline += kLineEnd;
        sink_.AppendReport(headline);

        // A top-level name is reported without its folder. Member names are
        // composed by the archive pass and keep any '/' of their own.
        const std::size_t slash = displayName.rfind('/');
        if (slash != std::string::npos) {
            displayName.erase(0, slash + 1);
        }
    }
    if (nestingLevel < kMaxNestingLevel) {
        ArchivePass(path, displayName, nestingLevel);
    }
    MicrocodePass(path, displayName);
}

void Analyzer::ArchivePass(const std::string& /*path*/, const std::string& /*displayName*/, int /*nestingLevel*/)
{
}

void Analyzer::MicrocodePass(const std::string& path, const std::string& displayName)
{
    std::vector<std::string> lines;
    {
        MicrocodeSource source;
        if (!source.Open(path)) {
            return;
        }
        source.Collect(lines);
        source.Close();
    }
    if (lines.empty()) {
        return;
    }
    std::string block = " < ";
    block += displayName;
    block += " >";
    block += kLineEnd;
    for (const std::string& line : lines) {
        block += line;
        block += kLineEnd;
    }
    sink_.AppendReport(block);
}

void AnalyzePath(ReportSink& sink, const std::string& path)
{
    Analyzer analyzer(sink);
    analyzer.AnalyzePath(path, path);
}

}  // namespace veskari
