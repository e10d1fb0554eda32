#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace veskari {

/// What a status query tells about a path (links followed).
struct PathStatus {
    bool isDirectory = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

/// The status of a path, or nothing when it cannot be read (a missing
/// path, for example).
[[nodiscard]] std::optional<PathStatus> QueryPathStatus(const std::string& path);

/// The names of a folder's entries in byte order, without "." and "..".
/// A folder that cannot be listed has no entries.
[[nodiscard]] std::vector<std::string> ListFolder(const std::string& folderPath);

}  // namespace veskari
