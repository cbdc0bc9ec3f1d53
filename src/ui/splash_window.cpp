#include "ui/splash_window.h"

#include <algorithm>
#include <cstdint>

#include "launcher/file_locations.h"
#include "launcher/launcher.h"

namespace zorv {

SplashPlacement CentreOnScreen(int screenWidth, int screenHeight, int pictureWidth, int pictureHeight) {
    // Integer division truncates toward zero, as the placement rule wants.
    return SplashPlacement{(screenWidth - pictureWidth) / 2, (screenHeight - pictureHeight) / 2};
}

PixelArea VisiblePart(SplashPlacement at, int pictureWidth, int pictureHeight, const PixelArea& desktop) {
    // In 64 bits: a desktop edge plus a picture size may pass the int range.
    const long long left = std::max<long long>(at.left, desktop.left);
    const long long top = std::max<long long>(at.top, desktop.top);
    const long long right = std::min<long long>(static_cast<long long>(at.left) + pictureWidth,
                                                static_cast<long long>(desktop.left) + desktop.width);
    const long long bottom = std::min<long long>(static_cast<long long>(at.top) + pictureHeight,
                                                 static_cast<long long>(desktop.top) + desktop.height);
    if (right <= left || bottom <= top) return PixelArea();
    return PixelArea{static_cast<int>(left - at.left), static_cast<int>(top - at.top), static_cast<int>(right - left),
                     static_cast<int>(bottom - top)};
}

namespace {

unsigned Byte(const std::string& bytes, std::size_t at) { return static_cast<unsigned char>(bytes[at]); }
unsigned BigEndian16(const std::string& b, std::size_t at) { return Byte(b, at) << 8 | Byte(b, at + 1); }
unsigned long BigEndian32(const std::string& b, std::size_t at) {
    return static_cast<unsigned long>(BigEndian16(b, at)) << 16 | BigEndian16(b, at + 2);
}
unsigned LittleEndian16(const std::string& b, std::size_t at) { return Byte(b, at) | Byte(b, at + 1) << 8; }
long LittleEndian32(const std::string& b, std::size_t at) {
    unsigned long value = LittleEndian16(b, at) | static_cast<unsigned long>(LittleEndian16(b, at + 2)) << 16;
    return static_cast<long>(static_cast<std::int32_t>(value));
}

bool Sized(long long w, long long h, int& width, int& height) {
    if (w <= 0 || h <= 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

// The frame header (SOF0 to SOF15, but for DHT, JPG and DAC) follows
// segments whose lengths lead from one marker to the next.
bool JpegSize(const std::string& b, int& width, int& height) {
    std::size_t at = 2;
    while (at + 9 <= b.size()) {
        if (Byte(b, at) != 0xFF) return false;
        unsigned marker = Byte(b, at + 1);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) return Sized(BigEndian16(b, at + 7), BigEndian16(b, at + 5), width, height);
        at += 2 + BigEndian16(b, at + 2);
    }
    return false;
}

}  // namespace

bool PictureSizeFromHeader(const std::string& b, int& width, int& height) {
    if (b.size() >= 24 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 && b.compare(12, 4, "IHDR") == 0)
        return Sized(BigEndian32(b, 16), BigEndian32(b, 20), width, height);
    if (b.size() >= 10 && (b.compare(0, 6, "GIF87a") == 0 || b.compare(0, 6, "GIF89a") == 0))
        return Sized(LittleEndian16(b, 6), LittleEndian16(b, 8), width, height);
    // BITMAPINFOHEADER and its successors; a negative height is a top-down bitmap.
    if (b.size() >= 26 && b.compare(0, 2, "BM") == 0 && LittleEndian32(b, 14) >= 40) {
        long long h = LittleEndian32(b, 22);
        return Sized(LittleEndian32(b, 18), h < 0 ? -h : h, width, height);
    }
    if (b.size() >= 4 && Byte(b, 0) == 0xFF && Byte(b, 1) == 0xD8) return JpegSize(b, width, height);
    return false;
}

bool SplashShadowRequested(const std::wstring& setting) { return setting == L"true"; }

std::wstring NativeSplashLibraryPath(const std::wstring& jvmLibraryPath, const wchar_t* libraryName) {
    if (jvmLibraryPath.empty()) return std::wstring();
    std::wstring path = RemovePathComponents(jvmLibraryPath, 2);
    if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path += L'\\';
    return path + libraryName;
}

namespace {

// The splash thread: serves the own window until CloseSplash posts the quit message.
std::uint32_t SplashThreadMain(void* argument) {
    SplashScreen& splash = *static_cast<SplashScreen*>(argument);
    splash.window->Serve(splash.picturePath, splash.shadow, splash.windowHandle);
    return 0;
}

}  // namespace

// A splash that cannot start is no reason to keep the application from
// starting: whatever fails here, the start goes on.
void Launcher::StartSplash(const PresentationSettings& presentation, const std::wstring& jvmLibraryPath) {
    splash.picturePath = presentation.splashPicture;
    splash.shadow = presentation.splashShadow;
    if (splash.picturePath.empty()) return;
    const SystemConventions& conventions = platform.Conventions();
    std::wstring library = NativeSplashLibraryPath(jvmLibraryPath, conventions.nativeSplashLibrary);
    if (!library.empty() && !platform.files().FileExists(library)) library.clear();
    if ((presentation.preferNativeSplash || !conventions.ownSplashWindow) && !library.empty() &&
        StartNativeSplash(library, splash.picturePath, jvmLibraryPath))
        return;
    splash.window = platform.desktop().NewSplashScreenWindow();
    if (splash.window == nullptr) return;
    splash.thread = platform.processes().StartThread(SplashThreadMain, &splash);
}

void CloseSplash(SplashScreen& splash) {
    if (splash.window == nullptr) return;
    splash.thread.End();
    splash.window.reset();
}

}  // namespace zorv
