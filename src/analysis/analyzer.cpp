#include "analysis/analyzer.h"

#include <algorithm>
#include <limits>
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

// Hands the rejected candidates of one kind to the observer: at once, or,
// for the kind whose pass comes later, kept until Replay.
class Rejections final : public RejectionObserver {
public:
    Rejections(AnalysisObserver* observer, RecordKind kind) : observer_(observer), kind_(kind) {}

    void Rejected(const LocatedRecord& record) override
    {
        if (kind_ == RecordKind::lzh) {
            observer_->CandidateRejected(kind_, record.start, record.message, record.error);
        } else {
            kept_.push_back(Kept{record.start, record.message, record.error});
        }
    }

    void Replay()
    {
        for (const Kept& rejection : kept_) {
            observer_->CandidateRejected(kind_, rejection.offset, rejection.message, rejection.malformed);
        }
        kept_.clear();
    }

private:
    struct Kept {
        std::uint64_t offset;
        std::string message;
        bool malformed;
    };
    AnalysisObserver* observer_;
    RecordKind kind_;
    std::vector<Kept> kept_;
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

bool Analyzer::WantsUpdateBytes() const
{
    return observer_ != nullptr && observer_->WantsUpdateBytes();
}

bool Analyzer::WantsRejections() const
{
    return observer_ != nullptr && observer_->WantsRejections();
}

void Analyzer::Tell(const Problem& problem)
{
    if (observer_ != nullptr) {
        observer_->ProblemFound(problem);
    }
}

void Analyzer::AnalyzePath(const std::string& path)
{
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
    extendedLinesLeft_ = limits_.extendedLines;
    decodeLimitTold_ = false;
    memberLimitTold_ = false;
    extendedLimitTold_ = false;
    AnalyzeFile(ByteSource{&opened.handle, {}}, file);
}

void Analyzer::AnalyzeFile(const ByteSource& bytes, FileInfo& file)
{
    if (observer_ != nullptr) {
        observer_->FileStarted(file);
    }
    try {
        // One read of the file serves both passes: the listing of its LZH
        // members and the scan for updates go through it side by side. The
        // updates wait until the members are analysed, and so do the
        // rejections of their candidates, so that everything is told in
        // the order of the two passes.
        const bool archives = file.depth < kMaxNestingLevel;
        Rejections lzhRejections(observer_, RecordKind::lzh);
        Rejections microcodeRejections(observer_, RecordKind::microcode);
        LzhHeader listingHeader;
        const bool told = WantsRejections();
        // The archive pass stops at the member that finds the per-file
        // allowance used up, so the listing holds no name beyond it.
        const std::uint64_t listed = std::min(membersLeft_, std::numeric_limits<std::uint64_t>::max() - 1) + 1;
        LzhListingLane listing(listingHeader, told ? &lzhRejections : nullptr, listed);
        MicrocodeLane updates(microcodeFormats_, WantsUpdateBytes(), told ? &microcodeRejections : nullptr);
        updates.collector.LimitExtendedLines(extendedLinesLeft_);
        {
            CFile input;
            input.Open(bytes, ErrorName(file));
            std::vector<SweepLane*> lanes{&updates};
            if (archives) {
                lanes.insert(lanes.begin(), &listing);
            }
            Sweep(input, lanes);
            input.Close();
        }
        if (!listing.members.empty()) {
            ArchivePass(bytes, file, listing.members);
        }
        microcodeRejections.Replay();
        MicrocodePass(updates.collector, file);
        file.unlistedLaterUpdates = updates.collector.UnlistedLaterUpdates();
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

void Analyzer::ArchivePass(const ByteSource& bytes, const FileInfo& holder, const std::vector<ListedMember>& members)
{
    // The decoder's fixed arrays live on the heap, once per file with
    // members, so that deep nesting does not depend on the thread's stack.
    const auto source = std::make_unique<LzhSource>();
    source->Open(bytes, ErrorName(holder));
    source->file.Seek(0);

    // Members are decoded into memory and analysed there; one that
    // announces more goes to a file without a name on disk. Either serves
    // all members of this file in turn, each written over the one before.
    std::vector<std::uint8_t> memberBytes;
    FileHandle memberFile;
    CFile output;
    bool found = true;
    for (const ListedMember& listed : members) {
        if (!TakeMember()) {
            break;
        }
        MemberInfo member = DescribeMember(holder, listed.name);
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
            found = found && source->FindMember(listed);
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
            // A directory entry decodes to nothing, whatever size it announces.
            const bool inMemory = header.method == kMethodDirectory || header.decodedSize <= kMemoryFileLimit;
            if (inMemory) {
                output.CreateInMemory(memberBytes, member.displayName);
            } else {
                if (!memberFile.IsOpen()) {
                    if (const int error = CreateAnonymousFile(header.decodedSize, memberFile); error != 0) {
                        // Passed over; the next search starts at this member's data.
                        Tell(Problem{ProblemKind::noMemberFile, member.displayName, error, 0});
                        finish(MemberOutcome::passedOver);
                        continue;
                    }
                }
                output.Open(memberFile, member.displayName);
            }
            const bool decoded = source->decoder.DecodeMember(output, source->file, source->header);
            // What it wrote counts against the budget, whether it succeeded or not.
            const std::uint64_t written = output.GetPosition();
            decodeLeft_ -= std::min(decodeLeft_, written);
            // Nothing of a failed member is kept.
            output.Truncate(decoded ? written : 0);
            source->header.SkipPast(source->file);
            if (decoded) {
                const ByteSource decodedBytes = inMemory
                                                    ? ByteSource{nullptr, std::span<const std::uint8_t>(memberBytes)}
                                                    : ByteSource{&memberFile, {}};
                if (observer_ != nullptr) {
                    observer_->MemberDecoded(member, decodedBytes, written);
                }
                FileInfo inner;
                inner.displayName = member.displayName;
                inner.chain = member.chain;
                inner.depth = member.depth;
                inner.opened = true;
                inner.size = written;
                AnalyzeFile(decodedBytes, inner);
            }
            finish(OutcomeOf(source->decoder.LastFailure()));
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

void Analyzer::MicrocodePass(UpdateCollector& collector, const FileInfo& file)
{
    if (const std::uint64_t unchecked = collector.UncheckedCandidates(); unchecked != 0) {
        Tell(Problem{ProblemKind::checksumLimit, ErrorName(file), 0, unchecked});
    }
    if (collector.OmittedExtendedLines() != 0 && !extendedLimitTold_) {
        extendedLimitTold_ = true;
        Tell(Problem{ProblemKind::extendedLimit, topName_, 0, limits_.extendedLines});
    }
    std::vector<UpdateRecord> updates;
    collector.Finish(updates);
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
    analyzer.AnalyzePath(path);
}

}  // namespace veskari
