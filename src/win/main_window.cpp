#include "main_window.h"

#include <algorithm>
#include <cstdio>

#include "platform/visible_text.h"
#include "resource_ids.h"

namespace veskari::win {
namespace {

using windows::Utf8FromWide;
using windows::WideFromUtf8;

constexpr UINT kOutputMessage = WM_APP + 1;    // the running command has output to take
constexpr UINT kFinishedMessage = WM_APP + 2;  // the running command has ended
constexpr UINT_PTR kTakeTimer = 1;
constexpr UINT_PTR kProgressTimer = 2;
// Output is taken at most twenty times a second: each take costs the report
// box a redraw, and a folder of thousands of small files would otherwise ask
// for one per file.
constexpr UINT kTakeInterval = 50;
constexpr UINT kProgressInterval = 100;

std::wstring Number(std::size_t value)
{
    return std::to_wstring(value);
}

// The about box: the icon, the version and OK.
INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/)
{
    if (message == WM_INITDIALOG) {
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        ::EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

MainWindow::MainWindow(const Resources& resources) : resources_(resources)
{
    UseSystemDialogs();
    showError = [this](HWND owner, const std::wstring& text, UINT style) {
        ::MessageBoxW(owner, text.c_str(), L"Veskari", style);
    };
}

MainWindow::~MainWindow()
{
    if (runner_) {
        runner_->Shutdown();
    }
    if (dialog_ != nullptr) {
        ::DestroyWindow(dialog_);
    }
    for (HICON icon : {icon_, smallIcon_}) {
        if (icon != nullptr) {
            ::DestroyIcon(icon);
        }
    }
}

bool MainWindow::Create()
{
    const DLGTEMPLATE* dialogTemplate = resources_.Dialog(IDD_MAIN);
    if (dialogTemplate == nullptr) {
        return false;
    }
    dialog_ = ::CreateDialogIndirectParamW(resources_.Instance(), dialogTemplate, nullptr, &MainWindow::DialogProc,
                                           reinterpret_cast<LPARAM>(this));
    return dialog_ != nullptr;
}

int MainWindow::Run()
{
    running_ = true;
    MSG message;
    while (dialog_ != nullptr && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    running_ = false;
    return 0;
}

bool MainWindow::PreTranslate(MSG& message)
{
    if (dialog_ == nullptr) {
        return false;
    }
    // Escape while a command runs stops it and keeps the window and its
    // report: closing is what a reader in the middle of a long run least
    // wants by accident. The dialog would turn the key into Close.
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE && busy_ &&
        (message.hwnd == dialog_ || ::IsChild(dialog_, message.hwnd))) {
        Stop();
        return true;
    }
    return ::IsDialogMessageW(dialog_, &message) != FALSE;
}

INT_PTR CALLBACK MainWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<MainWindow*>(lParam)->dialog_ = dialog;
    }
    auto* window = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    return window != nullptr ? window->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;  // the system sets the focus
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            OnCommand(LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUT) {
            OnAbout();
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        Close();
        return TRUE;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_PAINT:
        if (::IsIconic(dialog_)) {
            OnPaint();
            return TRUE;
        }
        return FALSE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(icon_);
    case WM_SETCURSOR:
        // While a command runs the window still answers: the pointer says
        // "working in the background", not "wait".
        if (busy_ && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
            ::SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_TIMER:
        if (wParam == kTakeTimer) {
            TakeOutput();
        } else if (wParam == kProgressTimer) {
            ShowProgress();
        }
        return TRUE;
    case kOutputMessage:
        // Taken a little later, so that one take carries what many files wrote.
        if (!takeScheduled_) {
            takeScheduled_ = true;
            ::SetTimer(dialog_, kTakeTimer, kTakeInterval, nullptr);
        }
        return TRUE;
    case kFinishedMessage:
        OnCommandFinished();
        return TRUE;
    case WM_DESTROY:
        dialog_ = nullptr;
        if (running_) {
            ::PostQuitMessage(0);
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void MainWindow::OnInitDialog()
{
    runner_ = std::make_unique<CommandRunner>(dialog_, kOutputMessage, kFinishedMessage, resources_.UserLanguage());

    // The about entry at the end of the system menu, after a separator.
    if (HMENU menu = ::GetSystemMenu(dialog_, FALSE)) {
        const std::wstring entry = resources_.String(IDS_ABOUT_ENTRY);
        if (!entry.empty()) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(menu, MF_STRING, IDM_ABOUT, entry.c_str());
        }
    }
    icon_ = static_cast<HICON>(::LoadImageW(resources_.Instance(), MAKEINTRESOURCEW(IDI_VESKARI), IMAGE_ICON,
                                            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(::LoadImageW(resources_.Instance(), MAKEINTRESOURCEW(IDI_VESKARI), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    ::SendMessageW(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    // A multi-line edit box holds 32 767 characters unless told otherwise;
    // a report has no such limit.
    ::SendMessageW(Item(IDC_REPORT), EM_SETLIMITTEXT, 0, 0);
}

void MainWindow::OnCommand(int id)
{
    switch (id) {
    case IDC_SELECT_FILE:
        OnSelectFile();
        break;
    case IDC_CLEAR:
        OnClear();
        break;
    case IDC_SAVE:
        OnSave();
        break;
    case IDC_STOP:
        Stop();
        break;
    case IDCANCEL:
        Close();
        break;
    default:
        break;
    }
}

void MainWindow::OnPaint()
{
    // Minimised: the icon in the middle of the client area.
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(dialog_, &paint);
    ::SendMessageW(dialog_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(dialog_, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, icon_);
    ::EndPaint(dialog_, &paint);
}

void MainWindow::OnAbout()
{
    if (const DLGTEMPLATE* about = resources_.Dialog(IDD_ABOUT)) {
        ::DialogBoxIndirectParamW(resources_.Instance(), about, dialog_, &AboutProc, 0);
    }
}

void MainWindow::OnSelectFile()
{
    if (busy_) {
        return;
    }
    std::vector<std::string> paths;
    for (const std::wstring& path : chooseFiles(dialog_, resources_.String(IDS_SELECT_TITLE))) {
        paths.push_back(Utf8FromWide(path));
    }
    AnalyzePaths(std::move(paths));
}

void MainWindow::OnDropFiles(HDROP drop)
{
    // Every item in the order of the drop's indices, each path whole,
    // however long; files and folders alike (the analysis tells them apart).
    std::vector<std::string> paths;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
        const UINT length = ::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
        path.resize(length);
        if (!path.empty()) {
            paths.push_back(Utf8FromWide(path));
        }
    }
    ::DragFinish(drop);
    AnalyzePaths(std::move(paths));
}

void MainWindow::AnalyzePaths(std::vector<std::string> paths)
{
    if (paths.empty() || dialog_ == nullptr) {
        return;
    }
    pending_.push_back(std::move(paths));
    if (!commandRunning_) {
        StartNextCommand();
    }
}

void MainWindow::StartNextCommand()
{
    if (commandRunning_) {
        return;  // a drop during an error box has started the next one already
    }
    if (pending_.empty()) {
        SetBusy(false);
        return;
    }
    SetBusy(true);
    stopping_ = false;
    std::vector<std::string> paths = std::move(pending_.front());
    pending_.pop_front();
    commandRunning_ = true;
    runner_->Start(std::move(paths), report_.empty());
}

void MainWindow::OnCommandFinished()
{
    lastEnd_ = runner_->Finish();
    commandRunning_ = false;
    TakeOutput();
    totals_.files += lastEnd_.summary.files;
    totals_.members += lastEnd_.summary.members;
    totals_.updates += lastEnd_.summary.updates;
    totals_.stopped = totals_.stopped || lastEnd_.summary.stopped;
    totals_.failed = totals_.failed || lastEnd_.summary.failure.has_value();
    if (!lastEnd_.errorText.empty()) {
        // The paths of the failed command not yet analysed are dropped; the
        // report stays, and later commands still run.
        showError(dialog_, lastEnd_.errorText,
                  lastEnd_.outOfMemory ? MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL : MB_OK | MB_ICONSTOP);
    }
    StartNextCommand();
}

void MainWindow::TakeOutput()
{
    ::KillTimer(dialog_, kTakeTimer);
    takeScheduled_ = false;
    Delivery output = runner_->TakeOutput();
    AppendReport(output.report);
    AddProblems(output.problems);
}

void MainWindow::AppendReport(const std::string& text)
{
    if (text.empty()) {
        return;
    }
    report_ += text;
    // Added at the end, without setting the whole text again, and the last
    // line brought into view.
    HWND box = Item(IDC_REPORT);
    const std::wstring wide = WideFromUtf8(text);
    const auto end = static_cast<WPARAM>(::GetWindowTextLengthW(box));
    ::SendMessageW(box, EM_SETSEL, end, static_cast<LPARAM>(end));
    ::SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
    ::SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

void MainWindow::AddProblems(const std::vector<Problem>& problems)
{
    if (problems.empty()) {
        return;
    }
    HWND list = Item(IDC_PROBLEMS);
    HDC dc = ::GetDC(list);
    HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    auto widest = static_cast<int>(::SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0));
    for (const Problem& problem : problems) {
        const std::wstring line = WideFromUtf8(problem.Text(resources_.UserLanguage()));
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SIZE size{};
        ::GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx) + 8);
    }
    ::SelectObject(dc, oldFont);
    ::ReleaseDC(list, dc);
    ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest), 0);
    problemCount_ += problems.size();
    totals_.problems += problems.size();
    const auto count = static_cast<LRESULT>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
    ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(count - 1), 0);
    ::SetWindowTextW(Item(IDC_PROBLEMS_HEADING), resources_.Format(IDS_PROBLEMS_HEADING, {Number(problemCount_)}).c_str());
    ShowProblems(true);
}

void MainWindow::ShowProblems(bool shown)
{
    // The list lies below the dialog's lower edge; the window grows to show
    // it, so that what could not be analysed never looks like a file
    // without updates, and shrinks again when the report is cleared.
    if (shown == problemsShown_) {
        return;
    }
    problemsShown_ = shown;
    RECT window;
    ::GetWindowRect(dialog_, &window);
    if (shown) {
        RECT list;
        ::GetWindowRect(Item(IDC_PROBLEMS), &list);
        RECT client;
        ::GetClientRect(dialog_, &client);
        ::MapWindowPoints(dialog_, nullptr, reinterpret_cast<POINT*>(&client), 2);
        RECT margin{0, 0, 0, 7};
        ::MapDialogRect(dialog_, &margin);
        problemsGrowth_ = std::max(0, static_cast<int>(list.bottom + margin.bottom - client.bottom));
    }
    const int height = window.bottom - window.top + (shown ? problemsGrowth_ : -problemsGrowth_);
    ::SetWindowPos(dialog_, nullptr, 0, 0, window.right - window.left, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int id : {IDC_PROBLEMS_HEADING, IDC_PROBLEMS}) {
        ::ShowWindow(Item(id), shown ? SW_SHOWNA : SW_HIDE);
    }
}

void MainWindow::OnClear()
{
    if (busy_) {
        return;
    }
    report_.clear();
    ::SetWindowTextW(Item(IDC_REPORT), L"");
    ::SendMessageW(Item(IDC_PROBLEMS), LB_RESETCONTENT, 0, 0);
    ::SendMessageW(Item(IDC_PROBLEMS), LB_SETHORIZONTALEXTENT, 0, 0);
    problemCount_ = 0;
    ShowProblems(false);
    ::SetWindowTextW(Item(IDC_STATUS), L"");
}

void MainWindow::OnSave()
{
    if (busy_) {
        return;
    }
    const std::optional<SaveChoice> choice = chooseSaveFile(dialog_);
    if (!choice) {
        return;
    }
    std::string bytes;
    if (choice->crlf) {
        bytes = report_;
    } else {
        // CR LF becomes LF; a CR of anything else (a member name may hold one) stays.
        bytes.reserve(report_.size());
        for (std::size_t i = 0; i < report_.size(); ++i) {
            if (!(report_[i] == '\r' && i + 1 < report_.size() && report_[i + 1] == '\n')) {
                bytes += report_[i];
            }
        }
    }
    if (const DWORD error = WriteWholeFile(choice->path, bytes); error != 0) {
        wchar_t* reason = nullptr;
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<LPWSTR>(&reason), 0, nullptr);
        std::wstring because = reason != nullptr ? reason : L"error " + std::to_wstring(error);
        ::LocalFree(reason);
        while (!because.empty() && (because.back() == L'\n' || because.back() == L'\r')) {
            because.pop_back();
        }
        showError(dialog_, resources_.Format(IDS_SAVE_FAILED, {choice->path, because}), MB_OK | MB_ICONSTOP);
    }
}

void MainWindow::Stop()
{
    if (!busy_) {
        return;
    }
    stopping_ = true;
    pending_.clear();
    runner_->RequestStop();
    ::SetWindowTextW(Item(IDC_STATUS), resources_.String(IDS_STOPPING).c_str());
}

void MainWindow::Close()
{
    // A running command stops at its next poll (within milliseconds, also
    // inside a large file); nothing of it is left behind.
    pending_.clear();
    if (runner_) {
        runner_->Shutdown();
    }
    commandRunning_ = false;
    busy_ = false;
    if (dialog_ != nullptr) {
        ::DestroyWindow(dialog_);
    }
}

void MainWindow::SetBusy(bool busy)
{
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    HWND focus = ::GetFocus();
    for (int id : {IDC_SELECT_FILE, IDC_CLEAR, IDC_SAVE}) {
        if (busy && focus == Item(id)) {
            ::SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_REPORT)), TRUE);
        }
        ::EnableWindow(Item(id), busy ? FALSE : TRUE);
    }
    ::EnableWindow(Item(IDC_STOP), busy ? TRUE : FALSE);
    if (busy) {
        totals_ = Totals{};
        totals_.began = std::chrono::steady_clock::now();
        ShowProgress();
        ::SetTimer(dialog_, kProgressTimer, kProgressInterval, nullptr);
    } else {
        if (::GetFocus() == Item(IDC_STOP) || ::GetFocus() == nullptr) {
            ::SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_REPORT)), TRUE);
        }
        ::KillTimer(dialog_, kProgressTimer);
        ShowSummary();
    }
    // The pointer changes at once, not at its next move.
    POINT cursor;
    ::GetCursorPos(&cursor);
    if (::WindowFromPoint(cursor) == dialog_ || ::IsChild(dialog_, ::WindowFromPoint(cursor))) {
        ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_APPSTARTING : IDC_ARROW));
    }
}

void MainWindow::ShowProgress()
{
    if (stopping_) {
        return;
    }
    std::string current;
    const RunProgress progress = runner_->Progress(current);
    ::SetWindowTextW(Item(IDC_STATUS),
                     resources_
                         .Format(IDS_ANALYSING,
                                 {Number(progress.done), Number(progress.found), WideFromUtf8(VisibleText(current))})
                         .c_str());
}

void MainWindow::ShowSummary()
{
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - totals_.began).count();
    wchar_t time[32];
    std::swprintf(time, std::size(time), L"%.2f", seconds);
    const unsigned outcome = totals_.failed ? IDS_FAILED : totals_.stopped ? IDS_STOPPED : IDS_DONE;
    ::SetWindowTextW(Item(IDC_STATUS), resources_
                                           .Format(IDS_SUMMARY, {resources_.String(outcome), Number(totals_.files),
                                                                 Number(totals_.members), Number(totals_.updates),
                                                                 Number(totals_.problems), time})
                                           .c_str());
}

std::vector<std::wstring> MainWindow::ProblemLines() const
{
    std::vector<std::wstring> lines;
    HWND list = Item(IDC_PROBLEMS);
    const auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring line(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)),
                          L'\0');
        ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()));
        lines.push_back(line);
    }
    return lines;
}

std::wstring MainWindow::StatusText() const
{
    HWND status = Item(IDC_STATUS);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(status)), L'\0');
    ::GetWindowTextW(status, text.data(), static_cast<int>(text.size() + 1));
    return text;
}

}  // namespace veskari::win
