#pragma once

#include <cstdint>
#include <string>

#include "records/located_record.h"

namespace veskari {

/// Sort key of an accepted update: the signature's low 16 bits above the
/// platform flags.
using EntryKey = std::uint32_t;

/// The fields of an update header as read, with the texts made from them:
/// the one list of them that the record and the events of an accepted
/// update share.
struct MicrocodeHeaderFields {
    std::uint32_t headerVersion = 0;
    std::uint32_t revision = 0;
    std::uint32_t date = 0;
    std::uint32_t signature = 0;
    std::uint32_t checksum = 0;
    std::uint32_t loaderRevision = 0;
    std::uint32_t platformFlags = 0;
    std::string headerVersionText;
    std::string revisionText;
    std::string dateText;
    std::string loaderText;
    std::string packageText;
    std::string processorName;
};

/// The 48-byte header of a family-6 processor microcode update, found
/// anywhere in a file and checked field by field.
class MicrocodeHeader final : public LocatedRecord, public MicrocodeHeaderFields {
public:
    static constexpr std::size_t kHeaderSize = 48;
    /// An update with zero size fields is 2048 bytes long; the scan resumes
    /// there after an accepted header.
    static constexpr std::uint64_t kUpdateSize = 2048;
    /// Look-ahead of the scan: the candidate pattern spans 14 bytes.
    static constexpr std::size_t kLookAhead = 16;

    [[nodiscard]] bool Read(CFile& file) override;
    [[nodiscard]] bool FindNext(CFile& file) override;
    void SkipPast(CFile& file) override;
    void SeekToData(CFile& file) override;
    [[nodiscard]] const std::string& Name() const override;
    [[nodiscard]] std::int32_t DataSize() const override;

    /// Replaces `line` with the report line of this (accepted) header.
    void ReportLine(std::string& line) const;

    [[nodiscard]] EntryKey Key() const noexcept { return (signature << 16) | platformFlags; }

    /// Whether the bytes at `window[0..13]` look like a header: version 1,
    /// revision below 256, family 6.
    [[nodiscard]] static bool IsCandidate(const std::uint8_t* window) noexcept;
};

}  // namespace veskari
