#pragma once

#include <cstdint>
#include <string>

namespace veskari {

/// An open descriptor that belongs to this object and is closed with it.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int descriptor) noexcept : descriptor_(descriptor) {}
    ~FileHandle() { Reset(); }
    FileHandle(FileHandle&& other) noexcept : descriptor_(other.descriptor_) { other.descriptor_ = -1; }
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    [[nodiscard]] int Get() const noexcept { return descriptor_; }
    [[nodiscard]] bool IsOpen() const noexcept { return descriptor_ >= 0; }
    void Reset() noexcept;
    /// Gives the descriptor up without closing it.
    [[nodiscard]] int Release() noexcept
    {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return descriptor;
    }

private:
    int descriptor_ = -1;
};

/// What a path names, as far as reading it goes.
enum class FileKind { unknown, regular, blockDevice, folder, pipe, other };

/// A file opened for reading, or why it could not be.
struct OpenedFile {
    FileHandle handle;
    FileKind kind = FileKind::unknown;
    int error = 0;  ///< the system's error number when the open failed
    /// A stream whose copy could not be made: `error` is the temporary
    /// folder's, not the stream's.
    bool copyFailed = false;
    /// A stream copied only up to kStreamCopyLimit bytes, the rest unread: that limit; else 0.
    std::uint64_t cutAt = 0;
    [[nodiscard]] bool IsOpen() const noexcept { return handle.IsOpen(); }
};

/// Opens a file for reading, following links. Only regular files and block
/// devices are opened: a FIFO, socket or character device is reported by
/// its kind and never opened, so the call never blocks.
[[nodiscard]] OpenedFile OpenForReading(const std::string& path);

/// The same, for the entry `name` of the folder open as `folder`: paths
/// below a folder never need to fit into PATH_MAX. Block devices are not
/// opened either: a disk is read only when it is named itself.
[[nodiscard]] OpenedFile OpenForReadingAt(int folder, const std::string& name);

/// Standard input, to be copied (see CopyStreamToAnonymousFile).
[[nodiscard]] OpenedFile OpenStandardInput();

/// A named pipe given by name, such as the path of `<(command)`, to be copied.
[[nodiscard]] OpenedFile OpenPipe(const std::string& path);

/// The most that is copied of a stream: what a pipe delivers beyond it
/// (such as `cat /dev/zero`) is left unread rather than filling the disk.
inline constexpr std::uint64_t kStreamCopyLimit = std::uint64_t{1} << 30;

/// Copies what the stream `source` delivers (standard input, a pipe), up
/// to kStreamCopyLimit bytes, into a new anonymous file and opens that for
/// reading; `name` names the stream in a file error. A copy cut at the
/// limit says so in `cutAt`; a file for the copy that could not be made, in
/// `copyFailed`. Waits while the stream waits for its writer,
/// until this thread's stop request is raised (then AnalysisStopped).
[[nodiscard]] OpenedFile CopyStreamToAnonymousFile(int source, const std::string& name,
                                                   std::uint64_t limit = kStreamCopyLimit);

/// The size in bytes of an open file.
[[nodiscard]] std::uint64_t FileSize(const FileHandle& handle) noexcept;

}  // namespace veskari
