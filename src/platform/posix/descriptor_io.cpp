#include "platform/descriptor_io.h"

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

int TruncateTo(int descriptor, std::uint64_t size) noexcept
{
    return ::ftruncate(descriptor, static_cast<off_t>(size));
}

int CloseDescriptor(int descriptor) noexcept
{
    return ::close(descriptor);
}

}  // namespace veskari::io
