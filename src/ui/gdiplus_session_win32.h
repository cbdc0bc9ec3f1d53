// GDI+ for the splash: gdiplus.dll loaded from the system folder when a
// picture is to be drawn, and started for as long as the session lives. Only
// its flat interface is used, through the functions found here: the C++
// classes of <gdiplus.h> call the library directly, which would put it in the
// import table and load it on every start.
#pragma once

#include "launcher/win32_api.h"

#include <algorithm>
#include <memory>
// Microsoft's GDI+ headers use min and max, which NOMINMAX takes away.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>

namespace zorv {

namespace gdiplus_flat = Gdiplus::DllExports;

// Lives only while a picture is decoded and drawn, on the splash thread: the
// splash starts once per process, and nothing is left to shut down at exit,
// where an application's System.exit could race it.
class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    // False when the library, one of its functions or its start failed: the
    // functions below are then not to be called.
    bool Started() const { return started_; }

    decltype(gdiplus_flat::GdipCreateBitmapFromFile)* createBitmapFromFile = nullptr;
    decltype(gdiplus_flat::GdipGetImageWidth)* getImageWidth = nullptr;
    decltype(gdiplus_flat::GdipGetImageHeight)* getImageHeight = nullptr;
    decltype(gdiplus_flat::GdipDisposeImage)* disposeImage = nullptr;
    decltype(gdiplus_flat::GdipCreateBitmapFromScan0)* createBitmapFromScan0 = nullptr;
    decltype(gdiplus_flat::GdipGetImageGraphicsContext)* getImageGraphicsContext = nullptr;
    decltype(gdiplus_flat::GdipDeleteGraphics)* deleteGraphics = nullptr;
    decltype(gdiplus_flat::GdipSetSmoothingMode)* setSmoothingMode = nullptr;
    decltype(gdiplus_flat::GdipSetCompositingQuality)* setCompositingQuality = nullptr;
    decltype(gdiplus_flat::GdipSetInterpolationMode)* setInterpolationMode = nullptr;
    decltype(gdiplus_flat::GdipCreateImageAttributes)* createImageAttributes = nullptr;
    decltype(gdiplus_flat::GdipSetImageAttributesWrapMode)* setImageAttributesWrapMode = nullptr;
    decltype(gdiplus_flat::GdipDisposeImageAttributes)* disposeImageAttributes = nullptr;
    decltype(gdiplus_flat::GdipDrawImageRectRectI)* drawImageRectRectI = nullptr;

private:
    bool FindFunctions();

    decltype(Gdiplus::GdiplusShutdown)* shutdown_ = nullptr;
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

// A GDI+ object owned for one scope and given back through the session's
// function for its kind (disposeImage, deleteGraphics, ...).
template <typename Object>
struct GdiplusRelease {
    Gdiplus::GpStatus(WINGDIPAPI* release)(Object*);
    void operator()(Object* object) const { release(object); }
};
template <typename Object>
using GdiplusObject = std::unique_ptr<Object, GdiplusRelease<Object>>;

}  // namespace zorv
