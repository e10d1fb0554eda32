#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/file.h"
#include "platform/file_handle.h"
#include "platform/read_ahead.h"

namespace veskari {

/// A file read and written through an open descriptor, at explicit
/// positions: several objects may read one descriptor, each at its own
/// position. Reads are buffered in blocks of kBufferSize bytes. A file
/// large enough to pay for a thread that is to be read to its end reads its
/// next blocks ahead on a thread of its own (see ReadAhead). Whether the
/// descriptor is closed with the object is the subclass's to say.
class DescriptorFile : public File {
public:
    [[nodiscard]] bool IsOpen() const noexcept override { return descriptor_ >= 0; }
    [[nodiscard]] std::uint64_t Size() const noexcept override;
    [[nodiscard]] std::size_t Peek(std::size_t count, const std::uint8_t*& data) override;
    void Truncate(std::uint64_t size) override;
    void Write(const void* buffer, std::size_t count) override;

    /// Reads ahead when, a little way on, at least kReadAheadFrom bytes
    /// are left to read and a processor is left for the thread.
    void WillReadToEnd() override;
    /// Reads ahead from now on, whatever is left, until the file is closed
    /// or written; stays as it is when no thread can be started.
    void ReadAheadFromNow();

    /// The least that a file must have left to read for reading ahead to
    /// pay for its thread and slots.
    static constexpr std::uint64_t kReadAheadFrom = 32 * 1024 * 1024;

protected:
    DescriptorFile() = default;

    /// Starts reading `descriptor` at offset 0, named `name` in file errors.
    void Start(int descriptor, std::string name) noexcept;
    /// Gives up the descriptor (-1 when none) and leaves the file closed.
    [[nodiscard]] int Stop() noexcept;

    std::size_t FillWindow() override;

private:
    void AllocateBuffer();
    // Reads on from the window's end while reading ahead: a whole block, or
    // up to the file's end, after the window's bytes from the current position.
    void FillAhead();
    // Reads at `offset` into `into`, `count` bytes at most, until it has
    // `enough` of them or the file ends; a refused read throws.
    std::size_t ReadFully(std::uint8_t* into, std::size_t count, std::uint64_t offset, std::size_t enough);
    void EndReadAhead() noexcept;
    void DecideOnReadingAhead();

    int descriptor_ = -1;
    // Only files that are read get a buffer (a member's output file is
    // only written).
    std::unique_ptr<std::uint8_t[]> buffer_;
    // While reading ahead, the window lies in its held slot instead.
    std::unique_ptr<ReadAhead> readAhead_;
    // Where the caller said it would read from to the end, until reading
    // ahead has been decided on.
    std::optional<std::uint64_t> readingToEndFrom_;
};

/// A file this object opened, or whose descriptor it took over: it closes
/// the file when it is closed or destroyed.
class OwnedFile final : public DescriptorFile {
public:
    OwnedFile() = default;
    /// Takes over a descriptor opened for reading and writing, or only for
    /// writing, positioned at 0.
    OwnedFile(int descriptor, std::string path) noexcept { Start(descriptor, std::move(path)); }
    ~OwnedFile() override;

    /// Opens an existing regular file or block device for reading only.
    /// Folders, FIFOs, sockets and character devices are refused (never
    /// blocks on them).
    [[nodiscard]] bool Open(const std::string& path);

    void Close() override;
};

/// The open file of a FileHandle, read and written (when its descriptor
/// allows it) under a name of its own; the handle stays its owner, so
/// closing this object leaves the file open.
class BorrowedFile final : public DescriptorFile {
public:
    BorrowedFile() = default;
    BorrowedFile(const FileHandle& handle, std::string name) noexcept { Start(handle.Get(), std::move(name)); }

    void Open(const FileHandle& handle, std::string name);

    void Close() override;
};

}  // namespace veskari
