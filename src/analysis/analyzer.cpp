#include "analysis/analyzer.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <set>
#include <string_view>
#include <utility>

#include "lzh/lzh_decoder.h"
#include "lzh/lzh_source.h"
#include "platform/anonymous_file.h"
#include "platform/cp932.h"
#include "platform/folder.h"
#include "platform/memory_file.h"
#include "platform/source_file.h"
#include "platform/visible_text.h"
#include "segment/segment_decoder.h"

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
        if (kind_ != RecordKind::microcode) {
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
        const ProblemKind kind = opened.copyFailed ? ProblemKind::noStreamCopy
                                 : opened.error != 0 ? ProblemKind::cannotOpen
                                                     : ProblemKind::notRegularFile;
        Tell(Problem{kind, path, opened.error, 0});
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
    checksums_ = ChecksumAllowance{};
    decodeLimitTold_ = false;
    memberLimitTold_ = false;
    extendedLimitTold_ = false;
    streamCut_ = opened.cutAt;
    AnalyzeFile(ByteSource{&opened.handle, {}}, file);
}

void Analyzer::AnalyzeFile(const ByteSource& bytes, FileInfo& file)
{
    if (observer_ != nullptr) {
        observer_->FileStarted(file);
    }
    if (const std::uint64_t cut = std::exchange(streamCut_, 0); cut != 0) {
        Tell(Problem{ProblemKind::streamCut, file.path, 0, cut});  // a stream's copy, the top-level file
    }
    try {
        // One read of the file serves both passes: the listings of its
        // containers (LZH members, compressed segments) and the scan for
        // updates go through it side by side. The updates wait until the
        // members are analysed, and so do the rejections of their
        // candidates, so that everything is told in the order of the two
        // passes.
        const bool archives = file.depth < kMaxNestingLevel;
        Rejections lzhRejections(observer_, RecordKind::lzh);
        Rejections microcodeRejections(observer_, RecordKind::microcode);
        LzhHeader listingHeader;
        const bool told = WantsRejections();
        // The archive pass stops at the member that finds the per-file
        // allowance used up, so the listing holds no name beyond it.
        const std::uint64_t listed = std::min(membersLeft_, std::numeric_limits<std::uint64_t>::max() - 1) + 1;
        LzhListingLane listing(listingHeader, told ? &lzhRejections : nullptr, listed);
        Rejections segmentRejections(observer_, RecordKind::segment);
        SegmentListingLane segments(told ? &segmentRejections : nullptr, listed);
        MicrocodeLane updates(microcodeFormats_, WantsUpdateBytes(), told ? &microcodeRejections : nullptr);
        updates.collector.LimitExtendedLines(extendedLinesLeft_);
        updates.collector.ShareAllowance(checksums_);
        {
            SourceFile input;
            input.Open(bytes, ErrorName(file));
            std::vector<SweepLane*> lanes{&updates};
            if (archives) {
                lanes.insert(lanes.begin(), {&listing, &segments});
            }
            Sweep(*input, lanes, file.depth == 0 ? scanned_ : nullptr);
            input->Close();
        }
        checksums_.Scanned(file.size);
        if (!listing.members.empty() || !segments.segments.empty()) {
            ArchivePass(bytes, file, listing.members, segments.segments);
        }
        microcodeRejections.Replay();
        MicrocodePass(updates.collector, bytes, file);
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

// Where the decoded bytes of the members of one file go, one member at a
// time, each written over the one before: memory, or, for a member that
// announces more, a file without a name on disk, made once per file.
class Analyzer::MemberStore {
public:
    /// Opens the output for a member that announces `size` bytes; the
    /// system's error when no file could be made for it, else 0.
    [[nodiscard]] int Prepare(std::uint64_t size, const std::string& name)
    {
        inMemory_ = size <= kMemoryFileLimit;
        if (inMemory_) {
            Switch(memoryOutput_);
            memoryOutput_.Open(memory_, name);
            return 0;
        }
        if (!file_.IsOpen()) {
            if (const int error = CreateAnonymousFile(size, file_); error != 0) {
                return error;
            }
        }
        Switch(fileOutput_);
        fileOutput_.Open(file_, name);
        return 0;
    }

    /// Where the member prepared last is written.
    [[nodiscard]] File& Output() noexcept { return *output_; }

    /// Closes the output; a refused close throws.
    void Close() { output_->Close(); }

    /// The bytes of the member decoded last.
    [[nodiscard]] ByteSource Bytes() const
    {
        return inMemory_ ? ByteSource{nullptr, std::span<const std::uint8_t>(memory_)} : ByteSource{&file_, {}};
    }

private:
    // A member written where the one before was not closes that output first.
    void Switch(File& next)
    {
        if (output_ != &next) {
            output_->Close();
            output_ = &next;
        }
    }

    MemoryWriter memoryOutput_;
    BorrowedFile fileOutput_;
    File* output_ = &memoryOutput_;
    std::vector<std::uint8_t> memory_;
    FileHandle file_;
    bool inMemory_ = true;
};

namespace {

// Tells a member's start and its end around `step`, which decodes and
// analyses it and returns its outcome; an error or a stop inside it ends
// it as incomplete, so that an observer never repairs a tree.
template <typename Step>
void VisitMember(AnalysisObserver* observer, const MemberInfo& member, Step&& step)
{
    bool finished = false;
    try {
        if (observer != nullptr) {
            observer->MemberStarted(member);
        }
        const MemberOutcome outcome = step();
        finished = true;
        if (observer != nullptr) {
            observer->MemberFinished(member, outcome);
        }
    } catch (...) {
        if (!finished && observer != nullptr) {
            observer->MemberFinished(member, MemberOutcome::incomplete);
        }
        throw;
    }
}

}  // namespace

void Analyzer::ArchivePass(const ByteSource& bytes, const FileInfo& holder, const std::vector<ListedMember>& members,
                           const std::vector<ListedSegment>& segments)
{
    MemberStore store;
    if (!members.empty()) {
        ExpandLzhMembers(bytes, holder, members, store);
    }
    if (!segments.empty()) {
        ExpandSegments(bytes, holder, segments, store);
    }
    store.Close();
}

std::optional<MemberOutcome> Analyzer::RefuseSize(const MemberInfo& member, std::uint64_t decodedSize,
                                                  std::uint64_t maxSize)
{
    if (decodedSize > maxSize) {
        Tell(Problem{ProblemKind::memberTooLarge, member.displayName, 0, maxSize});
        return MemberOutcome::tooLarge;
    }
    if (decodedSize > decodeLeft_) {
        if (!decodeLimitTold_) {
            decodeLimitTold_ = true;
            Tell(Problem{ProblemKind::decodeLimit, topName_, 0, limits_.decodedBytes});
        }
        return MemberOutcome::limitReached;
    }
    return std::nullopt;
}

MemberOutcome Analyzer::TellIfDamaged(const MemberInfo& member, MemberOutcome outcome)
{
    if (outcome == MemberOutcome::crcMismatch || outcome == MemberOutcome::damaged) {
        // The updates it holds are unknown: the report is incomplete.
        Tell(Problem{ProblemKind::memberDamaged, member.displayName, 0, 0});
    }
    return outcome;
}

std::uint64_t Analyzer::Settle(MemberStore& store, bool decoded)
{
    // What it wrote counts against the budget, whether it succeeded or not.
    const std::uint64_t written = store.Output().GetPosition();
    decodeLeft_ -= std::min(decodeLeft_, written);
    // Nothing of a failed member is kept.
    store.Output().Truncate(decoded ? written : 0);
    return written;
}

void Analyzer::AnalyseDecoded(const MemberInfo& member, const MemberStore& store, std::uint64_t size)
{
    const ByteSource decoded = store.Bytes();
    if (observer_ != nullptr) {
        observer_->MemberDecoded(member, decoded, size);
    }
    FileInfo inner;
    inner.displayName = member.displayName;
    inner.chain = member.chain;
    inner.depth = member.depth;
    inner.opened = true;
    inner.size = size;
    AnalyzeFile(decoded, inner);
}

void Analyzer::ExpandLzhMembers(const ByteSource& bytes, const FileInfo& holder,
                                const std::vector<ListedMember>& members, MemberStore& store)
{
    // The decoder's fixed arrays live on the heap, once per file with
    // members, so that deep nesting does not depend on the thread's stack.
    const auto decoder = std::make_unique<LzhDecoder>();
    LzhHeader header;
    SourceFile input;
    input.Open(bytes, ErrorName(holder));
    for (const ListedMember& listed : members) {
        if (!TakeMember()) {
            break;
        }
        MemberInfo member = DescribeMember(holder, listed.name);
        VisitMember(observer_, member, [&]() -> MemberOutcome {
            // The member is read where the listing found it, whatever came
            // before it: a member passed over never hides the next one, and
            // a namesake inside another member's data is never taken for it.
            input->Seek(listed.start);
            if (!header.Read(*input)) {
                return MemberOutcome::notFound;
            }
            header.SeekToData(*input);
            member.found = true;
            member.headerOffset = header.start;
            member.header = header;
            // A directory entry decodes to nothing, whatever size it announces.
            const bool directory = header.method == kMethodDirectory;
            if (!directory) {
                if (const auto refused = RefuseSize(member, header.decodedSize, LzhDecoder::kMaxDecodedSize)) {
                    return *refused;
                }
            }
            if (const int error = store.Prepare(directory ? 0 : header.decodedSize, member.displayName); error != 0) {
                Tell(Problem{ProblemKind::noMemberFile, member.displayName, error, 0});
                return MemberOutcome::passedOver;
            }
            const bool decoded = decoder->DecodeMember(store.Output(), *input, header);
            const std::uint64_t written = Settle(store, decoded);
            if (decoded) {
                AnalyseDecoded(member, store, written);
            }
            return TellIfDamaged(member, OutcomeOf(decoder->LastFailure()));
        });
    }
    input->Close();
}

void Analyzer::ExpandSegments(const ByteSource& bytes, const FileInfo& holder,
                              const std::vector<ListedSegment>& segments, MemberStore& store)
{
    // Segments are decoded where the listing found them.
    const auto decoder = std::make_unique<SegmentDecoder>();
    SourceFile input;
    input.Open(bytes, ErrorName(holder));
    for (const ListedSegment& listed : segments) {
        if (!TakeMember()) {
            break;
        }
        MemberInfo member = DescribeMember(holder, listed.name);
        member.container = ContainerFormat::segment;
        member.found = true;
        member.headerOffset = listed.start;
        member.segment = listed.fields;
        VisitMember(observer_, member, [&]() -> MemberOutcome {
            if (const auto refused = RefuseSize(member, listed.fields.decodedSize, SegmentDecoder::kMaxDecodedSize)) {
                return *refused;
            }
            if (const int error = store.Prepare(listed.fields.decodedSize, member.displayName); error != 0) {
                Tell(Problem{ProblemKind::noMemberFile, member.displayName, error, 0});
                return MemberOutcome::passedOver;
            }
            input->Seek(listed.start + SegmentHeader::kHeaderSize);
            const bool decoded = decoder->DecodeSegment(store.Output(), *input, listed.fields);
            const std::uint64_t written = Settle(store, decoded);
            if (!decoded) {
                return TellIfDamaged(member, MemberOutcome::damaged);
            }
            AnalyseDecoded(member, store, written);
            return MemberOutcome::analysed;
        });
    }
    input->Close();
}

void Analyzer::MicrocodePass(UpdateCollector& collector, const ByteSource& bytes, const FileInfo& file)
{
    // One allowance serves a top-level file and all its members: what it
    // left unchecked is told once, after the last of them.
    if (file.depth == 0 && collector.UncheckedCandidates() != 0) {
        Tell(Problem{ProblemKind::checksumLimit, ErrorName(file), 0, collector.UncheckedCandidates()});
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
        // Whoever wants an update's bytes reads them from the file, so that
        // no update is held whole, whatever size it has.
        SourceFile input;
        if (WantsUpdateBytes()) {
            input.Open(bytes, ErrorName(file));
        }
        for (const UpdateRecord& update : updates) {
            observer_->UpdateAccepted(file, update);
            if (input && input->IsOpen() && update.extendedIndex < 0) {
                input->Seek(update.offset);
                observer_->UpdateBytes(file, update, *input);
            }
        }
    }
}

void AnalyzePath(ReportSink& sink, const std::string& path)
{
    Analyzer analyzer(sink);
    analyzer.AnalyzePath(path);
}

}  // namespace veskari
