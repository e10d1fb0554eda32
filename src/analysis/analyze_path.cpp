#include "analysis/analyze_path.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "lzh/lzh_source.h"
#include "microcode/microcode_source.h"
#include "platform/cp932.h"
#include "platform/folder.h"
#include "platform/temporary_file.h"

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

// Tells the observer, for the wait cursor, while a member is decoded;
// also when a file error unwinds the decoding.
class DecodeNotice {
public:
    explicit DecodeNotice(AnalysisObserver* observer) : observer_(observer)
    {
        if (observer_ != nullptr) {
            observer_->MemberDecodeStarted();
        }
    }
    ~DecodeNotice()
    {
        if (observer_ != nullptr) {
            observer_->MemberDecodeFinished();
        }
    }
    DecodeNotice(const DecodeNotice&) = delete;
    DecodeNotice& operator=(const DecodeNotice&) = delete;

private:
    AnalysisObserver* observer_;
};

void Analyzer::ArchivePass(const std::string& path, const std::string& displayName, int nestingLevel)
{
    // The decoder's fixed arrays (about 78 KiB) live on the heap, once per
    // file, so that deep nesting does not depend on the thread's stack size.
    const auto source = std::make_unique<LzhSource>();
    if (!source->Open(path)) {
        return;
    }
    // List first, then find each listed name from where the previous
    // member ended: members of equal names are each decoded once, in order.
    std::vector<std::string> names;
    source->Collect(names);
    source->file.Seek(0);

    for (const std::string& name : names) {
        if (StopRequested()) {
            break;
        }
        const std::size_t backslash = FindLastCp932Backslash(name);
        const std::string_view shortName =
            backslash == std::string::npos ? std::string_view(name) : std::string_view(name).substr(backslash + 1);
        const std::string memberDisplayName = displayName + "/" + Cp932ToUtf8(shortName);

        if (!source->FindMember(name)) {
            break;  // the end of the file: the names still to come are not found either
        }
        TemporaryFile temporary;
        CFile output;
        if (!temporary.Create(output)) {
            continue;  // passed over; the next search starts at this member's data
        }
        bool decoded = false;
        {
            const DecodeNotice notice(observer_);
            decoded = source->decoder.DecodeMember(output, source->file, source->header);
        }
        output.Close();
        if (!decoded) {
            temporary.Remove();
        }
        source->header.SkipPast(source->file);
        if (decoded) {
            AnalyzeFile(temporary.Name(), memberDisplayName, false, nestingLevel + 1);
            temporary.Remove();
        }
    }
    source->Close();
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
