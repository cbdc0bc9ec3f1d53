// The two dialogs of the real launcher, driven from outside as a user would:
// "JRE Not Found" when no runtime is found anywhere, and "Java Exception"
// when main throws and the settings ask for it.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "fake_runtime.h"
#include "launcher/win32_api.h"
#include "url_recorder.h"

namespace e2e {
namespace {

const std::uint32_t kDialogStyles = WS_POPUP | WS_CAPTION | WS_SYSMENU;

// The run ended by itself with this code after showing exactly one window,
// the dialog of this title that the case drove, and no message box.
::testing::AssertionResult EndedAfterDialog(const uiauto::RunResult& result, std::uint32_t exitCode,
                                            const std::wstring& title) {
    bool ok = result.started && !result.timedOut && result.exitCode == exitCode && result.messageBoxTexts.empty() &&
              result.otherWindows.empty() && result.crashDialogs.empty() && result.handledWindows.size() == 1 &&
              result.handledWindows[0].title == title;
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected exit code " << static_cast<std::int32_t>(exitCode)
                                         << " after the dialog " << Utf8(title) << "\ngot " << Describe(result);
}

// What a case checks of one control: class, text, and the style bits that
// must be set (and, for the enabled state, how it must be).
void ExpectControl(const uiauto::DialogInfo& dialog, int id, const wchar_t* className, const std::wstring& text,
                   std::uint32_t styleBits, bool enabled = true) {
    const uiauto::ControlInfo* control = dialog.Control(id);
    ASSERT_NE(control, nullptr) << "no control " << id;
    EXPECT_EQ(control->className, className) << "control " << id;
    EXPECT_EQ(control->text, text) << "control " << id;
    EXPECT_EQ(control->style & styleBits, styleBits) << "control " << id << " style " << std::hex << control->style;
    EXPECT_EQ(control->enabled, enabled) << "control " << id;
    EXPECT_TRUE(control->visible) << "control " << id;
    // The dialog manager draws an edit control's border as a client edge.
    if (control->className == L"Edit") {
        EXPECT_TRUE((control->style & WS_BORDER) != 0 || (control->exStyle & WS_EX_CLIENTEDGE) != 0) << "control " << id;
    }
}

// How a control moved and grew between two inspections: left, top, right, bottom.
std::vector<int> Moved(const uiauto::DialogInfo& before, const uiauto::DialogInfo& after, int id) {
    const uiauto::ControlInfo* a = before.Control(id);
    const uiauto::ControlInfo* b = after.Control(id);
    if (a == nullptr || b == nullptr) return {};
    return {b->inDialog.left - a->inDialog.left, b->inDialog.top - a->inDialog.top,
            b->inDialog.right - a->inDialog.right, b->inDialog.bottom - a->inDialog.bottom};
}

// Browse, choose the folder in the shell's browser, and wait until the
// dialog shows it: only then has it decided about OK.
bool BrowseTo(std::uintptr_t dialog, const std::wstring& folder) {
    if (!uiauto::PressButton(dialog, 202) || !uiauto::ChooseFolder(dialog, folder)) return false;
    return uiauto::WaitUntil(
        [&] {
            const uiauto::DialogInfo now = uiauto::Inspect(dialog);
            return now.Control(201) != nullptr && now.Control(201)->text == folder;
        },
        5000);
}

class RuntimeDialog : public FakeRuntime {
protected:
    void SetUp() override {
        FakeRuntime::SetUp();
        if (IsSkipped()) return;
        appData_ = sandbox_.MakeFolders(L"appdata");
        environment_.emplace_back(L"APPDATA", appData_);
    }

    // Settings with a product identity, so the per-user copy has a place.
    Ini DialogSettings(const std::vector<std::pair<std::wstring, std::wstring>>& runtime,
                       const std::vector<std::pair<std::wstring, std::wstring>>& application = {}) {
        Ini ini = Settings(runtime, application);
        ini.Section(L"Product Information").Set(L"Product Name", L"Viewer").Set(L"Product Code", L"P1");
        return ini;
    }

    // Drives the dialog with `drive` once it is up; the run's result follows.
    uiauto::RunResult StartWithDialog(const std::function<void(std::uintptr_t)>& drive) {
        onWindow_ = DriveWindow(L"JRE Not Found", drive);
        return Start();
    }

    std::string UserCopy(const std::wstring& name) const { return ReadFileBytes(appData_ + L"\\Viewer\\P1\\" + name); }

    std::wstring appData_;
};

TEST_F(RuntimeDialog, TellsWhatIsNeededAndEveryWayOutOfItWritesNothing) {
    Ini ini = DialogSettings({{L"Minimum Version", L"1.8"}, {L"JVM Type", L"server"}});
    WriteSettings(ini);
    uiauto::DialogInfo shown;
    uiauto::RunResult result = StartWithDialog([&](std::uintptr_t dialog) {
        shown = uiauto::Inspect(dialog);
        uiauto::PressButton(dialog, IDCANCEL);
    });
    ASSERT_TRUE(EndedAfterDialog(result, kFailed, L"JRE Not Found"));

    EXPECT_EQ(shown.style & (kDialogStyles | DS_MODALFRAME | WS_THICKFRAME), kDialogStyles | DS_MODALFRAME);
    ExpectControl(shown, 203, L"Static",
                  L"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE with a "
                  L"server JVM (minimum version 1.8) from:",
                  0);
    ExpectControl(shown, 204, L"Static", L"", SS_ICON);
    ExpectControl(shown, 205, L"Static", L"https://adoptium.net/", SS_NOTIFY);
    ExpectControl(shown, 206, L"Static", L"If you have a JRE installed you can browse for it below:", 0);
    ExpectControl(shown, 201, L"Edit", L"", ES_READONLY | ES_AUTOHSCROLL);
    ExpectControl(shown, 202, L"Button", L"Browse...", 0);
    ExpectControl(shown, IDOK, L"Button", L"OK", BS_DEFPUSHBUTTON, false);
    ExpectControl(shown, IDCANCEL, L"Button", L"Cancel", 0);
    // 219 x 145 dialog units: wider than tall, and the buttons inside the client area.
    EXPECT_GT(shown.client.Width(), shown.client.Height());
    ASSERT_NE(shown.Control(IDCANCEL), nullptr);
    EXPECT_LE(shown.Control(IDCANCEL)->inDialog.right, shown.client.Width());
    EXPECT_LE(shown.Control(IDCANCEL)->inDialog.bottom, shown.client.Height());

    // Escape and the close box are Cancel too.
    EXPECT_TRUE(EndedAfterDialog(StartWithDialog([](std::uintptr_t dialog) { uiauto::SendKey(dialog, uiauto::Key::escape); }),
                                 kFailed, L"JRE Not Found"));
    EXPECT_TRUE(EndedAfterDialog(StartWithDialog([](std::uintptr_t dialog) { uiauto::CloseWithCloseBox(dialog); }),
                                 kFailed, L"JRE Not Found"));
    EXPECT_EQ(lines_, std::vector<std::string>{}) << "a runtime was loaded";
    EXPECT_EQ(ReadFileBytes(sandbox_.Path(L"app.ini")), ini.Encoded());
    EXPECT_FALSE(FileExists(appData_ + L"\\Viewer")) << "a cancelled dialog wrote settings";
}

TEST_F(RuntimeDialog, OkFollowsTheLastFolderAndTheChosenRuntimeIsUsedAndRemembered) {
    std::wstring library = InstallRuntime(L"Java\\jre", L"bin\\server\\jvm.dll", false);
    sandbox_.WriteBytes(L"Java\\client-only\\bin\\client\\jvm.dll", "a client VM");
    std::wstring pair = sandbox_.Path(L"pair\\app32.exe");
    Ini ini = DialogSettings({{L"JVM Type", L"server"}}, {{L"Pair Product", pair}});
    WriteSettings(ini);
    std::vector<bool> okEnabled;
    std::vector<std::wstring> shownFolders;
    uiauto::RunResult result = StartWithDialog([&](std::uintptr_t dialog) {
        auto browse = [&](const std::wstring& folder) {
            ASSERT_TRUE(BrowseTo(dialog, folder)) << Utf8(folder);
            uiauto::DialogInfo now = uiauto::Inspect(dialog);
            okEnabled.push_back(now.Control(IDOK) != nullptr && now.Control(IDOK)->enabled);
            shownFolders.push_back(now.Control(201) != nullptr ? now.Control(201)->text : L"?");
        };
        browse(sandbox_.Path(L"Java\\jre"));
        browse(sandbox_.Path(L"Java\\client-only"));
        browse(sandbox_.Path(L"Java\\jre"));
        uiauto::PressButton(dialog, IDOK);
    });
    EXPECT_TRUE(EndedAfterDialog(result, 0, L"JRE Not Found"));
    EXPECT_EQ(okEnabled, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(shownFolders, (std::vector<std::wstring>{sandbox_.Path(L"Java\\jre"), sandbox_.Path(L"Java\\client-only"),
                                                       sandbox_.Path(L"Java\\jre")}));
    ExpectLoaded(library);
    ExpectNoFaults();

    const std::string remembered = "JRE Path=" + Utf8(sandbox_.Path(L"Java\\jre\\"));
    EXPECT_NE(UserCopy(L"app.ini").find(remembered), std::string::npos) << UserCopy(L"app.ini");
    EXPECT_NE(UserCopy(L"app32.ini").find(remembered), std::string::npos) << UserCopy(L"app32.ini");
    // Beside the executables nothing changes for an ordinary application.
    EXPECT_EQ(ReadFileBytes(sandbox_.Path(L"app.ini")), ini.Encoded());
    EXPECT_FALSE(FileExists(sandbox_.Path(L"pair\\app32.ini")));

    // The next start finds it without asking.
    onWindow_ = nullptr;
    EXPECT_TRUE(Ended(Start(), 0, {}));
    ExpectLoaded(library);
}

TEST_F(RuntimeDialog, ServiceRemembersBesideTheExecutablesAndA32BitChoiceHandsOver) {
    if (FakeJvm32().empty() || PairStubExe().empty()) GTEST_SKIP() << "the 32-bit double or the pair stub was not built";
    InstallRuntime(L"rt32", L"bin\\client\\jvm.dll", false, FakeJvm32());
    std::wstring pair = sandbox_.CopyIn(PairStubExe(), L"pair\\app32.exe");
    std::wstring pairLog = sandbox_.Path(L"pair.log");
    environment_.emplace_back(L"PAIR_STUB_LOG", pairLog);
    environment_.emplace_back(L"PAIR_STUB_EXIT", L"7");
    WriteSettings(DialogSettings({}, {{L"Application Type", L"service"}, {L"Pair Product", pair},
                                      {L"Pair Return Code", L"Yes"}}));
    uiauto::RunResult result = StartWithDialog([&](std::uintptr_t dialog) {
        ASSERT_TRUE(BrowseTo(dialog, sandbox_.Path(L"rt32")));
        EXPECT_TRUE(uiauto::PressButton(dialog, IDOK));
    });
    EXPECT_TRUE(EndedAfterDialog(result, 7, L"JRE Not Found"));
    EXPECT_EQ(ReadFileBytes(pairLog), Utf8(L"\"" + exe_ + L"\""));
    EXPECT_EQ(lines_, std::vector<std::string>{}) << "the 32-bit library was loaded";

    const std::string remembered = "JRE Path=" + Utf8(sandbox_.Path(L"rt32\\"));
    EXPECT_NE(ReadFileBytes(sandbox_.Path(L"app.ini")).find(remembered), std::string::npos);
    EXPECT_NE(ReadFileBytes(sandbox_.Path(L"pair\\app32.ini")).find(remembered), std::string::npos);
    EXPECT_FALSE(FileExists(appData_ + L"\\Viewer")) << "a service wrote to the user's profile";
}

TEST_F(RuntimeDialog, SettingsThatCannotBeWrittenDoNotStopTheStart) {
    std::wstring library = InstallRuntime(L"Java\\jre", L"bin\\client\\jvm.dll", false);
    // No settings folder can be made under a file.
    const std::wstring file = sandbox_.WriteBytes(L"appdata.txt", "a file, not a folder");
    for (auto& entry : environment_) {
        if (entry.first == L"APPDATA") entry.second = file;
    }
    Ini ini = DialogSettings({});
    WriteSettings(ini);
    uiauto::RunResult result = StartWithDialog([&](std::uintptr_t dialog) {
        ASSERT_TRUE(BrowseTo(dialog, sandbox_.Path(L"Java\\jre")));
        EXPECT_TRUE(uiauto::PressButton(dialog, IDOK));
    });
    EXPECT_TRUE(EndedAfterDialog(result, 0, L"JRE Not Found"));
    ExpectLoaded(library);
    EXPECT_EQ(ReadFileBytes(sandbox_.Path(L"app.ini")), ini.Encoded());
    EXPECT_EQ(ReadFileBytes(file), "a file, not a folder");
}

TEST_F(RuntimeDialog, ARuntimeItCannotLoadKeepsOkOffWithTheReasonAndKeysOnTheLinkOpenIt) {
    if (FakeJvm32().empty()) GTEST_SKIP() << "the 32-bit double was not built";
    InstallRuntime(L"rt32", L"bin\\client\\jvm.dll", false, FakeJvm32());
    std::wstring library = InstallRuntime(L"Java\\jre", L"bin\\server\\jvm.dll", false);
    uiauto::ScopedUrlRecorder recorder;
    ASSERT_TRUE(recorder.Installed());
    // Remembered from an earlier wrong choice, and without a pair to take it:
    // passed over, so that the dialog asks again.
    WriteSettings(DialogSettings({{L"JRE Path", sandbox_.Path(L"rt32")}}));
    std::vector<bool> okEnabled;
    std::vector<std::wstring> verdicts;
    std::vector<std::wstring> afterEnter, afterSpace;
    bool openAfterEnter = false;
    uiauto::RunResult result = StartWithDialog([&](std::uintptr_t dialog) {
        for (const wchar_t* folder : {L"rt32", L"Java\\jre\\bin"}) {
            ASSERT_TRUE(BrowseTo(dialog, sandbox_.Path(folder))) << Utf8(folder);
            uiauto::DialogInfo now = uiauto::Inspect(dialog);
            okEnabled.push_back(now.Control(IDOK) != nullptr && now.Control(IDOK)->enabled);
            verdicts.push_back(now.Control(207) != nullptr ? now.Control(207)->text : L"?");
        }
        // With OK enabled, Enter and Space on the focused link open it and press nothing else.
        HWND link = reinterpret_cast<HWND>(uiauto::ControlOf(dialog, 205));
        PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 400));
        uiauto::SendKey(reinterpret_cast<std::uintptr_t>(link), uiauto::Key::enter);
        afterEnter = recorder.Opened(1, 10000);
        openAfterEnter = IsWindowVisible(reinterpret_cast<HWND>(dialog)) != FALSE;
        uiauto::SendKey(reinterpret_cast<std::uintptr_t>(link), uiauto::Key::space);
        afterSpace = recorder.Opened(2, 10000);
        uiauto::PressButton(dialog, IDOK);
    });
    EXPECT_TRUE(EndedAfterDialog(result, 0, L"JRE Not Found"));
    EXPECT_EQ(okEnabled, (std::vector<bool>{false, true}));
    EXPECT_EQ(verdicts, (std::vector<std::wstring>{L"A runtime for 32-bit processors: this launcher needs a 64-bit one.",
                                                   L"Runtime found in " + sandbox_.Path(L"Java\\jre\\")}));
    EXPECT_EQ(afterEnter, std::vector<std::wstring>{L"https://adoptium.net/"});
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(afterSpace.size(), 2u);
    ExpectLoaded(library);
    const std::string remembered = "JRE Path=" + Utf8(sandbox_.Path(L"Java\\jre\\")) + "\r\n";
    EXPECT_NE(UserCopy(L"app.ini").find(remembered), std::string::npos) << UserCopy(L"app.ini");
}

// A window station other than WinSta0, as a service in session 0 has, with
// its desktop, made by the test before anything starts in it and kept until
// the case ends. Left to the first program started there, both were made
// during that program's own start, which now and then failed (CreateProcessW,
// error 1359), and went away with each program, between the starts. (Windows
// and Wine let no thread of a process of WinSta0 onto that desktop.)
class UnseenStation {
public:
    UnseenStation() {
        HWINSTA own = GetProcessWindowStation();
        station_ = CreateWindowStationW(kStation, 0, WINSTA_ALL_ACCESS, nullptr);
        if (station_ == nullptr || !SetProcessWindowStation(station_)) {
            problem_ = "the station: error " + std::to_string(GetLastError());
            return;
        }
        desktop_ = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        if (desktop_ == nullptr) problem_ = "its desktop: error " + std::to_string(GetLastError());
        SetProcessWindowStation(own);
    }
    ~UnseenStation() {
        if (desktop_ != nullptr) CloseDesktop(desktop_);
        if (station_ != nullptr) CloseWindowStation(station_);
    }
    bool Ready() const { return desktop_ != nullptr; }
    // What could not be made, and the error.
    const std::string& Problem() const { return problem_; }
    std::wstring Desktop() const { return std::wstring(kStation) + L"\\Default"; }

private:
    static constexpr const wchar_t* kStation = L"zorv-service";
    HWINSTA station_ = nullptr;
    HDESK desktop_ = nullptr;
    std::string problem_;
};

// A start the case could not make is the test's failure, not the launcher's.
::testing::AssertionResult StartedThere(const uiauto::RunResult& result, const std::wstring& desktop) {
    if (result.started) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the test could not start the launcher in " << Utf8(desktop)
                                         << ": CreateProcessW failed with error " << result.startError;
}

TEST_F(RuntimeDialog, WithoutAVisibleDesktopNothingWaitsForAClick) {
    const std::wstring trace = sandbox_.Path(L"trace.txt");
    WriteSettings(DialogSettings({{L"Minimum Version", L"11"}}));
    UnseenStation station;
    ASSERT_TRUE(station.Ready()) << "the test could not make " << Utf8(station.Desktop()) << ", "
                                 << station.Problem();
    desktop_ = station.Desktop();
    uiauto::RunResult result = Start(L"", {{L"ZORV_LAUNCHER_DEBUG", trace}});
    ASSERT_TRUE(StartedThere(result, desktop_));
    EXPECT_TRUE(!result.timedOut && result.exitCode == kFailed) << Describe(result);
    EXPECT_NE(ReadFileBytes(trace).find("to the event log: The Java Runtime Environment (JRE) was not found. Please  "
                                        "download and install a JRE (minimum version 11.0) from:\nhttps://adoptium.net/"),
              std::string::npos)
        << ReadFileBytes(trace);

    // A message box's text goes the same way, and the start ends as after the box.
    InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    WriteSettings(DialogSettings({{L"JRE Path", L"rt"}}));
    result = Start(L"", {{L"ZORV_LAUNCHER_DEBUG", trace}, {L"FAKEJVM_CREATE_RESULT", L"-4"}});
    ASSERT_TRUE(StartedThere(result, desktop_));
    EXPECT_TRUE(!result.timedOut && result.exitCode == kFailed) << Describe(result);
    EXPECT_NE(ReadFileBytes(trace).find("to the event log: JNI exception: failed to create the Java VM"),
              std::string::npos)
        << ReadFileBytes(trace);
}

// Sets the browser's link colours for the current user, as a user's browser
// settings would, and removes them again.
class ScopedLinkColours {
public:
    ScopedLinkColours(const wchar_t* link, const wchar_t* visited) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr) != ERROR_SUCCESS)
            return;
        ok_ = Set(L"Anchor Color", link) && Set(L"Anchor Color Visited", visited);
    }
    ~ScopedLinkColours() {
        if (key_ == nullptr) return;
        RegDeleteValueW(key_, L"Anchor Color");
        RegDeleteValueW(key_, L"Anchor Color Visited");
        RegCloseKey(key_);
    }
    bool ok() const { return ok_; }

private:
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Internet Explorer\\Settings";
    bool Set(const wchar_t* name, const wchar_t* value) {
        DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
        return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes) == ERROR_SUCCESS;
    }
    HKEY key_ = nullptr;
    bool ok_ = false;
};

// Pixels of exactly this colour on the screen inside the rectangle.
int PixelsOfColour(const uiauto::Rect& area, COLORREF colour) {
    HDC screen = GetDC(nullptr);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) count += GetPixel(screen, x, y) == colour ? 1 : 0;
    }
    ReleaseDC(nullptr, screen);
    return count;
}

TEST_F(RuntimeDialog, LinkOpensItsTargetInTheUsersColoursAndTurnsVisited) {
    uiauto::ScopedUrlRecorder recorder;
    ASSERT_TRUE(recorder.Installed());
    ScopedLinkColours colours(L"255,0,0", L"0,128,0");
    ASSERT_TRUE(colours.ok());
    const COLORREF red = RGB(255, 0, 0);
    const COLORREF green = RGB(0, 128, 0);
    WriteSettings(DialogSettings({}));
    int redBefore = 0, greenBefore = 0, redAfter = 0, greenAfter = 0;
    std::vector<std::wstring> opened;
    uiauto::RunResult result = StartWithDialog([&](std::uintptr_t dialog) {
        uiauto::Rect link = uiauto::Inspect(dialog).Control(205)->onScreen;
        redBefore = PixelsOfColour(link, red);
        greenBefore = PixelsOfColour(link, green);
        // A press that ends outside the link opens nothing.
        std::uintptr_t control = uiauto::ControlOf(dialog, 205);
        PostMessageW(reinterpret_cast<HWND>(control), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageW(reinterpret_cast<HWND>(control), WM_LBUTTONUP, 0, MAKELPARAM(2, 400));
        EXPECT_EQ(recorder.Opened(1, 1000), std::vector<std::wstring>{});
        EXPECT_TRUE(uiauto::Click(control, 4, 3, uiauto::ClickInput::posted));
        opened = recorder.Opened(1, 10000);
        uiauto::WaitUntil([&] { return PixelsOfColour(link, green) > 0; }, 3000);
        redAfter = PixelsOfColour(link, red);
        greenAfter = PixelsOfColour(link, green);
        uiauto::PressButton(dialog, IDCANCEL);
    });
    EXPECT_TRUE(EndedAfterDialog(result, kFailed, L"JRE Not Found"));
    EXPECT_EQ(opened, std::vector<std::wstring>{L"https://adoptium.net/"});
    EXPECT_GT(redBefore, 20);
    EXPECT_EQ(greenBefore, 0);
    EXPECT_EQ(redAfter, 0);
    EXPECT_GT(greenAfter, 20);
}

// Sets the screen's DPI for programs started while it lives, as a user's
// display setting would, and puts the old setting back.
class ScopedScreenDpi {
public:
    explicit ScopedScreenDpi(DWORD dpi) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS)
            return;
        key_ = key;
        DWORD size = sizeof old_;
        hadOld_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) ==
                  ERROR_SUCCESS;
        ok_ = RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi) ==
              ERROR_SUCCESS;
    }
    ~ScopedScreenDpi() {
        if (key_ == nullptr) return;
        if (hadOld_)
            RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
        else
            RegDeleteValueW(key_, L"LogPixels");
        RegCloseKey(key_);
    }
    bool ok() const { return ok_; }

private:
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool hadOld_ = false;
    bool ok_ = false;
};

// Every control lies inside the client area, and texts keep their room.
void ExpectNothingClipped(const uiauto::DialogInfo& dialog) {
    for (const uiauto::ControlInfo& control : dialog.controls) {
        EXPECT_GE(control.inDialog.left, 0) << control.id;
        EXPECT_GE(control.inDialog.top, 0) << control.id;
        EXPECT_LE(control.inDialog.right, dialog.client.Width()) << control.id;
        EXPECT_LE(control.inDialog.bottom, dialog.client.Height()) << control.id;
    }
}

// The dialog as the start shows it at 96 and at 144 DPI, cancelled each time:
// dialog units follow the font, which follows the DPI, so it is about half
// as large again, and nothing is clipped at either.
template <typename StartWithDialog>
void ExpectScaledAt144Dpi(StartWithDialog start, const wchar_t* title, uiauto::DialogInfo& at96,
                          uiauto::DialogInfo& at144) {
    auto inspectAndCancel = [&](uiauto::DialogInfo& seen) {
        return start(std::function<void(std::uintptr_t)>([&seen](std::uintptr_t dialog) {
            seen = uiauto::Inspect(dialog);
            uiauto::PressButton(dialog, IDCANCEL);
        }));
    };
    EXPECT_TRUE(EndedAfterDialog(inspectAndCancel(at96), kFailed, title));
    {
        ScopedScreenDpi dpi(144);
        ASSERT_TRUE(dpi.ok());
        EXPECT_TRUE(EndedAfterDialog(inspectAndCancel(at144), kFailed, title));
    }
    EXPECT_GT(at144.client.Width() * 100, at96.client.Width() * 135);
    EXPECT_GT(at144.client.Height() * 100, at96.client.Height() * 135);
    ExpectNothingClipped(at96);
    ExpectNothingClipped(at144);
}

// The composed message, measured here in the dialog's font at that DPI,
// fits its control, which ends above the link.
void ExpectMessageFits(const uiauto::DialogInfo& dialog, int dpi) {
    const uiauto::ControlInfo* message = dialog.Control(203);
    const uiauto::ControlInfo* link = dialog.Control(205);
    ASSERT_TRUE(message != nullptr && link != nullptr);
    HFONT font = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                             PROOF_QUALITY, FF_DONTCARE, L"MS Shell Dlg");
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    RECT needed = {0, 0, message->inDialog.Width(), 0};
    DrawTextW(dc, message->text.c_str(), static_cast<int>(message->text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(font);
    // More lines than the three the dialog's template has room for.
    EXPECT_GE(needed.bottom, 4 * metrics.tmHeight) << dpi;
    EXPECT_LE(needed.bottom, message->inDialog.Height()) << dpi;
    EXPECT_GE(link->inDialog.top, message->inDialog.bottom) << dpi;
}

TEST_F(RuntimeDialog, ScalesWithTheScreensDpiAndItsMessageKeepsEveryLine) {
    WriteSettings(DialogSettings(
        {{L"JVM Type", L"server"}, {L"Minimum Version", L"1.8.0.392"}, {L"Maximum Version", L"21.0.10.7"}}));
    uiauto::DialogInfo at96, at144;
    ExpectScaledAt144Dpi([this](auto drive) { return StartWithDialog(drive); }, L"JRE Not Found", at96, at144);
    ExpectMessageFits(at96, 96);
    ExpectMessageFits(at144, 144);
}

class ExceptionDialog : public FakeRuntime {
protected:
    void SetUp() override {
        FakeRuntime::SetUp();
        if (IsSkipped()) return;
        InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
        environment_.emplace_back(L"FAKEJVM_MAIN", L"throw");
    }

    uiauto::RunResult StartWithDialog(const std::function<void(std::uintptr_t)>& drive) {
        onWindow_ = DriveWindow(L"Java Exception", drive);
        return Start();
    }
};

// Like the runtime dialog, the exception dialog takes the screen's DPI: the
// process is per-monitor aware for this runtime, and the template scales.
TEST_F(ExceptionDialog, ScalesWithTheScreensDpi) {
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Failure Check", L"YES"}}));
    uiauto::DialogInfo at96, at144;
    ExpectScaledAt144Dpi([this](auto drive) { return StartWithDialog(drive); }, L"Java Exception", at96, at144);
}

TEST_F(ExceptionDialog, ShowsJavasTraceKeepsItsLayoutWhenResizedAndIgnoreGoesOn) {
    // Non-ASCII and non-BMP characters, a NUL, and enough lines to scroll.
    std::wstring trace = L"java.lang.IllegalStateException: caf\u00e9 \u65e5\u672c \U0001F600 nul[\\0]\\n";
    for (int i = 0; i < 60; ++i) trace += L"\\tat com.example.App.level" + std::to_wstring(i) + L"(App.java:" + std::to_wstring(i) + L")\\n";
    environment_.emplace_back(L"FAKEJVM_TRACE", trace);
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Failure Check", L"YES"}}));

    uiauto::DialogInfo opened, grown, shrunk, maximized, restored;
    uiauto::Rect grownWindow, shrunkWindow;
    uiauto::RunResult result = StartWithDialog([&](std::uintptr_t dialog) {
        opened = uiauto::Inspect(dialog);
        grownWindow = uiauto::ResizeBy(dialog, 100, 50);
        grown = uiauto::Inspect(dialog);
        shrunkWindow = uiauto::ResizeBy(dialog, -300, -300);
        shrunk = uiauto::Inspect(dialog);
        uiauto::Maximize(dialog);
        maximized = uiauto::Inspect(dialog);
        uiauto::Restore(dialog);
        restored = uiauto::Inspect(dialog);
        uiauto::PressButton(dialog, IDOK);
    });
    EXPECT_TRUE(EndedAfterDialog(result, 0, L"Java Exception"));

    EXPECT_EQ(opened.style & (kDialogStyles | WS_THICKFRAME), kDialogStyles | WS_THICKFRAME);
    ExpectControl(opened, 209, L"Button", L"Uncaught Exception", BS_GROUPBOX);
    ExpectControl(opened, 204, L"Static", L"", SS_ICON);
    ExpectControl(opened, 210, L"Static", L"The java process has thrown the following uncaught exception:", 0);
    std::wstring shown = L"java.lang.IllegalStateException: caf\u00e9 \u65e5\u672c \U0001F600 nul[\uFFFD]\r\n";
    for (int i = 0; i < 60; ++i) shown += L"\tat com.example.App.level" + std::to_wstring(i) + L"(App.java:" + std::to_wstring(i) + L")\r\n";
    ExpectControl(opened, 208, L"Edit", shown, ES_MULTILINE | ES_READONLY | WS_VSCROLL);
    ExpectControl(opened, 211, L"Static",
                  L"Press Ignore to continue and ignore the exception or press Stop to close the application.", 0);
    ExpectControl(opened, 212, L"Static",
                  L"WARNING: If you choose to Stop the application any unsaved data will be lost.", 0);
    ExpectControl(opened, IDOK, L"Button", L"Ignore", BS_DEFPUSHBUTTON);
    ExpectControl(opened, IDCANCEL, L"Button", L"Stop", 0);
    ExpectControl(opened, 0xE801, L"ScrollBar", L"", SBS_SIZEGRIP);

    EXPECT_EQ(grownWindow.Width() - opened.window.Width(), 100);
    EXPECT_EQ(grownWindow.Height() - opened.window.Height(), 50);
    EXPECT_EQ(Moved(opened, grown, 208), (std::vector<int>{0, 0, 100, 50}));
    EXPECT_EQ(Moved(opened, grown, 209), (std::vector<int>{0, 0, 100, 50}));
    EXPECT_EQ(Moved(opened, grown, 210), (std::vector<int>{0, 0, 100, 0}));
    EXPECT_EQ(Moved(opened, grown, 211), (std::vector<int>{0, 50, 100, 50}));
    EXPECT_EQ(Moved(opened, grown, 212), (std::vector<int>{0, 50, 100, 50}));
    EXPECT_EQ(Moved(opened, grown, IDOK), (std::vector<int>{100, 50, 100, 50}));
    EXPECT_EQ(Moved(opened, grown, IDCANCEL), (std::vector<int>{100, 50, 100, 50}));
    EXPECT_EQ(Moved(opened, grown, 0xE801), (std::vector<int>{100, 50, 100, 50}));
    // Never smaller than it opened, and then laid out as it opened.
    EXPECT_EQ(shrunkWindow.Width(), opened.window.Width());
    EXPECT_EQ(shrunkWindow.Height(), opened.window.Height());
    EXPECT_EQ(Moved(opened, shrunk, IDCANCEL), (std::vector<int>{0, 0, 0, 0}));
    // The grip hides while maximised and comes back after.
    ASSERT_NE(maximized.Control(0xE801), nullptr);
    EXPECT_TRUE(maximized.maximized);
    EXPECT_FALSE(maximized.Control(0xE801)->visible);
    ASSERT_NE(restored.Control(0xE801), nullptr);
    EXPECT_TRUE(restored.Control(0xE801)->visible);

    // Ignore: as if main had returned, with the exception left to the VM.
    EXPECT_EQ(WithPrefix(lines_, "system_exit "), std::vector<std::string>{}) << LogText();
    EXPECT_EQ(Faults(lines_), std::vector<std::string>{"DETACH_WITH_PENDING_EXCEPTION java/lang/RuntimeException"})
        << LogText();
}

TEST_F(ExceptionDialog, StopEscapeAndTheCloseBoxEndTheApplicationWithMinusOne) {
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Failure Check", L"yes"}}));
    std::vector<std::function<void(std::uintptr_t)>> ways = {
        [](std::uintptr_t dialog) { uiauto::PressButton(dialog, IDCANCEL); },
        [](std::uintptr_t dialog) { uiauto::SendKey(dialog, uiauto::Key::escape); },
        [](std::uintptr_t dialog) { uiauto::CloseWithCloseBox(dialog); },
    };
    for (std::size_t way = 0; way < ways.size(); ++way) {
        EXPECT_TRUE(EndedAfterDialog(StartWithDialog(ways[way]), kFailed, L"Java Exception")) << "way " << way;
        EXPECT_EQ(WithPrefix(lines_, "system_exit "), std::vector<std::string>{"system_exit -1"}) << LogText();
        ExpectNoFaults();
    }
}

TEST_F(ExceptionDialog, NoDialogUnlessFailureCheckIsYesAndSomeoneCanSeeIt) {
    for (const wchar_t* value : {L"", L"No", L"true"}) {
        WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Failure Check", value}}));
        // As java ends after main threw.
        EXPECT_TRUE(Ended(Start(), 1, {})) << Utf8(value);
        EXPECT_EQ(WithPrefix(lines_, "call_void "), std::vector<std::string>{}) << "the trace was asked for";
    }
    // With nobody to see the dialog, as a service: the trace is kept and the
    // exception left to the VM; nobody chose Ignore, so 1, as java.
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Failure Check", L"Yes"}}));
    desktop_ = L"zorv-service\\Default";
    const std::wstring trace = sandbox_.Path(L"trace.txt");
    uiauto::RunResult unseen = Start(L"", {{L"ZORV_LAUNCHER_DEBUG", trace}});
    EXPECT_TRUE(unseen.started && !unseen.timedOut && unseen.exitCode == 1) << Describe(unseen);
    EXPECT_EQ(WithPrefix(lines_, "system_exit "), std::vector<std::string>{}) << LogText();
    EXPECT_NE(ReadFileBytes(trace).find("to the event log: java.lang.RuntimeException: thrown by com.example.App.main"),
              std::string::npos)
        << ReadFileBytes(trace);
}

}  // namespace
}  // namespace e2e
