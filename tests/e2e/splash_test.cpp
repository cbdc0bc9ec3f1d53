// The splash as a user sees it. The jvm.dll double holds the start at a
// chosen point (FAKEJVM_PAUSE_AT) while the case looks at the launcher's
// window from outside: its class, styles and place, the pixels on the X
// screen (ImageMagick, run on the Linux side), and which window owns a box.
// The runtime's splash library is the splashscreen.dll double, which writes
// into the jvm.dll double's log.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "fake_runtime.h"
#include "launcher/win32_api.h"

#include <tlhelp32.h>

namespace e2e {
namespace {

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

const wchar_t kSplashClass[] = L"SplashScreenWindow";

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// A 24-bit BMP whose 8-pixel checks make a shift by one pixel show, even
// through JPEG's losses.
std::string PatternBmp(int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    std::string bmp(54 + static_cast<std::size_t>(stride) * height, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    Put32(bmp, 2, static_cast<std::uint32_t>(bmp.size()));
    Put32(bmp, 10, 54);
    Put32(bmp, 14, 40);
    Put32(bmp, 18, width);
    Put32(bmp, 22, height);
    Put32(bmp, 26, 1 | 24 << 16);  // one plane, 24 bits a pixel
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            char* pixel = &bmp[54 + static_cast<std::size_t>(height - 1 - y) * stride + x * 3];
            pixel[0] = static_cast<char>((x / 8 + y / 8) % 2 != 0 ? 220 : 30);
            pixel[1] = static_cast<char>(y * 9);
            pixel[2] = static_cast<char>(x * 5);
        }
    }
    return bmp;
}

// One bit a pixel: a 20000 by 20000 picture in 50 MB.
std::string BlankBmp(int side) {
    const std::size_t stride = static_cast<std::size_t>((side + 31) / 32) * 4;
    std::string bmp(62, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    Put32(bmp, 10, 62);
    Put32(bmp, 14, 40);
    Put32(bmp, 18, side);
    Put32(bmp, 22, side);
    Put32(bmp, 26, 1 | 1 << 16);
    Put32(bmp, 58, 0x00FFFFFF);  // the second palette entry
    bmp.append(stride * side, '\0');
    Put32(bmp, 2, static_cast<std::uint32_t>(bmp.size()));
    return bmp;
}


// The X screen shows the picture at the place: pixel for pixel, or within
// fuzzPercent. Drawing may trail the window's appearance, so it is asked thrice.
bool ScreenShows(const Sandbox& sandbox, const std::wstring& picture, const uiauto::Rect& at, int fuzzPercent) {
    char crop[64];
    std::snprintf(crop, sizeof crop, "%dx%d+%d+%d", at.Width(), at.Height(), at.left, at.top);
    const std::string shot = Quoted(sandbox.Path(L"shot.png"));
    const std::string command = "import -window root -crop " + std::string(crop) + " +repage " + shot +
                                " && compare -metric AE -fuzz " + std::to_string(fuzzPercent) + "% " +
                                Quoted(picture) + " " + shot + " null:";
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (RunOnHost(sandbox, command) == 0) return true;
        Sleep(300);
    }
    return false;
}

std::vector<int> Edges(const uiauto::Rect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

std::vector<int> Centred(int width, int height) {
    int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return {left, top, left + width, top + height};
}

HWND Window(std::uintptr_t handle) { return reinterpret_cast<HWND>(handle); }

// The file names, in lower case, of the modules of the running process whose
// executable is named `exe`; empty when there is none.
std::vector<std::wstring> ModulesOf(const wchar_t* exe) {
    std::vector<std::wstring> names;
    DWORD processId = 0;
    HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof process;
    for (BOOL more = Process32FirstW(processes, &process); more && processId == 0; more = Process32NextW(processes, &process)) {
        if (_wcsicmp(process.szExeFile, exe) == 0) processId = process.th32ProcessID;
    }
    CloseHandle(processes);
    if (processId == 0) return names;
    HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    MODULEENTRY32W module = {};
    module.dwSize = sizeof module;
    for (BOOL more = Module32FirstW(modules, &module); more; more = Module32NextW(modules, &module)) {
        std::wstring name = module.szModule;
        for (wchar_t& c : name) c = static_cast<wchar_t>(towlower(c));
        names.push_back(name);
    }
    CloseHandle(modules);
    return names;
}

class SplashWindow : public FakeRuntime {
protected:
    void SetUp() override {
        FakeRuntime::SetUp();
        if (IsSkipped()) return;
        if (UnixPath(sandbox_.Root()).empty()) GTEST_SKIP() << "the screen is read on the Linux side of Wine";
        InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
        const std::wstring event = L"zorv-e2e-splash-" + std::to_wstring(GetCurrentProcessId());
        resume_ = CreateEventW(nullptr, FALSE, FALSE, event.c_str());
        environment_.push_back({L"FAKEJVM_PAUSE", event});
        environment_.push_back({L"FAKESPLASH_LOG", log_});
        onWindow_ = [this](const uiauto::WindowReport& window) {
            if (window.className != kSplashClass) return false;
            ++splashesSeen_;
            if (onSplash_) onSplash_(uiauto::Inspect(window.handle));
            return true;
        };
    }
    void TearDown() override {
        if (resume_ != nullptr) CloseHandle(resume_);
    }

    void WriteDisplay(const Pairs& display, const Pairs& application = {}) {
        Ini ini = Settings({{L"JRE Path", L"rt"}}, application);
        ini.Section(L"Display");
        for (const auto& entry : display) ini.Set(entry.first, entry.second);
        WriteSettings(ini);
    }
    void Set(const std::wstring& name, const std::wstring& value) { environment_.push_back({name, value}); }
    void Resume() { SetEvent(resume_); }
    int Host(const std::string& command) { return RunOnHost(sandbox_, command); }

    void ExpectMainRan() const {
        EXPECT_EQ(WithPrefix(lines_, "call_static_void com/example/App.main").size(), 1u) << LogText();
    }

    HANDLE resume_ = nullptr;
    int splashesSeen_ = 0;
    std::function<void(const uiauto::DialogInfo&)> onSplash_;
};

using NativeSplash = SplashWindow;

// A window of one colour over the whole screen, on a thread of its own that
// keeps it painted: what lies behind a splash.
class Backdrop {
public:
    explicit Backdrop(COLORREF colour) : brush_(CreateSolidBrush(colour)) {
        thread_ = std::thread([this] { Serve(); });
        uiauto::WaitUntil([this] { return ready_.load(); }, 5000);
    }
    ~Backdrop() {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
        DeleteObject(brush_);
    }

private:
    void Serve() {
        threadId_ = GetCurrentThreadId();
        WNDCLASSW description = {};
        description.lpfnWndProc = DefWindowProcW;
        description.hInstance = GetModuleHandleW(nullptr);
        description.hbrBackground = brush_;
        description.lpszClassName = L"ZorvTestBackdrop";
        RegisterClassW(&description);
        HWND window = CreateWindowExW(0, description.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                      description.hInstance, nullptr);
        UpdateWindow(window);
        ready_ = true;
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        DestroyWindow(window);
        UnregisterClassW(description.lpszClassName, description.hInstance);
    }

    HBRUSH brush_;
    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> ready_{false};
};

COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

TEST_F(SplashWindow, TransparentPixelsShowWhatLiesBehindThePicture) {
    // Teal, with its four 16-pixel corners transparent.
    const std::wstring picture = sandbox_.Path(L"corners.png");
    ASSERT_EQ(Host("convert -size 96x64 xc:none -fill '#008080' -draw 'rectangle 16,0 79,63' "
                   "-draw 'rectangle 0,16 95,47' " + Quoted(picture)),
              0);
    WriteDisplay({{L"Splash Screen", L"corners.png"}});
    Set(L"FAKEJVM_PAUSE_AT", L"main");
    const COLORREF magenta = RGB(255, 0, 255);
    const COLORREF teal = RGB(0, 128, 128);
    Backdrop behind(magenta);
    std::vector<COLORREF> seen;
    onSplash_ = [&](const uiauto::DialogInfo& splash) {
        const int left = splash.window.left;
        const int top = splash.window.top;
        uiauto::WaitUntil([&] { return ScreenPixel(left + 48, top + 32) == teal; }, 3000);
        for (POINT at : {POINT{4, 4}, POINT{91, 59}, POINT{48, 32}, POINT{4, 32}})
            seen.push_back(ScreenPixel(left + at.x, top + at.y));
        Resume();
    };
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(splashesSeen_, 1);
    EXPECT_EQ(seen, (std::vector<COLORREF>{magenta, magenta, teal, teal}));
}

TEST_F(SplashWindow, PictureAtItsOwnPixelsInTheMiddleUntilMainReturnsWhileTheApplicationRuns) {
    sandbox_.WriteBytes(L"pictures\\splash.bmp", PatternBmp(301, 203));
    WriteDisplay({{L"Splash Screen", L"pictures\\splash.bmp"}, {L"Splash Screen Shadow", L"true"}});
    Set(L"FAKEJVM_PAUSE_AT", L"main,destroy");
    bool goneWhileRunning = false;
    onSplash_ = [&](const uiauto::DialogInfo& splash) {
        EXPECT_EQ(Edges(splash.window), Centred(301, 203));
        EXPECT_EQ(splash.style & ~(WS_VISIBLE | WS_CLIPSIBLINGS), static_cast<std::uint32_t>(WS_POPUP));
        EXPECT_EQ(splash.exStyle, static_cast<std::uint32_t>(WS_EX_TOOLWINDOW | WS_EX_LAYERED));
        EXPECT_EQ(GetClassLongPtrW(Window(splash.handle), GCL_STYLE), CS_DBLCLKS | CS_SAVEBITS | CS_DROPSHADOW);
        EXPECT_EQ(GetWindow(Window(splash.handle), GW_OWNER), nullptr);
        EXPECT_TRUE(ScreenShows(sandbox_, sandbox_.Path(L"pictures\\splash.bmp"), splash.window, 0));
        Resume();  // main returns; DestroyJavaVM then waits like for an open application window
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, splash.processId);
        goneWhileRunning =
            uiauto::WaitUntilGone(splash.handle, 5000) && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
        CloseHandle(process);
        Resume();
    };
    // Only the exact letters keep the splash away; the switch reaches main either way.
    EXPECT_TRUE(Ended(Start(L"-NOSPLASH"), 0, {}));
    EXPECT_EQ(splashesSeen_, 1);
    EXPECT_TRUE(goneWhileRunning);
    EXPECT_EQ(WithPrefix(lines_, "arg[0]="), std::vector<std::string>{"arg[0]=-NOSPLASH"});
}

// A start without a splash, a dialog or a link maps none of the GUI libraries;
// the splash brings GDI+, once its window is up.
TEST_F(SplashWindow, GuiLibrariesAreLoadedOnlyWhenAFeatureNeedsThem) {
    sandbox_.WriteBytes(L"splash.bmp", PatternBmp(120, 90));
    Set(L"FAKEJVM_PAUSE_AT", L"main");
    const std::vector<std::wstring> gui = {L"gdiplus.dll", L"comctl32.dll", L"shell32.dll", L"ole32.dll"};
    // The modules are read only once the watcher of Ended has counted the
    // splash: resumed earlier, main returns and the window may be gone first.
    std::atomic<bool> splashCounted{false};
    onSplash_ = [&](const uiauto::DialogInfo&) { splashCounted = true; };
    auto loadedWhilePaused = [&](bool splash) {
        std::vector<std::wstring> loaded;
        DeleteFileW(log_.c_str());
        std::thread looker([&] {
            for (int waited = 0; waited < 20000; waited += 50) {
                bool paused = ReadFileBytes(log_).find("pause main") != std::string::npos;
                if (paused && (!splash || splashCounted)) break;
                Sleep(50);
            }
            for (const std::wstring& name : ModulesOf(L"app.exe")) {
                if (name == L"jvm.dll" || std::find(gui.begin(), gui.end(), name) != gui.end()) loaded.push_back(name);
            }
            Resume();
        });
        EXPECT_TRUE(Ended(Start(), 0, {}));
        looker.join();
        std::sort(loaded.begin(), loaded.end());
        return loaded;
    };
    WriteDisplay({});
    EXPECT_EQ(loadedWhilePaused(false), std::vector<std::wstring>{L"jvm.dll"});
    WriteDisplay({{L"Splash Screen", L"splash.bmp"}});
    // What GDI+ needs for itself (COM, for its codecs) comes with it.
    const std::vector<std::wstring> withSplash = loadedWhilePaused(true);
    EXPECT_NE(std::find(withSplash.begin(), withSplash.end(), L"gdiplus.dll"), withSplash.end());
    EXPECT_EQ(splashesSeen_, 1);
    // The taskbar identity brings shell32, which the plain start above did
    // without. Wine keeps the ID but gives nobody it back: the trace tells.
    const std::wstring trace = sandbox_.Path(L"trace.txt");
    Set(L"ZORV_LAUNCHER_DEBUG", trace);
    WriteDisplay({}, {{L"App User Model ID", L"Zorv.Tests.Viewer"}});
    const std::vector<std::wstring> withIdentity = loadedWhilePaused(false);
    EXPECT_NE(std::find(withIdentity.begin(), withIdentity.end(), L"shell32.dll"), withIdentity.end());
    const std::string traced = ReadFileBytes(trace);
    EXPECT_NE(traced.find("process: AppUserModelID Zorv.Tests.Viewer set"), std::string::npos) << traced;
    EXPECT_EQ(splashesSeen_, 1);
}

TEST_F(SplashWindow, JpegWithoutShadowOwnsTheErrorBoxOfTheStart) {
    sandbox_.WriteBytes(L"splash.bmp", PatternBmp(240, 160));
    const std::wstring jpeg = sandbox_.Path(L"splash.jpg");
    ASSERT_EQ(Host("convert " + Quoted(sandbox_.Path(L"splash.bmp")) + " -quality 92 " + Quoted(jpeg)), 0);
    // Capitals give no shadow; the runtime has no splash library to prefer.
    WriteDisplay({{L"Splash Screen", L"splash.jpg"},
                  {L"Splash Screen Shadow", L"True"},
                  {L"Preffer Native Splash Screen", L"Yes"}});
    Set(L"FAKEJVM_PAUSE_AT", L"create");
    Set(L"FAKEJVM_CREATE_RESULT", L"-4");
    std::wstring ownedBox;
    onSplash_ = [&](const uiauto::DialogInfo& splash) {
        EXPECT_EQ(GetClassLongPtrW(Window(splash.handle), GCL_STYLE), CS_DBLCLKS | CS_SAVEBITS);
        EXPECT_TRUE(ScreenShows(sandbox_, jpeg, splash.window, 3));
        Resume();
        uiauto::DialogInfo box = uiauto::Inspect(uiauto::WaitForOwnedWindow(splash.handle, 5000));
        if (const uiauto::ControlInfo* text = box.Control(0xFFFF)) ownedBox = text->text;
    };
    const char expected[] = "JNI exception: failed to create the Java VM\nReason: not enough memory.\n";
    EXPECT_TRUE(Ended(Start(), kFailed, {expected}));
    EXPECT_EQ(Utf8(ownedBox), expected);
}

TEST_F(SplashWindow, LargerThanTheScreenAndGoneBeforeTheExceptionDialog) {
    const int width = GetSystemMetrics(SM_CXSCREEN) + 1;
    const int height = GetSystemMetrics(SM_CYSCREEN) + 7;
    ASSERT_EQ(Host("convert -size " + std::to_string(width) + "x" + std::to_string(height) + " xc:teal " +
                   Quoted(sandbox_.Path(L"big.png"))),
              0);
    WriteDisplay({{L"Splash Screen", L"big.png"}}, {{L"Failure Check", L"Yes"}});
    Set(L"FAKEJVM_PAUSE_AT", L"main");
    Set(L"FAKEJVM_MAIN", L"throw");
    std::uintptr_t splash = 0;
    std::vector<bool> splashGoneAtDialog;
    onWindow_ = [&](const uiauto::WindowReport& window) {
        if (window.className == kSplashClass) {
            splash = window.handle;
            // Half of the excess of 1 and 7 pixels, rounded toward zero.
            EXPECT_EQ(Edges(uiauto::Inspect(splash).window), (std::vector<int>{0, -3, width, height - 3}));
            Resume();
            return true;
        }
        splashGoneAtDialog.push_back(splash != 0 && !IsWindow(Window(splash)));
        return uiauto::PressButton(window.handle, IDOK);  // Ignore
    };
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(splashGoneAtDialog, std::vector<bool>{true});
}

// Whether a splash was started is told by the picture: the launcher opens it
// before its window comes up, and once the start has ended it is too late.
TEST_F(SplashWindow, SwitchesKeepItAwayAnywhereInTheArguments) {
    WatchedPicture picture;
    WriteDisplay({{L"Splash Screen", picture.Path()}});
    EXPECT_TRUE(Ended(Start(L"first"), 0, {}));
    const int opens = picture.Opens();
    ASSERT_GT(opens, 0) << "the start without a switch never opened the picture";
    for (const std::wstring switchText : {L"-nosplash", L"/nosplash"}) {
        EXPECT_TRUE(Ended(Start(L"first " + switchText), 0, {}));
        EXPECT_EQ(WithPrefix(lines_, "arg[1]="), std::vector<std::string>{"arg[1]=" + Utf8(switchText)});
        EXPECT_EQ(picture.Opens(), opens) << Utf8(switchText) << " started the splash";
    }
}

// The splash thread makes its window whatever the picture: for one it cannot
// show, a window of 0 by 0 pixels. Its coming is what main waits for, so it
// is looked at however late it comes.
TEST_F(SplashWindow, BadPicturesShowNothingAndTheStartGoesOn) {
    sandbox_.WriteBytes(L"whole.bmp", PatternBmp(120, 90));
    ASSERT_EQ(Host("convert " + Quoted(sandbox_.Path(L"whole.bmp")) + " " + Quoted(sandbox_.Path(L"whole.png"))), 0);
    std::string png = ReadFileBytes(sandbox_.Path(L"whole.png"));
    sandbox_.WriteBytes(L"truncated.png", png.substr(0, png.size() / 2));
    sandbox_.WriteBytes(L"empty.png", "");
    sandbox_.WriteBytes(L"huge.bmp", BlankBmp(20000));
    // Two folders that bring the picture's path to 300 characters.
    const std::wstring folders = std::wstring(120, L'a') + L"\\" + std::wstring(167 - sandbox_.Root().size(), L'b');
    const std::wstring longPath = sandbox_.CopyIn(sandbox_.Path(L"whole.bmp"), folders + L"\\splash.bmp");
    ASSERT_EQ(longPath.size(), 300u);
    Set(L"FAKEJVM_PAUSE_AT", L"main");
    std::vector<int> size;
    onSplash_ = [&](const uiauto::DialogInfo& splash) {
        size = {splash.window.Width(), splash.window.Height()};
        Resume();
    };
    // A good picture behind a path past MAX_PATH is no bad one: it is shown.
    const std::pair<std::wstring, std::vector<int>> pictures[] = {
        {L"empty.png", {0, 0}}, {L"truncated.png", {0, 0}}, {L"huge.bmp", {0, 0}}, {longPath, {120, 90}}};
    for (const auto& [picture, expected] : pictures) {
        WriteDisplay({{L"Splash Screen", picture}});
        const int seen = splashesSeen_;
        size.clear();
        EXPECT_TRUE(Ended(Start(), 0, {})) << Utf8(picture);
        EXPECT_EQ(splashesSeen_, seen + 1) << Utf8(picture);
        EXPECT_EQ(size, expected) << Utf8(picture);
        ExpectMainRan();
    }
}

TEST_F(NativeSplash, GetsTheAnsiPathAndIsClosedOnceAfterTheVmOrBeforeMinusOne) {
    if (GetACP() != 1252) GTEST_SKIP() << "the expected bytes are those of code page 1252";
    InstallRuntime(L"rt", L"bin\\splashscreen.dll", false, FakeSplash());
    WriteDisplay({{L"Splash Screen", L"bild-\u00e9-\u4e2d.png"}, {L"Preffer Native Splash Screen", L"yes"}});
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "splash_"),
              (std::vector<std::string>{"splash_init", "splash_load_file bild-\\xE9-?.png",
                                        "splash_set_file_jar_name bild-\\xE9-?.png | ", "splash_close"}));
    auto destroy = std::find(lines_.begin(), lines_.end(), "destroy");
    EXPECT_LT(destroy, std::find(lines_.begin(), lines_.end(), "splash_close")) << LogText();

    Set(L"FAKEJVM_CREATE_RESULT", L"-1");
    EXPECT_TRUE(Ended(Start(), kFailed, {"JNI exception: failed to create the Java VM\nReason: unknown.\n"}));
    EXPECT_EQ(WithPrefix(lines_, "splash_close").size(), 1u) << LogText();
    EXPECT_EQ(splashesSeen_, 0);
}

TEST_F(NativeSplash, UnusableLibrariesLeaveTheSplashToTheOwnWindow) {
    sandbox_.WriteBytes(L"splash.bmp", PatternBmp(64, 48));
    WriteDisplay({{L"Splash Screen", L"splash.bmp"}, {L"Preffer Native Splash Screen", L"Yes"}});
    Set(L"FAKEJVM_PAUSE_AT", L"main");
    onSplash_ = [&](const uiauto::DialogInfo&) { Resume(); };
    const std::wstring library = sandbox_.Path(L"rt\\bin\\splashscreen.dll");
    struct Case {
        const char* what;
        std::wstring source;
        std::vector<std::string> calls;  // a close entry found is run at teardown
    };
    for (const Case& library_case : {Case{"no SplashSetFileJarName", FakeSplashWithoutJarName(), {"splash_close"}},
                                     Case{"32-bit", FakeJvm32(), {}}, Case{"not a DLL", L"junk", {}}}) {
        if (library_case.source == L"junk") sandbox_.WriteBytes(L"rt\\bin\\splashscreen.dll", "MZ, and nothing after");
        else if (library_case.source.empty()) continue;  // no 32-bit compiler, no 32-bit DLL
        else CopyFileW(library_case.source.c_str(), library.c_str(), FALSE);
        const int seen = splashesSeen_;
        EXPECT_TRUE(Ended(Start(), 0, {})) << library_case.what;
        EXPECT_EQ(splashesSeen_, seen + 1) << library_case.what;
        EXPECT_EQ(WithPrefix(lines_, "splash_"), library_case.calls) << library_case.what;
    }
}

}  // namespace
}  // namespace e2e
