#include "e2e_support.h"

#include "launcher/win32_api.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>

namespace e2e {
namespace {

using zorv::testing::FolderOf;
using zorv::testing::FromHostPath;

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::towupper(static_cast<std::wint_t>(text[i])) != std::towupper(static_cast<std::wint_t>(prefix[i])))
            return false;
    }
    return true;
}

}  // namespace

std::wstring LauncherExe() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_LAUNCHER")); }
std::wstring ConsoleLauncherExe() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_CONSOLE_LAUNCHER")); }
std::wstring FakeJvm64() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_FAKE_JVM64")); }
std::wstring FakeJvm32() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_FAKE_JVM32")); }
std::wstring PairStubExe() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_PAIR_STUB")); }
std::wstring FakeSplash() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_FAKE_SPLASH")); }
std::wstring FakeSplashWithoutJarName() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_FAKE_SPLASH_NOJAR")); }

Sandbox::Sandbox() : root_(zorv::testing::NewTempFolder(L"zorv-e2e-")) {}

Sandbox::~Sandbox() {
    if (!EnvironmentValue(L"ZORV_E2E_KEEP").empty()) return;
    zorv::testing::RemoveTree(root_);
}

std::wstring Sandbox::Path(const std::wstring& relative) const { return relative.empty() ? root_ : root_ + L"\\" + relative; }

std::wstring Sandbox::MakeFolders(const std::wstring& relative) const {
    std::wstring full = Path(relative);
    zorv::testing::CreateFolders(full);
    return full;
}

std::wstring Sandbox::CopyIn(const std::wstring& source, const std::wstring& relative) const {
    std::wstring target = Path(relative);
    MakeFolders(FolderOf(relative));
    if (!CopyFileW(LongForm(source).c_str(), LongForm(target).c_str(), FALSE)) {
        std::fprintf(stderr, "copy %s -> %s failed: %lu\n", Utf8(source).c_str(), Utf8(target).c_str(), GetLastError());
    }
    return target;
}

std::wstring Sandbox::WriteBytes(const std::wstring& relative, const std::string& bytes) const {
    std::wstring target = Path(relative);
    if (!zorv::testing::WriteFileBytes(target, bytes))
        std::fprintf(stderr, "cannot write %s: %lu\n", Utf8(target).c_str(), GetLastError());
    return target;
}

Ini& Ini::Section(const std::wstring& name) {
    text_ += L"[" + name + L"]\r\n";
    return *this;
}

Ini& Ini::Set(const std::wstring& key, const std::wstring& value) {
    text_ += key + L"=" + value + L"\r\n";
    return *this;
}

Ini& Ini::MainClass(const std::wstring& value) { return Section(L"Java Runtime Environment").Set(L"Main Class", value); }

std::string Ini::Encoded() const {
    for (wchar_t c : text_) {
        if (c >= 0x80) return Utf16LeWithBom(text_);
    }
    return std::string(text_.begin(), text_.end());
}

std::vector<std::string> Utf8(const std::vector<std::wstring>& texts) {
    std::vector<std::string> converted;
    for (const std::wstring& text : texts) converted.push_back(Utf8(text));
    return converted;
}

std::string WaitForFile(const std::wstring& path, std::uint32_t timeoutMs) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    std::string last;
    for (;;) {
        Sleep(50);
        std::string bytes = ReadFileBytes(path);
        if (!bytes.empty() && bytes == last) return bytes;
        if (GetTickCount64() >= deadline) return bytes;
        last = bytes;
    }
}

uiauto::RunResult RunLauncher(const Launch& launch) {
    uiauto::RunOptions options;
    options.application = launch.exe;
    options.commandLine = L"\"" + launch.exe + L"\"";
    if (!launch.arguments.empty()) options.commandLine += L" " + launch.arguments;
    options.workingDirectory = launch.workingDirectory.empty() ? FolderOf(launch.exe) : launch.workingDirectory;
    options.timeoutMs = launch.timeoutMs;
    options.desktop = launch.desktop;
    options.onWindow = launch.onWindow;
    options.standardInput = launch.standardInput;
    options.standardOutput = launch.standardOutput;
    options.standardError = launch.standardError;
    options.setEnvironment = launch.environment;
    options.unsetEnvironment.push_back(L"JAVA_HOME");
    options.unsetEnvironment.push_back(L"ZORV_LAUNCHER_DEBUG");
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p != L'\0'; p += wcslen(p) + 1) {
            std::wstring entry(p);
            std::wstring name = entry.substr(0, entry.find(L'=', 1));
            if (StartsWithIgnoringCase(name, L"FAKEJVM_") || StartsWithIgnoringCase(name, L"PAIR_STUB_"))
                options.unsetEnvironment.push_back(name);
        }
        FreeEnvironmentStringsW(block);
    }
    uiauto::RunResult result = uiauto::Run(options);
    // Wine now and then fails a start inside its own process creation
    // (CreateProcessW, ERROR_INTERNAL_ERROR) before any of the launcher's code
    // has run; a second try is the same start, and it is said.
    if (!result.started && result.startError == ERROR_INTERNAL_ERROR) {
        std::printf("CreateProcessW failed with error 1359 inside Wine: starting %s once more\n",
                    Utf8(launch.exe).c_str());
        result = uiauto::Run(options);
    }
    return result;
}

std::function<bool(const uiauto::WindowReport&)> DriveWindow(const std::wstring& title,
                                                             std::function<void(std::uintptr_t window)> steps) {
    return [title, steps](const uiauto::WindowReport& window) {
        if (window.title != title) return false;
        steps(window.handle);
        return true;
    };
}

std::string Describe(const uiauto::RunResult& result) {
    std::string text;
    char line[128];
    if (!result.started) {
        std::snprintf(line, sizeof line, "not started, error %u\n", static_cast<unsigned>(result.startError));
        return line;
    }
    std::snprintf(line, sizeof line, "exit code 0x%08X%s after %.0f ms%s\n", static_cast<unsigned>(result.exitCode),
                  result.timedOut ? " (killed at the time-out)" : "", result.elapsedMs,
                  result.startedNatively ? ", started through RtlCreateUserProcess" : "");
    text += line;
    for (const auto& window : result.windows) {
        text += window.isMessageBox ? "  box: " : "  window: ";
        text += uiauto::ToPrintableUtf8(window.isMessageBox ? window.text : window.className + L" | " + window.title);
        text += "\n";
    }
    for (const auto& window : result.handledWindows) text += "  driven: " + uiauto::ToPrintableUtf8(window.title) + "\n";
    for (const auto& window : result.crashDialogs) text += "  crash dialog: " + uiauto::ToPrintableUtf8(window.title) + "\n";
    return text;
}

std::wstring ZorvtoolExe() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_ZORVTOOL")); }

long RunTool(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + ZorvtoolExe() + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    DWORD exitCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(exitCode);
}

const char kNoMainClass[] = "Main class was not specified in INI file.";

::testing::AssertionResult Ended(const uiauto::RunResult& result, std::uint32_t exitCode,
                                 const std::vector<std::string>& boxes) {
    bool ok = result.started && !result.timedOut && result.exitCode == exitCode &&
              Utf8(result.messageBoxTexts) == boxes && result.otherWindows.empty() && result.crashDialogs.empty();
    if (ok) return ::testing::AssertionSuccess();
    char expected[64];
    std::snprintf(expected, sizeof expected, "expected exit code 0x%08X and boxes:\n", static_cast<unsigned>(exitCode));
    std::string text = expected;
    for (const std::string& box : boxes) text += "  box: " + uiauto::ToPrintableUtf8(FromUtf8(box)) + "\n";
    return ::testing::AssertionFailure() << text << "got " << Describe(result);
}

::testing::AssertionResult EndedWithoutRuntime(const uiauto::RunResult& result) {
    bool ok = result.started && !result.timedOut && result.exitCode == 0xFFFFFFFF && result.messageBoxTexts.empty() &&
              result.crashDialogs.empty() && result.otherWindows.size() == 1 &&
              result.otherWindows[0].title == L"JRE Not Found";
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected exit code -1 after the JRE Not Found dialog\ngot "
                                         << Describe(result);
}

std::string UnixPath(const std::wstring& path) {
    using Convert = char*(CDECL*)(const wchar_t*);
    auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* converted = convert != nullptr ? convert(path.c_str()) : nullptr;
    std::string result = converted != nullptr ? converted : "";
    if (converted != nullptr) HeapFree(GetProcessHeap(), 0, converted);
    return result;
}

std::string Quoted(const std::wstring& path) { return "'" + UnixPath(path) + "'"; }

// Wine starts Linux programs but hands back no process to wait for, so the
// command leaves its exit status in a file.
int RunOnHost(const Sandbox& sandbox, const std::string& command) {
    const std::wstring status = sandbox.Path(L"host.status");
    DeleteFileW(status.c_str());
    const std::string unixStatus = Quoted(status);
    sandbox.WriteBytes(L"host.sh", command + " >/dev/null 2>&1\necho $? >" + unixStatus + ".part && mv " + unixStatus +
                                       ".part " + unixStatus + "\n");
    std::wstring line = L"Z:\\bin\\sh \"" + FromUtf8(UnixPath(sandbox.Path(L"host.sh"))) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return -1;
    if (process.hProcess != nullptr) CloseHandle(process.hProcess);
    if (process.hThread != nullptr) CloseHandle(process.hThread);
    std::string text = WaitForFile(status, 20000);
    return text.empty() ? -1 : std::atoi(text.c_str());
}

bool StartsSuspended(const std::wstring& exe, DWORD& error) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &process)) {
        error = GetLastError();
        return false;
    }
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool RunsX86Programs() {
    wchar_t folder[MAX_PATH] = L"";
    const UINT length = GetSystemWow64DirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH && FileExists(std::wstring(folder) + L"\\ntdll.dll");
}

}  // namespace e2e
