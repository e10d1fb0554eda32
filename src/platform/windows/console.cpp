#include "platform/console.h"

#include "platform/windows/windows_api.h"  // before shellapi.h, which needs windows.h

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

namespace veskari {
namespace {

UINT gConsoleCodePage = 0;  // the console's own code page, restored at the end

void RestoreConsoleCodePage()
{
    if (gConsoleCodePage != 0) {
        ::SetConsoleOutputCP(gConsoleCodePage);
    }
}

// Ctrl+C ends the program as before; the console gets its code page back first.
BOOL WINAPI RestoreOnInterrupt(DWORD /*event*/)
{
    RestoreConsoleCodePage();
    return FALSE;
}

}  // namespace

void PrepareStandardStreams()
{
    (void)::_setmode(::_fileno(stdout), _O_BINARY);
    (void)::_setmode(::_fileno(stderr), _O_BINARY);
    DWORD mode = 0;
    const bool console = ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) ||
                         ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode);
    const UINT codePage = ::GetConsoleOutputCP();
    if (console && codePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
        gConsoleCodePage = codePage;
        std::atexit(RestoreConsoleCodePage);
        ::SetConsoleCtrlHandler(RestoreOnInterrupt, TRUE);
    }
}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        arguments.push_back(windows::Utf8FromWide(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

}  // namespace veskari
