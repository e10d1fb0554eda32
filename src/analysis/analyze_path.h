#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/report_sink.h"
#include "lzh/lzh_header.h"
#include "microcode/microcode_source.h"

namespace veskari {

/// An LZH member as the archive pass met it.
struct MemberInfo {
    std::string rawName;      ///< the header's name, code page 932 bytes, directory part included
    std::string displayName;  ///< the composed name it is reported under
    bool found = false;       ///< whether its header was found again (the fields below are set)
    std::uint64_t headerOffset = 0;
    LzhHeaderFields header;
};

/// What became of a listed member.
enum class MemberOutcome {
    analysed,     ///< decoded with a matching CRC and analysed
    crcMismatch,  ///< decoded, but the CRC-16 differs
    damaged,      ///< its data ended early or its Huffman tables are corrupt
    tooLarge,     ///< it announces more than the decoder's size bound
    directory,    ///< a directory entry (-lhd-), which has no data
    notFound,     ///< its header was not found again (an earlier member was passed over)
    passedOver,   ///< no temporary file could be created for it
};

/// The kind of record a rejected candidate was tried as.
enum class RecordKind { microcode, lzh };

/// What a front end may want to hear from a running analysis. Every
/// operation has a default that does nothing.
class AnalysisObserver {
public:
    /// A member is being decoded (the window shows the wait cursor).
    virtual void MemberDecodeStarted() {}
    virtual void MemberDecodeFinished() {}
    /// Asked before each top-level file, folder entry and archive member;
    /// true ends the analysis there, between files.
    [[nodiscard]] virtual bool StopRequested() { return false; }

    /// True asks for the detailed events below to carry everything: the
    /// bytes and checksum of each update and every rejected candidate.
    [[nodiscard]] virtual bool WantsDetails() const { return false; }
    /// A file or decoded member is about to be analysed.
    virtual void FileStarted(const std::string& /*path*/, const std::string& /*displayName*/, bool /*topLevel*/) {}
    /// Its analysis has ended; `opened` tells whether it could be read.
    virtual void FileFinished(bool /*opened*/) {}
    /// A listed member is about to be looked for and decoded.
    virtual void MemberStarted(const MemberInfo& /*member*/) {}
    /// A member decoded with a matching CRC into `decodedPath`, a file that
    /// exists until its analysis has ended.
    virtual void MemberDecoded(const MemberInfo& /*member*/, const std::string& /*decodedPath*/) {}
    virtual void MemberFinished(const MemberInfo& /*member*/, MemberOutcome /*outcome*/) {}
    /// An accepted update of the current file, in report order.
    virtual void UpdateAccepted(const UpdateRecord& /*update*/) {}
    /// A candidate the scan tried and the record rejected (details only).
    virtual void CandidateRejected(RecordKind /*kind*/, std::uint64_t /*offset*/, const std::string& /*message*/,
                                   bool /*malformed*/)
    {
    }

protected:
    ~AnalysisObserver() = default;
};

/// Archives are expanded down to this many levels below a top-level file;
/// a member at the deepest level is still scanned for microcode.
inline constexpr int kMaxNestingLevel = 16;

/// All members of one top-level file together may decode to at most this
/// many bytes; members beyond it are passed over as too large. Each member
/// is bounded on its own too (LzhDecoder::kMaxDecodedSize), but members can
/// hold members that repeat themselves: without a bound for the whole file,
/// a few kilobytes could keep the analysis and the disk busy for ever.
inline constexpr std::uint64_t kDefaultDecodeBudget = std::uint64_t{1} << 30;

/// Walks a folder depth first, entries in byte order, and calls `visitFile`
/// with the path of every entry that is not a folder, until it returns
/// false. Never enters a folder it is already inside, so links cannot make
/// it loop. Returns false when `visitFile` stopped the walk.
bool WalkFolder(std::string folderPath, const std::function<bool(const std::string& entryPath)>& visitFile);

/// Analyses files and folders and writes their report to a sink: a
/// headline per top-level file, then the blocks of its archive members,
/// then its own block of microcode updates in EntryKey order.
/// A refused file operation throws FileError out of AnalyzePath; the text
/// appended before it stays in the sink.
class Analyzer {
public:
    explicit Analyzer(ReportSink& sink, AnalysisObserver* observer = nullptr);

    /// How many decoded bytes the members of each top-level file may produce.
    void SetDecodeBudget(std::uint64_t bytes) noexcept { decodeBudget_ = bytes; }

    /// Which update layouts the microcode pass lists (classic unless set).
    void SetMicrocodeFormats(MicrocodeFormats formats) noexcept { microcodeFormats_ = formats; }

    /// Analyses `path` and reports it under `displayName`; a call with two
    /// equal texts is a top-level call (a selected or dropped path).
    void AnalyzePath(std::string path, std::string displayName);

private:
    class Rejections;

    void AnalyzeFile(const std::string& path, std::string displayName, bool topLevel, int nestingLevel);
    void ArchivePass(const std::string& path, const std::string& displayName, int nestingLevel);
    bool MicrocodePass(const std::string& path, const std::string& displayName);
    [[nodiscard]] bool StopRequested() const;
    [[nodiscard]] bool Details() const;

    ReportSink& sink_;
    AnalysisObserver* observer_;
    std::uint64_t decodeBudget_ = kDefaultDecodeBudget;
    MicrocodeFormats microcodeFormats_ = MicrocodeFormats::classic;
    std::uint64_t budgetLeft_ = 0;  // of the top-level file being analysed
};

/// Convenience for callers that analyse one path into a sink.
void AnalyzePath(ReportSink& sink, const std::string& path);

}  // namespace veskari
