#pragma once

#include <cstddef>
#include <cstdint>

// The system calls under DescriptorFile and the copy of streams, one implementation per system. Each works on
// an open descriptor at an explicit position (so that several DescriptorFile objects
// can share one descriptor), returns what the POSIX call it stands for
// returns (-1 on failure) and sets errno as that call does.
namespace veskari::io {

/// The largest position that any file can have.
inline constexpr std::uint64_t kMaxOffset = std::uint64_t{INT64_MAX};

[[nodiscard]] std::int64_t ReadAt(int descriptor, void* buffer, std::size_t count, std::uint64_t offset) noexcept;
[[nodiscard]] std::int64_t WriteAt(int descriptor, const void* buffer, std::size_t count,
                                   std::uint64_t offset) noexcept;
/// Reads the next bytes of a stream (standard input, a pipe); 0 at its end.
/// A stream without bytes yet, or a named pipe that no writer has opened
/// yet, is waited for at most `waitMilliseconds`: then -1 with errno EAGAIN,
/// so that the caller can look for a stop request and call again.
[[nodiscard]] std::int64_t ReadStream(int descriptor, void* buffer, std::size_t count, int waitMilliseconds) noexcept;
/// The size of an open file or block device in bytes; 0 when unknown.
[[nodiscard]] std::uint64_t SizeOf(int descriptor) noexcept;
[[nodiscard]] int TruncateTo(int descriptor, std::uint64_t size) noexcept;
[[nodiscard]] int CloseDescriptor(int descriptor) noexcept;

}  // namespace veskari::io
