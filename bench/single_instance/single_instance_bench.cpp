// What a second start costs: the round trip of a start that hands its
// arguments to a running first instance and exits with the reply, against a
// plain start of the same launcher whose application's main returns at once,
// under Wine (or Windows).
//
//   single_instance_bench.exe [--runs N] [--launcher PATH] [--jvm PATH]
//
// Run it by hand from the build folder:
//   xvfb-run -a -s "-screen 0 1280x1024x24" ./wine-run bench/single_instance/single_instance_bench.exe --runs 25
//
// Method: two copies of the launcher with the jvm.dll double as their runtime,
// one with "Single Instance=yes" whose first start stays up (its secondaryMain
// returns the sum of its arguments), one without. QueryPerformanceCounter
// just before CreateProcessW and just after the process has ended. The two
// kinds of run alternate, after one unmeasured run of each; every second start
// must exit with its own reply.
#include "common/wine_bench.h"
#include "launcher/win32_api.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using zorv::bench::FromHostPath;
using zorv::bench::Median;
using zorv::bench::Now;
using zorv::bench::PrintRow;
using zorv::bench::ReadAll;
using zorv::bench::WriteAll;

#ifndef ZORV_BENCH_FAKE_JVM
#define ZORV_BENCH_FAKE_JVM L""
#endif

HANDLE Start(const std::wstring& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

// Milliseconds from start to end, or -1 when the run failed or ended with another code.
double TimedRun(const std::wstring& exe, const std::wstring& arguments, DWORD expectedCode, double toMs) {
    long long started = Now();
    HANDLE process = Start(exe, arguments);
    if (process == nullptr) return -1;
    bool ended = WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
    long long finished = Now();
    DWORD code = 1;
    if (!ended) TerminateProcess(process, 1);
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return ended && code == expectedCode ? static_cast<double>(finished - started) * toMs : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 25;
    std::wstring launcher = FromHostPath(ZORV_BENCH_LAUNCHER);
    std::wstring jvm = FromHostPath(ZORV_BENCH_FAKE_JVM);
    for (int i = 1; i + 1 < argc; i += 2) {
        std::wstring option = argv[i];
        if (option == L"--runs") runs = std::max(1, static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10)));
        else if (option == L"--launcher") launcher = FromHostPath(argv[i + 1]);
        else if (option == L"--jvm") jvm = FromHostPath(argv[i + 1]);
    }
    if (jvm.empty()) {
        std::fprintf(stderr, "needs the jvm.dll double: build the tests, or pass --jvm\n");
        return 2;
    }

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = std::wstring(temp) + L"zorv-si-bench-" + std::to_wstring(GetCurrentProcessId());
    for (const wchar_t* sub : {L"", L"\\lib", L"\\rt", L"\\rt\\bin", L"\\rt\\bin\\server"})
        CreateDirectoryW((folder + sub).c_str(), nullptr);
    const std::string common =
        "[Class Path]\r\nClass Path=lib\\app.jar\r\n"
        "[Java Runtime Environment]\r\nMain Class=com.example.App\r\nJRE Path=rt\r\n";
    const std::wstring plain = folder + L"\\plain.exe";
    const std::wstring single = folder + L"\\single.exe";
    const std::wstring log = folder + L"\\first.log";
    const std::wstring release = L"zorv-si-bench-release-" + std::to_wstring(GetCurrentProcessId());
    bool ready = CopyFileW(launcher.c_str(), plain.c_str(), FALSE) && CopyFileW(launcher.c_str(), single.c_str(), FALSE) &&
                 CopyFileW(jvm.c_str(), (folder + L"\\rt\\bin\\server\\jvm.dll").c_str(), FALSE) &&
                 WriteAll(folder + L"\\lib\\app.jar", "stand-in") && WriteAll(folder + L"\\plain.ini", common) &&
                 WriteAll(folder + L"\\single.ini", common + "[Application]\r\nSingle Instance=yes\r\n");
    HANDLE releaseEvent = CreateEventW(nullptr, FALSE, FALSE, release.c_str());
    if (!ready || releaseEvent == nullptr) {
        std::fprintf(stderr, "cannot set up %ls (error %lu)\n", folder.c_str(), GetLastError());
        return 2;
    }
    SetEnvironmentVariableW(L"FAKEJVM_CLASSES", L"com/example/App");
    SetEnvironmentVariableW(L"JAVA_HOME", nullptr);

    // The first instance, up until released; only it logs, to say when main runs.
    SetEnvironmentVariableW(L"FAKEJVM_LOG", log.c_str());
    SetEnvironmentVariableW(L"FAKEJVM_SECONDARY", L"int");
    SetEnvironmentVariableW(L"FAKEJVM_PAUSE", release.c_str());
    SetEnvironmentVariableW(L"FAKEJVM_MAIN_WAIT", L"600000");
    HANDLE first = Start(single, L"");
    for (int waited = 0; first != nullptr && ReadAll(log).find("main_args") == std::string::npos && waited < 30000;
         waited += 10)
        Sleep(10);
    for (const wchar_t* name : {L"FAKEJVM_LOG", L"FAKEJVM_SECONDARY", L"FAKEJVM_PAUSE", L"FAKEJVM_MAIN_WAIT"})
        SetEnvironmentVariableW(name, nullptr);

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double toMs = 1000.0 / static_cast<double>(frequency.QuadPart);
    std::vector<double> plainRuns, secondRuns;
    int failures = 0;
    for (int i = -1; first != nullptr && i < runs; ++i) {
        double plainMs = TimedRun(plain, L"", 0, toMs);
        double secondMs = TimedRun(single, std::to_wstring(i + 2) + L" 100", static_cast<DWORD>(i + 102), toMs);
        if (plainMs < 0 || secondMs < 0) {
            ++failures;
            continue;
        }
        if (i < 0) continue;  // warm-up
        plainRuns.push_back(plainMs);
        secondRuns.push_back(secondMs);
    }
    SetEvent(releaseEvent);
    if (first != nullptr) {
        WaitForSingleObject(first, 30000);
        CloseHandle(first);
    }
    CloseHandle(releaseEvent);
    for (const wchar_t* file : {L"\\plain.exe", L"\\single.exe", L"\\plain.ini", L"\\single.ini", L"\\first.log",
                                L"\\lib\\app.jar", L"\\rt\\bin\\server\\jvm.dll"})
        DeleteFileW((folder + file).c_str());
    for (const wchar_t* sub : {L"\\rt\\bin\\server", L"\\rt\\bin", L"\\rt", L"\\lib", L""})
        RemoveDirectoryW((folder + sub).c_str());
    if (plainRuns.empty()) {
        std::fprintf(stderr, "no successful pair of runs\n");
        return 1;
    }

    std::printf("single-instance bench: %zu runs each, interleaved, jvm.dll double\n", plainRuns.size());
    PrintRow("plain start, main returns at once", plainRuns, 42);
    PrintRow("second start: forward, reply, exit", secondRuns, 42);
    std::printf("ratio of the medians, second / plain: %.3f\n", Median(secondRuns) / Median(plainRuns));
    if (failures > 0) std::printf("(%d pairs failed and were left out)\n", failures);
    return 0;
}
