// The automation against a program that does each thing the e2e tests must
// notice: boxes in order, a window that is no box, a crash, a hang, exit
// codes above INT_MAX, and a dialog to inspect and drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ui_automation.h"
#include "uiauto_target_ids.h"
#include "url_recorder.h"
#include "launcher/win32_api.h"

namespace {

std::wstring TargetPath() {
    wchar_t self[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    std::wstring path(self, length);
    return path.substr(0, path.rfind(L'\\') + 1) + L"uiauto_target.exe";
}

uiauto::RunOptions Target(const std::wstring& mode) {
    uiauto::RunOptions options;
    options.application = TargetPath();
    options.commandLine = L"\"" + options.application + L"\" " + mode;
    options.timeoutMs = 20000;
    return options;
}

bool OnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(UiAutomation, ReadsAndDismissesBoxesInOrder) {
    uiauto::RunResult result = uiauto::Run(Target(L"boxes"));
    ASSERT_TRUE(result.started) << result.startError;
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_EQ(result.messageBoxTexts, (std::vector<std::wstring>{L"first box\nsecond line", L"second box"}));
    ASSERT_EQ(result.windows.size(), 2u);
    EXPECT_EQ(result.windows[0].title, L"Error");
    EXPECT_EQ(result.windows[1].title, L"Caption");
    EXPECT_TRUE(result.otherWindows.empty());
}

TEST(UiAutomation, ReportsAndClosesWindowsThatAreNoBoxes) {
    uiauto::RunResult result = uiauto::Run(Target(L"window"));
    EXPECT_EQ(result.exitCode, 4u);
    EXPECT_TRUE(result.messageBoxTexts.empty());
    ASSERT_EQ(result.otherWindows.size(), 1u);
    EXPECT_EQ(result.otherWindows[0].title, L"Target window");
    EXPECT_EQ(result.otherWindows[0].className, L"UiautoTargetWindow");
}

TEST(UiAutomation, CrashEndsTheRunWithTheExceptionCode) {
    uiauto::RunResult result = uiauto::Run(Target(L"crash"));
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0xC0000005u);
    // The reporter's window is no box of the program's, nor another window of it.
    EXPECT_TRUE(result.messageBoxTexts.empty());
    EXPECT_TRUE(result.otherWindows.empty());
    if (OnWine()) {
        EXPECT_EQ(result.crashDialogs.size(), 1u);
    }
}

TEST(UiAutomation, TimeOutKillsTheProgram) {
    uiauto::RunOptions options = Target(L"hang");
    options.timeoutMs = 500;
    uiauto::RunResult result = uiauto::Run(options);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.exitCode, static_cast<std::uint32_t>(WAIT_TIMEOUT));
    EXPECT_LT(result.elapsedMs, 5000.0);
}

TEST(UiAutomation, ExitCodeKeepsAllBits) {
    EXPECT_EQ(uiauto::Run(Target(L"code")).exitCode, 0xC0000135u);
}

TEST(UiAutomation, ObservationLeavesTheBoxUpThenTerminates) {
    uiauto::RunOptions options = Target(L"boxes");
    options.observeMs = 700;
    options.policy = uiauto::WindowPolicy::terminate;
    uiauto::RunResult result = uiauto::Run(options);
    ASSERT_EQ(result.snapshot.size(), 1u);
    EXPECT_TRUE(result.snapshot[0].isMessageBox);
    EXPECT_EQ(result.snapshot[0].text, L"first box\nsecond line");
    // Nobody pressed OK, so the second box never came.
    EXPECT_EQ(result.messageBoxTexts, std::vector<std::wstring>{L"first box\nsecond line"});
    EXPECT_FALSE(result.timedOut);
    EXPECT_GE(result.elapsedMs, 700.0);
}

// Runs the target's dialog and hands it to the steps; the exit code is the
// id of the button that ended it.
uiauto::RunResult DriveDialog(const std::function<void(std::uintptr_t)>& steps) {
    uiauto::RunOptions options = Target(L"dialog");
    options.onWindow = [&](const uiauto::WindowReport& window) {
        steps(window.handle);
        return true;
    };
    return uiauto::Run(options);
}

std::wstring TempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp, length) + name;
}

TEST(UiAutomation, InspectsTheDialogAndChoosesAFolderInItsBrowser) {
    // Nested and new: the browser fails on folders nobody has listed yet.
    std::wstring parent = TempFolder(L"uiauto browse " + std::to_wstring(GetCurrentProcessId()));
    std::wstring folder = parent + L"\\chosen";
    ASSERT_TRUE(CreateDirectoryW(parent.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    uiauto::RunResult result = DriveDialog([&](std::uintptr_t dialog) {
        uiauto::DialogInfo info = uiauto::Inspect(dialog);
        EXPECT_EQ(info.title, L"Target dialog");
        EXPECT_NE(info.style & WS_THICKFRAME, 0u);
        const uiauto::ControlInfo* trace = info.Control(UIAUTO_TARGET_TRACE);
        const uiauto::ControlInfo* ok = info.Control(IDOK);
        const uiauto::ControlInfo* label = info.Control(UIAUTO_TARGET_LABEL);
        ASSERT_TRUE(trace && ok && label);
        EXPECT_EQ(trace->text, L"first line\r\n\tsecond line");
        EXPECT_EQ(trace->className, L"Edit");
        EXPECT_NE(trace->style & ES_READONLY, 0u);
        EXPECT_FALSE(ok->enabled);
        EXPECT_TRUE(ok->visible);
        // Client coordinates start inside the frame and caption.
        EXPECT_EQ(label->inDialog.left, label->onScreen.left - info.client.left);
        EXPECT_EQ(label->inDialog.top, label->onScreen.top - info.client.top);
        EXPECT_GT(info.client.top, info.window.top);

        EXPECT_FALSE(uiauto::PressButton(dialog, IDOK)) << "a disabled button was pressed";
        ASSERT_TRUE(uiauto::PressButton(dialog, UIAUTO_TARGET_BROWSE));
        ASSERT_TRUE(uiauto::ChooseFolder(dialog, folder));
        ASSERT_TRUE(uiauto::WaitUntil([&] { return uiauto::Inspect(dialog).Control(IDOK)->enabled; }, 5000));
        EXPECT_EQ(uiauto::Inspect(dialog).Control(UIAUTO_TARGET_FOLDER)->text, folder);

        // A folder the browser cannot find must not pass for chosen, nor
        // leave the browser open, nor change the choice.
        ASSERT_TRUE(uiauto::PressButton(dialog, UIAUTO_TARGET_BROWSE));
        EXPECT_FALSE(uiauto::ChooseFolder(dialog, folder + L"\\missing"));
        ASSERT_TRUE(uiauto::WaitUntil([&] { return uiauto::Inspect(dialog).enabled; }, 5000));
        EXPECT_EQ(uiauto::Inspect(dialog).Control(UIAUTO_TARGET_FOLDER)->text, folder);
        EXPECT_TRUE(uiauto::PressButton(dialog, IDOK));
    });
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(parent.c_str());
    EXPECT_EQ(result.exitCode, static_cast<std::uint32_t>(IDOK));
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.handledWindows.size(), 1u);
    EXPECT_TRUE(result.otherWindows.empty());
}

TEST(UiAutomation, ResizesMaximisesAndSendsKeys) {
    uiauto::RunResult result = DriveDialog([](std::uintptr_t dialog) {
        uiauto::Rect initial = uiauto::Inspect(dialog).window;
        uiauto::Rect grown = uiauto::ResizeBy(dialog, 40, 30);
        EXPECT_EQ(grown.Width(), initial.Width() + 40);
        EXPECT_EQ(grown.Height(), initial.Height() + 30);
        // The target keeps its grip in the bottom-right corner.
        uiauto::DialogInfo info = uiauto::Inspect(dialog);
        EXPECT_EQ(info.Control(UIAUTO_TARGET_GRIP)->inDialog.right, info.client.Width());
        EXPECT_EQ(info.Control(UIAUTO_TARGET_GRIP)->inDialog.bottom, info.client.Height());
        // Its minimum is its first size: the size it got says so.
        uiauto::Rect shrunk = uiauto::ResizeBy(dialog, -100, -100);
        EXPECT_EQ(shrunk.Width(), initial.Width());
        EXPECT_EQ(shrunk.Height(), initial.Height());

        EXPECT_TRUE(uiauto::Maximize(dialog));
        info = uiauto::Inspect(dialog);
        EXPECT_TRUE(info.maximized);
        EXPECT_GT(info.window.Width(), grown.Width());
        EXPECT_FALSE(info.Control(UIAUTO_TARGET_GRIP)->visible);
        EXPECT_TRUE(uiauto::Restore(dialog));
        EXPECT_TRUE(uiauto::Inspect(dialog).Control(UIAUTO_TARGET_GRIP)->visible);

        EXPECT_TRUE(uiauto::SendKey(uiauto::ControlOf(dialog, UIAUTO_TARGET_TRACE), uiauto::Key::escape));
        EXPECT_TRUE(uiauto::WaitUntilGone(dialog, 5000));
    });
    EXPECT_EQ(result.exitCode, static_cast<std::uint32_t>(IDCANCEL));
    EXPECT_FALSE(result.timedOut);
}

std::wstring HttpsCommand() {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\https\\shell\\open\\command", nullptr, RRF_RT_REG_SZ, nullptr,
                 value, &size);
    return value;
}

TEST(UiAutomation, ClicksReachTheLinkAndTheRecorderSeesWhatItOpens) {
    const std::wstring address = L"https://example.invalid/get?a=1&b=2";
    std::wstring handlerBefore = HttpsCommand();
    {
        uiauto::ScopedUrlRecorder recorder;
        ASSERT_TRUE(recorder.Installed());
        uiauto::RunResult result = DriveDialog([&](std::uintptr_t dialog) {
            std::uintptr_t link = uiauto::ControlOf(dialog, UIAUTO_TARGET_LINK);
            ASSERT_TRUE(uiauto::Click(link));
            EXPECT_EQ(recorder.Opened(1, 10000), std::vector<std::wstring>{address});
            ASSERT_TRUE(uiauto::Click(link, uiauto::ClickInput::posted));
            EXPECT_EQ(recorder.Opened(2, 10000), (std::vector<std::wstring>{address, address}));
            EXPECT_TRUE(uiauto::CloseWithCloseBox(dialog));
        });
        EXPECT_EQ(result.exitCode, static_cast<std::uint32_t>(IDCANCEL));
    }
    EXPECT_EQ(HttpsCommand(), handlerBefore);
}

TEST(UiAutomation, DismissingClosesADialogRatherThanPressingItsOk) {
    // A posted IDOK would end the dialog with 1 although OK is disabled.
    uiauto::RunResult result = uiauto::Run(Target(L"dialog"));
    EXPECT_EQ(result.exitCode, static_cast<std::uint32_t>(IDCANCEL));
    ASSERT_EQ(result.otherWindows.size(), 1u);
    EXPECT_EQ(result.otherWindows[0].title, L"Target dialog");
}

TEST(UiAutomation, EnvironmentChangesReachTheBlock) {
    SetEnvironmentVariableW(L"UIAUTO_TEST_KEPT", L"kept");
    SetEnvironmentVariableW(L"UIAUTO_TEST_GONE", L"gone");
    std::wstring block = uiauto::BuildEnvironmentBlock({{L"uiauto_test_kept", L"replaced"}, {L"UIAUTO_TEST_NEW", L"a=b"}},
                                                       {L"uiauto_test_gone"});
    std::vector<std::wstring> entries;
    for (std::size_t at = 0; at < block.size() && block[at] != L'\0'; at = block.find(L'\0', at) + 1) {
        entries.push_back(block.substr(at, block.find(L'\0', at) - at));
    }
    auto count = [&](const std::wstring& prefix) {
        std::size_t n = 0;
        for (const std::wstring& entry : entries) {
            if (CompareStringOrdinal(entry.c_str(), static_cast<int>(std::min(entry.size(), prefix.size())), prefix.c_str(),
                                     static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL)
                ++n;
        }
        return n;
    };
    EXPECT_EQ(count(L"UIAUTO_TEST_GONE="), 0u);
    EXPECT_EQ(count(L"UIAUTO_TEST_KEPT="), 1u);
    EXPECT_NE(std::find(entries.begin(), entries.end(), L"uiauto_test_kept=replaced"), entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), L"UIAUTO_TEST_NEW=a=b"), entries.end());
    EXPECT_EQ(block.substr(block.size() - 2), std::wstring(2, L'\0'));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    uiauto::AvoidWindowManagerWaits();
    return RUN_ALL_TESTS();
}
