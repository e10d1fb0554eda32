#include "platform/descriptor_io.h"

#include <algorithm>
#include <cerrno>
#include <io.h>

#include "platform/windows/windows_api.h"

namespace veskari::io {
namespace {

// Positional reads and writes: an OVERLAPPED offset on a synchronous handle
// is Windows' pread and pwrite.
OVERLAPPED At(std::uint64_t offset)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// One call moves at most this much, which a DWORD count always holds.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

}  // namespace

std::int64_t ReadAt(int descriptor, void* buffer, std::size_t count, std::uint64_t offset) noexcept
{
    OVERLAPPED at = At(offset);
    DWORD got = 0;
    if (!::ReadFile(windows::HandleOf(descriptor), buffer, static_cast<DWORD>(std::min(count, kMaxTransfer)), &got,
                    &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) {
            return 0;
        }
        windows::SetErrnoFromLastError();
        return -1;
    }
    return got;
}

std::int64_t WriteAt(int descriptor, const void* buffer, std::size_t count, std::uint64_t offset) noexcept
{
    OVERLAPPED at = At(offset);
    DWORD put = 0;
    if (!::WriteFile(windows::HandleOf(descriptor), buffer, static_cast<DWORD>(std::min(count, kMaxTransfer)), &put,
                     &at)) {
        windows::SetErrnoFromLastError();
        return -1;
    }
    return put;
}

std::int64_t ReadStream(int descriptor, void* buffer, std::size_t count, int /*waitMilliseconds*/) noexcept
{
    // A pipe's ReadFile waits for its writer; a stop takes effect when it returns.
    DWORD got = 0;
    if (!::ReadFile(windows::HandleOf(descriptor), buffer, static_cast<DWORD>(std::min(count, kMaxTransfer)), &got,
                    nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
            return 0;  // the writer has closed its end
        }
        windows::SetErrnoFromLastError();
        return -1;
    }
    return got;
}

std::uint64_t SizeOf(int descriptor) noexcept
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(windows::HandleOf(descriptor), &size) || size.QuadPart < 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

int TruncateTo(int descriptor, std::uint64_t size) noexcept
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(windows::HandleOf(descriptor), FileEndOfFileInfo, &end, sizeof end)) {
        windows::SetErrnoFromLastError();
        return -1;
    }
    return 0;
}

int CloseDescriptor(int descriptor) noexcept
{
    return ::_close(descriptor);
}

}  // namespace veskari::io
