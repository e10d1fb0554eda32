#include "platform/file_handle.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/anonymous_file.h"
#include "platform/descriptor_file.h"
#include "platform/descriptor_io.h"
#include "platform/stop_request.h"

namespace veskari {
namespace {

// How long a wait for a stream's bytes lasts before a stop request is looked at.
constexpr int kStopPollMilliseconds = 100;

}  // namespace

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

std::uint64_t FileSize(const FileHandle& handle) noexcept
{
    return io::SizeOf(handle.Get());
}

OpenedFile CopyStreamToAnonymousFile(int source, const std::string& name, std::uint64_t limit)
{
    OpenedFile copy;
    copy.error = CreateAnonymousFile(kSpillToDisk, copy.handle);
    if (copy.error != 0) {
        copy.copyFailed = true;
        return copy;
    }
    BorrowedFile output(copy.handle, name);
    std::vector<char> chunk(1U << 16);
    for (std::uint64_t copied = 0;;) {
        // A stream may wait for its writer, or deliver, for ever: a stop
        // ends either, within one wait or one chunk. At the bound one more
        // byte is asked for, to tell a stream that ends there from a cut one.
        PollStop();
        const std::size_t want =
            copied >= limit ? 1 : static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), limit - copied));
        const std::int64_t got = io::ReadStream(source, chunk.data(), want, kStopPollMilliseconds);
        if (got == 0) {
            break;
        }
        if (got > 0 && copied >= limit) {
            copy.cutAt = limit;
            break;
        }
        if (got < 0 && errno == EAGAIN) {
            continue;
        }
        if (got < 0) {
            copy.error = errno;
            copy.handle.Reset();
            return copy;
        }
        output.Write(chunk.data(), static_cast<std::size_t>(got));
        copied += static_cast<std::uint64_t>(got);
    }
    copy.kind = FileKind::regular;
    return copy;
}

}  // namespace veskari
