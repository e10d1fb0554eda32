#pragma once

// How the standing of updates against a reference of published releases
// is written: in words (verbose output, the report's standing block, the
// window) and as JSON.

#include <string>
#include <vector>

#include "microcode/release_reference.h"
#include "output/json_text.h"

namespace veskari::output {

/// "FIRST" or "FIRST to LAST": the releases that carried an update.
[[nodiscard]] std::string ReleaseSpan(const ReleaseReference& reference, std::size_t first, std::size_t last);

/// The standing in words, for `revision`: "newest published (in A to B)",
/// "older: Rev. 0x2D of 1999/05/25 (A) is the newest published; this
/// revision was published in A to B", "newer than any published (...)",
/// "not covered: ...".
[[nodiscard]] std::string StandingWords(const UpdateStanding& standing, const ReleaseReference& reference);

/// The reference in words: its sources and its newest date.
[[nodiscard]] std::string ReferenceWords(const ReleaseReference& reference);

/// The standing as a JSON object: `state`, the newest published revision
/// when covered, whether this revision was published and where.
[[nodiscard]] std::string StandingJson(const UpdateStanding& standing, const ReleaseReference& reference,
                                       JsonStyle style, int depth);

/// The reference as a JSON object: its sources and its newest date.
[[nodiscard]] std::string ReferenceJson(const ReleaseReference& reference, JsonStyle style, int depth);

/// A file's processor summary as a JSON array.
[[nodiscard]] std::string ProcessorsJson(const std::vector<ProcessorSummary::Row>& rows,
                                         const ReleaseReference& reference, JsonStyle style, int depth);

/// The lines of the report's standing block of one top-level file, each
/// ending in CR LF; empty when the file carries no update.
[[nodiscard]] std::string StandingBlock(const std::vector<ProcessorSummary::Row>& rows,
                                        const ReleaseReference& reference);

}  // namespace veskari::output
