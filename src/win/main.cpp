// veskari.exe: the window on Windows, one dialog over the same analysis as
// veskari-scan.exe. Paths given to the program (files dropped on its icon,
// "Open with", "Send to") are analysed as the first command.

#include "main_window.h"
#include "platform/memory.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/)
{
    using namespace veskari;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    KeepFreedMemoryForReuse();
    const win::Resources resources(instance, win::WindowLanguage());
    win::MainWindow window(resources);
    if (!window.Create()) {
        return 1;
    }
    int count = 0;
    if (LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        std::vector<std::string> paths;
        for (int i = 1; i < count; ++i) {
            paths.push_back(windows::Utf8FromWide(arguments[i]));
        }
        ::LocalFree(arguments);
        window.AnalyzePaths(std::move(paths));
    }
    return window.Run();
}
