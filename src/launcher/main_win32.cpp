#include "launcher/launcher.h"
#include "launcher/platform_win32.h"
#include "launcher/text.h"
#include "launcher/trace.h"
#include "launcher/win32_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    SetThreadLocale(GetSystemDefaultLCID());
    // The first call into the window system gives this thread its message queue.
    DefWindowProcW(nullptr, WM_NULL, 0, 0);
    zorv::Win32Platform platform;
    std::unique_ptr<zorv::Trace> trace = zorv::OpenLauncherTrace();
    platform.trace = trace.get();
    if (trace) trace->Line(L"launcher: command line " + platform.CommandLine());
    int result = -1;
    {
        zorv::Launcher launcher(platform);
        if (launcher.Initialise()) result = launcher.Run();
        else if (trace) trace->Line(L"launcher: initialisation ended the start");
    }
    if (trace) trace->Line(L"launcher: exit code " + zorv::DecimalText(result));
    return result;
}
