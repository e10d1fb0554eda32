#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "analysis/analysis_events.h"
#include "analysis/report_sink.h"
#include "lzh/lzh_source.h"
#include "platform/file_handle.h"
#include "segment/segment_header.h"

namespace veskari {

/// Archives are expanded down to this many levels below a top-level file;
/// a member at the deepest level is still scanned for microcode.
inline constexpr int kMaxNestingLevel = 16;

/// Bounds on the work that one top-level file may cause, members nested in
/// members included. Members can hold members that repeat themselves, so
/// without them a few hundred bytes could keep the analysis busy for hours:
/// with them a file of n bytes costs time linear in n up to a fixed cap.
struct WorkLimits {
    /// Decoded bytes of all its members together.
    std::uint64_t decodedBytes = std::uint64_t{1} << 30;
    /// Members it may visit: this many, one more per `bytesPerMember` bytes
    /// of the file, and never more than `maxMembers`.
    std::uint64_t baseMembers = 4096;
    std::uint64_t bytesPerMember = 64;
    std::uint64_t maxMembers = std::uint64_t{1} << 20;
    /// Lines of extended signatures, in the file and all its members. Real
    /// updates carry a handful; each line costs memory until it is written.
    std::uint64_t extendedLines = 16384;

    [[nodiscard]] std::uint64_t MembersFor(std::uint64_t fileSize) const noexcept;
};

/// Analyses files and folders and writes their report to a sink: a
/// headline per top-level file, then the blocks of its archive members,
/// then its own block of microcode updates in EntryKey order. Everything
/// else it meets goes to the observer as events.
/// A refused file operation throws FileError out of the analysis, and a
/// raised stop request AnalysisStopped; the text appended before stays.
class Analyzer {
public:
    explicit Analyzer(ReportSink& sink, AnalysisObserver* observer = nullptr);

    void SetLimits(const WorkLimits& limits) noexcept { limits_ = limits; }

    /// Which update layouts the microcode pass lists (classic unless set).
    void SetMicrocodeFormats(MicrocodeFormats formats) noexcept { microcodeFormats_ = formats; }

    /// Where the scan of each top-level file stores how far it has come
    /// (bytes from its start), for progress shown while it runs.
    void SetScanProgress(std::atomic<std::uint64_t>* scanned) noexcept { scanned_ = scanned; }

    /// Analyses `path` as a selected or dropped path: a folder is walked,
    /// and every file gets its headline.
    void AnalyzePath(const std::string& path);

    /// Analyses one top-level file that the caller has opened, or failed to
    /// open (its headline is written all the same, then the problem told).
    void AnalyzeTopLevelFile(const std::string& path, const OpenedFile& file);

private:
    class MemberStore;

    void AnalyzeFile(const ByteSource& bytes, FileInfo& file);
    // The members of every container format in the file, format by format:
    // each member is decoded by its format's step, then analysed alike.
    void ArchivePass(const ByteSource& bytes, const FileInfo& holder, const std::vector<ListedMember>& members,
                     const std::vector<ListedSegment>& segments);
    void ExpandLzhMembers(const ByteSource& bytes, const FileInfo& holder, const std::vector<ListedMember>& members,
                          MemberStore& store);
    void ExpandSegments(const ByteSource& bytes, const FileInfo& holder, const std::vector<ListedSegment>& segments,
                        MemberStore& store);
    // The outcome of a member that may not be decoded for its size (too
    // large, or beyond what the top-level file has left), after telling it.
    [[nodiscard]] std::optional<MemberOutcome> RefuseSize(const MemberInfo& member, std::uint64_t decodedSize,
                                                          std::uint64_t maxSize);
    // Counts what a member wrote against the budget; keeps it when decoded.
    std::uint64_t Settle(MemberStore& store, bool decoded);
    // The analyse step, alike for every format: the decoded member's bytes
    // are analysed as a file of their own, one level down.
    void AnalyseDecoded(const MemberInfo& member, const MemberStore& store, std::uint64_t size);
    void MicrocodePass(UpdateCollector& collector, const ByteSource& bytes, const FileInfo& file);
    // Tells a member whose data is damaged as a problem; returns `outcome`.
    MemberOutcome TellIfDamaged(const MemberInfo& member, MemberOutcome outcome);
    // Counts a member against the limit; false once the limit is reached.
    [[nodiscard]] bool TakeMember();
    void Tell(const Problem& problem);
    [[nodiscard]] bool WantsUpdateBytes() const;
    [[nodiscard]] bool WantsRejections() const;

    ReportSink& sink_;
    AnalysisObserver* observer_;
    WorkLimits limits_;
    MicrocodeFormats microcodeFormats_ = MicrocodeFormats::classic;
    std::atomic<std::uint64_t>* scanned_ = nullptr;
    // The budgets of the top-level file being analysed.
    std::string topName_;
    std::uint64_t decodeLeft_ = 0;
    std::uint64_t memberLimit_ = 0;
    std::uint64_t membersLeft_ = 0;
    std::uint64_t extendedLinesLeft_ = 0;
    ChecksumAllowance checksums_;
    bool decodeLimitTold_ = false;
    bool memberLimitTold_ = false;
    bool extendedLimitTold_ = false;
    std::uint64_t streamCut_ = 0;  // the copy of a stream was cut here: told with the top-level file
};

/// Convenience for callers that analyse one path into a sink.
void AnalyzePath(ReportSink& sink, const std::string& path);

}  // namespace veskari
