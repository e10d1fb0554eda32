#include "platform/windows/windows_api.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cwctype>
#include <fcntl.h>
#include <io.h>

#include "platform/visible_text.h"

namespace veskari::windows {
namespace {

constexpr DWORD kErrorDiskQuotaExceeded = 1295;  // not named by MinGW's headers

struct ErrorErrno {
    DWORD error;
    int errnoValue;
};

// The errno values that the table of causes knows, for the errors that file
// operations meet on Windows; the rest count as unknown errors.
constexpr std::array kErrorErrnos{
    ErrorErrno{ERROR_FILE_NOT_FOUND, ENOENT},
    ErrorErrno{ERROR_PATH_NOT_FOUND, ENOENT},
    ErrorErrno{ERROR_INVALID_DRIVE, ENOENT},
    ErrorErrno{ERROR_BAD_NETPATH, ENOENT},
    ErrorErrno{ERROR_BAD_NET_NAME, ENOENT},
    ErrorErrno{ERROR_INVALID_NAME, ENOTDIR},
    ErrorErrno{ERROR_BAD_PATHNAME, ENOTDIR},
    ErrorErrno{ERROR_DIRECTORY, ENOTDIR},
    ErrorErrno{ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    ErrorErrno{ERROR_CANT_RESOLVE_FILENAME, ELOOP},
    ErrorErrno{ERROR_TOO_MANY_OPEN_FILES, EMFILE},
    ErrorErrno{ERROR_ACCESS_DENIED, EACCES},
    ErrorErrno{ERROR_DELETE_PENDING, EACCES},
    ErrorErrno{ERROR_PRIVILEGE_NOT_HELD, EPERM},
    ErrorErrno{ERROR_WRITE_PROTECT, EROFS},
    ErrorErrno{ERROR_INVALID_HANDLE, EBADF},
    ErrorErrno{ERROR_SHARING_VIOLATION, EBUSY},
    ErrorErrno{ERROR_BUSY, EBUSY},
    ErrorErrno{ERROR_LOCK_VIOLATION, EDEADLK},
    ErrorErrno{ERROR_LOCK_FAILED, ENOLCK},
    ErrorErrno{ERROR_NOT_LOCKED, ENOLCK},
    ErrorErrno{ERROR_HANDLE_DISK_FULL, ENOSPC},
    ErrorErrno{ERROR_DISK_FULL, ENOSPC},
    ErrorErrno{kErrorDiskQuotaExceeded, ENOSPC},
    ErrorErrno{ERROR_FILE_TOO_LARGE, EFBIG},
    ErrorErrno{ERROR_CRC, EIO},
    ErrorErrno{ERROR_READ_FAULT, EIO},
    ErrorErrno{ERROR_WRITE_FAULT, EIO},
    ErrorErrno{ERROR_GEN_FAILURE, EIO},
    ErrorErrno{ERROR_IO_DEVICE, EIO},
    ErrorErrno{ERROR_NOT_READY, EIO},
    ErrorErrno{ERROR_NETNAME_DELETED, EIO},
    ErrorErrno{ERROR_UNEXP_NET_ERR, EIO},
    ErrorErrno{ERROR_DEVICE_NOT_CONNECTED, ENXIO},
    ErrorErrno{ERROR_FILE_EXISTS, EEXIST},
    ErrorErrno{ERROR_ALREADY_EXISTS, EEXIST},
    ErrorErrno{ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    ErrorErrno{ERROR_OUTOFMEMORY, ENOMEM},
    ErrorErrno{ERROR_BROKEN_PIPE, EPIPE},
    ErrorErrno{ERROR_NOT_SUPPORTED, ENOSYS},
};

void AppendUtf8(std::string& out, std::uint32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text)
{
    std::wstring wide;
    wide.reserve(text.size());
    while (!text.empty()) {
        const auto byte = [&text](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
        std::size_t length = Utf8CharacterLength(text);
        std::uint32_t codePoint = 0xFFFD;
        if (length == 0 && text.size() >= 3 && byte(0) == 0xED && byte(1) >= 0xA0 && (byte(2) & 0xC0) == 0x80) {
            length = 3;  // a lone surrogate, as Utf8FromWide writes it
        }
        if (length == 0) {
            length = 1;
        } else if (length == 1) {
            codePoint = byte(0);
        } else {
            codePoint = byte(0) & (0xFFU >> (length + 1));
            for (std::size_t i = 1; i < length; ++i) {
                codePoint = (codePoint << 6) | (byte(i) & 0x3FU);
            }
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(codePoint);
        }
        text.remove_prefix(length);
    }
    return wide;
}

std::string Utf8FromWide(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<std::uint32_t>(text[i]);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size()) {
            const auto next = static_cast<std::uint32_t>(text[i + 1]);
            if (next >= 0xDC00 && next < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, unit);
    }
    return out;
}

std::wstring SystemPath(std::string_view path)
{
    const std::wstring given = WideFromUtf8(path);
    if (StartsWith(given, L"\\\\?\\") || StartsWith(given, L"\\\\.\\") || given.empty()) {
        return given;
    }
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) {
            return given;
        }
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    if (StartsWith(full, L"\\\\.\\") || StartsWith(full, L"\\\\?\\")) {
        return full;  // a device, such as NUL
    }
    if (StartsWith(full, L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

bool IsPipePath(std::string_view path)
{
    std::wstring prefix = WideFromUtf8(path.substr(0, 9));
    for (wchar_t& c : prefix) {
        c = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return prefix == L"\\\\.\\pipe\\" || prefix == L"\\\\?\\pipe\\";
}

std::wstring PathOf(int descriptor)
{
    const HANDLE handle = HandleOf(descriptor);
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);
    }
}

std::wstring EntryPath(const std::wstring& folder, std::string_view name)
{
    if (folder.empty()) {
        return {};  // never a path relative to the current folder instead
    }
    return folder.back() == L'\\' ? folder + WideFromUtf8(name) : folder + L'\\' + WideFromUtf8(name);
}

int ErrnoOf(DWORD error) noexcept
{
    for (const ErrorErrno& row : kErrorErrnos) {
        if (row.error == error) {
            return row.errnoValue;
        }
    }
    return EINVAL;  // not in the table of causes: an unknown error
}

int SetErrnoFromLastError() noexcept
{
    errno = ErrnoOf(::GetLastError());
    return errno;
}

HANDLE HandleOf(int descriptor) noexcept
{
    return descriptor < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
}

int DescriptorOf(HANDLE handle) noexcept
{
    const int descriptor = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_BINARY);
    if (descriptor < 0) {
        ::CloseHandle(handle);
        errno = EMFILE;
    }
    return descriptor;
}

}  // namespace veskari::windows
