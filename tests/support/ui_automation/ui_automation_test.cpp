// The automation against a program that does each thing the e2e tests must
// notice: boxes in order, a window that is no box, a crash, a hang, and exit
// codes above INT_MAX.
#include <gtest/gtest.h>

#include <algorithm>

#include "ui_automation.h"
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
