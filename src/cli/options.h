#pragma once

#include <optional>
#include <string>
#include <vector>

namespace veskari::cli {

struct Options {
    bool crlf = false;
    bool json = false;
    bool verbose = false;
    std::string extractDir;  ///< empty: no extraction
    bool extractMembers = false;
    unsigned jobs = 0;  ///< 0: the number of cores
    std::vector<std::string> paths;
};

/// What the command line asked for: a run, or a text to print and an exit status.
struct ParseResult {
    std::optional<Options> options;
    std::string text;      ///< for --help, --version or a usage error
    bool toStderr = false;
    int exitStatus = 0;
};

[[nodiscard]] ParseResult ParseOptions(int argc, char** argv);

}  // namespace veskari::cli
