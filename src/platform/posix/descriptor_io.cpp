#include "platform/descriptor_io.h"

#include <cerrno>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veskari::io {

std::int64_t ReadAt(int descriptor, void* buffer, std::size_t count, std::uint64_t offset) noexcept
{
    return ::pread(descriptor, buffer, count, static_cast<off_t>(offset));
}

std::int64_t WriteAt(int descriptor, const void* buffer, std::size_t count, std::uint64_t offset) noexcept
{
    return ::pwrite(descriptor, buffer, count, static_cast<off_t>(offset));
}

std::int64_t ReadStream(int descriptor, void* buffer, std::size_t count, int waitMilliseconds) noexcept
{
    // Poll before reading: a named pipe opened without blocking reads as
    // ended until its first writer comes, but polls as not ready, and as
    // hung up only once a writer has come and gone.
    for (;;) {
        pollfd stream{descriptor, POLLIN, 0};
        const int ready = ::poll(&stream, 1, waitMilliseconds);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return -1;
        }
        if (ready == 0) {
            errno = EAGAIN;
            return -1;
        }
        const ssize_t got = ::read(descriptor, buffer, count);
        if (got >= 0) {
            return got;
        }
        if (errno != EINTR && errno != EAGAIN) {
            return -1;
        }
    }
}

std::uint64_t SizeOf(int descriptor) noexcept
{
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return 0;
    }
    if (S_ISBLK(status.st_mode)) {
        const off_t end = ::lseek(descriptor, 0, SEEK_END);
        return end > 0 ? static_cast<std::uint64_t>(end) : 0;
    }
    return status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

int TruncateTo(int descriptor, std::uint64_t size) noexcept
{
    return ::ftruncate(descriptor, static_cast<off_t>(size));
}

int CloseDescriptor(int descriptor) noexcept
{
    return ::close(descriptor);
}

}  // namespace veskari::io
