#include "platform/file_handle.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file.h"

namespace veskari {
namespace {

FileKind KindOf(mode_t mode) noexcept
{
    if (S_ISREG(mode)) {
        return FileKind::regular;
    }
    if (S_ISBLK(mode)) {
        return FileKind::blockDevice;
    }
    if (S_ISDIR(mode)) {
        return FileKind::folder;
    }
    if (S_ISFIFO(mode)) {
        return FileKind::pipe;
    }
    return FileKind::other;
}

// Opens a regular file, and a block device when `blockDevices` allows it.
OpenedFile OpenFile(int folder, const std::string& name, bool blockDevices)
{
    const auto readable = [blockDevices](FileKind kind) {
        return kind == FileKind::regular || (blockDevices && kind == FileKind::blockDevice);
    };
    OpenedFile opened;
    // Look before opening: a FIFO is never opened, so nothing can block.
    struct stat status {};
    if (::fstatat(folder, name.c_str(), &status, 0) != 0) {
        opened.error = errno;
        return opened;
    }
    opened.kind = KindOf(status.st_mode);
    if (!readable(opened.kind)) {
        return opened;
    }
    if (FaultHookRefuses(FileOperation::open, name)) {
        opened.error = EACCES;
        return opened;
    }
    // O_NONBLOCK as well, in case the path was swapped for a FIFO since.
    const int descriptor = ::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        opened.error = errno;
        return opened;
    }
    FileHandle handle(descriptor);
    if (::fstat(descriptor, &status) != 0) {
        opened.error = errno;
        return opened;
    }
    opened.kind = KindOf(status.st_mode);
    if (readable(opened.kind)) {
        ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
        opened.handle = std::move(handle);
    }
    return opened;
}

}  // namespace

OpenedFile OpenForReadingAt(int folder, const std::string& name)
{
    // A disk found inside a folder (/dev) is never read whole by accident.
    return OpenFile(folder, name, false);
}

OpenedFile OpenForReading(const std::string& path)
{
    return OpenFile(AT_FDCWD, path, true);
}

namespace {

OpenedFile Stream(int descriptor)
{
    OpenedFile stream;
    stream.kind = FileKind::pipe;
    if (descriptor < 0) {
        stream.error = errno;
    } else {
        stream.handle = FileHandle(descriptor);
    }
    return stream;
}

}  // namespace

OpenedFile OpenStandardInput()
{
    return Stream(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
}

OpenedFile OpenPipe(const std::string& path)
{
    return Stream(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
}

}  // namespace veskari
