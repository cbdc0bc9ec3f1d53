// How much time the launcher itself adds around the VM, measured under Wine
// (or Windows) and set beside the cost of starting a program that does
// nothing at all.
//
//   wine_start_bench.exe [--runs N] [--launcher PATH] [--jvm PATH] [--empty PATH]
//
// Paths default to the build tree's launcher.exe, jvm.dll test double and
// empty_gui.exe. Run it by hand, e.g. from the build folder:
//   ./wine-run bench/wine_start/wine_start_bench.exe --runs 25
//
// Method: every figure is a QueryPerformanceCounter difference; the counter
// is one clock for all processes of the machine (Wine reads the host's
// monotonic clock). The bench reads it just before CreateProcessW and just
// after the wait for the process returns; the jvm.dll double, with
// FAKEJVM_LOG_QPC=yes, logs it on entry to JNI_CreateJavaVM and when main
// returns. So:
//   start -> create   process creation, launcher start-up, settings, runtime
//                     search and library load, up to the VM being asked for
//   return -> exit    from main's return to the process being gone: thread
//                     detach, DestroyJavaVM, library unload, process exit
//   lifetime          the whole run; for the empty program, its only figure
// Launcher runs and empty runs alternate, after one unmeasured run of each.
// The headline figure is the whole run as a user sees it: each round also
// starts the launcher with the double's log off (its per-line file writes are
// the double's cost, not the launcher's) right before an empty run, and the
// median of these pairs' ratios of lifetimes is printed (at least 20 pairs),
// so that a machine that slows down for a while slows both sides of a pair.
// Each round also starts the launcher once with ZORV_LAUNCHER_DEBUG naming a
// file, so the cost of its trace is measured in the same run as the start
// without it; the two are set side by side at the end.
#include "common/wine_bench.h"
#include "launcher/win32_api.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using zorv::bench::FromHostPath;
using zorv::bench::Median;
using zorv::bench::Now;
using zorv::bench::PrintRow;
using zorv::bench::ReadAll;
using zorv::bench::WriteAll;

const int kLeastPairs = 20;

#ifndef ZORV_BENCH_FAKE_JVM
#define ZORV_BENCH_FAKE_JVM L""
#endif

double Frequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
}

// The counter value of a "qpc <event>=<count>" log line, or -1.
long long LoggedCounter(const std::string& log, const std::string& event) {
    std::string key = "qpc " + event + "=";
    std::size_t at = log.find(key);
    if (at == std::string::npos) return -1;
    return std::strtoll(log.c_str() + at + key.size(), nullptr, 10);
}

struct Run {
    bool ok = false;
    DWORD exitCode = 0;
    long long started = 0;
    long long ended = 0;
};

Run RunOnce(const std::wstring& exe) {
    Run run;
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    run.started = Now();
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "cannot start %ls: error %lu\n", exe.c_str(), GetLastError());
        return run;
    }
    CloseHandle(process.hThread);
    // A box would wait for a user: give up rather than hang.
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        std::fprintf(stderr, "%ls did not end within 30 s (a message box?)\n", exe.c_str());
        CloseHandle(process.hProcess);
        return run;
    }
    run.ended = Now();
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
    run.ok = true;
    return run;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
            else DeleteFileW(child.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 25;
    std::wstring launcher = FromHostPath(ZORV_BENCH_LAUNCHER);
    std::wstring jvm = FromHostPath(ZORV_BENCH_FAKE_JVM);
    std::wstring empty = FromHostPath(ZORV_BENCH_EMPTY);
    for (int i = 1; i + 1 < argc; i += 2) {
        std::wstring option = argv[i];
        if (option == L"--runs") runs = std::max(kLeastPairs, static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10)));
        else if (option == L"--launcher") launcher = FromHostPath(argv[i + 1]);
        else if (option == L"--jvm") jvm = FromHostPath(argv[i + 1]);
        else if (option == L"--empty") empty = FromHostPath(argv[i + 1]);
    }
    if (jvm.empty()) {
        std::fprintf(stderr, "no jvm.dll double: build the tests or pass --jvm PATH\n");
        return 2;
    }

    // Both programs run from one fresh folder, so neither gains from a warmer cache of its path.
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = std::wstring(temp) + L"zorv-wine-start-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* sub : {L"\\lib", L"\\rt", L"\\rt\\bin", L"\\rt\\bin\\server"}) CreateDirectoryW((folder + sub).c_str(), nullptr);
    std::wstring app = folder + L"\\bench.exe";
    std::wstring baseline = folder + L"\\empty.exe";
    std::wstring log = folder + L"\\fake.log";
    bool ready = CopyFileW(launcher.c_str(), app.c_str(), FALSE) && CopyFileW(empty.c_str(), baseline.c_str(), FALSE) &&
                 CopyFileW(jvm.c_str(), (folder + L"\\rt\\bin\\server\\jvm.dll").c_str(), FALSE) &&
                 WriteAll(folder + L"\\lib\\app.jar", "stand-in") &&
                 WriteAll(folder + L"\\bench.ini",
                          "[Class Path]\r\nClass Path=lib\\app.jar\r\n"
                          "[Java Runtime Environment]\r\nMain Class=com.example.App\r\nJRE Path=rt\r\n");
    if (!ready) {
        std::fprintf(stderr, "cannot set up %ls (error %lu)\n", folder.c_str(), GetLastError());
        RemoveTree(folder);
        return 2;
    }
    SetEnvironmentVariableW(L"FAKEJVM_LOG", log.c_str());
    SetEnvironmentVariableW(L"FAKEJVM_CLASSES", L"com/example/App");
    SetEnvironmentVariableW(L"FAKEJVM_LOG_QPC", L"yes");
    SetEnvironmentVariableW(L"JAVA_HOME", nullptr);
    SetEnvironmentVariableW(L"ZORV_LAUNCHER_DEBUG", nullptr);

    const double toMs = 1000.0 / Frequency();
    std::vector<double> startToCreate, returnToExit, launcherLifetime, emptyLifetime;
    std::vector<double> tracedStartToCreate, tracedLifetime, quietLifetime, pairedRatios;
    const std::wstring traceFile = folder + L"\\trace.log";
    int failures = 0;
    for (int i = -1; i < runs; ++i) {
        DeleteFileW(log.c_str());
        Run launched = RunOnce(app);
        std::string text = ReadAll(log);
        long long create = LoggedCounter(text, "create");
        long long mainReturn = LoggedCounter(text, "main_return");
        SetEnvironmentVariableW(L"FAKEJVM_LOG", nullptr);
        Run quiet = RunOnce(app);
        SetEnvironmentVariableW(L"FAKEJVM_LOG", log.c_str());
        Run idle = RunOnce(baseline);
        DeleteFileW(log.c_str());
        DeleteFileW(traceFile.c_str());
        SetEnvironmentVariableW(L"ZORV_LAUNCHER_DEBUG", traceFile.c_str());
        Run traced = RunOnce(app);
        SetEnvironmentVariableW(L"ZORV_LAUNCHER_DEBUG", nullptr);
        long long tracedCreate = LoggedCounter(ReadAll(log), "create");
        bool traceWritten = ReadAll(traceFile).find("launcher: exit code 0") != std::string::npos;
        if (!launched.ok || launched.exitCode != 0 || create < 0 || mainReturn < 0 || !quiet.ok ||
            quiet.exitCode != 0 || !idle.ok || !traced.ok ||
            traced.exitCode != 0 || tracedCreate < 0 || !traceWritten) {
            ++failures;
            std::fprintf(stderr, "run %d: launcher exit %lu, log %s\n", i, launched.exitCode,
                         create < 0 ? "without timestamps" : "complete");
            continue;
        }
        if (i < 0) continue;  // warm-up
        startToCreate.push_back(static_cast<double>(create - launched.started) * toMs);
        returnToExit.push_back(static_cast<double>(launched.ended - mainReturn) * toMs);
        launcherLifetime.push_back(static_cast<double>(launched.ended - launched.started) * toMs);
        emptyLifetime.push_back(static_cast<double>(idle.ended - idle.started) * toMs);
        quietLifetime.push_back(static_cast<double>(quiet.ended - quiet.started) * toMs);
        pairedRatios.push_back(quietLifetime.back() / emptyLifetime.back());
        tracedStartToCreate.push_back(static_cast<double>(tracedCreate - traced.started) * toMs);
        tracedLifetime.push_back(static_cast<double>(traced.ended - traced.started) * toMs);
    }
    RemoveTree(folder);
    if (startToCreate.empty()) {
        std::fprintf(stderr, "no successful run\n");
        return 1;
    }

    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    using VersionFunction = const char*(CDECL*)();
    auto wineVersion = reinterpret_cast<VersionFunction>(
        reinterpret_cast<void*>(ntdll ? GetProcAddress(ntdll, "wine_get_version") : nullptr));
    std::printf("launcher start-up bench: %zu runs each, interleaved%s%s\n", startToCreate.size(),
                wineVersion ? ", Wine " : "", wineVersion ? wineVersion() : "");
    std::printf("launcher (jvm.dll double, main returns at once):\n");
    PrintRow("start -> JNI_CreateJavaVM", startToCreate, 28);
    PrintRow("main return -> exit", returnToExit, 28);
    PrintRow("lifetime", launcherLifetime, 28);
    std::printf("empty GUI program:\n");
    PrintRow("lifetime", emptyLifetime, 28);
    double idle = Median(emptyLifetime);
    std::printf("ratios to the empty program's median lifetime:\n");
    std::printf("  start -> create        %6.2f\n", Median(startToCreate) / idle);
    std::printf("  return -> exit         %6.2f\n", Median(returnToExit) / idle);
    std::printf("  launcher lifetime      %6.2f\n", Median(launcherLifetime) / idle);
    std::printf("whole run, the double's log off:\n");
    PrintRow("launcher lifetime", quietLifetime, 28);
    std::printf("  launcher / empty GUI program, median of %zu paired runs: %.2f\n", pairedRatios.size(),
                Median(pairedRatios));
    std::printf("launcher with ZORV_LAUNCHER_DEBUG naming a file:\n");
    PrintRow("start -> JNI_CreateJavaVM", tracedStartToCreate, 28);
    PrintRow("lifetime", tracedLifetime, 28);
    std::printf("ratios of the traced start to the start without the variable (medians):\n");
    std::printf("  start -> create        %6.2f\n", Median(tracedStartToCreate) / Median(startToCreate));
    std::printf("  launcher lifetime      %6.2f\n", Median(tracedLifetime) / Median(launcherLifetime));
    if (failures > 0) std::printf("(%d runs failed and were left out)\n", failures);
    return 0;
}
