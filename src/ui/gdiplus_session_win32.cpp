#include "ui/gdiplus_session_win32.h"

#include "launcher/system_library_win32.h"

namespace zorv {
namespace {

const wchar_t kLibrary[] = L"gdiplus.dll";

template <typename Function>
bool Find(Function*& function, const char* name) {
    function = SystemFunction<Function>(kLibrary, name);
    return function != nullptr;
}

}  // namespace

GdiplusSession::GdiplusSession() {
    decltype(Gdiplus::GdiplusStartup)* startup = nullptr;
    if (!Find(startup, "GdiplusStartup") || !Find(shutdown_, "GdiplusShutdown") || !FindFunctions()) return;
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread, external codecs
    started_ = startup(&token_, &input, nullptr) == Gdiplus::Ok;
}

GdiplusSession::~GdiplusSession() {
    if (started_) shutdown_(token_);
}

bool GdiplusSession::FindFunctions() {
    return Find(createBitmapFromFile, "GdipCreateBitmapFromFile") && Find(getImageWidth, "GdipGetImageWidth") &&
           Find(getImageHeight, "GdipGetImageHeight") && Find(disposeImage, "GdipDisposeImage") &&
           Find(createBitmapFromScan0, "GdipCreateBitmapFromScan0") &&
           Find(getImageGraphicsContext, "GdipGetImageGraphicsContext") && Find(deleteGraphics, "GdipDeleteGraphics") &&
           Find(setSmoothingMode, "GdipSetSmoothingMode") &&
           Find(setCompositingQuality, "GdipSetCompositingQuality") &&
           Find(setInterpolationMode, "GdipSetInterpolationMode") &&
           Find(createImageAttributes, "GdipCreateImageAttributes") &&
           Find(setImageAttributesWrapMode, "GdipSetImageAttributesWrapMode") &&
           Find(disposeImageAttributes, "GdipDisposeImageAttributes") &&
           Find(drawImageRectRectI, "GdipDrawImageRectRectI");
}

}  // namespace zorv
