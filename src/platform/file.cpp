#include "platform/file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/descriptor_io.h"

namespace veskari {
namespace {

std::atomic<FileFaultHook*> gFaultHook{nullptr};

}  // namespace

bool FaultHookRefuses(FileOperation operation, const std::string& fileName)
{
    FileFaultHook* hook = gFaultHook.load(std::memory_order_acquire);
    return hook != nullptr && hook->Refuse(operation, fileName);
}

void SetFileFaultHook(FileFaultHook* hook) noexcept
{
    gFaultHook.store(hook, std::memory_order_release);
}

void File::CheckHook(FileOperation operation) const
{
    if (FaultHookRefuses(operation, path_)) {
        throw FileError::FromErrno(operation, EIO, path_);
    }
}

void File::RefuseOperation() const
{
    throw FileError(FileErrorCause::invalidFile, path_, EBADF);
}

int File::ReadByteSlow()
{
    EmptyWindowAt(GetPosition());
    if (FillWindow() == 0) {
        return -1;
    }
    return window_[windowIndex_++];
}

std::size_t File::Read(void* buffer, std::size_t count)
{
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        if (windowIndex_ == windowLength_) {
            EmptyWindowAt(GetPosition());
            if (FillWindow() == 0) {
                break;
            }
        }
        const std::size_t take = std::min(count - done, windowLength_ - windowIndex_);
        std::memcpy(out + done, window_ + windowIndex_, take);
        windowIndex_ += take;
        done += take;
    }
    return done;
}

void File::Seek(std::uint64_t offset)
{
    CheckHook(FileOperation::seek);
    if (offset > io::kMaxOffset) {
        throw FileError(FileErrorCause::badSeek, path_, EINVAL);
    }
    // Seeks inside the window cost nothing.
    if (offset >= windowStart_ && offset - windowStart_ <= windowLength_) {
        windowIndex_ = static_cast<std::size_t>(offset - windowStart_);
        return;
    }
    MoveOutsideWindow(offset);
}

void File::SeekRelative(std::int64_t distance)
{
    const std::uint64_t position = GetPosition();
    if (distance < 0 && static_cast<std::uint64_t>(-(distance + 1)) + 1 > position) {
        throw FileError(FileErrorCause::badSeek, path_, EINVAL);
    }
    Seek(position + static_cast<std::uint64_t>(distance));
}

void File::Truncate(std::uint64_t /*size*/)
{
    RefuseOperation();
}

void File::Write(const void* /*buffer*/, std::size_t /*count*/)
{
    RefuseOperation();
}

}  // namespace veskari
