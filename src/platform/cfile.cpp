#include "platform/cfile.h"

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

CFile::~CFile()
{
    if (descriptor_ >= 0 && ownsDescriptor_) {
        (void)io::CloseDescriptor(descriptor_);
    }
}

bool CFile::Open(const std::string& path)
{
    Close();
    OpenedFile opened = OpenForReading(path);
    if (!opened.IsOpen()) {
        return false;
    }
    Attach(opened.handle.Release(), path);
    return true;
}

void CFile::Open(const FileHandle& handle, std::string name)
{
    Close();
    Attach(handle.Get(), std::move(name));
    ownsDescriptor_ = false;
}

void CFile::Attach(int descriptor, std::string path)
{
    descriptor_ = descriptor;
    ownsDescriptor_ = true;
    path_ = std::move(path);
    bufferStart_ = 0;
    bufferLength_ = 0;
    bufferIndex_ = 0;
}

void CFile::Open(const ByteSource& source, std::string name)
{
    if (source.handle != nullptr) {
        Open(*source.handle, std::move(name));
    } else {
        OpenMemory(source.memory, std::move(name));
    }
}

void CFile::OpenMemory(std::span<const std::uint8_t> bytes, std::string name)
{
    Close();
    memory_ = Memory::reading;
    memoryBytes_ = bytes;
    path_ = std::move(name);
    data_ = bytes.data();
    bufferStart_ = 0;
    bufferLength_ = bytes.size();
    bufferIndex_ = 0;
}

void CFile::CreateInMemory(std::vector<std::uint8_t>& bytes, std::string name)
{
    Close();
    memory_ = Memory::writing;
    memoryOutput_ = &bytes;
    path_ = std::move(name);
    bufferStart_ = 0;
    bufferLength_ = 0;
    bufferIndex_ = 0;
}

void CFile::Close()
{
    if (memory_ != Memory::none) {
        memory_ = Memory::none;
        memoryOutput_ = nullptr;
        data_ = nullptr;
        bufferStart_ = 0;
        bufferLength_ = 0;
        bufferIndex_ = 0;
        CheckHook(FileOperation::close);
        return;
    }
    if (descriptor_ < 0) {
        return;
    }
    const int descriptor = descriptor_;
    descriptor_ = -1;
    bufferLength_ = 0;
    bufferIndex_ = 0;
    bufferStart_ = 0;
    if (FaultHookRefuses(FileOperation::close, path_)) {
        if (ownsDescriptor_) {
            (void)io::CloseDescriptor(descriptor);
        }
        throw FileError::FromErrno(FileOperation::close, EIO, path_);
    }
    // A borrowed descriptor stays open for its owner. A close interrupted by
    // a signal has still released the descriptor.
    if (ownsDescriptor_ && io::CloseDescriptor(descriptor) != 0 && errno != EINTR) {
        throw FileError::FromErrno(FileOperation::close, errno, path_);
    }
}

void CFile::CheckHook(FileOperation operation) const
{
    if (FaultHookRefuses(operation, path_)) {
        throw FileError::FromErrno(operation, EIO, path_);
    }
}

std::uint64_t CFile::Size() const noexcept
{
    switch (memory_) {
    case Memory::reading:
        return memoryBytes_.size();
    case Memory::writing:
        return memoryOutput_->size();
    case Memory::none:
        break;
    }
    return descriptor_ >= 0 ? io::SizeOf(descriptor_) : 0;
}

std::size_t CFile::Fill()
{
    // Called when the buffer is used up: the next bytes come from the
    // position right after it.
    bufferStart_ += bufferIndex_;
    bufferIndex_ = 0;
    bufferLength_ = 0;
    if (memory_ == Memory::reading) {
        CheckHook(FileOperation::read);
        return 0;  // past the bytes in memory
    }
    if (descriptor_ < 0) {
        throw FileError(FileErrorCause::invalidFile, path_, EBADF);
    }
    CheckHook(FileOperation::read);
    AllocateBuffer();
    if (bufferStart_ > io::kMaxOffset) {
        return 0;  // beyond any file the system can hold: nothing to read
    }
    for (;;) {
        const std::int64_t got = io::ReadAt(descriptor_, buffer_.get(), kBufferSize, bufferStart_);
        if (got >= 0) {
            bufferLength_ = static_cast<std::size_t>(got);
            return bufferLength_;
        }
        if (errno != EINTR) {
            throw FileError::FromErrno(FileOperation::read, errno, path_);
        }
    }
}

int CFile::ReadByteSlow()
{
    if (Fill() == 0) {
        return -1;
    }
    return data_[bufferIndex_++];
}

std::size_t CFile::Read(void* buffer, std::size_t count)
{
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        if (bufferIndex_ == bufferLength_ && Fill() == 0) {
            break;
        }
        const std::size_t take = std::min(count - done, bufferLength_ - bufferIndex_);
        std::memcpy(out + done, data_ + bufferIndex_, take);
        bufferIndex_ += take;
        done += take;
    }
    return done;
}

void CFile::AllocateBuffer()
{
    // Only files that are read get a buffer (a member's output file is only
    // written), and its bytes need no clearing.
    if (!buffer_) {
        buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
    }
    data_ = buffer_.get();
}

std::size_t CFile::Peek(std::size_t count, const std::uint8_t*& data)
{
    if (memory_ == Memory::reading) {
        // All of it is in view already.
        CheckHook(FileOperation::read);
        data = data_ + bufferIndex_;
        return std::min(count, bufferLength_ - bufferIndex_);
    }
    AllocateBuffer();
    if (bufferLength_ - bufferIndex_ < count) {
        // Keep what is left of the buffer, moved to its front, and read on after it.
        const std::size_t kept = bufferLength_ - bufferIndex_;
        std::memmove(buffer_.get(), buffer_.get() + bufferIndex_, kept);
        bufferStart_ += bufferIndex_;
        bufferIndex_ = 0;
        bufferLength_ = kept;
        if (descriptor_ < 0) {
            throw FileError(FileErrorCause::invalidFile, path_, EBADF);
        }
        CheckHook(FileOperation::read);
        while (bufferLength_ < count && bufferStart_ + bufferLength_ <= io::kMaxOffset) {
            const std::int64_t got = io::ReadAt(descriptor_, buffer_.get() + bufferLength_,
                                                kBufferSize - bufferLength_, bufferStart_ + bufferLength_);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throw FileError::FromErrno(FileOperation::read, errno, path_);
            }
            if (got == 0) {
                break;
            }
            bufferLength_ += static_cast<std::size_t>(got);
        }
    }
    data = data_ + bufferIndex_;
    return std::min(count, bufferLength_ - bufferIndex_);
}

void CFile::Seek(std::uint64_t offset)
{
    CheckHook(FileOperation::seek);
    if (offset > io::kMaxOffset) {
        throw FileError(FileErrorCause::badSeek, path_, EINVAL);
    }
    if (memory_ == Memory::reading && offset <= memoryBytes_.size()) {
        data_ = memoryBytes_.data();
        bufferStart_ = 0;
        bufferLength_ = memoryBytes_.size();
        bufferIndex_ = static_cast<std::size_t>(offset);
        return;
    }
    // Seeks inside the buffer cost nothing; others only move the position,
    // the next read fetches the bytes there.
    if (offset >= bufferStart_ && offset - bufferStart_ <= bufferLength_) {
        bufferIndex_ = static_cast<std::size_t>(offset - bufferStart_);
        return;
    }
    bufferStart_ = offset;
    bufferLength_ = 0;
    bufferIndex_ = 0;
}

void CFile::SeekRelative(std::int64_t distance)
{
    const std::uint64_t position = GetPosition();
    if (distance < 0 && static_cast<std::uint64_t>(-(distance + 1)) + 1 > position) {
        throw FileError(FileErrorCause::badSeek, path_, EINVAL);
    }
    Seek(position + static_cast<std::uint64_t>(distance));
}

void CFile::Truncate(std::uint64_t size)
{
    if (memory_ == Memory::writing) {
        CheckHook(FileOperation::write);
        memoryOutput_->resize(static_cast<std::size_t>(size));
        return;
    }
    if (descriptor_ < 0) {
        throw FileError(FileErrorCause::invalidFile, path_, EBADF);
    }
    CheckHook(FileOperation::write);
    if (size > io::kMaxOffset || io::TruncateTo(descriptor_, size) != 0) {
        throw FileError::FromErrno(FileOperation::write, errno, path_);
    }
    const std::uint64_t position = GetPosition();
    bufferStart_ = position;
    bufferLength_ = 0;
    bufferIndex_ = 0;
}

void CFile::Write(const void* buffer, std::size_t count)
{
    if (memory_ == Memory::writing) {
        CheckHook(FileOperation::write);
        const auto position = static_cast<std::size_t>(GetPosition());
        if (memoryOutput_->size() < position + count) {
            memoryOutput_->resize(position + count);
        }
        if (count != 0) {  // an empty buffer may have no storage at all
            std::memcpy(memoryOutput_->data() + position, buffer, count);
        }
        bufferStart_ = position + count;
        return;
    }
    if (descriptor_ < 0) {
        throw FileError(FileErrorCause::invalidFile, path_, EBADF);
    }
    CheckHook(FileOperation::write);
    // Writing makes the read buffer stale; continue from the logical position.
    std::uint64_t position = GetPosition();
    bufferStart_ = position;
    bufferLength_ = 0;
    bufferIndex_ = 0;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const std::int64_t put = io::WriteAt(descriptor_, in + done, count - done, position);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw FileError::FromErrno(FileOperation::write, errno, path_);
        }
        if (put == 0) {
            throw FileError(FileErrorCause::diskFull, path_, ENOSPC);
        }
        done += static_cast<std::size_t>(put);
        position += static_cast<std::uint64_t>(put);
    }
    bufferStart_ = position;
}

}  // namespace veskari
