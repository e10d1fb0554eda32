#pragma once

// A user's own reference of published updates: the microcode updates found
// in a file or folder (an unpacked release, the system's installed
// microcode), read by the same analysis as any input.

#include <string>
#include <vector>

#include "analysis/run_engine.h"
#include "microcode/release_reference.h"

namespace veskari {

/// What reading a reference met.
struct ReferenceLoad {
    std::size_t updates = 0;            ///< updates added (the lines of extended signatures included)
    std::vector<Problem> problems;      ///< what could not be read
    std::optional<RunFailure> failure;  ///< the error that ended the reading
};

/// Adds every update found in `path` (a file or a folder walked whole,
/// archive members included, updates of both layouts) to `reference` as one
/// source named by the path, and seals the reference. Each line of an
/// extended signature table counts as an update of its own processor.
[[nodiscard]] ReferenceLoad AddReference(ReleaseReference& reference, const std::string& path, unsigned jobs);

}  // namespace veskari
