#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "launcher/platform_posix.h"
#include "launcher/trace.h"

int main(int argc, char** argv) {
    zorv::PosixPlatform platform(std::vector<std::string>(argv, argv + argc));
    return zorv::LaunchApplication(platform, zorv::OpenLauncherTrace());
}
