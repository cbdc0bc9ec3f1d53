// A launcher with "Application Type=service" under Wine's Service Control
// Manager: installed by its own switch, started and stopped through the
// manager, judged by what the manager reports and what the jvm.dll double
// logged. A service's environment is the manager's, so the double reads its
// script from fakejvm.env and the launcher's trace goes where the prefix's
// system variables say (service-wine-run.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fake_runtime.h"
#include "launcher/win32_api.h"

namespace e2e {
namespace {

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

class ScHandle {
public:
    explicit ScHandle(SC_HANDLE handle = nullptr) : handle_(handle) {}
    ~ScHandle() {
        if (handle_ != nullptr) CloseServiceHandle(handle_);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    SC_HANDLE handle_;
};

class Service : public FakeRuntime {
protected:
    void SetUp() override {
        FakeRuntime::SetUp();
        if (IsSkipped()) return;
        trace_ = EnvironmentValue(L"ZORV_E2E_SERVICE_TRACE");
        if (trace_.empty()) GTEST_SKIP() << "run through service-wine-run.sh, which names the services' trace";
        manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager_, nullptr) << GetLastError();
        name_ = L"ZorvE2E" + std::to_wstring(GetCurrentProcessId());
        event_ = L"zorv-e2e-service-" + std::to_wstring(GetCurrentProcessId());
        InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
        DeleteFileW(trace_.c_str());
    }
    void TearDown() override {
        if (manager_ == nullptr) return;
        ScHandle service(OpenServiceW(manager_, name_.c_str(), SERVICE_ALL_ACCESS));
        if (service) {
            SERVICE_STATUS status = {};
            ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
            SERVICE_STATUS_PROCESS ignored;
            WaitFor(SERVICE_STOPPED, 10000, ignored);
            DeleteService(service.get());
        }
        CloseServiceHandle(manager_);
    }

    void WriteService(const Pairs& service, const Pairs& application = {}, const std::wstring& runtime = L"rt") {
        Pairs app = {{L"Application Type", L"service"}};
        app.insert(app.end(), application.begin(), application.end());
        Ini ini = Settings({{L"JRE Path", runtime}}, app);
        ini.Section(L"Service").Set(L"Service Name", name_);
        bool startType = false;
        for (const auto& entry : service) {
            ini.Set(entry.first, entry.second);
            startType |= entry.first == L"Start Type";
        }
        // Nothing starts the cases' services but the cases.
        if (!startType) ini.Set(L"Start Type", L"manual");
        sandbox_.WriteBytes(folder_ + L"app.ini", ini.Encoded());
    }
    // The double's script for the next start, beside it.
    void WriteDouble(const Pairs& variables) {
        DeleteFileW(log_.c_str());
        std::wstring text = L"FAKEJVM_LOG=" + log_ + L"\nFAKEJVM_CLASSES=com/example/App\nFAKEJVM_PAUSE=" + event_ + L"\n";
        for (const auto& entry : variables) text += entry.first + L"=" + entry.second + L"\n";
        sandbox_.WriteBytes(folder_ + L"rt\\bin\\server\\fakejvm.env", Utf8(text));
    }

    ::testing::AssertionResult Install() {
        uiauto::RunResult result = Start(L"--install-service");
        return Ended(result, 0, {});
    }
    ScHandle Open() const { return ScHandle(OpenServiceW(manager_, name_.c_str(), SERVICE_ALL_ACCESS)); }

    bool WaitFor(DWORD state, DWORD timeoutMs, SERVICE_STATUS_PROCESS& status) const {
        ScHandle service = Open();
        for (DWORD waited = 0;; waited += 50) {
            DWORD size = 0;
            if (!service ||
                !QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                      sizeof status, &size))
                return false;
            if (status.dwCurrentState == state) return true;
            if (waited >= timeoutMs) return false;
            Sleep(50);
        }
    }
    // Wine's manager takes a new start only once the service's last process
    // has gone, which may be a moment after it reported STOPPED (Windows
    // starts a new process at once): it refuses with 1359 or 1056 until then.
    ::testing::AssertionResult StartTheService() const {
        ScHandle service = Open();
        DWORD error = ERROR_INVALID_HANDLE;
        for (int tries = 0; service && tries < 50; ++tries) {
            if (StartServiceW(service.get(), 0, nullptr)) return ::testing::AssertionSuccess();
            error = GetLastError();
            if (error != ERROR_INTERNAL_ERROR && error != ERROR_SERVICE_ALREADY_RUNNING) break;
            Sleep(100);
        }
        return ::testing::AssertionFailure() << "StartServiceW failed with " << error;
    }
    // Starts the service and waits until the manager says it runs.
    ::testing::AssertionResult StartRunning(SERVICE_STATUS_PROCESS& status) {
        ::testing::AssertionResult started = StartTheService();
        if (!started) return started;
        if (!WaitFor(SERVICE_RUNNING, 5000, status))
            return ::testing::AssertionFailure() << "not running 5 s after the start, state " << status.dwCurrentState
                                                 << "; trace:\n" << TraceText();
        return ::testing::AssertionSuccess();
    }
    bool Stop() const {
        ScHandle service = Open();
        SERVICE_STATUS status = {};
        return service && ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    }
    // The exit code the manager was told at the end: 0, or the launcher's own.
    static std::int64_t ExitCodeOf(const SERVICE_STATUS_PROCESS& status) {
        if (status.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR)
            return static_cast<std::int32_t>(status.dwServiceSpecificExitCode);
        return status.dwWin32ExitCode == NO_ERROR ? 0 : -1000000 - static_cast<std::int64_t>(status.dwWin32ExitCode);
    }
    std::vector<std::string> Lines() const { return SplitLines(ReadFileBytes(log_)); }
    std::string TraceText() const { return ReadFileBytes(trace_); }
    bool Logged(const std::string& line) const {
        std::vector<std::string> lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    SC_HANDLE manager_ = nullptr;
    std::wstring name_, event_, trace_;
    // Where the service's executable, settings and runtime are: empty, or a subfolder ending in "\\".
    std::wstring folder_;
};

std::vector<std::wstring> MultiString(const wchar_t* list) {
    std::vector<std::wstring> items;
    for (const wchar_t* p = list; p != nullptr && *p != L'\0'; p += wcslen(p) + 1) items.push_back(p);
    return items;
}

TEST_F(Service, InstallRegistersWhatTheSettingsSayOnceAndRemoveUndoesIt) {
    WriteService({{L"Display Name", L"Zorv test service"},
                  {L"Description", L"Runs com.example.App"},
                  {L"Dependencies", L"PlugPlay;RpcSs"},
                  {L"Account", L"LocalService"},
                  {L"Stop Timeout", L"7"}});
    ASSERT_TRUE(Install());
    {
        ScHandle service = Open();
        ASSERT_TRUE(service) << GetLastError();
        std::vector<BYTE> buffer(8192);
        DWORD needed = 0;
        ASSERT_TRUE(QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                                        static_cast<DWORD>(buffer.size()), &needed));
        const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
        // Quoted, or a path with spaces would let another program run first.
        EXPECT_EQ(std::wstring(config->lpBinaryPathName), L"\"" + exe_ + L"\"");
        EXPECT_EQ(config->dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
        EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_DEMAND_START));
        EXPECT_EQ(std::wstring(config->lpDisplayName), L"Zorv test service");
        EXPECT_EQ(std::wstring(config->lpServiceStartName), L"NT AUTHORITY\\LocalService");
        // Wine's QueryServiceConfigW leaves the dependencies out; its registry has them.
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (L"System\\CurrentControlSet\\Services\\" + name_).c_str(), 0,
                                KEY_QUERY_VALUE, &key),
                  ERROR_SUCCESS);
        DWORD type = 0, size = static_cast<DWORD>(buffer.size());
        std::fill(buffer.begin(), buffer.end(), BYTE{0});
        EXPECT_EQ(RegQueryValueExW(key, L"DependOnService", nullptr, &type, buffer.data(), &size), ERROR_SUCCESS);
        RegCloseKey(key);
        EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
        EXPECT_EQ(MultiString(reinterpret_cast<const wchar_t*>(buffer.data())),
                  (std::vector<std::wstring>{L"PlugPlay", L"RpcSs"}));
        ASSERT_TRUE(QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer.data(),
                                         static_cast<DWORD>(buffer.size()), &needed));
        EXPECT_EQ(std::wstring(reinterpret_cast<const SERVICE_DESCRIPTIONW*>(buffer.data())->lpDescription),
                  L"Runs com.example.App");
        // A shutdown gets the stop timeout and the few seconds to report the end.
        ASSERT_TRUE(QueryServiceConfig2W(service.get(), SERVICE_CONFIG_PRESHUTDOWN_INFO, buffer.data(),
                                         static_cast<DWORD>(buffer.size()), &needed));
        EXPECT_EQ(reinterpret_cast<const SERVICE_PRESHUTDOWN_INFO*>(buffer.data())->dwPreshutdownTimeout, 12000u);
    }

    // Installing twice, removing twice, or a switch with company: each says so, nothing changes.
    const std::string twice = "The service \"" + Utf8(name_) +
                              "\" is installed already; nothing was changed. Remove it first with --remove-service to "
                              "install it anew.";
    EXPECT_TRUE(Ended(Start(L"--install-service"), 1073, {twice}));
    EXPECT_TRUE(Ended(Start(L"--install-service now"), kFailed,
                      {"--install-service and --remove-service take no further arguments; nothing was changed."}));
    EXPECT_TRUE(Open());
    EXPECT_TRUE(Ended(Start(L"--remove-service"), 0, {}));
    EXPECT_FALSE(Open());
    EXPECT_TRUE(Ended(Start(L"--remove-service"), 1060,
                      {"The service \"" + Utf8(name_) + "\" is not installed; nothing was changed."}));
    // A setting that says nothing the manager can take is named, and nothing is registered.
    WriteService({{L"Start Type", L"sometimes"}});
    EXPECT_TRUE(Ended(Start(L"--install-service"), kFailed,
                      {"The service is not installed: \"Start Type=sometimes\" in [Service] is none of \"automatic\", "
                       "\"delayed automatic\" and \"manual\"."}));
    EXPECT_FALSE(Open());
    EXPECT_EQ(Lines(), std::vector<std::string>{}) << "no VM for a service command";

    // A part the manager refuses takes the whole registration back: Wine's refuses failure actions.
    WriteService({{L"Restart Delay", L"5"}});
    EXPECT_TRUE(Ended(Start(L"--install-service"), kFailed,
                      {"Installing the service \"" + Utf8(name_) +
                       "\" failed: the service manager refused its restart after a failure (error 124). Nothing was "
                       "changed."}));
    EXPECT_FALSE(Open());

    // Without "Application Type=service" the switch is the application's argument.
    WriteSettings(Settings({{L"JRE Path", L"rt"}}));
    EXPECT_TRUE(Ended(Start(L"--install-service"), 0, {}));
    EXPECT_EQ(WithPrefix(SplitLines(ReadFileBytes(log_)), "arg[0]="),
              std::vector<std::string>{"arg[0]=--install-service"});
    EXPECT_FALSE(Open());
}

TEST_F(Service, StopEndsTheApplicationAsSystemExitWouldAndReportsStopped) {
    WriteService({}, {{L"Output File", L"out.txt"}});
    WriteDouble({{L"FAKEJVM_MAIN_WAIT", L"60000"}, {L"FAKEJVM_WRITE_OUT", L"from main"}});
    ASSERT_TRUE(Install());
    SERVICE_STATUS_PROCESS status = {};
    ASSERT_TRUE(StartRunning(status));
    EXPECT_EQ(status.dwControlsAccepted & (SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN),
              static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN));
    // Running is said once main has been called, and not before.
    EXPECT_TRUE(Logged("call_static_void com/example/App.main")) << ReadFileBytes(log_);
    // The manager starts services in the system folder; their files are the executable's neighbours.
    EXPECT_EQ(WithPrefix(Lines(), "cwd "), std::vector<std::string>{"cwd " + Utf8(sandbox_.Root())});
    EXPECT_EQ(WaitForFile(sandbox_.Path(L"out.txt"), 5000), "from main");

    ASSERT_TRUE(Stop()) << GetLastError();
    ASSERT_TRUE(WaitFor(SERVICE_STOPPED, 10000, status)) << TraceText();
    EXPECT_EQ(ExitCodeOf(status), 0);
    EXPECT_TRUE(Logged("system_exit 0")) << ReadFileBytes(log_);
    EXPECT_TRUE(Logged("exit_hook 0")) << ReadFileBytes(log_);
    ExpectNoFaults();
    EXPECT_NE(TraceText().find("service: stop requested, ending the application with System.exit(0)"),
              std::string::npos)
        << TraceText();
}

// The console launcher and the x86 one connect to the manager as the GUI launcher does.
TEST_F(Service, EveryLauncherRunsAsAServiceAndStops) {
    struct Kind {
        const wchar_t* folder;
        std::wstring launcher, jvm;
    };
    const std::wstring x86 = zorv::testing::FromHostPath(EnvironmentValue(L"ZORV_E2E_LAUNCHER_X86"));
    std::vector<Kind> kinds = {{L"console\\", ConsoleLauncherExe(), FakeJvm64()}};
    DWORD error = 0;
    if (!x86.empty() && FileExists(x86) && !FakeJvm32().empty() && RunsX86Programs() && StartsSuspended(x86, error))
        kinds.push_back({L"x86\\", x86, FakeJvm32()});
    else
        std::printf("the x86 launcher, its jvm.dll double or Wine's 32-bit half is missing (error %lu): only the "
                    "console launcher is tried\n",
                    static_cast<unsigned long>(error));
    for (const Kind& kind : kinds) {
        folder_ = kind.folder;
        exe_ = sandbox_.CopyIn(kind.launcher, folder_ + L"app.exe");
        sandbox_.WriteBytes(folder_ + L"lib\\app.jar", "not really a jar");
        InstallRuntime(folder_ + L"rt", L"bin\\server\\jvm.dll", false, kind.jvm);
        log_ = sandbox_.Path(folder_ + L"fake.log");
        WriteService({});
        WriteDouble({{L"FAKEJVM_MAIN_WAIT", L"60000"}});
        ASSERT_TRUE(Install()) << Utf8(kind.folder);
        SERVICE_STATUS_PROCESS status = {};
        ASSERT_TRUE(StartRunning(status)) << Utf8(kind.folder);
        EXPECT_TRUE(Logged("call_static_void com/example/App.main")) << Utf8(kind.folder);
        ASSERT_TRUE(Stop());
        ASSERT_TRUE(WaitFor(SERVICE_STOPPED, 10000, status)) << TraceText();
        EXPECT_EQ(ExitCodeOf(status), 0) << Utf8(kind.folder);
        EXPECT_TRUE(Logged("system_exit 0")) << Utf8(kind.folder) << ReadFileBytes(log_);
        ExpectNoFaults();
        EXPECT_TRUE(Ended(Start(L"--remove-service"), 0, {})) << Utf8(kind.folder);
    }
}

TEST_F(Service, StopMethodRunsOnItsOwnThreadAndTheServiceEndsWithMain) {
    WriteService({{L"Stop Class", L"com.example.App"}, {L"Stop Arguments", L"now \"two words\""}});
    ASSERT_TRUE(Install());
    struct Form {
        const wchar_t* stop;
        std::vector<std::string> arguments;
    };
    for (const Form& form : {Form{L"args", {"stop_args count=2", "stop_arg[0]=now", "stop_arg[1]=two words"}},
                             Form{L"noargs", {"stop_args none"}}}) {
        WriteDouble({{L"FAKEJVM_MAIN_WAIT", L"60000"}, {L"FAKEJVM_STOP", form.stop}});
        SERVICE_STATUS_PROCESS status = {};
        ASSERT_TRUE(StartRunning(status)) << Utf8(form.stop);
        ASSERT_TRUE(Stop()) << GetLastError();
        ASSERT_TRUE(WaitFor(SERVICE_STOPPED, 10000, status)) << TraceText();
        EXPECT_EQ(ExitCodeOf(status), 0) << Utf8(form.stop);
        std::vector<std::string> lines = Lines();
        std::vector<std::string> stopLines = WithPrefix(lines, "stop_arg");
        EXPECT_EQ(stopLines, form.arguments) << ReadFileBytes(log_);
        // main ended by itself once the stop method let it, and the VM was destroyed; no System.exit.
        EXPECT_TRUE(Logged("stop_return")) << ReadFileBytes(log_);
        EXPECT_TRUE(Logged("main_wait_end"));
        EXPECT_TRUE(Logged("destroy"));
        EXPECT_EQ(WithPrefix(lines, "system_exit").size(), 0u) << ReadFileBytes(log_);
        ExpectNoFaults();
    }
}

TEST_F(Service, StopMethodThatNeverReturnsEndsTheProcessAfterTheStopTimeout) {
    WriteService({{L"Stop Class", L"com.example.App"}, {L"Stop Timeout", L"2"}});
    WriteDouble({{L"FAKEJVM_MAIN_WAIT", L"60000"}, {L"FAKEJVM_STOP", L"never"}});
    ASSERT_TRUE(Install());
    SERVICE_STATUS_PROCESS status = {};
    ASSERT_TRUE(StartRunning(status));
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, status.dwProcessId);
    ASSERT_NE(process, nullptr);
    const ULONGLONG stopAt = GetTickCount64();
    ASSERT_TRUE(Stop());
    EXPECT_TRUE(WaitFor(SERVICE_STOPPED, 10000, status)) << TraceText();
    EXPECT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0);
    const ULONGLONG took = GetTickCount64() - stopAt;
    CloseHandle(process);
    EXPECT_GE(took, 1900u);
    EXPECT_LT(took, 8000u);
    EXPECT_EQ(ExitCodeOf(status), 1);
    EXPECT_TRUE(Logged("stop_never_returns")) << ReadFileBytes(log_);
    EXPECT_NE(TraceText().find("to the event log: The application did not end within 2 s of the stop request (\"Stop "
                               "Timeout\" in [Service]): the process was ended."),
              std::string::npos)
        << TraceText();
}

TEST_F(Service, TheEndOfMainAndAFailedStartReachTheManagerAndTheEventLog) {
    WriteService({});
    ASSERT_TRUE(Install());
    SERVICE_STATUS_PROCESS status = {};
    struct Case {
        const wchar_t* main;
        std::int64_t exitCode;
        const char* logged;  // in the trace, on its way to the event log
    };
    for (const Case& c : {Case{L"return", 0, nullptr},
                          Case{L"exit:3", 3, nullptr},
                          Case{L"throw", 1,
                               "to the event log: The application's main threw: java.lang.RuntimeException: thrown by "
                               "com.example.App.main"}}) {
        WriteDouble({{L"FAKEJVM_MAIN", c.main}});
        DeleteFileW(trace_.c_str());
        ASSERT_TRUE(StartTheService());
        ASSERT_TRUE(WaitFor(SERVICE_STOPPED, 10000, status)) << TraceText();
        EXPECT_EQ(ExitCodeOf(status), c.exitCode) << Utf8(c.main) << "\n" << TraceText();
        EXPECT_TRUE(Logged("call_static_void com/example/App.main")) << Utf8(c.main);
        if (c.logged != nullptr) {
            EXPECT_NE(TraceText().find(c.logged), std::string::npos) << TraceText();
        }
        // No dialog in a service: the throw goes nowhere else.
        EXPECT_EQ(TraceText().find("dialog"), std::string::npos) << TraceText();
    }

    // No runtime: the manager hears -1, the event log the launcher's message.
    WriteService({}, {}, L"nowhere");
    WriteDouble({});
    DeleteFileW(trace_.c_str());
    ASSERT_TRUE(StartTheService());
    ASSERT_TRUE(WaitFor(SERVICE_STOPPED, 10000, status)) << TraceText();
    EXPECT_EQ(ExitCodeOf(status), -1);
    EXPECT_NE(TraceText().find("to the event log: The Java Runtime Environment (JRE) was not found."), std::string::npos)
        << TraceText();
    EXPECT_FALSE(FileExists(log_));
}

TEST_F(Service, FilesOrdinaryUsersCanChangeAreRefusedAtInstall) {
    // Wine derives a file's access list from its Unix mode: a folder anybody may write to.
    const std::wstring open = L"Z:\\tmp\\zorv-e2e-service-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(open.c_str(), nullptr);
    ASSERT_EQ(RunOnHost(sandbox_, "chmod 777 " + Quoted(open)), 0);
    exe_ = open + L"\\app.exe";
    ASSERT_TRUE(CopyFileW(LauncherExe().c_str(), exe_.c_str(), FALSE));
    Ini ini = Settings({}, {{L"Application Type", L"service"}});
    ini.Section(L"Service").Set(L"Service Name", name_);
    HANDLE file = CreateFileW((open + L"\\app.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const std::string bytes = ini.Encoded();
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    EXPECT_TRUE(Ended(Start(L"--install-service"), kFailed,
                      {"The service \"" + Utf8(name_) + "\" is not installed: Everyone can change " + Utf8(open) +
                       ", and so run code of their own as the service's account. Let ordinary users only read and run "
                       "the service's files (as under C:\\Program Files), then install it again."}));
    EXPECT_FALSE(Open());
    DeleteFileW(exe_.c_str());
    DeleteFileW((open + L"\\app.ini").c_str());
    RemoveDirectoryW(open.c_str());

    // A folder opened up after the install: the service starts, with a warning in the event log.
    exe_ = sandbox_.Path(L"app.exe");
    WriteService({});
    WriteDouble({});
    ASSERT_TRUE(Install());
    ASSERT_EQ(RunOnHost(sandbox_, "chmod 777 " + Quoted(sandbox_.Root())), 0);
    ASSERT_TRUE(StartTheService());
    SERVICE_STATUS_PROCESS status = {};
    ASSERT_TRUE(WaitFor(SERVICE_STOPPED, 10000, status)) << TraceText();
    EXPECT_EQ(ExitCodeOf(status), 0);
    EXPECT_NE(TraceText().find("to the event log: Everyone can change " + Utf8(sandbox_.Root()) +
                               ", and so run code of their own as this service's account."),
              std::string::npos)
        << TraceText();
}

}  // namespace
}  // namespace e2e
