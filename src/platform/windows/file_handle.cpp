#include "platform/file_handle.h"

#include <cerrno>

#include "platform/file.h"
#include "platform/windows/windows_api.h"

namespace veskari {
namespace {

using windows::DescriptorOf;
using windows::HandleOf;
using windows::SetErrnoFromLastError;

}  // namespace

// Opens a file or folder for reading and tells what it is; only regular
// files stay open. Folders open too (backup semantics), to be told apart
// from files that cannot be opened, as on POSIX systems.
OpenedFile windows::OpenForReadingBySystemPath(const std::wstring& path, const std::string& name)
{
    OpenedFile opened;
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN,
                                        nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        opened.error = SetErrnoFromLastError();
        return opened;
    }
    FileHandle owner(DescriptorOf(handle));
    if (!owner.IsOpen()) {
        opened.error = errno;
        return opened;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK:
        opened.kind = ::GetFileInformationByHandle(handle, &information) &&
                              (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                          ? FileKind::folder
                          : FileKind::regular;
        break;
    case FILE_TYPE_PIPE:
        opened.kind = FileKind::pipe;
        break;
    default:
        opened.kind = FileKind::other;  // a console, NUL, a serial port
        break;
    }
    if (opened.kind != FileKind::regular) {
        return opened;
    }
    if (FaultHookRefuses(FileOperation::open, name)) {
        opened.error = EACCES;
        return opened;
    }
    opened.handle = std::move(owner);
    return opened;
}

namespace {

OpenedFile Stream(HANDLE handle)
{
    OpenedFile stream;
    stream.kind = FileKind::pipe;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        stream.error = handle == nullptr ? EBADF : SetErrnoFromLastError();
        return stream;
    }
    stream.handle = FileHandle(DescriptorOf(handle));
    if (!stream.handle.IsOpen()) {
        stream.error = errno;
    }
    return stream;
}

}  // namespace

OpenedFile OpenForReadingAt(int folder, const std::string& name)
{
    return windows::OpenForReadingBySystemPath(windows::EntryPath(windows::PathOf(folder), name), name);
}

OpenedFile OpenForReading(const std::string& path)
{
    if (windows::IsPipePath(path)) {
        OpenedFile pipe;
        pipe.kind = FileKind::pipe;
        return pipe;
    }
    return windows::OpenForReadingBySystemPath(windows::SystemPath(path), path);
}

OpenedFile OpenStandardInput()
{
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    HANDLE copy = input;
    if (input != nullptr && input != INVALID_HANDLE_VALUE &&
        !::DuplicateHandle(::GetCurrentProcess(), input, ::GetCurrentProcess(), &copy, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
        copy = INVALID_HANDLE_VALUE;
    }
    return Stream(copy);
}

OpenedFile OpenPipe(const std::string& path)
{
    return Stream(::CreateFileW(windows::SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
}

}  // namespace veskari
