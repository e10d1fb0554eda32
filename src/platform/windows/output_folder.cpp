#include "platform/output_folder.h"

#include <cerrno>

#include "platform/descriptor_file.h"
#include "platform/windows/windows_api.h"

namespace veskari {
namespace {

using windows::SetErrnoFromLastError;

std::string Join(const std::string& folder, const std::string& name)
{
    const bool separated = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    return separated ? folder + name : folder + "\\" + name;
}

// A file marked so is deleted when its last handle closes, whatever ends
// the process; the mark can be taken back.
bool MarkForDeletion(HANDLE file, bool deleted)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

}  // namespace

OutputFolder::OutputFolder(const std::string& path, bool& isLink) : path_(path)
{
    isLink = false;
    const std::wstring systemPath = windows::SystemPath(path);
    if (!::CreateDirectoryW(systemPath.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        throw FileError::FromErrno(FileOperation::create, SetErrnoFromLastError(), path);
    }
    // Symbolic links and junctions are reparse points.
    const bool followLink = !path.empty() && (path.back() == '/' || path.back() == '\\');
    const DWORD attributes = ::GetFileAttributesW(systemPath.c_str());
    if (!followLink && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        isLink = true;
        throw FileError(FileErrorCause::badPath, path, ELOOP);
    }
    // Held open without sharing deletion: the folder can be neither removed
    // nor renamed, nor swapped for another, while files are written into it.
    const HANDLE folder = ::CreateFileW(systemPath.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        throw FileError::FromErrno(FileOperation::open, SetErrnoFromLastError(), path);
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(folder, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::CloseHandle(folder);
        throw FileError::FromErrno(FileOperation::open, ENOTDIR, path);
    }
    folder_ = windows::DescriptorOf(folder);
    if (folder_ < 0) {
        throw FileError::FromErrno(FileOperation::open, errno, path);
    }
}

OutputFolder::~OutputFolder()
{
    if (folder_ >= 0) {
        FileHandle(folder_).Reset();
    }
}

unsigned OutputFolder::WriteNew(const std::function<void(File& file)>& fill,
                                const std::function<std::string(unsigned counter)>& nameFor, unsigned counter)
{
    // Written under a name of its own first, marked for deletion until it is complete:
    // a failed write or a killed process leaves nothing. Others may only
    // rename it, which is what MoveFileExW does to give it its name.
    std::wstring partial;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; file == INVALID_HANDLE_VALUE; ++attempt) {
        const std::string name =
            ".veskari-partial-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt);
        partial = windows::EntryPath(windows::SystemPath(path_), name);
        file = ::CreateFileW(partial.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && (::GetLastError() != ERROR_FILE_EXISTS || attempt == 1000)) {
            throw FileError::FromErrno(FileOperation::create, SetErrnoFromLastError(), Join(path_, name));
        }
    }
    if (!MarkForDeletion(file, true)) {
        const int error = SetErrnoFromLastError();
        ::CloseHandle(file);
        ::DeleteFileW(partial.c_str());
        throw FileError::FromErrno(FileOperation::create, error, Join(path_, nameFor(counter)));
    }
    const int descriptor = windows::DescriptorOf(file);
    if (descriptor < 0) {
        throw FileError::FromErrno(FileOperation::create, errno, Join(path_, nameFor(counter)));
    }
    OwnedFile output(descriptor, Join(path_, nameFor(counter)));
    fill(output);

    // Its own name, one component inside the folder, never one that is
    // taken: without MOVEFILE_REPLACE_EXISTING the move fails rather than
    // replace anything.
    if (!MarkForDeletion(file, false)) {
        throw FileError::FromErrno(FileOperation::create, SetErrnoFromLastError(), output.Path());
    }
    for (;; ++counter) {
        const std::string candidate = nameFor(counter);
        if (::MoveFileExW(partial.c_str(), windows::EntryPath(windows::SystemPath(path_), candidate).c_str(), 0)) {
            break;
        }
        const DWORD error = ::GetLastError();
        if ((error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) || counter == 1000000) {
            (void)MarkForDeletion(file, true);
            throw FileError::FromErrno(FileOperation::create, windows::ErrnoOf(error), Join(path_, candidate));
        }
    }
    output.Close();
    return counter;
}

}  // namespace veskari
