// The launcher's own splash window: the picture is decoded and drawn once,
// with GDI+, into a bitmap with an alpha channel that a layered window shows,
// so that transparent pixels show what lies behind the picture. Only the part
// of the picture that lies on the desktop is drawn.
#include "launcher/platform_win32.h"

#include "launcher/unique_handle.h"
#include "ui/gdiplus_session_win32.h"
#include "ui/splash_window.h"

namespace zorv {
namespace {

const wchar_t kClassName[] = L"SplashScreenWindow";
const UINT kClassStyle = CS_DBLCLKS | CS_SAVEBITS | CS_DROPSHADOW;
// Beyond 8K by 8K a splash cannot be seen whole on any screen, and decoding
// it would keep the splash thread, and so CloseSplash, busy for many seconds.
const unsigned long long kMostPixels = 8192ull * 8192ull;
// Enough for a JPEG's frame header behind the usual metadata.
const std::size_t kHeadBytes = 65536;

// The picture's first bytes, where its size is written.
std::string FileHead(const std::wstring& path) {
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::string();
    std::string head(kHeadBytes, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), &head[0], static_cast<DWORD>(head.size()), &read, nullptr)) return std::string();
    head.resize(read);
    return head;
}

// Both GDI+ and the imaging component under it may decode a whole picture
// before they tell its size; the header tells it at once.
bool TooLargeToShow(const std::wstring& path) {
    int width = 0;
    int height = 0;
    return PictureSizeFromHeader(FileHead(path), width, height) &&
           static_cast<unsigned long long>(width) * static_cast<unsigned long long>(height) > kMostPixels;
}

// An object selected into a device context for one scope.
class ScopedSelection {
public:
    ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelection() { SelectObject(dc_, previous_); }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Drawn once at the picture's own size: the part that can be seen, into
// premultiplied 32-bit pixels that start out fully transparent.
ScopedBitmap Render(const GdiplusSession& gdiplus, Gdiplus::GpImage* picture, const PixelArea& part) {
    if (part.width <= 0 || part.height <= 0) return ScopedBitmap();
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = part.width;
    info.bmiHeader.biHeight = -part.height;  // top row first, as GDI+ lays out its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    ScopedBitmap rendered(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!rendered || bits == nullptr) return ScopedBitmap();
    Gdiplus::GpBitmap* madeCanvas = nullptr;
    if (gdiplus.createBitmapFromScan0(part.width, part.height, part.width * 4, PixelFormat32bppPARGB,
                                      static_cast<BYTE*>(bits), &madeCanvas) != Gdiplus::Ok)
        return ScopedBitmap();
    GdiplusObject<Gdiplus::GpImage> canvas(madeCanvas, {gdiplus.disposeImage});
    Gdiplus::GpGraphics* madeGraphics = nullptr;
    if (gdiplus.getImageGraphicsContext(canvas.get(), &madeGraphics) != Gdiplus::Ok) return ScopedBitmap();
    GdiplusObject<Gdiplus::GpGraphics> graphics(madeGraphics, {gdiplus.deleteGraphics});
    gdiplus.setSmoothingMode(graphics.get(), Gdiplus::SmoothingModeHighQuality);
    gdiplus.setCompositingQuality(graphics.get(), Gdiplus::CompositingQualityHighQuality);
    gdiplus.setInterpolationMode(graphics.get(), Gdiplus::InterpolationModeHighQualityBicubic);
    Gdiplus::GpImageAttributes* madeAttributes = nullptr;
    if (gdiplus.createImageAttributes(&madeAttributes) != Gdiplus::Ok) return ScopedBitmap();
    GdiplusObject<Gdiplus::GpImageAttributes> attributes(madeAttributes, {gdiplus.disposeImageAttributes});
    gdiplus.setImageAttributesWrapMode(attributes.get(), Gdiplus::WrapModeTileFlipXY, 0xFF000000, FALSE);
    Gdiplus::GpStatus status =
        gdiplus.drawImageRectRectI(graphics.get(), picture, 0, 0, part.width, part.height, part.left, part.top,
                                   part.width, part.height, Gdiplus::UnitPixel, attributes.get(), nullptr, nullptr);
    return status == Gdiplus::Ok ? std::move(rendered) : ScopedBitmap();
}

PixelArea Desktop() {
    return PixelArea{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                     GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

bool RegisterClassOnce(const WNDCLASSEXW& description) {
    return RegisterClassExW(&description) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

class Win32SplashScreenWindow : public SplashScreenWindow {
public:
    void Serve(const std::wstring& picturePath, bool shadow, std::atomic<WindowHandle>& record) override;

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool RegisterWindowClass(HINSTANCE instance, bool shadow);
    HWND Create(const std::wstring& picturePath, bool shadow);
    void RenderPicture(const std::wstring& path);
    void Show(HWND window);
    void Forget(HWND window);

    HWND window_ = nullptr;
    std::atomic<WindowHandle>* record_ = nullptr;
    ScopedBitmap rendered_;
    PixelArea part_;  // of the picture, as rendered_ holds it
    int width_ = 0;
    int height_ = 0;
};

void Win32SplashScreenWindow::Serve(const std::wstring& picturePath, bool shadow, std::atomic<WindowHandle>& record) {
    record_ = &record;
    MSG message;
    // The thread's queue exists from here on, so the quit message finds it
    // however long the picture takes to decode.
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    window_ = Create(picturePath, shadow);
    record = window_;
    if (window_ != nullptr) {
        Show(window_);
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
    }
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (window_ != nullptr) DestroyWindow(window_);
    record = nullptr;
    record_ = nullptr;
}

bool Win32SplashScreenWindow::RegisterWindowClass(HINSTANCE instance, bool shadow) {
    WNDCLASSEXW description = {};
    description.cbSize = sizeof description;
    description.style = shadow ? kClassStyle : kClassStyle & ~CS_DROPSHADOW;
    description.lpfnWndProc = WindowProcedure;
    description.hInstance = instance;
    description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    description.lpszClassName = kClassName;
    if (RegisterClassOnce(description)) return true;
    if (!shadow) return false;
    // Some systems refuse the drop shadow; a splash without one is still a splash.
    description.style &= ~CS_DROPSHADOW;
    return RegisterClassOnce(description);
}

HWND Win32SplashScreenWindow::Create(const std::wstring& picturePath, bool shadow) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(instance, shadow)) return nullptr;
    RenderPicture(picturePath);
    SplashPlacement place = CentreOnScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), width_, height_);
    // A layered window shows nothing until it is given pixels; without a
    // picture the window stays an ordinary one of size 0 by 0.
    const DWORD layered = rendered_ ? WS_EX_LAYERED : 0;
    return CreateWindowExW(WS_EX_TOOLWINDOW | layered, kClassName, L"", WS_POPUP, place.left, place.top, width_,
                           height_, nullptr, nullptr, instance, this);
}

// A picture that cannot be loaded or drawn, or is too large to show, leaves a
// size of 0 by 0: a window that shows nothing, and nothing to report.
void Win32SplashScreenWindow::RenderPicture(const std::wstring& path) {
    rendered_.reset();
    width_ = 0;
    height_ = 0;
    if (TooLargeToShow(path)) return;
    GdiplusSession gdiplus;
    if (!gdiplus.Started()) return;
    Gdiplus::GpBitmap* loaded = nullptr;
    if (gdiplus.createBitmapFromFile(path.c_str(), &loaded) != Gdiplus::Ok) return;
    GdiplusObject<Gdiplus::GpImage> picture(loaded, {gdiplus.disposeImage});
    UINT pictureWidth = 0;
    UINT pictureHeight = 0;
    if (gdiplus.getImageWidth(picture.get(), &pictureWidth) != Gdiplus::Ok ||
        gdiplus.getImageHeight(picture.get(), &pictureHeight) != Gdiplus::Ok)
        return;
    const int width = static_cast<int>(pictureWidth);
    const int height = static_cast<int>(pictureHeight);
    SplashPlacement place = CentreOnScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), width, height);
    part_ = VisiblePart(place, width, height, Desktop());
    rendered_ = Render(gdiplus, picture.get(), part_);
    if (!rendered_) return;
    width_ = width;
    height_ = height;
}

// The system composes a layered window from its pixels and their alpha; it
// needs no painting after this. Only the rendered part is handed over, at
// its place in the window.
void Win32SplashScreenWindow::Show(HWND window) {
    if (!rendered_) return;
    HDC screen = GetDC(nullptr);
    ScopedMemoryDc memory(CreateCompatibleDC(screen));
    ReleaseDC(nullptr, screen);
    if (!memory) return;
    ScopedSelection selection(memory.get(), rendered_.get());
    SIZE size = {width_, height_};
    POINT source = {-part_.left, -part_.top};
    RECT dirty = {part_.left, part_.top, part_.left + part_.width, part_.top + part_.height};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UPDATELAYEREDWINDOWINFO update = {sizeof update, nullptr, nullptr, &size, memory.get(), &source, 0, &blend,
                                      ULW_ALPHA, &dirty};
    UpdateLayeredWindowIndirect(window, &update);
}

// However the window ends (closed from outside as well), error boxes must not
// be given it as their owner any longer.
void Win32SplashScreenWindow::Forget(HWND window) {
    if (window != window_) return;
    window_ = nullptr;
    WindowHandle expected = window;
    if (record_ != nullptr) record_->compare_exchange_strong(expected, nullptr);
}

LRESULT CALLBACK Win32SplashScreenWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* creation = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32SplashScreenWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) {
        switch (message) {
            case WM_ERASEBKGND:
                return 1;
            case WM_NCDESTROY:
                self->Forget(window);
                break;
            default:
                break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<SplashScreenWindow> Win32Desktop::NewSplashScreenWindow() {
    return std::make_unique<Win32SplashScreenWindow>();
}

}  // namespace zorv
