#include "platform/descriptor_io.h"

#include <cerrno>
#include <fcntl.h>
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

std::int64_t ReadStream(int descriptor, void* buffer, std::size_t count) noexcept
{
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer, count);
        if (got >= 0) {
            return got;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN) {
            return -1;
        }
        // A stream opened without blocking: wait for its writer.
        const int flags = ::fcntl(descriptor, F_GETFL);
        if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            return -1;
        }
    }
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
