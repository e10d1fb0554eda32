#include "platform/file_handle.h"

#include <cerrno>
#include <vector>

#include "platform/anonymous_file.h"
#include "platform/cfile.h"
#include "platform/descriptor_io.h"

namespace veskari {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        Reset();
        descriptor_ = other.descriptor_;
        other.descriptor_ = -1;
    }
    return *this;
}

void FileHandle::Reset() noexcept
{
    if (descriptor_ >= 0) {
        (void)io::CloseDescriptor(descriptor_);
        descriptor_ = -1;
    }
}

OpenedFile CopyStreamToAnonymousFile(int source, const std::string& name)
{
    OpenedFile copy;
    copy.error = CreateAnonymousFile(kSpillToDisk, copy.handle);
    if (copy.error != 0) {
        return copy;
    }
    CFile output;
    output.Open(copy.handle, name);
    std::vector<char> chunk(1U << 16);
    for (;;) {
        const std::int64_t got = io::ReadStream(source, chunk.data(), chunk.size());
        if (got == 0) {
            break;
        }
        if (got < 0) {
            copy.error = errno;
            copy.handle.Reset();
            return copy;
        }
        output.Write(chunk.data(), static_cast<std::size_t>(got));
    }
    copy.kind = FileKind::regular;
    return copy;
}

}  // namespace veskari
