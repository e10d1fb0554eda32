#pragma once

#include <string>
#include <vector>

#include "lzh/lzh_decoder.h"
#include "lzh/lzh_header.h"
#include "microcode/microcode_source.h"
#include "platform/source_file.h"
#include "segment/segment_header.h"

namespace veskari::test {

/// The straightforward way to find records, one kind at a time, against
/// which the analysis's one-read sweep is checked: windows of kScanStep
/// bytes plus the kind's look-ahead, kScanStep apart, each position tested
/// byte by byte with the kind's pattern and tried with its Read. On
/// success the file stands at the record's start; rejected candidates are
/// told to `rejections` (may be nullptr).
[[nodiscard]] bool FindNext(MicrocodeHeader& header, File& file, RejectionObserver* rejections = nullptr,
                            MicrocodeFormats formats = MicrocodeFormats::classic);
[[nodiscard]] bool FindNext(LzhHeader& header, File& file, RejectionObserver* rejections = nullptr);
[[nodiscard]] bool FindNext(SegmentHeader& header, File& file, RejectionObserver* rejections = nullptr);

/// A file scanned for LZH members the straightforward way, with the header
/// record of the member last found and a decoder for its data.
class LzhScan {
public:
    [[nodiscard]] bool Open(const std::string& path) { return file.Open(path); }
    void Open(const ByteSource& source, const std::string& name) { file.Open(source, name); }
    void Close()
    {
        if (file) {
            file->Close();
        }
    }

    /// Appends the name of every member from the current position to the
    /// end of the file, in file order; false when the last header tried
    /// was rejected as malformed.
    bool Collect(std::vector<std::string>& list);
    /// Searches forward for a member with exactly this (raw) name; on
    /// success the file stands at its data and `header` describes it.
    [[nodiscard]] bool FindMember(const std::string& name);

    SourceFile file;
    LzhHeader header;
    LzhDecoder decoder;
};

/// A file scanned for microcode updates the straightforward way.
class MicrocodeScan {
public:
    [[nodiscard]] bool Open(const std::string& path) { return file.Open(path); }
    void Open(const ByteSource& source, const std::string& name) { file.Open(source, name); }
    void SetFormats(MicrocodeFormats formats) noexcept { formats_ = formats; }

    /// Every accepted update from the current position on, in report order;
    /// `withBytes` also verifies each classic update's checksum.
    bool CollectUpdates(std::vector<UpdateRecord>& records, RejectionObserver* rejections, bool withBytes);
    /// The report lines of CollectUpdates.
    bool Collect(std::vector<std::string>& list);

    SourceFile file;

private:
    MicrocodeFormats formats_ = MicrocodeFormats::classic;
};

}  // namespace veskari::test
