#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "launcher/platform_posix.h"
#include "launcher/text.h"
#include "launcher/trace.h"

int main(int argc, char** argv) {
    zorv::PosixPlatform platform(std::vector<std::string>(argv, argv + argc));
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
