#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_handle.h"

namespace veskari {

/// The characters that end a folder's name in a path: '/', and on Windows
/// the backslash as well.
#if defined(_WIN32)
inline constexpr std::string_view kPathSeparators = "\\/";
#else
inline constexpr std::string_view kPathSeparators = "/";
#endif

/// What a status query tells about a path (links followed).
struct PathStatus {
    bool isDirectory = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

/// The status of a path, or nothing when it cannot be read (a missing
/// path, for example).
[[nodiscard]] std::optional<PathStatus> QueryPathStatus(const std::string& path);

/// A folder's identity: its device and inode.
using FolderId = std::pair<std::uint64_t, std::uint64_t>;

/// One thing a folder walk meets.
struct WalkEntry {
    enum class Kind {
        file,              ///< anything but a folder; `file` says whether it could be opened
        unreadableFolder,  ///< a folder that could not be opened or listed; `error` says why
        repeatedFolder,    ///< a folder already walked in this run, by another route
    };
    Kind kind = Kind::file;
    std::string path;  ///< the walked folder's path as given, '/' (a backslash on Windows), and the names below it
    OpenedFile file;   ///< a file, opened for reading, unless the walk only measures
    std::uint64_t size = 0;  ///< a file met by a walk that only measures: its size, 0 when unknown or unreadable
    int error = 0;
};

/// Walks a folder depth first, the entries of each folder in byte order of
/// their names (so a report never depends on the file system's order), and
/// yields everything but the folders themselves. Every entry is reached
/// relative to its folder's open descriptor, so neither depth nor path
/// length is bounded by PATH_MAX. Links are followed, but each folder
/// (device and inode) is walked once per run, shared through `walked`:
/// links can make the walk neither loop nor multiply.
class FolderWalk {
public:
    /// `openFiles` false: files are not opened, only their sizes told (the
    /// progress of a run counts the bytes ahead without opening every file twice).
    FolderWalk(std::string folderPath, std::set<FolderId>& walked, bool openFiles = true);
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    /// The next entry; false when the walk has ended.
    [[nodiscard]] bool Next(WalkEntry& entry);

private:
    struct Frame {
        FileHandle folder;
        std::string path;  // with its trailing '/'
        std::vector<std::string> names;
        std::size_t next = 0;
    };

    // Opens and lists a folder and pushes it; false with `entry` filled in
    // when the folder is not walked (already walked, or unreadable).
    bool Enter(int parent, const std::string& name, const std::string& path, WalkEntry& entry);

    std::string rootPath_;
    std::set<FolderId>& walked_;
    bool openFiles_ = true;
    std::vector<Frame> frames_;
    bool started_ = false;
};

}  // namespace veskari
