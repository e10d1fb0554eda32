#include "platform/folder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veskari {
namespace {

// The names of an open folder's entries, without "." and "..", or the
// system's error number.
int ListNames(int folder, std::vector<std::string>& names)
{
    const int copy = ::dup(folder);  // closedir closes the descriptor it is given
    if (copy < 0) {
        return errno;
    }
    DIR* stream = ::fdopendir(copy);
    if (stream == nullptr) {
        const int error = errno;
        ::close(copy);
        return error;
    }
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream);
        if (entry == nullptr) {
            error = errno;
            break;
        }
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(stream);
    std::sort(names.begin(), names.end());
    return error;
}

}  // namespace

std::optional<PathStatus> QueryPathStatus(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return PathStatus{S_ISDIR(status.st_mode), static_cast<std::uint64_t>(status.st_dev),
                      static_cast<std::uint64_t>(status.st_ino)};
}

FolderWalk::FolderWalk(std::string folderPath, std::set<FolderId>& walked, bool openFiles)
    : rootPath_(std::move(folderPath)), walked_(walked), openFiles_(openFiles)
{
}

bool FolderWalk::Enter(int parent, const std::string& name, const std::string& path, WalkEntry& entry)
{
    entry = WalkEntry();
    entry.path = path;
    const int descriptor = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat status {};
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0) {
        entry.kind = WalkEntry::Kind::unreadableFolder;
        entry.error = errno;
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        return false;
    }
    Frame frame;
    frame.folder = FileHandle(descriptor);
    if (!walked_.insert(FolderId{status.st_dev, status.st_ino}).second) {
        entry.kind = WalkEntry::Kind::repeatedFolder;
        return false;
    }
    if (const int error = ListNames(descriptor, frame.names); error != 0) {
        entry.kind = WalkEntry::Kind::unreadableFolder;
        entry.error = error;
        return false;
    }
    frame.path = path;
    if (frame.path.empty() || frame.path.back() != '/') {
        frame.path += '/';
    }
    frames_.push_back(std::move(frame));
    return true;
}

bool FolderWalk::Next(WalkEntry& entry)
{
    if (!started_) {
        started_ = true;
        if (!Enter(AT_FDCWD, rootPath_, rootPath_, entry)) {
            return true;
        }
    }
    while (!frames_.empty()) {
        Frame& frame = frames_.back();
        if (frame.next == frame.names.size()) {
            frames_.pop_back();
            continue;
        }
        const std::string name = frame.names[frame.next++];
        const int folder = frame.folder.Get();
        const std::string path = frame.path + name;
        struct stat status {};
        const bool known = ::fstatat(folder, name.c_str(), &status, 0) == 0;
        if (known && S_ISDIR(status.st_mode)) {
            if (Enter(folder, name, path, entry)) {
                continue;
            }
            return true;
        }
        entry = WalkEntry();
        entry.path = path;
        if (openFiles_) {
            entry.file = OpenForReadingAt(folder, name);
        } else if (known && S_ISREG(status.st_mode) && ::faccessat(folder, name.c_str(), R_OK, AT_EACCESS) == 0) {
            // A file that cannot be read is not analysed: none of its bytes are ahead.
            entry.size = static_cast<std::uint64_t>(status.st_size);
        }
        return true;
    }
    return false;
}

}  // namespace veskari
