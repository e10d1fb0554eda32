#include "analysis/analyze_path.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "lzh/lzh_source.h"
#include "platform/cp932.h"
#include "platform/folder.h"
#include "platform/temporary_file.h"

namespace veskari {
namespace {

constexpr const char* kLineEnd = "\r\n";

using FolderId = std::pair<std::uint64_t, std::uint64_t>;

bool Walk(std::string path, const FolderId& folder, std::vector<FolderId>& openFolders,
          const std::function<bool(const std::string&)>& visitFile)
{
    // A folder we are already inside (through a link) is not walked again.
    if (std::find(openFolders.begin(), openFolders.end(), folder) != openFolders.end()) {
        return true;
    }
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    openFolders.push_back(folder);
    bool going = true;
    for (const std::string& name : ListFolder(path)) {
        const std::string entry = path + name;
        const auto status = QueryPathStatus(entry);
        going = status && status->isDirectory
                    ? Walk(entry, FolderId{status->device, status->inode}, openFolders, visitFile)
                    : visitFile(entry);
        if (!going) {
            break;
        }
    }
    openFolders.pop_back();
    return going;
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

MemberOutcome OutcomeOf(DecodeFailure failure)
{
    switch (failure) {
    case DecodeFailure::none:
        return MemberOutcome::analysed;
    case DecodeFailure::directory:
        return MemberOutcome::directory;
    case DecodeFailure::tooLarge:
        return MemberOutcome::tooLarge;
    case DecodeFailure::crcMismatch:
        return MemberOutcome::crcMismatch;
    default:
        return MemberOutcome::damaged;
    }
}

}  // namespace

// Forwards the rejections of one scan to the observer with their kind.
class Analyzer::Rejections final : public RejectionObserver {
public:
    Rejections(AnalysisObserver& observer, RecordKind kind) : observer_(observer), kind_(kind) {}
    void Rejected(const LocatedRecord& record) override
    {
        observer_.CandidateRejected(kind_, record.start, record.message, record.error);
    }

private:
    AnalysisObserver& observer_;
    RecordKind kind_;
};

bool WalkFolder(std::string folderPath, const std::function<bool(const std::string& entryPath)>& visitFile)
{
    const auto status = QueryPathStatus(folderPath);
    if (!status || !status->isDirectory) {
        return true;
    }
    std::vector<FolderId> openFolders;
    return Walk(std::move(folderPath), FolderId{status->device, status->inode}, openFolders, visitFile);
}

Analyzer::Analyzer(ReportSink& sink, AnalysisObserver* observer) : sink_(sink), observer_(observer)
{
}

bool Analyzer::StopRequested() const
{
    return observer_ != nullptr && observer_->StopRequested();
}

bool Analyzer::Details() const
{
    return observer_ != nullptr && observer_->WantsDetails();
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
            WalkFolder(std::move(path), [this](const std::string& entry) {
                if (StopRequested()) {
                    return false;
                }
                AnalyzeFile(entry, entry, true, 0);
                return true;
            });
            return;
        }
    }
    AnalyzeFile(path, std::move(displayName), topLevel, 0);
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

        budgetLeft_ = decodeBudget_;

        // A top-level name is reported without its folder. Member names are
        // composed by the archive pass and keep any '/' of their own.
        const std::size_t slash = displayName.rfind('/');
        if (slash != std::string::npos) {
            displayName.erase(0, slash + 1);
        }
    }
    if (observer_ != nullptr) {
        observer_->FileStarted(path, displayName, topLevel);
    }
    if (nestingLevel < kMaxNestingLevel) {
        ArchivePass(path, displayName, nestingLevel);
    }
    const bool opened = MicrocodePass(path, displayName);
    if (observer_ != nullptr) {
        observer_->FileFinished(opened);
    }
}

void Analyzer::ArchivePass(const std::string& path, const std::string& displayName, int nestingLevel)
{
    // The decoder's fixed arrays (about 82 KiB) live on the heap, once per
    // file, so that deep nesting does not depend on the thread's stack size.
    const auto source = std::make_unique<LzhSource>();
    if (!source->Open(path)) {
        return;
    }
    // List first, then find each listed name from where the previous
    // member ended: members of equal names are each decoded once, in order.
    std::vector<std::string> names;
    {
        std::unique_ptr<Rejections> rejections;
        if (Details()) {
            rejections = std::make_unique<Rejections>(*observer_, RecordKind::lzh);
            source->header.ObserveRejections(rejections.get());
        }
        source->Collect(names);
        source->header.ObserveRejections(nullptr);
    }
    source->file.Seek(0);

    TemporaryFile temporary;
    CFile output;
    bool found = true;
    for (const std::string& name : names) {
        if (StopRequested()) {
            break;
        }
        const std::size_t backslash = FindLastCp932Backslash(name);
        const std::string_view shortName =
            backslash == std::string::npos ? std::string_view(name) : std::string_view(name).substr(backslash + 1);
        MemberInfo member;
        member.rawName = name;
        member.displayName = displayName + "/" + Cp932ToUtf8(shortName);
        if (observer_ != nullptr) {
            observer_->MemberStarted(member);
        }
        // Once a search has reached the end of the file, the names still
        // to come are not found either.
        found = found && source->FindMember(name);
        if (!found) {
            if (observer_ != nullptr) {
                observer_->MemberFinished(member, MemberOutcome::notFound);
            }
            continue;
        }
        const LzhHeader& header = source->header;
        member.found = true;
        member.headerOffset = header.start;
        member.header = header;

        if (header.method != kMethodDirectory && header.decodedSize > budgetLeft_) {
            if (observer_ != nullptr) {
                observer_->MemberFinished(member, MemberOutcome::tooLarge);
            }
            continue;
        }

        // One temporary file serves all members of this file in turn, each
        // written over the one before and cut to its own size: creating and
        // deleting a file per member, or emptying it, costs the file system
        // (ext4 flushes a file emptied and written again) far more than
        // decoding a firmware module does.
        if (!output.IsOpen() && !temporary.Create(output)) {
            // Passed over; the next search starts at this member's data.
            if (observer_ != nullptr) {
                observer_->MemberFinished(member, MemberOutcome::passedOver);
            }
            continue;
        }
        output.Seek(0);
        bool decoded = false;
        {
            const DecodeNotice notice(observer_);
            decoded = source->decoder.DecodeMember(output, source->file, source->header);
        }
        // What it wrote counts against the budget, whether it succeeded or not.
        budgetLeft_ -= std::min(budgetLeft_, output.GetPosition());
        // Nothing of a failed member stays on the disk.
        output.Truncate(decoded ? output.GetPosition() : 0);
        source->header.SkipPast(source->file);
        if (decoded) {
            if (observer_ != nullptr) {
                observer_->MemberDecoded(member, temporary.Name());
            }
            AnalyzeFile(temporary.Name(), member.displayName, false, nestingLevel + 1);
        }
        if (observer_ != nullptr) {
            observer_->MemberFinished(member, OutcomeOf(source->decoder.LastFailure()));
        }
    }
    if (output.IsOpen()) {
        output.Close();
        temporary.Remove();
    }
    source->Close();
}

bool Analyzer::MicrocodePass(const std::string& path, const std::string& displayName)
{
    std::vector<UpdateRecord> updates;
    {
        MicrocodeSource source;
        if (!source.Open(path)) {
            return false;
        }
        std::unique_ptr<Rejections> rejections;
        if (Details()) {
            rejections = std::make_unique<Rejections>(*observer_, RecordKind::microcode);
        }
        source.CollectUpdates(updates, rejections.get(), Details());
        source.Close();
    }
    if (updates.empty()) {
        return true;
    }
    std::string block = " < ";
    block += displayName;
    block += " >";
    block += kLineEnd;
    for (const UpdateRecord& update : updates) {
        block += update.line;
        block += kLineEnd;
    }
    sink_.AppendReport(block);
    if (observer_ != nullptr) {
        for (const UpdateRecord& update : updates) {
            observer_->UpdateAccepted(update);
        }
    }
    return true;
}

void AnalyzePath(ReportSink& sink, const std::string& path)
{
    Analyzer analyzer(sink);
    analyzer.AnalyzePath(path, path);
}

}  // namespace veskari
