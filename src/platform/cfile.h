#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

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

/// Where the bytes of a file to read are: an open file, or memory (the
/// decoded bytes of a member, which are analysed where they are).
struct ByteSource {
    const FileHandle* handle = nullptr;  ///< nullptr: the bytes are `memory`
    std::span<const std::uint8_t> memory;
};

/// Our file class over POSIX descriptors. Positions are 64-bit, so files of
/// any size are read whole. Reads are buffered: reading one byte at a time
/// costs a function call, not a system call. A read, seek, write or close
/// that the system refuses throws FileError; opening reports failure as false.
class CFile {
public:
    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    /// Opens an existing regular file or block device for reading only.
    /// Folders, FIFOs, sockets and character devices are refused (never
    /// blocks on them).
    [[nodiscard]] bool Open(const std::string& path);

    /// Reads (and writes, when the descriptor allows it) the open file of
    /// `handle`, which stays its owner, under `name` for file errors. Several
    /// CFile objects may share one handle: each keeps its own position.
    void Open(const FileHandle& handle, std::string name);

    /// Takes over a descriptor opened for reading and writing, positioned at 0.
    void Attach(int descriptor, std::string path);

    /// Reads a file or bytes in memory, as `source` says.
    void Open(const ByteSource& source, std::string name);

    /// Reads bytes in memory as a file (they stay the caller's and must
    /// outlive the reading): no system call at all.
    void OpenMemory(std::span<const std::uint8_t> bytes, std::string name);

    /// Writes into `bytes`, which grow as a file would: decoded members are
    /// kept in memory below kMemoryFileLimit and analysed from there.
    void CreateInMemory(std::vector<std::uint8_t>& bytes, std::string name);

    [[nodiscard]] bool IsOpen() const noexcept { return descriptor_ >= 0 || memory_ != Memory::none; }
    [[nodiscard]] const std::string& Path() const noexcept { return path_; }

    /// Closes the file; a refused close throws. Closing a closed file does nothing.
    void Close();

    [[nodiscard]] std::uint64_t GetPosition() const noexcept { return bufferStart_ + bufferIndex_; }

    /// The file's size now in bytes (0 when the system cannot tell).
    [[nodiscard]] std::uint64_t Size() const noexcept;

    /// Reads up to count bytes at the current position; returns how many
    /// were read, fewer than count only at the end of the file.
    [[nodiscard]] std::size_t Read(void* buffer, std::size_t count);

    /// Makes up to `count` bytes from the current position available in one
    /// piece of the read buffer without copying them, and without moving
    /// the position; returns how many there are (fewer only at the end of
    /// the file) and points `data` at them. `count` may be at most
    /// kBufferSize. The bytes stay valid until the next call on the file.
    [[nodiscard]] std::size_t Peek(std::size_t count, const std::uint8_t*& data);

    /// The next `count` bytes when the read buffer holds them, taken (the
    /// position moves past them); nullptr otherwise, and nothing moves.
    [[nodiscard]] const std::uint8_t* TakeBuffered(std::size_t count) noexcept
    {
        if (bufferLength_ - bufferIndex_ < count) {
            return nullptr;
        }
        const std::uint8_t* data = data_ + bufferIndex_;
        bufferIndex_ += count;
        return data;
    }

    /// The bytes of the read buffer from the current position on, without
    /// taking them: what TakeBuffered could take now.
    [[nodiscard]] std::span<const std::uint8_t> Buffered() const noexcept
    {
        return {data_ + bufferIndex_, bufferLength_ - bufferIndex_};
    }

    /// The next byte, or -1 at the end of the file.
    [[nodiscard]] int ReadByte()
    {
        if (bufferIndex_ < bufferLength_) {
            return data_[bufferIndex_++];
        }
        return ReadByteSlow();
    }

    /// Moves to an offset from the beginning; offsets past the end are
    /// allowed and read nothing.
    void Seek(std::uint64_t offset);

    /// Moves by a signed count from the current position; a move before
    /// the beginning of the file is a seek failure.
    void SeekRelative(std::int64_t distance);

    /// Cuts the file to `size` bytes (the position stays where it is).
    void Truncate(std::uint64_t size);

    /// Writes all count bytes at the current position; a write that
    /// stores fewer bytes counts as a full disk.
    void Write(const void* buffer, std::size_t count);

    static constexpr std::size_t kBufferSize = 64 * 1024;

private:

    int ReadByteSlow();
    void AllocateBuffer();
    std::size_t Fill();
    void CheckHook(FileOperation operation) const;

    enum class Memory { none, reading, writing };

    int descriptor_ = -1;
    bool ownsDescriptor_ = false;
    std::string path_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    const std::uint8_t* data_ = nullptr;  // the bytes readable now: the buffer's, or memory's
    Memory memory_ = Memory::none;
    std::span<const std::uint8_t> memoryBytes_;         // reading
    std::vector<std::uint8_t>* memoryOutput_ = nullptr;  // writing
    std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    std::size_t bufferLength_ = 0;   // valid bytes in buffer_
    std::size_t bufferIndex_ = 0;    // current position inside buffer_
};

}  // namespace veskari
