#include "platform/folder.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace veskari {

std::optional<PathStatus> QueryPathStatus(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return PathStatus{S_ISDIR(status.st_mode), static_cast<std::uint64_t>(status.st_dev),
                      static_cast<std::uint64_t>(status.st_ino)};
}

std::vector<std::string> ListFolder(const std::string& folderPath)
{
    std::vector<std::string> names;
    DIR* folder = ::opendir(folderPath.c_str());
    if (folder == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        names.emplace_back(entry->d_name);
    }
    ::closedir(folder);
    // Byte order, so that a report never depends on the file system's hashing.
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace veskari
