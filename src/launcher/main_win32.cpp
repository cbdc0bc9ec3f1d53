#include "launcher/launcher.h"
#include "launcher/platform_win32.h"
#include "launcher/trace.h"
#include "launcher/win32_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything else is loaded: libraries loaded later by name (by the
    // runtime, its AWT, JNI libraries, shell dialogs) come from the system
    // folder and the folders the launcher adds, never from the current
    // folder or Path.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS);
    SetThreadLocale(GetSystemDefaultLCID());
    zorv::UsePerMonitorDpiOnThisThread();
    // The first call into the window system gives this thread its message queue.
    DefWindowProcW(nullptr, WM_NULL, 0, 0);
    // Both launchers are one program: the subsystem in the header, set by the
    // build or by zorvtool, says which kind this copy is.
    zorv::Win32Platform platform(zorv::StartedAsConsoleProgram());
    return zorv::LaunchApplication(platform, zorv::OpenLauncherTrace());
}
