// veskari.exe: the window on Windows, one dialog over the same analysis as
// veskari-scan.exe.

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
    return window.Run();
}
