#include "analysis/analyzer.h"

#include <algorithm>
#include <memory>
#include <set>
#include <string_view>

#include "lzh/lzh_source.h"
#include "platform/anonymous_file.h"
#include "platform/cp932.h"
#include "platform/folder.h"
#include "platform/visible_text.h"

namespace veskari {
namespace {

constexpr const char* kLineEnd = "\r\n";

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

// A member's names as the report and the events give them.
MemberInfo DescribeMember(const FileInfo& holder, const std::string& rawName)
{
    MemberInfo member;
    member.rawName = rawName;
    const std::size_t backslash = FindLastCp932Backslash(rawName);
    member.shortName = Cp932ToUtf8(backslash == std::string::npos ? std::string_view(rawName)
                                                                  : std::string_view(rawName).substr(backslash + 1));
    member.displayName = holder.displayName + "/" + member.shortName;
    member.chain = holder.chain;
    member.chain.push_back(member.shortName);
    member.depth = holder.depth + 1;
    return member;
}

// The name that file errors give for a file: the path of a top-level
// file, the composed name of a member.
const std::string& ErrorName(const FileInfo& file)
{
    return file.path.empty() ? file.displayName : file.path;
}

// Forwards the rejections of one scan to the observer with their kind.
class Rejections final : public RejectionObserver {
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

}  // namespace

std::uint64_t WorkLimits::MembersFor(std::uint64_t fileSize) const noexcept
{
    const std::uint64_t extra = bytesPerMember == 0 ? 0 : fileSize / bytesPerMember;
    return std::min(maxMembers, baseMembers + extra);
}

Analyzer::Analyzer(ReportSink& sink, AnalysisObserver* observer) : sink_(sink), observer_(observer)
{
}

bool Analyzer::Details() const
{
    return observer_ != nullptr && observer_->WantsDetails();
}

void Analyzer::Tell(const Problem& problem)
{
    if (observer_ != nullptr) {
        observer_->ProblemFound(problem);
    }
}

void Analyzer::AnalyzePath(std::string path, std::string displayName)
{
    if (path != displayName) {
        // A file reported under a name of its own: no headline, no folder test.
        FileInfo file;
        file.displayName = std::move(displayName);
        file.chain = {file.displayName};
        const OpenedFile opened = OpenForReading(path);
        if (opened.IsOpen()) {
            file.opened = true;
            file.size = FileSize(opened.handle);
            AnalyzeFile(opened.handle, file);
        }
        return;
    }
    const auto status = QueryPathStatus(path);
    if (!status || !status->isDirectory) {
        AnalyzeTopLevelFile(path, OpenForReading(path));
        return;
    }
    std::set<FolderId> walked;
    FolderWalk walk(path, walked);
    WalkEntry entry;
    while (walk.Next(entry)) {
        if (entry.kind == WalkEntry::Kind::file) {
            AnalyzeTopLevelFile(entry.path, entry.file);
        } else if (entry.kind == WalkEntry::Kind::unreadableFolder) {
            Tell(Problem{ProblemKind::cannotList, entry.path, entry.error, 0});
        }
    }
}

void Analyzer::AnalyzeTopLevelFile(const std::string& path, const OpenedFile& opened)
{
    // The headline comes first, before the file is read.
    std::string headline;
    if (!sink_.IsEmpty()) {
        headline += kLineEnd;
    }
    headline += "<< ";
    headline += VisibleText(path);
    headline += " >>";
    headline += kLineEnd;
    sink_.AppendReport(headline);

    // A top-level name is reported without its folder. Member names are
    // composed by the archive pass and keep any '/' of their own.
    FileInfo file;
    file.path = path;
    const std::size_t slash = path.find_last_of(kPathSeparators);
    file.displayName = slash == std::string::npos ? path : path.substr(slash + 1);
    file.chain = {file.displayName};
    if (!opened.IsOpen()) {
        if (observer_ != nullptr) {
            observer_->FileStarted(file);
        }
        Tell(Problem{opened.error != 0 ? ProblemKind::cannotOpen : ProblemKind::notRegularFile, path, opened.error,
                     0});
        if (observer_ != nullptr) {
            observer_->FileFinished(file);
        }
        return;
    }
    file.opened = true;
    file.size = FileSize(opened.handle);
    topName_ = path;
    decodeLeft_ = limits_.decodedBytes;
    memberLimit_ = limits_.MembersFor(file.size);
    membersLeft_ = memberLimit_;
    decodeLimitTold_ = false;
    memberLimitTold_ = false;
    AnalyzeFile(opened.handle, file);
}

void Analyzer::AnalyzeFile(const FileHandle& handle, FileInfo& file)
{
    if (observer_ != nullptr) {
        observer_->FileStarted(file);
    }
    try {
        if (file.depth < kMaxNestingLevel) {
            ArchivePass(handle, file);
        }
        MicrocodePass(handle, file);
    } catch (...) {
        // Close the file's events on the way out of an error or a stop.
        file.incomplete = true;
        if (observer_ != nullptr) {
            observer_->FileFinished(file);
        }
        throw;
    }
    if (observer_ != nullptr) {
        observer_->FileFinished(file);
    }
}

bool Analyzer::TakeMember()
{
    if (membersLeft_ == 0) {
        if (!memberLimitTold_) {
            memberLimitTold_ = true;
            Tell(Problem{ProblemKind::memberLimit, topName_, 0, memberLimit_});
        }
        return false;
    }
    --membersLeft_;
    return true;
}

void Analyzer::ArchivePass(const FileHandle& handle, const FileInfo& holder)
{
    // The decoder's fixed arrays live on the heap, once per file, so that
    // deep nesting does not depend on the thread's stack size.
    const auto source = std::make_unique<LzhSource>();
    source->Open(handle, ErrorName(holder));
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

    // One file without a name serves all members of this file in turn, each
    // written over the one before and cut to its own size.
    FileHandle memberFile;
    bool memberFileOnDisk = false;
    CFile output;
    bool found = true;
    for (const std::string& name : names) {
        if (!TakeMember()) {
            break;
        }
        MemberInfo member = DescribeMember(holder, name);
        bool finished = false;
        const auto finish = [&](MemberOutcome outcome) {
            finished = true;
            if (observer_ != nullptr) {
                observer_->MemberFinished(member, outcome);
            }
        };
        try {
            if (observer_ != nullptr) {
                observer_->MemberStarted(member);
            }
            // Once a search has reached the end of the file, the names still
            // to come are not found either.
            found = found && source->FindMember(name);
            if (!found) {
                finish(MemberOutcome::notFound);
                continue;
            }
            const LzhHeader& header = source->header;
            member.found = true;
            member.headerOffset = header.start;
            member.header = header;
            if (header.method != kMethodDirectory) {
                if (header.decodedSize > LzhDecoder::kMaxDecodedSize) {
                    Tell(Problem{ProblemKind::memberTooLarge, member.displayName, 0, LzhDecoder::kMaxDecodedSize});
                    finish(MemberOutcome::tooLarge);
                    continue;
                }
                if (header.decodedSize > decodeLeft_) {
                    if (!decodeLimitTold_) {
                        decodeLimitTold_ = true;
                        Tell(Problem{ProblemKind::decodeLimit, topName_, 0, limits_.decodedBytes});
                    }
                    finish(MemberOutcome::limitReached);
                    continue;
                }
            }
            const bool needsDisk = header.decodedSize > kMemoryFileLimit;
            if (!memberFile.IsOpen() || (needsDisk && !memberFileOnDisk)) {
                output.Close();
                memberFile.Reset();
                if (const int error = CreateAnonymousFile(header.decodedSize, memberFile); error != 0) {
                    // Passed over; the next search starts at this member's data.
                    Tell(Problem{ProblemKind::noMemberFile, member.displayName, error, 0});
                    finish(MemberOutcome::passedOver);
                    continue;
                }
                memberFileOnDisk = needsDisk;
                output.Open(memberFile, member.displayName);
            }
            output.Seek(0);
            const bool decoded = source->decoder.DecodeMember(output, source->file, source->header);
            // What it wrote counts against the budget, whether it succeeded or not.
            const std::uint64_t written = output.GetPosition();
            decodeLeft_ -= std::min(decodeLeft_, written);
            // Nothing of a failed member is kept.
            output.Truncate(decoded ? written : 0);
            source->header.SkipPast(source->file);
            if (decoded) {
                if (observer_ != nullptr) {
                    observer_->MemberDecoded(member, memberFile, written);
                }
                FileInfo inner;
                inner.displayName = member.displayName;
                inner.chain = member.chain;
                inner.depth = member.depth;
                inner.opened = true;
                inner.size = written;
                AnalyzeFile(memberFile, inner);
            }
            finish(OutcomeOf(source->decoder.lastFailure));
        } catch (...) {
            if (!finished && observer_ != nullptr) {
                observer_->MemberFinished(member, MemberOutcome::incomplete);
            }
            throw;
        }
    }
    output.Close();
    source->Close();
}

void Analyzer::MicrocodePass(const FileHandle& handle, const FileInfo& file)
{
    std::vector<UpdateRecord> updates;
    {
        MicrocodeSource source;
        source.Open(handle, ErrorName(file));
        source.SetFormats(microcodeFormats_);
        std::unique_ptr<Rejections> rejections;
        if (Details()) {
            rejections = std::make_unique<Rejections>(*observer_, RecordKind::microcode);
        }
        source.CollectUpdates(updates, rejections.get(), Details());
        source.Close();
    }
    if (updates.empty()) {
        return;
    }
    std::string block = " < ";
    block += VisibleText(file.displayName);
    block += " >";
    block += kLineEnd;
    for (const UpdateRecord& update : updates) {
        block += update.line;
        block += kLineEnd;
    }
    sink_.AppendReport(block);
    if (observer_ != nullptr) {
        for (const UpdateRecord& update : updates) {
            observer_->UpdateAccepted(file, update);
        }
    }
}

void AnalyzePath(ReportSink& sink, const std::string& path)
{
    Analyzer analyzer(sink);
    analyzer.AnalyzePath(path, path);
}

}  // namespace veskari
