// Whether the splash delays the VM: the time from process start to the call
// of JNI_CreateJavaVM, with no splash and with a 2000 x 1500 PNG splash, under
// Wine (or Windows). Decoding and drawing happen on the splash thread, so the
// two should be close; the lifetime shows what the splash costs in all.
//
//   splash_start_bench.exe [--runs N] [--picture PNG] [--launcher PATH] [--jvm PATH]
//
// Run it by hand from the build folder, on a display:
//   xvfb-run -a -s "-screen 0 1280x1024x24" ./wine-run bench/splash_start/splash_start_bench.exe --runs 25
//
// Method: QueryPerformanceCounter just before CreateProcessW and just after
// the process has ended; the jvm.dll double logs the counter on entry to
// JNI_CreateJavaVM (FAKEJVM_LOG_QPC=yes). The two kinds of run alternate,
// after one unmeasured run of each.
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

#ifndef ZORV_BENCH_FAKE_JVM
#define ZORV_BENCH_FAKE_JVM L""
#endif
#ifndef ZORV_BENCH_PICTURE
#define ZORV_BENCH_PICTURE L""
#endif

// The counter the double logged on entering JNI_CreateJavaVM, or -1.
long long CreateCounter(const std::wstring& log) {
    HANDLE file = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    std::string text(65536, '\0');
    DWORD read = 0;
    ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    text.resize(read);
    std::size_t at = text.find("qpc create=");
    return at == std::string::npos ? -1 : std::strtoll(text.c_str() + at + 11, nullptr, 10);
}

struct Sample {
    double toCreate = 0;
    double lifetime = 0;
};

bool RunOnce(const std::wstring& exe, const std::wstring& log, double toMs, Sample& sample) {
    DeleteFileW(log.c_str());
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    long long started = Now();
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    long long finished = Now();
    DWORD code = 1;
    if (!ended) TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    long long create = CreateCounter(log);
    if (!ended || code != 0 || create < 0) return false;
    sample.toCreate = static_cast<double>(create - started) * toMs;
    sample.lifetime = static_cast<double>(finished - started) * toMs;
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 25;
    std::wstring launcher = FromHostPath(ZORV_BENCH_LAUNCHER);
    std::wstring jvm = FromHostPath(ZORV_BENCH_FAKE_JVM);
    std::wstring picture = FromHostPath(ZORV_BENCH_PICTURE);
    for (int i = 1; i + 1 < argc; i += 2) {
        std::wstring option = argv[i];
        if (option == L"--runs") runs = std::max(1, static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10)));
        else if (option == L"--picture") picture = FromHostPath(argv[i + 1]);
        else if (option == L"--launcher") launcher = FromHostPath(argv[i + 1]);
        else if (option == L"--jvm") jvm = FromHostPath(argv[i + 1]);
    }
    if (jvm.empty() || picture.empty()) {
        std::fprintf(stderr, "needs the jvm.dll double and a picture: build the tests, or pass --jvm and --picture\n");
        return 2;
    }

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = std::wstring(temp) + L"zorv-splash-bench-" + std::to_wstring(GetCurrentProcessId());
    for (const wchar_t* sub : {L"", L"\\lib", L"\\rt", L"\\rt\\bin", L"\\rt\\bin\\server"})
        CreateDirectoryW((folder + sub).c_str(), nullptr);
    const std::string common =
        "[Class Path]\r\nClass Path=lib\\app.jar\r\n"
        "[Java Runtime Environment]\r\nMain Class=com.example.App\r\nJRE Path=rt\r\n";
    const std::wstring plain = folder + L"\\plain.exe";
    const std::wstring splash = folder + L"\\splash.exe";
    const std::wstring log = folder + L"\\fake.log";
    bool ready = CopyFileW(launcher.c_str(), plain.c_str(), FALSE) && CopyFileW(launcher.c_str(), splash.c_str(), FALSE) &&
                 CopyFileW(jvm.c_str(), (folder + L"\\rt\\bin\\server\\jvm.dll").c_str(), FALSE) &&
                 CopyFileW(picture.c_str(), (folder + L"\\splash.png").c_str(), FALSE) &&
                 WriteAll(folder + L"\\lib\\app.jar", "stand-in") && WriteAll(folder + L"\\plain.ini", common) &&
                 WriteAll(folder + L"\\splash.ini", common + "[Display]\r\nSplash Screen=splash.png\r\n");
    if (!ready) {
        std::fprintf(stderr, "cannot set up %ls (error %lu)\n", folder.c_str(), GetLastError());
        return 2;
    }
    SetEnvironmentVariableW(L"FAKEJVM_LOG", log.c_str());
    SetEnvironmentVariableW(L"FAKEJVM_CLASSES", L"com/example/App");
    SetEnvironmentVariableW(L"FAKEJVM_LOG_QPC", L"yes");
    SetEnvironmentVariableW(L"JAVA_HOME", nullptr);

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double toMs = 1000.0 / static_cast<double>(frequency.QuadPart);
    std::vector<double> plainCreate, splashCreate, plainLife, splashLife;
    int failures = 0;
    for (int i = -1; i < runs; ++i) {
        Sample without, with;
        bool ok = RunOnce(plain, log, toMs, without) && RunOnce(splash, log, toMs, with);
        if (!ok) {
            ++failures;
            continue;
        }
        if (i < 0) continue;  // warm-up
        plainCreate.push_back(without.toCreate);
        splashCreate.push_back(with.toCreate);
        plainLife.push_back(without.lifetime);
        splashLife.push_back(with.lifetime);
    }
    for (const wchar_t* file : {L"\\plain.exe", L"\\splash.exe", L"\\plain.ini", L"\\splash.ini", L"\\splash.png",
                                L"\\fake.log", L"\\lib\\app.jar", L"\\rt\\bin\\server\\jvm.dll"})
        DeleteFileW((folder + file).c_str());
    for (const wchar_t* sub : {L"\\rt\\bin\\server", L"\\rt\\bin", L"\\rt", L"\\lib", L""})
        RemoveDirectoryW((folder + sub).c_str());
    if (plainCreate.empty()) {
        std::fprintf(stderr, "no successful pair of runs\n");
        return 1;
    }

    std::printf("splash start-up bench: %zu runs each, interleaved, jvm.dll double, main returns at once\n",
                plainCreate.size());
    std::printf("picture: %ls\n", picture.c_str());
    PrintRow("no splash: start -> create", plainCreate, 34);
    PrintRow("splash: start -> create", splashCreate, 34);
    PrintRow("no splash: lifetime", plainLife, 34);
    PrintRow("splash: lifetime", splashLife, 34);
    std::printf("ratio of the medians, splash / none: start -> create %.3f, lifetime %.3f\n",
                Median(splashCreate) / Median(plainCreate), Median(splashLife) / Median(plainLife));
    if (failures > 0) std::printf("(%d pairs failed and were left out)\n", failures);
    return 0;
}
