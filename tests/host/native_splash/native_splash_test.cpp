// The calls that the Windows launcher makes to a runtime's splashscreen.dll,
// made to the host JDK's libsplashscreen.so on an X display. What differs:
// the library needs libjava.so and with it libjvm.so, so the JVM library is
// loaded first (on Windows the launcher adds its folder to the search path);
// SplashLoadFile reports 1 or 0, which the launcher ignores; it reads PNG,
// GIF and JPEG but no BMP.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "launcher/launcher.h"
#include "posix_platform.h"

namespace zorv {
namespace {

using testing::FromUtf8;
using testing::PosixPlatform;

// Whether a top-level window of this size ("97x61") is on the screen, within
// five seconds, or no longer there.
bool ScreenShowsWindow(const std::string& size, bool shown) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::string tree;
        if (FILE* pipe = popen("xwininfo -root -tree", "r")) {
            char buffer[4096];
            for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) tree.append(buffer, read);
            pclose(pipe);
        }
        if ((tree.find(" " + size + "+") != std::string::npos) == shown) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST(RealSplashLibrary, ShowsThePictureUntilTheCloseActionRunsOnce) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display: run it under xvfb-run";
    char folder[] = "/tmp/zorv-native-splash-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string picture = std::string(folder) + "/splash.png";
    ASSERT_EQ(std::system(("convert -size 97x61 xc:orange " + picture).c_str()), 0);

    PosixPlatform platform;
    Launcher launcher(platform);
    const std::wstring jvmLibraryPath = FromUtf8(ZORV_TEST_JVM_LIBRARY);
    SystemError error;
    ASSERT_NE(platform.libraries().LoadLibraryAt(jvmLibraryPath, error), nullptr);
    ASSERT_TRUE(launcher.StartNativeSplash(FromUtf8(ZORV_TEST_SPLASH_LIBRARY), FromUtf8(picture), jvmLibraryPath));
    EXPECT_NE(launcher.splash.nativeClose.Held(), nullptr);
    EXPECT_TRUE(ScreenShowsWindow("97x61", true));
    launcher.splash.nativeClose.Run();
    EXPECT_EQ(launcher.splash.nativeClose.Held(), nullptr);
    EXPECT_TRUE(ScreenShowsWindow("97x61", false));

    std::remove(picture.c_str());
    rmdir(folder);
}

}  // namespace
}  // namespace zorv
