#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "platform/file_handle.h"

namespace veskari {

/// Files expected to hold at most this many bytes are kept in memory;
/// larger ones go to $TMPDIR, so that a large member does not hold memory.
inline constexpr std::uint64_t kMemoryFileLimit = std::uint64_t{16} << 20;

/// The expected size of a file whose size is not known in advance: it is
/// made on disk.
inline constexpr std::uint64_t kSpillToDisk = std::numeric_limits<std::uint64_t>::max();

/// Creates a new file without a name, open for reading and writing in
/// `handle`: in memory (memfd) for an expected size up to kMemoryFileLimit,
/// else in $TMPDIR (O_TMPFILE, mode 0600). With no name there is nothing to
/// leave behind, whatever ends the process, and nothing that anyone could
/// swap for another file. Returns 0, or the system's error number.
[[nodiscard]] int CreateAnonymousFile(std::uint64_t expectedSize, FileHandle& handle);

/// The folder for files on disk: $TMPDIR when set, else /tmp.
[[nodiscard]] std::string TemporaryDirectory();

}  // namespace veskari
