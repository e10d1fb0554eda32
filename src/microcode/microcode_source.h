#pragma once

#include <map>
#include <string>
#include <vector>

#include "microcode/microcode_header.h"
#include "records/file_source.h"

namespace veskari {

/// An input file scanned for microcode update headers.
class MicrocodeSource final : public FileSource {
public:
    /// Appends the report lines of every accepted header from the current
    /// position to the end of the file, in EntryKey order (equal keys in
    /// file order). The scan resumes 2048 bytes after each accepted header.
    bool Collect(std::vector<std::string>& list) override;
};

}  // namespace veskari
