#include <gtest/gtest.h>

#include "fake_platform.h"
#include "launcher/launcher.h"
#include "ui/splash_window.h"

namespace zorv {
namespace {

using testing::FakePlatform;

TEST(SplashPlacement, CentredWithTruncationAndOnlyTheDesktopPartDrawn) {
    SplashPlacement place = CentreOnScreen(1920, 1080, 1000, 800);
    EXPECT_EQ(place.left, 460);
    EXPECT_EQ(place.top, 140);
    // -1/2 and -7/2 truncate toward zero; flooring would give -1 and -4.
    place = CentreOnScreen(1920, 1080, 1921, 1087);
    EXPECT_EQ(place.left, 0);
    EXPECT_EQ(place.top, -3);

    const PixelArea screen{0, 0, 1920, 1080};
    PixelArea part = VisiblePart(CentreOnScreen(1920, 1080, 1000, 800), 1000, 800, screen);
    EXPECT_EQ((std::vector<int>{part.left, part.top, part.width, part.height}), (std::vector<int>{0, 0, 1000, 800}));
    part = VisiblePart(CentreOnScreen(1920, 1080, 20000, 20000), 20000, 20000, screen);
    EXPECT_EQ((std::vector<int>{part.left, part.top, part.width, part.height}),
              (std::vector<int>{9040, 9460, 1920, 1080}));
    // A second screen to the left shows what sticks out on that side.
    part = VisiblePart(CentreOnScreen(1920, 1080, 4000, 100), 4000, 100, PixelArea{-1280, 0, 3200, 1080});
    EXPECT_EQ((std::vector<int>{part.left, part.width}), (std::vector<int>{0, 2960}));
    part = VisiblePart(SplashPlacement{960, 540}, 0, 0, screen);
    EXPECT_EQ(part.width * part.height, 0);
}

TEST(SplashPicture, SizeReadFromTheHeaderOfEachFormat) {
    auto size = [](const std::string& head) {
        int width = -1;
        int height = -1;
        bool known = PictureSizeFromHeader(head, width, height);
        return known ? std::to_string(width) + "x" + std::to_string(height) : std::string("unknown");
    };
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x4e\x20\0\0\x4e\x21", 24);
    EXPECT_EQ(size(png), "20000x20001");
    EXPECT_EQ(size(png.substr(0, 23)), "unknown");
    EXPECT_EQ(size(std::string("GIF89a\x2d\x01\xcb\x00", 10)), "301x203");
    // A top-down bitmap has a negative height.
    std::string bmp("BM", 2);
    bmp += std::string(12, '\0') + std::string("\x28\0\0\0\x2d\x01\0\0\x35\xff\xff\xff", 12);
    EXPECT_EQ(size(bmp), "301x203");
    // Metadata first, then the progressive frame header.
    const std::string jpeg("\xff\xd8\xff\xe1\x00\x04\xab\xcd\xff\xc2\x00\x11\x08\x00\xcb\x01\x2d\x03", 18);
    EXPECT_EQ(size(jpeg), "301x203");
    EXPECT_EQ(size(jpeg.substr(0, 12)), "unknown");
    EXPECT_EQ(size(std::string("\xff\xd8\xff\xc4\x00\x00\xff", 7) + std::string(20, '\xff')), "unknown");
    EXPECT_EQ(size(""), "unknown");
    EXPECT_EQ(size(std::string(png).replace(16, 4, std::string(4, '\0'))), "unknown");
}

TEST(SplashSettings, RuntimesLibraryIsLookedForBesideTheBinFolder) {
    EXPECT_EQ(NativeSplashLibraryPath(L"C:\\jre\\bin\\server\\jvm.dll", L"splashscreen.dll"),
              L"C:\\jre\\bin\\splashscreen.dll");
    EXPECT_EQ(NativeSplashLibraryPath(L"jvm.dll", L"splashscreen.dll"), L"jvm.dll\\splashscreen.dll");
    EXPECT_EQ(NativeSplashLibraryPath(L"", L"splashscreen.dll"), L"");
}

TEST(SplashStart, NothingToCloseWithoutPictureOrThreadAndThePictureFromTheSettingsFile) {
    FakePlatform platform;
    Launcher launcher{platform};
    PresentationSettings presentation;
    const std::wstring jvm = L"C:\\jre\\bin\\server\\jvm.dll";
    launcher.StartSplash(presentation, jvm);
    EXPECT_EQ(platform.threadsStarted, 0);

    platform.SetProfile(L"C:\\app\\app.ini", L"Display", L"Splash Screen", L"splash.png");
    platform.SetProfile(L"C:\\app\\app.ini", L"Java Runtime Environment", L"Main Class", L"App");
    ProgramFiles files;
    LauncherSettings settings;
    ASSERT_TRUE(ReadLauncherSettings(platform, files, settings));
    EXPECT_EQ(settings.presentation.splashPicture, L"splash.png");
    platform.refuseThreads = true;
    launcher.StartSplash(settings.presentation, jvm);
    EXPECT_TRUE(platform.splashesServed.empty());
    CloseSplash(launcher.splash);
    CloseSplash(launcher.splash);
    EXPECT_TRUE(platform.threadsEnded.empty());
    EXPECT_EQ(launcher.splash.window, nullptr);
}

// The splash thread is owned: closed once however often the splash is
// closed, handed on by a move without being ended, and ended by its last
// owner when nobody closed it.
TEST(SplashStart, TheSplashThreadEndsOnceAndWithItsLastOwner) {
    FakePlatform platform;
    PresentationSettings presentation;
    presentation.splashPicture = L"C:\\app\\splash.png";
    Launcher launcher{platform};
    launcher.StartSplash(presentation, L"C:\\jre\\bin\\server\\jvm.dll");
    ASSERT_EQ(platform.threadsStarted, 1);
    EXPECT_EQ(launcher.splash.thread.Id(), 1u);
    CloseSplash(launcher.splash);
    CloseSplash(launcher.splash);
    EXPECT_EQ(platform.threadsEnded, (std::vector<std::uint32_t>{1}));
    EXPECT_FALSE(launcher.splash.thread);

    {
        MessageLoopThread first = platform.processes().StartThread([](void*) -> std::uint32_t { return 0; }, nullptr);
        MessageLoopThread last = std::move(first);
        EXPECT_FALSE(first);
        EXPECT_EQ(platform.threadsEnded.size(), 1u) << "a move ended the thread";
    }
    EXPECT_EQ(platform.threadsEnded, (std::vector<std::uint32_t>{1, 2}));
}

}  // namespace
}  // namespace zorv
