#pragma once

#include <cstddef>
#include <cstdint>

// The system calls under CFile and the copy of streams, one implementation per system. Each works on
// an open descriptor at an explicit position (so that several CFile objects
// can share one descriptor), returns what the POSIX call it stands for
// returns (-1 on failure) and sets errno as that call does.
namespace veskari::io {

/// The largest position that any file can have.
inline constexpr std::uint64_t kMaxOffset = std::uint64_t{INT64_MAX};

[[nodiscard]] std::int64_t ReadAt(int descriptor, void* buffer, std::size_t count, std::uint64_t offset) noexcept;
[[nodiscard]] std::int64_t WriteAt(int descriptor, const void* buffer, std::size_t count,
                                   std::uint64_t offset) noexcept;
/// Reads the next bytes of a stream (standard input, a pipe), waiting for
/// its writer when there are none yet; 0 at its end.
[[nodiscard]] std::int64_t ReadStream(int descriptor, void* buffer, std::size_t count) noexcept;
[[nodiscard]] int TruncateTo(int descriptor, std::uint64_t size) noexcept;
[[nodiscard]] int CloseDescriptor(int descriptor) noexcept;

}  // namespace veskari::io
