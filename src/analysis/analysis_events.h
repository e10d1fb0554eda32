#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/problem.h"
#include "lzh/lzh_header.h"
#include "microcode/microcode_source.h"
#include "platform/file_handle.h"
#include "segment/segment_header.h"

namespace veskari {

/// A file being analysed: a top-level file, or the decoded bytes of a member.
struct FileInfo {
    std::string path;         ///< top-level files: the path as given or walked; members: empty
    std::string displayName;  ///< the name its block title shows (raw bytes; UTF-8 for member parts)
    /// The top-level file's display name, then the short name of each
    /// member down to this one.
    std::vector<std::string> chain;
    int depth = 0;            ///< 0 for a top-level file, n for a member n levels down
    bool opened = false;      ///< whether it could be read
    std::uint64_t size = 0;   ///< its size in bytes, when opened
    bool incomplete = false;  ///< at FileFinished: an error or a stop ended its analysis
    /// At FileFinished, in the classic mode: updates of the later layout in
    /// this file's own bytes (not its members') that the report does not
    /// list; `--all-formats` lists them. Always 0 in the all-formats mode.
    std::uint64_t unlistedLaterUpdates = 0;

    friend bool operator==(const FileInfo&, const FileInfo&) = default;
};

/// The container formats whose members the archive pass expands.
enum class ContainerFormat {
    lzh,      ///< a member of an LZH archive (`header` describes it)
    segment,  ///< a compressed segment (`segment` describes it)
};

/// A member of a container (an LZH member or a compressed segment) as the
/// archive pass meets it.
struct MemberInfo {
    ContainerFormat container = ContainerFormat::lzh;
    /// The listed name: for LZH the header's code page 932 bytes, directory
    /// part included; a segment has none, and is named by SegmentName.
    std::string rawName;
    std::string shortName;    ///< the part after its last backslash, in UTF-8
    std::string displayName;  ///< the composed name: the holder's display name, "/", shortName
    std::vector<std::string> chain;  ///< the holder's chain, then shortName
    int depth = 1;            ///< 1 for a member of a top-level file
    bool found = false;       ///< whether its header was found again (`header` or `segment` is set)
    std::uint64_t headerOffset = 0;
    LzhHeaderFields header;
    SegmentHeaderFields segment;

    friend bool operator==(const MemberInfo&, const MemberInfo&) = default;
};

/// What became of a listed member.
enum class MemberOutcome {
    analysed,      ///< decoded with a matching CRC and analysed
    crcMismatch,   ///< decoded, but the CRC-16 differs
    damaged,       ///< LZH: corrupt Huffman tables or stored data that ends early; a segment: its data ends before its size, or a match runs past it
    tooLarge,      ///< it announces more than a member may decode to
    directory,     ///< a directory entry (-lhd-), which has no data
    notFound,      ///< its header no longer reads where the listing found it
    passedOver,    ///< no file could be made for its decoded bytes
    limitReached,  ///< its file had reached a limit on the work per top-level file
    incomplete,    ///< an error or a stop ended the analysis inside it
};

/// The name of an outcome in the JSON and verbose output.
[[nodiscard]] const char* OutcomeName(MemberOutcome outcome) noexcept;

/// The kind of record a rejected candidate was tried as.
enum class RecordKind { microcode, lzh, segment };

/// What a front end may want to hear from a running analysis, in the order
/// the analysis meets it. Every operation has a default that does nothing.
class AnalysisObserver {
public:
    /// True asks for each update's bytes and the verdict of its checksum.
    [[nodiscard]] virtual bool WantsUpdateBytes() const { return false; }
    /// True asks for every rejected candidate with its diagnostic: then
    /// every candidate is read in full, without the scan's quick test.
    [[nodiscard]] virtual bool WantsRejections() const { return false; }
    /// A file or decoded member is about to be analysed; a file that cannot
    /// be read is started and finished at once, after its problem.
    virtual void FileStarted(const FileInfo& /*file*/) {}
    virtual void FileFinished(const FileInfo& /*file*/) {}
    /// A listed member is about to be looked for and decoded.
    virtual void MemberStarted(const MemberInfo& /*member*/) {}
    /// A member decoded with a matching CRC into `decoded` (a file without a
    /// name, or memory) of `size` bytes, there until its analysis has ended.
    virtual void MemberDecoded(const MemberInfo& /*member*/, const ByteSource& /*decoded*/, std::uint64_t /*size*/) {}
    virtual void MemberFinished(const MemberInfo& /*member*/, MemberOutcome /*outcome*/) {}
    /// An accepted update of `file`, in report order.
    virtual void UpdateAccepted(const FileInfo& /*file*/, const UpdateRecord& /*update*/) {}
    /// With WantsUpdateBytes, right after UpdateAccepted of an update's own
    /// line: `bytes` stands at the update in the file that holds it, from
    /// which its total size may be read (fewer when the file ends first),
    /// a piece at a time: no update is ever held whole in memory.
    virtual void UpdateBytes(const FileInfo& /*file*/, const UpdateRecord& /*update*/, File& /*bytes*/) {}
    /// A candidate the scan tried and the record rejected (details only).
    virtual void CandidateRejected(RecordKind /*kind*/, std::uint64_t /*offset*/, const std::string& /*message*/,
                                   bool /*malformed*/)
    {
    }
    /// Part of the input could not be analysed.
    virtual void ProblemFound(const Problem& /*problem*/) {}

protected:
    ~AnalysisObserver() = default;
};

/// Forwards every event to several observers, in their order.
class ObserverFanOut final : public AnalysisObserver {
public:
    void Add(AnalysisObserver* observer)
    {
        if (observer != nullptr) {
            observers_.push_back(observer);
        }
    }

    [[nodiscard]] bool WantsUpdateBytes() const override;
    [[nodiscard]] bool WantsRejections() const override;
    void FileStarted(const FileInfo& file) override;
    void FileFinished(const FileInfo& file) override;
    void MemberStarted(const MemberInfo& member) override;
    void MemberDecoded(const MemberInfo& member, const ByteSource& decoded, std::uint64_t size) override;
    void MemberFinished(const MemberInfo& member, MemberOutcome outcome) override;
    void UpdateAccepted(const FileInfo& file, const UpdateRecord& update) override;
    void UpdateBytes(const FileInfo& file, const UpdateRecord& update, File& bytes) override;
    void CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                           bool malformed) override;
    void ProblemFound(const Problem& problem) override;

private:
    std::vector<AnalysisObserver*> observers_;
};

}  // namespace veskari
