#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/file_error.h"
#include "platform/file_handle.h"

namespace veskari {

/// Lets tests make the operating system refuse file operations, so that the
/// error paths of the analysis can be exercised without root-only tricks.
class FileFaultHook {
public:
    /// True makes the operation fail as if the system had refused it:
    /// open and create then report failure, everything else throws FileError.
    virtual bool Refuse(FileOperation operation, const std::string& fileName) = 0;

protected:
    ~FileFaultHook() = default;
};

/// Installs a hook for every file of the process (nullptr removes it).
void SetFileFaultHook(FileFaultHook* hook) noexcept;

/// Whether the installed hook refuses this operation (false without a hook).
[[nodiscard]] bool FaultHookRefuses(FileOperation operation, const std::string& fileName);

/// What the scans, decoders and writers of the analysis need of a file,
/// whatever holds its bytes: an open file (see descriptor_file.h) or memory
/// (see memory_file.h). Positions are 64-bit, so files of any size are read
/// whole. Bytes are read through a window onto the file (a read buffer, or
/// the bytes in memory themselves): reading a byte in the window costs no
/// call at all, and the kind of file is asked only for the next window. A
/// read, seek, write or close that the system refuses throws FileError, and
/// so does an operation that this kind of file cannot do (reading what is
/// only written, writing what is only read, anything on a closed file).
class File {
public:
    virtual ~File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    [[nodiscard]] virtual bool IsOpen() const noexcept = 0;
    /// The name that file errors give.
    [[nodiscard]] const std::string& Path() const noexcept { return path_; }

    /// Closes the file; a refused close throws. Closing a closed file does nothing.
    virtual void Close() = 0;

    [[nodiscard]] std::uint64_t GetPosition() const noexcept { return windowStart_ + windowIndex_; }

    /// The file's size now in bytes (0 when the system cannot tell).
    [[nodiscard]] virtual std::uint64_t Size() const noexcept = 0;

    /// Reads up to count bytes at the current position; returns how many
    /// were read, fewer than count only at the end of the file.
    [[nodiscard]] std::size_t Read(void* buffer, std::size_t count);

    /// Makes up to `count` bytes from the current position available in one
    /// piece of the window without copying them, and without moving the
    /// position; returns how many there are (fewer only at the end of the
    /// file) and points `data` at them. `count` may be at most kBufferSize.
    /// The bytes stay valid until the next call on the file.
    [[nodiscard]] virtual std::size_t Peek(std::size_t count, const std::uint8_t*& data) = 0;

    /// The next `count` bytes when the window holds them, taken (the
    /// position moves past them); nullptr otherwise, and nothing moves.
    [[nodiscard]] const std::uint8_t* TakeBuffered(std::size_t count) noexcept
    {
        if (windowLength_ - windowIndex_ < count) {
            return nullptr;
        }
        const std::uint8_t* data = window_ + windowIndex_;
        windowIndex_ += count;
        return data;
    }

    /// The bytes of the window from the current position on, without
    /// taking them: what TakeBuffered could take now.
    [[nodiscard]] std::span<const std::uint8_t> Buffered() const noexcept
    {
        return {window_ + windowIndex_, windowLength_ - windowIndex_};
    }

    /// The next byte, or -1 at the end of the file.
    [[nodiscard]] int ReadByte()
    {
        if (windowIndex_ < windowLength_) {
            return window_[windowIndex_++];
        }
        return ReadByteSlow();
    }

    /// Moves to an offset from the beginning; offsets past the end are
    /// allowed and read nothing.
    void Seek(std::uint64_t offset);

    /// Moves by a signed count from the current position; a move before
    /// the beginning of the file is a seek failure.
    void SeekRelative(std::int64_t distance);

    /// Says that the file is about to be read from the current position to
    /// its end, window after window: a file on disk may then read its next
    /// bytes ahead while the caller works on those it has. Bytes in memory
    /// need nothing.
    virtual void WillReadToEnd() {}

    /// Cuts the file to `size` bytes (the position stays where it is).
    virtual void Truncate(std::uint64_t size);

    /// Writes all count bytes at the current position; a write that
    /// stores fewer bytes counts as a full disk.
    virtual void Write(const void* buffer, std::size_t count);

    /// The size of a read buffer, and the most that one Peek shows.
    static constexpr std::size_t kBufferSize = 256 * 1024;

protected:
    File() = default;

    /// Called when the window is used up, with the window emptied at the
    /// position right after it: puts the next bytes into the window and
    /// returns how many there are (0 at the end of the file).
    virtual std::size_t FillWindow() = 0;

    /// Moves to `offset`, which lies outside the window: by default the
    /// window empties there, and the next read fills it.
    virtual void MoveOutsideWindow(std::uint64_t offset) noexcept { EmptyWindowAt(offset); }

    void EmptyWindowAt(std::uint64_t offset) noexcept
    {
        windowStart_ = offset;
        windowLength_ = 0;
        windowIndex_ = 0;
    }

    /// Throws FileError when the test hook refuses `operation`.
    void CheckHook(FileOperation operation) const;
    /// Throws the error of an operation on a file not open for it.
    [[noreturn]] void RefuseOperation() const;

    std::string path_;
    const std::uint8_t* window_ = nullptr;  ///< the bytes readable now: a read buffer's, or memory's
    std::uint64_t windowStart_ = 0;         ///< file offset of window_[0]
    std::size_t windowLength_ = 0;          ///< bytes in the window
    std::size_t windowIndex_ = 0;           ///< current position inside the window

private:
    int ReadByteSlow();
};

/// Where the bytes of a file to read are: an open file, or memory (the
/// decoded bytes of a member, which are analysed where they are).
struct ByteSource {
    const FileHandle* handle = nullptr;  ///< nullptr: the bytes are `memory`
    std::span<const std::uint8_t> memory;
};

}  // namespace veskari
