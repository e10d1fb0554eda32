#pragma once

#include <map>
#include <string>
#include <cstdint>
#include <vector>

#include "microcode/microcode_header.h"
#include "records/file_source.h"

namespace veskari {

/// One accepted update with every header field, for the detailed output.
struct UpdateRecord {
    std::uint64_t offset = 0;
    MicrocodeHeaderFields header;
    std::string line;  ///< the report line
    /// The update's 2048 bytes (fewer when the file ends first), read only
    /// when asked for.
    std::vector<std::uint8_t> bytes;
    /// Whether the 512 dwords of the update add up to 0 (only with bytes).
    bool checksumValid = false;
};

/// An input file scanned for microcode update headers.
class MicrocodeSource final : public FileSource {
public:
    /// Collect with every field of each accepted update, in the same order;
    /// `withBytes` also reads each update's bytes and verifies its checksum.
    /// Rejected candidates are reported to `rejections` (may be nullptr).
    bool CollectUpdates(std::vector<UpdateRecord>& records, RejectionObserver* rejections, bool withBytes);

    /// Appends the report lines of every accepted header from the current
    /// position to the end of the file, in EntryKey order (equal keys in
    /// file order). The scan resumes 2048 bytes after each accepted header.
    bool Collect(std::vector<std::string>& list) override;
};

}  // namespace veskari
