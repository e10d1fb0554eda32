#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/file_error.h"

namespace veskari::cli {

/// Exit statuses, documented in --help, the manual page and docs/cli.md.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;     ///< a refused file operation or no memory ended the run
inline constexpr int kExitUsage = 2;
inline constexpr int kExitIncomplete = 3;  ///< something could not be read; each cause was told

struct Options {
    bool crlf = false;
    bool json = false;
    bool jsonLines = false;  ///< one JSON object per top-level file and line
    bool csv = false;        ///< one CSV row per accepted update
    bool verbose = false;
    bool allFormats = false;  ///< list updates of every published layout, not only the classic one
    std::string extractDir;  ///< empty: no extraction
    bool extractMembers = false;
    unsigned jobs = 0;  ///< 0: one per usable processor
    /// Files or folders of updates that standings are also judged against.
    std::vector<std::string> references;
    bool referenceOnly = false;  ///< judge against `references` alone, not the public releases
    bool standing = false;       ///< a standing block after each file's report
    std::vector<std::string> paths;
};

/// What the command line asked for: a run, or a text to print and an exit status.
struct ParseResult {
    std::optional<Options> options;
    std::string text;  ///< for --help and --version
    int exitStatus = kExitOk;
};

/// Parses the arguments as GNU tools do (getopt_long: options anywhere,
/// abbreviations, -j4 and -vj2, "--" ends the options, "-" is a PATH).
/// Usage errors are told on standard error here, in `language`.
[[nodiscard]] ParseResult ParseOptions(int argc, char** argv, Language language);

}  // namespace veskari::cli
