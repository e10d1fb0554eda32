#include "platform/descriptor_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/descriptor_io.h"
#include "platform/processors.h"

namespace veskari {

void DescriptorFile::Start(int descriptor, std::string name) noexcept
{
    descriptor_ = descriptor;
    path_ = std::move(name);
    EmptyWindowAt(0);
}

int DescriptorFile::Stop() noexcept
{
    if (descriptor_ < 0) {
        return -1;
    }
    EndReadAhead();
    readingToEndFrom_.reset();
    EmptyWindowAt(0);
    return std::exchange(descriptor_, -1);
}

std::uint64_t DescriptorFile::Size() const noexcept
{
    return descriptor_ >= 0 ? io::SizeOf(descriptor_) : 0;
}

void DescriptorFile::AllocateBuffer()
{
    // Its bytes need no clearing.
    if (!buffer_) {
        buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
    }
    window_ = buffer_.get();
}

void DescriptorFile::WillReadToEnd()
{
    readingToEndFrom_ = GetPosition();
}

void DescriptorFile::DecideOnReadingAhead()
{
    // Decided once the reading has come some way, so that the many small
    // files of a folder cost no call to the system for it.
    constexpr std::uint64_t kDecideAfter = 1024 * 1024;
    const std::uint64_t position = GetPosition();
    if (position < *readingToEndFrom_ + kDecideAfter) {
        return;
    }
    readingToEndFrom_.reset();
    // A processor must be left for the thread: where every one analyses a
    // file of its own, reading ahead only adds work.
    static const unsigned processors = UsableProcessorCount();
    const std::uint64_t size = Size();
    if (ProcessorInUse::Count() < processors && size > position && size - position >= kReadAheadFrom) {
        ReadAheadFromNow();
    }
}

void DescriptorFile::ReadAheadFromNow()
{
    if (descriptor_ < 0 || readAhead_) {
        return;
    }
    try {
        readAhead_ = std::make_unique<ReadAhead>(descriptor_);
    } catch (const std::system_error&) {
        // No thread to be had: the file is read as it would be without one.
    }
}

void DescriptorFile::EndReadAhead() noexcept
{
    if (readAhead_) {
        // The window lies in a slot that goes with it.
        EmptyWindowAt(GetPosition());
        readAhead_.reset();
        window_ = buffer_.get();
    }
}

std::size_t DescriptorFile::ReadFully(std::uint8_t* into, std::size_t count, std::uint64_t offset,
                                      std::size_t enough)
{
    std::size_t done = 0;
    while (done < enough && offset + done <= io::kMaxOffset) {
        const std::int64_t got = io::ReadAt(descriptor_, into + done, count - done, offset + done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw FileError::FromErrno(FileOperation::read, errno, path_);
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void DescriptorFile::FillAhead()
{
    static_assert(ReadAhead::kBlockSize >= kBufferSize, "a block after the kept bytes holds any Peek");
    const std::size_t kept = windowLength_ - windowIndex_;
    const std::uint8_t* keptBytes = window_ + windowIndex_;
    const std::uint64_t offset = windowStart_ + windowLength_;
    std::uint8_t* at = readAhead_->Held();
    if (kept <= ReadAhead::kRoomBefore) {
        // The next block, read ahead, becomes the window where it lies.
        if (std::uint8_t* block = readAhead_->Take(offset, {keptBytes, kept})) {
            window_ = block - kept;
            windowStart_ = offset - kept;
            windowIndex_ = 0;
            windowLength_ = kept + ReadAhead::kBlockSize;
            return;
        }
        at += ReadAhead::kRoomBefore - kept;
    } else {
        readAhead_->Drop();
    }
    // Read here, as without reading ahead, and read ahead on from where this
    // read ends when it did not end at the file's end.
    if (kept != 0) {
        std::memmove(at, keptBytes, kept);  // the window may lie anywhere in the held slot
    }
    window_ = at;
    windowStart_ = offset - kept;
    windowIndex_ = 0;
    windowLength_ = kept;
    const std::size_t room = static_cast<std::size_t>(readAhead_->Held() + ReadAhead::kSlotSize - (at + kept));
    const std::size_t got = ReadFully(at + kept, room, offset, room);
    windowLength_ += got;
    if (got == room) {
        readAhead_->ReadOnFrom(offset + got);
    }
}

std::size_t DescriptorFile::FillWindow()
{
    if (descriptor_ < 0) {
        RefuseOperation();
    }
    CheckHook(FileOperation::read);
    if (readingToEndFrom_) {
        DecideOnReadingAhead();
    }
    if (readAhead_) {
        FillAhead();
        return windowLength_;
    }
    AllocateBuffer();
    if (windowStart_ > io::kMaxOffset) {
        return 0;  // beyond any file the system can hold: nothing to read
    }
    for (;;) {
        const std::int64_t got = io::ReadAt(descriptor_, buffer_.get(), kBufferSize, windowStart_);
        if (got >= 0) {
            windowLength_ = static_cast<std::size_t>(got);
            return windowLength_;
        }
        if (errno != EINTR) {
            throw FileError::FromErrno(FileOperation::read, errno, path_);
        }
    }
}

std::size_t DescriptorFile::Peek(std::size_t count, const std::uint8_t*& data)
{
    if (readingToEndFrom_ && windowLength_ - windowIndex_ < count) {
        DecideOnReadingAhead();
    }
    if (readAhead_) {
        if (windowLength_ - windowIndex_ < count) {
            CheckHook(FileOperation::read);
            FillAhead();
        }
        data = window_ + windowIndex_;
        return std::min(count, windowLength_ - windowIndex_);
    }
    AllocateBuffer();
    if (windowLength_ - windowIndex_ < count) {
        // Keep what is left of the buffer, moved to its front, and read on after it.
        const std::size_t kept = windowLength_ - windowIndex_;
        std::memmove(buffer_.get(), buffer_.get() + windowIndex_, kept);
        windowStart_ += windowIndex_;
        windowIndex_ = 0;
        windowLength_ = kept;
        if (descriptor_ < 0) {
            RefuseOperation();
        }
        CheckHook(FileOperation::read);
        windowLength_ += ReadFully(buffer_.get() + kept, kBufferSize - kept, windowStart_ + kept, count - kept);
    }
    data = window_ + windowIndex_;
    return std::min(count, windowLength_ - windowIndex_);
}

void DescriptorFile::Truncate(std::uint64_t size)
{
    if (descriptor_ < 0) {
        RefuseOperation();
    }
    CheckHook(FileOperation::write);
    EndReadAhead();
    if (size > io::kMaxOffset || io::TruncateTo(descriptor_, size) != 0) {
        throw FileError::FromErrno(FileOperation::write, errno, path_);
    }
    EmptyWindowAt(GetPosition());
}

void DescriptorFile::Write(const void* buffer, std::size_t count)
{
    if (descriptor_ < 0) {
        RefuseOperation();
    }
    CheckHook(FileOperation::write);
    // Writing makes the read buffer and any blocks read ahead stale;
    // continue from the logical position.
    EndReadAhead();
    std::uint64_t position = GetPosition();
    EmptyWindowAt(position);
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
    EmptyWindowAt(position);
}

OwnedFile::~OwnedFile()
{
    if (const int descriptor = Stop(); descriptor >= 0) {
        (void)io::CloseDescriptor(descriptor);
    }
}

bool OwnedFile::Open(const std::string& path)
{
    Close();
    OpenedFile opened = OpenForReading(path);
    if (!opened.IsOpen()) {
        return false;
    }
    Start(opened.handle.Release(), path);
    return true;
}

void OwnedFile::Close()
{
    const int descriptor = Stop();
    if (descriptor < 0) {
        return;
    }
    if (FaultHookRefuses(FileOperation::close, path_)) {
        (void)io::CloseDescriptor(descriptor);
        throw FileError::FromErrno(FileOperation::close, EIO, path_);
    }
    // A close interrupted by a signal has still released the descriptor.
    if (io::CloseDescriptor(descriptor) != 0 && errno != EINTR) {
        throw FileError::FromErrno(FileOperation::close, errno, path_);
    }
}

void BorrowedFile::Open(const FileHandle& handle, std::string name)
{
    Close();
    Start(handle.Get(), std::move(name));
}

void BorrowedFile::Close()
{
    // The descriptor stays open for its owner.
    if (Stop() >= 0) {
        CheckHook(FileOperation::close);
    }
}

}  // namespace veskari
