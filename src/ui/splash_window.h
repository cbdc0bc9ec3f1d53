// The decisions of the splash start that need no window: which settings mean
// what, where the runtime keeps its splash library, where the window goes.
#pragma once

#include <string>

namespace zorv {

struct SplashPlacement {
    int left = 0;
    int top = 0;
};

// The middle of the primary screen. Neither clipped nor moved onto the
// screen: a picture larger than the screen starts left of or above it, by
// half the excess rounded toward zero.
SplashPlacement CentreOnScreen(int screenWidth, int screenHeight, int pictureWidth, int pictureHeight);

struct PixelArea {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The part of a picture placed at `at` that lies on the desktop (all screens),
// in the picture's own coordinates; empty when none does. Only that part is
// worth drawing: a picture many times the screen's size would otherwise cost
// seconds and gigabytes for pixels nobody can see.
PixelArea VisiblePart(SplashPlacement at, int pictureWidth, int pictureHeight, const PixelArea& desktop);

// A picture's size in pixels from the first bytes of a PNG, GIF, BMP or JPEG
// file; false when they do not tell it.
bool PictureSizeFromHeader(const std::string& head, int& width, int& height);

// "Splash Screen Shadow": only exactly "true".
bool SplashShadowRequested(const std::wstring& setting);

// "splashscreen.dll" in the parent folder of the JVM library's folder
// (C:\jre\bin\server\jvm.dll gives C:\jre\bin\splashscreen.dll); empty for an
// empty JVM library path.
std::wstring NativeSplashLibraryPath(const std::wstring& jvmLibraryPath, const wchar_t* libraryName);

}  // namespace zorv
