// The x64 launcher and its x86 pair, built from the same source, each name the
// other as "Pair Product": a start that finds a runtime of the other
// architecture goes to the other launcher with its command line unchanged, and
// the first one ends with the exit code of the application the second ran.
#include <gtest/gtest.h>

#include <future>

#include "fake_runtime.h"
#include "launcher/win32_api.h"

namespace e2e {
namespace {

using zorv::testing::FromHostPath;

const wchar_t kArguments[] = L"one \"two words\" \u041f\u0440\u0438\u0432\u0435\u0442-\u00fc";
const std::uint32_t kApplicationExit = 7;


class PairLaunchers : public FakeRuntime {
protected:
    void SetUp() override {
        FakeRuntime::SetUp();
        if (IsSkipped()) return;
        std::wstring x86 = FromHostPath(EnvironmentValue(L"ZORV_E2E_LAUNCHER_X86"));
        if (x86.empty() || !FileExists(x86)) GTEST_SKIP() << "the x86 launcher was not built (tools/build builds it)";
        if (FakeJvm32().empty() || !FileExists(FakeJvm32())) GTEST_SKIP() << "the 32-bit jvm.dll double was not built";
        exe64_ = exe_;
        exe32_ = sandbox_.CopyIn(x86, L"app32.exe");
        DWORD error = 0;
        if (!RunsX86Programs() || !StartsSuspended(exe32_, error)) {
            ASSERT_NE(error, static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << "the x86 launcher is no valid image";
            GTEST_SKIP() << "this Wine starts no 32-bit program (error " << error
                         << "): it needs wine32:i386 and a kernel that runs i386 programs";
        }
        runtime32_ = InstallRuntime(L"rt32", L"bin\\server\\jvm.dll", false, FakeJvm32());
        runtime64_ = InstallRuntime(L"rt64", L"bin\\server\\jvm.dll", false, FakeJvm64());
        environment_.emplace_back(L"FAKEJVM_MAIN", L"exit:" + std::to_wstring(kApplicationExit));
    }

    // Each launcher's settings name the other as its pair and wait for it.
    void WriteBoth(const std::vector<std::pair<std::wstring, std::wstring>>& runtime,
                   const std::vector<std::pair<std::wstring, std::wstring>>& application = {}) {
        auto withPair = [&](const std::wstring& pair) {
            std::vector<std::pair<std::wstring, std::wstring>> entries = {{L"Pair Product", pair},
                                                                          {L"Pair Return Code", L"Yes"}};
            entries.insert(entries.end(), application.begin(), application.end());
            return Settings(runtime, entries).Encoded();
        };
        sandbox_.WriteBytes(L"app.ini", withPair(exe32_));
        sandbox_.WriteBytes(L"app32.ini", withPair(exe64_));
    }

    // The application ran once, in the launcher of the library's architecture,
    // with the arguments as typed, and its exit code came back through both.
    void ExpectRanWith(const uiauto::RunResult& result, const std::wstring& library) {
        EXPECT_TRUE(Ended(result, kApplicationExit, {}));
        ExpectLoaded(library);
        EXPECT_EQ(WithPrefix(lines_, "arg["),
                  (std::vector<std::string>{"arg[0]=one", "arg[1]=two words",
                                            "arg[2]=" + Utf8(L"\u041f\u0440\u0438\u0432\u0435\u0442-\u00fc")}))
            << LogText();
        EXPECT_EQ(WithPrefix(lines_, "exit_hook "),
                  std::vector<std::string>{"exit_hook " + std::to_string(kApplicationExit)})
            << LogText();
        ExpectNoFaults();
    }

    std::wstring exe64_;
    std::wstring exe32_;
    std::wstring runtime32_;
    std::wstring runtime64_;
};

TEST_F(PairLaunchers, X86LauncherRunsA32BitRuntimeItself) {
    WriteBoth({{L"JRE Path", L"rt32"}});
    exe_ = exe32_;
    ExpectRanWith(Start(kArguments), runtime32_);
}

TEST_F(PairLaunchers, X64LauncherHandsA32BitRuntimeToTheX86One) {
    WriteBoth({{L"JRE Path", L"rt32"}});
    ExpectRanWith(Start(kArguments), runtime32_);
}

// From a configured folder the library's header decides; from the registry the
// view: the x86 launcher finds a registration of the 64-bit view only in its
// second pass, and that one belongs to the pair.
TEST_F(PairLaunchers, X86LauncherHandsA64BitRuntimeToTheX64One) {
    exe_ = exe32_;
    WriteBoth({{L"JRE Path", L"rt64"}});
    ExpectRanWith(Start(kArguments), runtime64_);

    RegistryRegistration registration(L"17", sandbox_.Path(L"rt64"));
    ASSERT_TRUE(registration.ok());
    WriteBoth({{L"Maximum Version", L"any"}});
    ExpectRanWith(Start(kArguments), runtime64_);
}

// The application runs in the x86 launcher; later starts of the x64 one reach
// it there and end with its reply, while the first start still waits for it.
TEST_F(PairLaunchers, SingleInstanceStartsReachTheApplicationInThePair) {
    WriteBoth({{L"JRE Path", L"rt32"}}, {{L"Single Instance", L"yes"}});
    const std::wstring release = L"zorv-pair-release-" + std::to_wstring(GetCurrentProcessId());
    HANDLE releaseEvent = CreateEventW(nullptr, FALSE, FALSE, release.c_str());
    environment_ = {{L"FAKEJVM_LOG", log_},
                    {L"FAKEJVM_CLASSES", L"com/example/App"},
                    {L"FAKEJVM_SECONDARY", L"int"},
                    {L"FAKEJVM_PAUSE", release},
                    {L"FAKEJVM_MAIN_WAIT", L"100000"}};
    Launch launch;
    launch.exe = exe64_;
    launch.environment = environment_;
    launch.timeoutMs = 120000;
    auto first = std::async(std::launch::async, [launch] { return RunLauncher(launch); });
    ASSERT_TRUE(uiauto::WaitUntil([&] { return ReadFileBytes(log_).find("main_args") != std::string::npos; }, 60000))
        << ReadFileBytes(log_);

    launch.arguments = L"-5";
    EXPECT_TRUE(Ended(RunLauncher(launch), static_cast<std::uint32_t>(-5), {}));
    launch.arguments = L"3 4";
    EXPECT_TRUE(Ended(RunLauncher(launch), 7, {}));
    SetEvent(releaseEvent);
    EXPECT_TRUE(Ended(first.get(), 0, {}));
    CloseHandle(releaseEvent);
    lines_ = SplitLines(ReadFileBytes(log_));
    EXPECT_EQ(WithPrefix(lines_, "main_args"), std::vector<std::string>{"main_args count=0"}) << LogText();
    EXPECT_EQ(WithPrefix(lines_, "secondary_arg"),
              (std::vector<std::string>{"secondary_args count=1", "secondary_arg[0]=-5", "secondary_args count=2",
                                        "secondary_arg[0]=3", "secondary_arg[1]=4"}));
    ExpectNoFaults();
}

}  // namespace
}  // namespace e2e
