#include "launcher/launcher.h"
#include "launcher/platform_win32.h"
#include "launcher/trace.h"
#include "launcher/win32_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    SetThreadLocale(GetSystemDefaultLCID());
    // The first call into the window system gives this thread its message queue.
    DefWindowProcW(nullptr, WM_NULL, 0, 0);
    // Both launchers are one program: the subsystem in the header, set by the
    // build or by zorvtool, says which kind this copy is.
    zorv::Win32Platform platform(zorv::StartedAsConsoleProgram());
    return zorv::LaunchApplication(platform, zorv::OpenLauncherTrace());
}
