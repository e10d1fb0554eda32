#pragma once

// The window: one dialog with the report box, Select File, Clear, Close, Save
// and Stop, dropped files and folders, the about box in the system menu, a
// status line, and the list of what could not be analysed.

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command_runner.h"
#include "resources.h"

#include <shellapi.h>

namespace veskari::win {

/// How the report is saved.
struct SaveChoice {
    std::wstring path;
    bool crlf = true;  ///< the report's own CR LF line ends, else LF
};

class MainWindow {
public:
    explicit MainWindow(const Resources& resources);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    /// Makes the dialog (shown at once); false when the system refuses.
    bool Create();
    /// Runs the window until it closes, as a modal dialog would.
    int Run();
    /// What the window's message loop does with a message before the dialog
    /// sees it: Escape while a command runs stops the command (without a
    /// command Escape closes, as Close does); the dialog's keyboard
    /// handling. True when the message has been handled.
    bool PreTranslate(MSG& message);

    [[nodiscard]] HWND Handle() const noexcept { return dialog_; }
    /// Whether a command runs or waits.
    [[nodiscard]] bool Busy() const noexcept { return busy_; }
    /// The report's bytes (UTF-8, CR LF line ends).
    [[nodiscard]] const std::string& Report() const noexcept { return report_; }
    /// The lines of the problems' list.
    [[nodiscard]] std::vector<std::wstring> ProblemLines() const;
    /// The summary of the last command, or its progress.
    [[nodiscard]] std::wstring StatusText() const;
    /// How the last command ended.
    [[nodiscard]] const CommandEnd& LastEnd() const noexcept { return lastEnd_; }

    /// Analyses `paths` (UTF-8) in order as one command; while a command
    /// runs, the new one waits for it.
    void AnalyzePaths(std::vector<std::string> paths);

    // The platform's dialogs; tests put their own answers instead.
    /// The files chosen in the open-file dialog, in its order; nullopt when
    /// the selection does not fit (told to the user).
    std::function<std::vector<std::wstring>(HWND owner, const std::wstring& title)> chooseFiles;
    /// Where and how to save the report; nullopt when cancelled.
    std::function<std::optional<SaveChoice>(HWND owner)> chooseSaveFile;
    /// Shows an error: a file error with the stop icon, a lack of memory
    /// with the exclamation icon, modal to the whole system.
    std::function<void(HWND owner, const std::wstring& text, UINT style)> showError;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommand(int id);
    void OnSelectFile();
    void OnDropFiles(HDROP drop);
    void OnClear();
    void OnSave();
    void OnAbout();
    void OnPaint();
    void Close();
    void Stop();
    void StartNextCommand();
    void OnCommandFinished();
    void TakeOutput();
    void AppendReport(const std::string& text);
    void AddProblems(const std::vector<Problem>& problems);
    void ShowProblems(bool shown);
    void SetBusy(bool busy);
    void ShowProgress();
    void ShowSummary();
    void UseSystemDialogs();
    [[nodiscard]] HWND Item(int id) const { return ::GetDlgItem(dialog_, id); }

    const Resources& resources_;
    HWND dialog_ = nullptr;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    bool running_ = false;  // inside Run()
    std::unique_ptr<CommandRunner> runner_;

    std::string report_;  // the ReportLog: exactly the report's bytes
    std::size_t problemCount_ = 0;
    bool problemsShown_ = false;
    int problemsGrowth_ = 0;  // pixels the window grew by to show the problems
    std::deque<std::vector<std::string>> pending_;
    bool busy_ = false;
    bool commandRunning_ = false;
    bool stopping_ = false;
    bool takeScheduled_ = false;
    CommandEnd lastEnd_;

    // The summary of the commands since the window last became busy.
    struct Totals {
        std::size_t files = 0, members = 0, updates = 0, problems = 0;
        bool stopped = false, failed = false;
        std::chrono::steady_clock::time_point began;
    } totals_;
};

/// The paths of a selection in the open-file dialog's buffer: one full
/// path, or a folder followed by the names chosen in it; each list ends
/// with an empty string.
[[nodiscard]] std::vector<std::wstring> SelectedPaths(const wchar_t* buffer, std::size_t size);

/// Writes `bytes` to `path` whole or not at all: into a new file beside it,
/// which then replaces it. Returns the system's error code, 0 on success.
[[nodiscard]] DWORD WriteWholeFile(const std::wstring& path, const std::string& bytes);

}  // namespace veskari::win
