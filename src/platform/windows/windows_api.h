#pragma once

// What the Windows implementation of the platform layer shares: the
// system's headers, UTF-8 and UTF-16 text, paths as the wide-character file
// API takes them, descriptors over system handles and the system's error
// codes as errno values, so that every caller above the layer stays as it is
// on POSIX systems.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/file_handle.h"

namespace veskari::windows {

/// UTF-16 from UTF-8. The three-byte forms of lone surrogates (which
/// Utf8FromWide makes) become those code units again; a byte that is not
/// UTF-8 becomes U+FFFD.
[[nodiscard]] std::wstring WideFromUtf8(std::string_view text);

/// UTF-8 from UTF-16. A lone surrogate, which file names may hold, gets the
/// three bytes of its code unit, so that every name found can be opened again.
[[nodiscard]] std::string Utf8FromWide(std::wstring_view text);

/// A path given by the user as the wide-character API takes it: made
/// absolute (drive letters, UNC paths, '\' and '/'), and prefixed with
/// \\?\ (or \\?\UNC\) so that no MAX_PATH limit applies. Paths that already
/// start with \\?\ or \\.\ are taken as they are.
[[nodiscard]] std::wstring SystemPath(std::string_view path);

/// Whether a path names a pipe (\\.\pipe\...). Opening a pipe connects
/// to its server, so a pipe is never opened just to see what it is.
[[nodiscard]] bool IsPipePath(std::string_view path);

/// The path of the open file or folder behind `descriptor`, as \\?\...;
/// empty when the system cannot tell (Wine cannot beyond MAX_PATH).
[[nodiscard]] std::wstring PathOf(int descriptor);

/// The entry `name` of the folder whose system path is `folder`, exactly as
/// named (no trimming of trailing dots or spaces); empty for an empty folder
/// path, so that nothing is ever opened relative to the current folder.
[[nodiscard]] std::wstring EntryPath(const std::wstring& folder, std::string_view name);

/// Opens the file of a system path for reading as OpenForReading does;
/// `name` is what the test hook sees.
[[nodiscard]] OpenedFile OpenForReadingBySystemPath(const std::wstring& path, const std::string& name);

/// The errno value that stands for a Windows error code.
[[nodiscard]] int ErrnoOf(DWORD error) noexcept;

/// Sets errno from GetLastError() and returns it.
int SetErrnoFromLastError() noexcept;

/// The system handle behind a descriptor (INVALID_HANDLE_VALUE for none).
[[nodiscard]] HANDLE HandleOf(int descriptor) noexcept;

/// A descriptor that owns `handle`; when none is free, closes the handle,
/// sets errno and returns -1.
[[nodiscard]] int DescriptorOf(HANDLE handle) noexcept;

}  // namespace veskari::windows
