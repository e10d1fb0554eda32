#include "main_window.h"
#include "resource_ids.h"

#include <cderr.h>
#include <commdlg.h>

// The platform's dialogs that choose files to analyse and where to save the
// report, and the writing of the saved report.

namespace veskari::win {
namespace {

// Room for a selection of thousands of files; a larger one is told, never
// dropped in silence.
constexpr std::size_t kSelectionBuffer = 1 << 20;

}  // namespace

std::vector<std::wstring> SelectedPaths(const wchar_t* buffer, std::size_t size)
{
    std::vector<std::wstring> names;
    for (std::size_t at = 0; at < size && buffer[at] != L'\0';) {
        std::size_t end = at;
        while (end < size && buffer[end] != L'\0') {
            ++end;
        }
        names.emplace_back(buffer + at, end - at);
        at = end + 1;
    }
    if (names.size() <= 1) {
        return names;  // one file: its full path
    }
    // A folder, then the names chosen in it.
    std::wstring folder = names.front();
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') {
        folder += L'\\';
    }
    std::vector<std::wstring> paths;
    for (std::size_t i = 1; i < names.size(); ++i) {
        paths.push_back(folder + names[i]);
    }
    return paths;
}

void MainWindow::UseSystemDialogs()
{
    chooseFiles = [this](HWND owner, const std::wstring& title) {
        std::wstring buffer(kSelectionBuffer, L'\0');
        // "*.*" takes every file on this system, also those without an extension.
        static constexpr wchar_t kFilter[] = L"BIOS or MicroCodeFile (*.*)\0*.*\0";
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof(dialog);
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = kFilter;
        dialog.lpstrFile = buffer.data();
        dialog.nMaxFile = static_cast<DWORD>(buffer.size() - 1);
        dialog.lpstrTitle = title.c_str();
        dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
        if (::GetOpenFileNameW(&dialog) == FALSE) {
            if (::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
                showError(owner, resources_.String(IDS_SELECTION_TOO_LONG), MB_OK | MB_ICONEXCLAMATION);
            }
            return std::vector<std::wstring>{};
        }
        return SelectedPaths(buffer.data(), buffer.size());
    };
    chooseSaveFile = [this](HWND owner) -> std::optional<SaveChoice> {
        std::wstring buffer(32768, L'\0');
        const std::wstring name = L"report.txt";
        buffer.replace(0, name.size(), name);
        std::wstring filter = resources_.String(IDS_SAVE_CRLF);
        filter += L'\0';
        filter += L"*.txt";
        filter += L'\0';
        filter += resources_.String(IDS_SAVE_LF);
        filter += L'\0';
        filter += L"*.txt";
        filter += L'\0';
        const std::wstring title = resources_.String(IDS_SAVE_TITLE);
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof(dialog);
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = filter.c_str();
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = buffer.data();
        dialog.nMaxFile = static_cast<DWORD>(buffer.size() - 1);
        dialog.lpstrTitle = title.c_str();
        dialog.lpstrDefExt = L"txt";
        dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_ENABLESIZING;
        if (::GetSaveFileNameW(&dialog) == FALSE) {
            return std::nullopt;
        }
        return SaveChoice{buffer.c_str(), dialog.nFilterIndex != 2};
    };
}

DWORD WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    // A new file beside the chosen one, so that a full disk or a refused
    // write never leaves a partial report under the chosen name.
    const std::wstring temporary = path + L".veskari-" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
    HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return ::GetLastError();
    }
    DWORD error = 0;
    for (std::size_t done = 0; done < bytes.size() && error == 0;) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 24));
        DWORD written = 0;
        if (::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) == FALSE) {
            error = ::GetLastError();
        } else if (written == 0) {
            error = ERROR_DISK_FULL;
        }
        done += written;
    }
    if (error == 0 && ::FlushFileBuffers(file) == FALSE) {
        error = ::GetLastError();
    }
    if (::CloseHandle(file) == FALSE && error == 0) {
        error = ::GetLastError();
    }
    if (error == 0 &&
        ::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
        error = ::GetLastError();
    }
    if (error != 0) {
        ::DeleteFileW(temporary.c_str());
    }
    return error;
}

}  // namespace veskari::win
