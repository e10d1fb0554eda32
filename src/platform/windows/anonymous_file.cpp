#include "platform/anonymous_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/file.h"
#include "platform/windows/windows_api.h"

namespace veskari {
namespace {

// Windows gives every file a name, so a file "without a name" is one that
// nobody else can open (no sharing) and that the system deletes when its
// last handle closes, also when the process is killed.
constexpr DWORD kAttributes = FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE;

// Tries names until one is free: an existing file is never opened, so a name
// taken in advance by someone else only costs another try.
constexpr int kAttempts = 100;

std::wstring CandidateName(const std::wstring& folder)
{
    static std::atomic<unsigned> counter{0};
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    wchar_t name[64];
    std::swprintf(name, 64, L"veskari-%lx-%x-%llx.tmp", ::GetCurrentProcessId(), counter.fetch_add(1),
                  static_cast<unsigned long long>(now.QuadPart));
    return folder + L"\\" + name;
}

}  // namespace

std::string TemporaryDirectory()
{
    wchar_t folder[MAX_PATH + 1];
    DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) {
        return ".";
    }
    while (length > 3 && folder[length - 1] == L'\\') {
        --length;  // "C:\Temp", as the folder's own name; "C:\" stays
    }
    return windows::Utf8FromWide(std::wstring_view(folder, length));
}

int CreateAnonymousFile(std::uint64_t /*expectedSize*/, FileHandle& handle)
{
    const std::string folder = TemporaryDirectory();
    if (FaultHookRefuses(FileOperation::create, folder)) {
        return ENOSPC;
    }
    // The system keeps small temporary files in its cache: no size threshold of our own.
    const std::wstring systemFolder = windows::SystemPath(folder);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const HANDLE file = ::CreateFileW(CandidateName(systemFolder).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                          0, nullptr, CREATE_NEW, kAttributes, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const int descriptor = windows::DescriptorOf(file);
            if (descriptor < 0) {
                return errno;
            }
            handle = FileHandle(descriptor);
            return 0;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            return windows::SetErrnoFromLastError();
        }
    }
    return EEXIST;
}

}  // namespace veskari
