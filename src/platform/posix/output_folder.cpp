#include "platform/output_folder.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/descriptor_file.h"

namespace veskari {
namespace {

// Whether a failed link says that the file system has no hard links.
bool LinksUnsupported(int error) noexcept
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK;
}

// Renames `from` to `to` inside `folder`, never replacing a file that is
// there (then -1 with EEXIST). Where the file system cannot rename without
// replacing, the name is first held by a new empty file of our own, which
// the rename then replaces.
int RenameNew(int folder, const std::string& from, const std::string& to) noexcept
{
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        return -1;
    }
    const int held = ::openat(folder, to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (held < 0) {
        return -1;
    }
    ::close(held);
    if (::renameat(folder, from.c_str(), folder, to.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(folder, to.c_str(), 0);
        errno = error;
        return -1;
    }
    return 0;
}

}  // namespace

OutputFolder::OutputFolder(const std::string& path, bool& isLink) : path_(path)
{
    isLink = false;
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        throw FileError::FromErrno(FileOperation::create, errno, path);
    }
    const bool followLink = !path.empty() && path.back() == '/';
    struct stat status {};
    if (!followLink && ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        isLink = true;
        throw FileError(FileErrorCause::badPath, path, ELOOP);
    }
    folder_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (folder_ < 0) {
        throw FileError::FromErrno(FileOperation::open, errno, path);
    }
}

OutputFolder::~OutputFolder()
{
    if (folder_ >= 0) {
        ::close(folder_);
    }
}

unsigned OutputFolder::WriteNew(const std::function<void(File& file)>& fill,
                                const std::function<std::string(unsigned counter)>& nameFor, unsigned counter)
{
    // Without a name first (O_TMPFILE, linked by /proc). Where the file
    // system has no such files, or /proc is not there, a hidden named file
    // takes its place and is removed again whatever happens but a kill; it
    // is linked to its name, or renamed where there are no hard links (FAT,
    // exFAT). The test hook can make any folder one without links.
    const bool noLinks = FaultHookRefuses(FileOperation::link, path_);
    std::string partial;
    int descriptor = noLinks ? -1 : ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (descriptor < 0 || ::access("/proc/self/fd", F_OK) != 0) {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        for (unsigned attempt = 0; descriptor < 0; ++attempt) {
            partial = ".veskari-partial-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
            descriptor = ::openat(folder_, partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (descriptor < 0 && (errno != EEXIST || attempt == 1000)) {
                throw FileError::FromErrno(FileOperation::create, errno, path_ + "/" + partial);
            }
        }
    }
    struct RemovePartial {
        int folder;
        const std::string& name;
        ~RemovePartial()
        {
            if (!name.empty()) {
                ::unlinkat(folder, name.c_str(), 0);
            }
        }
    } removePartial{folder_, partial};

    OwnedFile file(descriptor, path_ + "/" + nameFor(counter));
    fill(file);

    // One path component inside the folder, never one that is taken: the
    // link fails rather than replace anything.
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    for (;; ++counter) {
        const std::string candidate = nameFor(counter);
        int linked = -1;
        errno = EPERM;
        if (!noLinks) {
            linked = partial.empty()
                         ? ::linkat(AT_FDCWD, self.c_str(), folder_, candidate.c_str(), AT_SYMLINK_FOLLOW)
                         : ::linkat(folder_, partial.c_str(), folder_, candidate.c_str(), 0);
        }
        if (linked != 0 && !partial.empty() && LinksUnsupported(errno)) {
            linked = RenameNew(folder_, partial, candidate);
            if (linked == 0) {
                partial.clear();  // it has its name: nothing to remove
            }
        }
        if (linked == 0) {
            break;
        }
        if (errno != EEXIST || counter == 1000000) {
            throw FileError::FromErrno(FileOperation::create, errno, path_ + "/" + candidate);
        }
    }
    file.Close();
    return counter;
}

}  // namespace veskari
