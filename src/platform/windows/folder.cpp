#include "platform/folder.h"

#include <algorithm>
#include <cerrno>

#include "platform/windows/windows_api.h"

namespace veskari {
namespace {

using windows::SetErrnoFromLastError;

struct Identity {
    bool isDirectory = false;
    FolderId id;
};

// Whether an open file or folder is a folder, and its volume and file index
// (the device and inode of POSIX systems).
bool Identify(HANDLE handle, Identity& identity)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information)) {
        return false;
    }
    identity.isDirectory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    identity.id = FolderId{information.dwVolumeSerialNumber,
                           (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
    return true;
}

// Opens a file or folder to learn about it (links followed); no access to
// its contents is asked for.
HANDLE OpenToQuery(const std::wstring& path)
{
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The names of a folder's entries, without "." and "..", in byte order of
// their UTF-8 forms, or the errno value of the failure.
int ListNames(const std::wstring& folder, std::vector<std::string>& names)
{
    const std::wstring pattern = windows::EntryPath(folder, "*");
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : SetErrnoFromLastError();
    }
    int error = 0;
    do {
        const std::wstring_view name(found.cFileName);
        if (name != L"." && name != L"..") {
            names.push_back(windows::Utf8FromWide(name));
        }
    } while (::FindNextFileW(search, &found));
    if (::GetLastError() != ERROR_NO_MORE_FILES) {
        error = SetErrnoFromLastError();
    }
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return error;
}

// The system path of what a walk of `root` met at `path`: the root made
// absolute, then the names below it exactly as the folders listed them
// (never trimmed of trailing dots or spaces, never limited by MAX_PATH).
std::wstring SystemPathBelow(const std::string& root, const std::string& path)
{
    std::string_view below = std::string_view(path).substr(root.size());
    while (!below.empty() && (below.front() == '\\' || below.front() == '/')) {
        below.remove_prefix(1);
    }
    const std::wstring system = windows::SystemPath(root);
    return below.empty() ? system : windows::EntryPath(system, below);
}

}  // namespace

std::optional<PathStatus> QueryPathStatus(const std::string& path)
{
    if (windows::IsPipePath(path)) {
        return PathStatus{};  // never opened: that would connect to its server
    }
    const HANDLE handle = OpenToQuery(windows::SystemPath(path));
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    Identity identity;
    const bool known = Identify(handle, identity);
    ::CloseHandle(handle);
    if (!known) {
        return std::nullopt;
    }
    return PathStatus{identity.isDirectory, identity.id.first, identity.id.second};
}

FolderWalk::FolderWalk(std::string folderPath, std::set<FolderId>& walked, bool openFiles)
    : rootPath_(std::move(folderPath)), walked_(walked), openFiles_(openFiles)
{
}

bool FolderWalk::Enter(int /*parent*/, const std::string& /*name*/, const std::string& path, WalkEntry& entry)
{
    entry = WalkEntry();
    entry.path = path;
    // Held open without sharing deletion while it is walked: it can be
    // neither removed nor renamed, so the paths below it stay valid.
    const std::wstring systemPath = SystemPathBelow(rootPath_, path);
    const HANDLE handle = ::CreateFileW(systemPath.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    Identity identity;
    int error = 0;
    if (handle == INVALID_HANDLE_VALUE || !Identify(handle, identity)) {
        error = SetErrnoFromLastError();
    } else if (!identity.isDirectory) {
        error = ENOTDIR;
    }
    if (error != 0) {
        entry.kind = WalkEntry::Kind::unreadableFolder;
        entry.error = error;
        if (handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
        }
        return false;
    }
    Frame frame;
    frame.folder = FileHandle(windows::DescriptorOf(handle));
    if (!frame.folder.IsOpen()) {
        entry.kind = WalkEntry::Kind::unreadableFolder;
        entry.error = errno;
        return false;
    }
    if (!walked_.insert(identity.id).second) {
        entry.kind = WalkEntry::Kind::repeatedFolder;
        return false;
    }
    if (const int listError = ListNames(systemPath, frame.names); listError != 0) {
        entry.kind = WalkEntry::Kind::unreadableFolder;
        entry.error = listError;
        return false;
    }
    // Paths that the walk composes use the separator that Windows users
    // read; a drive's current folder ("D:") takes its entries' names as they are.
    frame.path = path;
    if (frame.path.empty() || (frame.path.back() != '\\' && frame.path.back() != '/' && frame.path.back() != ':')) {
        frame.path += '\\';
    }
    frames_.push_back(std::move(frame));
    return true;
}

bool FolderWalk::Next(WalkEntry& entry)
{
    if (!started_) {
        started_ = true;
        if (!Enter(-1, rootPath_, rootPath_, entry)) {
            return true;
        }
    }
    while (!frames_.empty()) {
        Frame& frame = frames_.back();
        if (frame.next == frame.names.size()) {
            frames_.pop_back();
            continue;
        }
        const std::string name = frame.names[frame.next++];
        const std::string path = frame.path + name;
        const std::wstring systemPath = SystemPathBelow(rootPath_, path);
        // A link to a folder carries the folder attribute itself.
        WIN32_FILE_ATTRIBUTE_DATA data{};
        const bool known = ::GetFileAttributesExW(systemPath.c_str(), GetFileExInfoStandard, &data) != 0;
        if (known && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            if (Enter(frame.folder.Get(), name, path, entry)) {
                continue;
            }
            return true;
        }
        entry = WalkEntry();
        entry.path = path;
        if (openFiles_ || (known && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
            // A link's entry tells the link's size: its target's is asked of the open file.
            entry.file = windows::OpenForReadingBySystemPath(systemPath, name);
        } else if (known) {
            entry.size = static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        }
        return true;
    }
    return false;
}

}  // namespace veskari
