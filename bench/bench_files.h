#pragma once

// Inputs of the benchmarks, generated once per run in a private folder.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace veskari::bench {

/// A folder for the benchmark's files, removed at exit.
inline const std::string& WorkDir()
{
    static const std::string dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/vsk-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        std::atexit([] { std::filesystem::remove_all(WorkDir()); });
        return pattern;
    }();
    return dir;
}

}  // namespace veskari::bench
