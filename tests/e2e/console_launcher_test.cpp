// launcher-console.exe started as a shell starts it, its standard handles
// redirected to files: the application's output, input and exit code are the
// shell's, the launcher's own errors go to standard error in the desktop
// launcher's words, and zorvtool turns either launcher into the other kind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_runtime.h"
#include "launcher/win32_api.h"

#include <imagehlp.h>

namespace e2e {
namespace {

class ConsoleLauncher : public FakeRuntime {
protected:
    void SetUp() override {
        FakeRuntime::SetUp();
        if (IsSkipped()) return;
        if (ConsoleLauncherExe().empty() || !FileExists(ConsoleLauncherExe()))
            GTEST_SKIP() << "launcher-console.exe was not built";
        sandbox_.CopyIn(ConsoleLauncherExe(), L"app.exe");
        standardInput_ = sandbox_.WriteBytes(L"in.txt", "");
        standardOutput_ = sandbox_.Path(L"out.txt");
        standardError_ = sandbox_.Path(L"err.txt");
    }
    std::string Output() const { return ReadFileBytes(standardOutput_); }
    std::string Errors() const { return ReadFileBytes(standardError_); }

    // The subsystem field of the program's optional header, read by the system's own helper.
    WORD Subsystem() const {
        std::string file = ReadFileBytes(exe_);
        IMAGE_NT_HEADERS* headers = file.empty() ? nullptr : ImageNtHeader(&file[0]);
        return headers == nullptr ? 0 : headers->OptionalHeader.Subsystem;
    }
    bool ChecksumHolds() const {
        std::string file = ReadFileBytes(exe_);
        DWORD headerSum = 0, checkSum = 0;
        return CheckSumMappedFile(&file[0], static_cast<DWORD>(file.size()), &headerSum, &checkSum) != nullptr &&
               headerSum == checkSum;
    }
};

// What would be lost on a console: no window of any kind, and an end by itself.
::testing::AssertionResult NoWindows(const uiauto::RunResult& result) {
    if (result.started && !result.timedOut && result.windows.empty() && result.crashDialogs.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Describe(result);
}

TEST_F(ConsoleLauncher, ApplicationHasTheShellsInputOutputAndExitCode) {
    InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    WatchedPicture picture;
    Ini ini = Settings({{L"JRE Path", L"rt"}});
    ini.Section(L"Display").Set(L"Splash Screen", picture.Path());
    WriteSettings(ini);
    sandbox_.WriteBytes(L"in.txt", "first line\r\nzweite Zeile\r\n");
    const std::wstring written = L"gr\u00fc\u00dfe \u65e5\u672c \u2713\n";
    const std::wstring argument = L"na\u00efve-\u041f\u0440\u0438\u0432\u0435\u0442";
    const std::wstring trace = sandbox_.Path(L"trace.txt");

    EXPECT_TRUE(Ended(Start(L"\"" + argument + L"\" two",
                            {{L"FAKEJVM_WRITE_OUT", written},
                             {L"FAKEJVM_WRITE_ERR", L"from System.err\n"},
                             {L"FAKEJVM_ECHO_INPUT", L"yes"},
                             {L"FAKEJVM_MAIN", L"exit:42"},
                             {L"ZORV_LAUNCHER_DEBUG", trace}}),
                      42, {}));
    EXPECT_EQ(WithPrefix(lines_, "arg["), (std::vector<std::string>{"arg[0]=" + Utf8(argument), "arg[1]=two"}))
        << LogText();
    EXPECT_EQ(Output(), Utf8(written) + "first line\r\nzweite Zeile\r\n");
    EXPECT_EQ(Errors(), "from System.err\n");
    EXPECT_EQ(WithPrefix(lines_, "exit_hook "), std::vector<std::string>{"exit_hook 42"}) << LogText();
    // The splash the settings name stays away unless the command line asks
    // for it, and the trace says why. System.exit may end a start before a
    // splash thread came to the picture; a main that returns is waited for,
    // splash and all, so after it the picture tells whether one was started.
    const std::string traced = ReadFileBytes(trace);
    EXPECT_NE(traced.find("run: no splash, not asked for with -splash"),
              std::string::npos)
        << traced;
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(picture.Opens(), 0) << "the splash was started without -splash";
    // main stays until the splash window has come, as an application would stay.
    const std::wstring resume = L"zorv-console-splash-" + std::to_wstring(GetCurrentProcessId());
    HANDLE resumed = CreateEventW(nullptr, FALSE, FALSE, resume.c_str());
    onWindow_ = [&](const uiauto::WindowReport& window) {
        if (window.className == L"SplashScreenWindow") SetEvent(resumed);
        return false;
    };
    uiauto::RunResult asked = Start(L"/splash", {{L"FAKEJVM_PAUSE", resume}, {L"FAKEJVM_PAUSE_AT", L"main"}});
    CloseHandle(resumed);
    EXPECT_EQ(asked.exitCode, 0u);
    EXPECT_GT(picture.Opens(), 0);
    ASSERT_EQ(asked.otherWindows.size(), 1u) << Describe(asked);
    EXPECT_EQ(asked.otherWindows[0].className, L"SplashScreenWindow");
    ExpectNoFaults();
}

TEST_F(ConsoleLauncher, ErrorsGoToStandardErrorInTheDesktopLaunchersWords) {
    WriteSettings(Ini().Section(L"Class Path").Set(L"Class Path", L"lib\\app.jar"));
    uiauto::RunResult result = Start();
    EXPECT_TRUE(NoWindows(result));
    EXPECT_EQ(result.exitCode, kFailed);
    EXPECT_EQ(Errors(), std::string(kNoMainClass) + "\r\n");
    EXPECT_EQ(Output(), "");

    // No dialog: the version needed and where to get it.
    WriteSettings(Settings({{L"Minimum Version", L"1.8"}, {L"Maximum Version", L"any"}, {L"JRE Path", L"nowhere"}}));
    result = Start();
    EXPECT_TRUE(NoWindows(result));
    EXPECT_EQ(result.exitCode, kFailed);
    EXPECT_EQ(Errors(),
              "The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (minimum version "
              "1.8) from:\r\nhttps://adoptium.net/\r\n");

    // "Failure Check" without the dialog: the exception is left to the VM,
    // which reports it, and the shell gets 1, as from java.
    InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Failure Check", L"Yes"}}));
    result = Start(L"", {{L"FAKEJVM_MAIN", L"throw"}});
    EXPECT_TRUE(NoWindows(result));
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(Errors(), "") << "the launcher repeats the VM's report";
    EXPECT_EQ(WithPrefix(lines_, "system_exit "), std::vector<std::string>{}) << "the trace stops nothing";
    EXPECT_EQ(Faults(lines_), std::vector<std::string>{"DETACH_WITH_PENDING_EXCEPTION java/lang/RuntimeException"})
        << LogText();
}

TEST_F(ConsoleLauncher, HandsItsStandardHandlesToThePairProduct) {
    if (FakeJvm32().empty() || !FileExists(FakeJvm32())) GTEST_SKIP() << "the 32-bit jvm.dll double was not built";
    InstallRuntime(L"rt32", L"bin\\server\\jvm.dll", false, FakeJvm32());
    const std::wstring pair = sandbox_.CopyIn(PairStubExe(), L"pair\\app32.exe");
    WriteSettings(Settings({{L"JRE Path", L"rt32"}}, {{L"Pair Product", pair}, {L"Pair Return Code", L"Yes"}}));
    const std::wstring text = L"pair output \u00e9";
    EXPECT_TRUE(Ended(Start(L"", {{L"PAIR_STUB_WRITE_OUT", text}, {L"PAIR_STUB_EXIT", L"7"}}), 7, {}));
    EXPECT_EQ(Output(), std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

TEST_F(ConsoleLauncher, ZorvtoolTurnsEitherLauncherIntoTheOtherKind) {
    if (ZorvtoolExe().empty()) GTEST_SKIP() << "zorvtool.exe was not built";
    WriteSettings(Ini().Section(L"Class Path").Set(L"Class Path", L"lib\\app.jar"));
    const std::wstring exe = L"\"" + exe_ + L"\"";

    sandbox_.CopyIn(LauncherExe(), L"app.exe");
    ASSERT_EQ(Subsystem(), IMAGE_SUBSYSTEM_WINDOWS_GUI);
    ASSERT_EQ(RunTool(L"subsystem " + exe + L" console"), 0);
    EXPECT_EQ(Subsystem(), IMAGE_SUBSYSTEM_WINDOWS_CUI);
    EXPECT_TRUE(ChecksumHolds());
    uiauto::RunResult result = Start();
    EXPECT_TRUE(NoWindows(result));
    EXPECT_EQ(result.exitCode, kFailed);
    EXPECT_EQ(Errors(), std::string(kNoMainClass) + "\r\n");

    sandbox_.CopyIn(ConsoleLauncherExe(), L"app.exe");
    ASSERT_EQ(Subsystem(), IMAGE_SUBSYSTEM_WINDOWS_CUI);
    ASSERT_EQ(RunTool(L"subsystem " + exe + L" gui"), 0);
    EXPECT_EQ(Subsystem(), IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_TRUE(ChecksumHolds());
    EXPECT_TRUE(Ended(Start(), kFailed, {kNoMainClass}));
    EXPECT_EQ(Errors(), "");
}

}  // namespace
}  // namespace e2e
