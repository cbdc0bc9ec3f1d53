#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "launcher/platform_posix.h"

int main(int argc, char** argv) {
    zorv::PosixPlatform platform(std::vector<std::string>(argv, argv + argc));
    int result = -1;
    {
        zorv::Launcher launcher(platform);
        if (launcher.Initialise()) result = launcher.Run();
    }
    return result;
}
