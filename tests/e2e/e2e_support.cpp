#include "e2e_support.h"

#include "launcher/win32_api.h"
#include "remove_tree.h"

#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace e2e {
namespace {

// Ctest hands over paths of the Linux build tree; inside Wine they are
// reached through the Z: drive.
std::wstring FromHostPath(std::wstring path) {
    if (path.empty() || path[0] != L'/') return path;
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return L"Z:" + path;
}

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::towupper(static_cast<std::wint_t>(text[i])) != std::towupper(static_cast<std::wint_t>(prefix[i])))
            return false;
    }
    return true;
}

std::wstring FolderPart(const std::wstring& path) {
    std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

std::wstring EnvironmentValue(const std::wstring& name) {
    DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed == 0) return L"";
    std::wstring value(needed, L'\0');
    DWORD length = GetEnvironmentVariableW(name.c_str(), &value[0], needed);
    value.resize(length < needed ? length : 0);
    return value;
}

std::wstring LauncherExe() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_LAUNCHER")); }
std::wstring FakeJvm64() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_FAKE_JVM64")); }
std::wstring FakeJvm32() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_FAKE_JVM32")); }
std::wstring PairStubExe() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_PAIR_STUB")); }
std::wstring FakeSplash() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_FAKE_SPLASH")); }
std::wstring FakeSplashWithoutJarName() { return FromHostPath(EnvironmentValue(L"ZORV_E2E_FAKE_SPLASH_NOJAR")); }

std::wstring LongForm(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

Sandbox::Sandbox() {
    static unsigned counter = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring base(temp, length);
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    for (;;) {
        root_ = base + L"\\zorv-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(root_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

Sandbox::~Sandbox() {
    if (!EnvironmentValue(L"ZORV_E2E_KEEP").empty()) return;
    zorv::testing::RemoveTree(LongForm(root_));
}

std::wstring Sandbox::Path(const std::wstring& relative) const { return relative.empty() ? root_ : root_ + L"\\" + relative; }

std::wstring Sandbox::MakeFolders(const std::wstring& relative) const {
    std::wstring full = Path(relative);
    std::wstring longFull = LongForm(full);
    // Skip the prefix and the drive: neither is a folder to create.
    std::size_t start = longFull.find(L'\\', 7);
    while (start != std::wstring::npos) {
        std::size_t next = longFull.find(L'\\', start + 1);
        CreateDirectoryW(longFull.substr(0, next).c_str(), nullptr);
        start = next;
    }
    return full;
}

std::wstring Sandbox::CopyIn(const std::wstring& source, const std::wstring& relative) const {
    std::wstring target = Path(relative);
    MakeFolders(FolderPart(relative));
    if (!CopyFileW(LongForm(source).c_str(), LongForm(target).c_str(), FALSE)) {
        std::fprintf(stderr, "copy %s -> %s failed: %lu\n", Utf8(source).c_str(), Utf8(target).c_str(), GetLastError());
    }
    return target;
}

std::wstring Sandbox::WriteBytes(const std::wstring& relative, const std::string& bytes) const {
    std::wstring target = Path(relative);
    MakeFolders(FolderPart(relative));
    HANDLE file = CreateFileW(LongForm(target).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot write %s: %lu\n", Utf8(target).c_str(), GetLastError());
        return target;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
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

std::string Utf16LeWithBom(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], needed, nullptr, nullptr);
    return bytes;
}

std::vector<std::string> Utf8(const std::vector<std::wstring>& texts) {
    std::vector<std::string> converted;
    for (const std::wstring& text : texts) converted.push_back(Utf8(text));
    return converted;
}

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    int needed = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
    if (needed > 0) MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], needed);
    return text;
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
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
    options.workingDirectory = launch.workingDirectory.empty() ? FolderPart(launch.exe) : launch.workingDirectory;
    options.timeoutMs = launch.timeoutMs;
    options.onWindow = launch.onWindow;
    options.setEnvironment = launch.environment;
    options.unsetEnvironment.push_back(L"JAVA_HOME");
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p != L'\0'; p += wcslen(p) + 1) {
            std::wstring entry(p);
            std::wstring name = entry.substr(0, entry.find(L'=', 1));
            if (StartsWithIgnoringCase(name, L"FAKEJVM_") || StartsWithIgnoringCase(name, L"PAIR_STUB_"))
                options.unsetEnvironment.push_back(name);
        }
        FreeEnvironmentStringsW(block);
    }
    return uiauto::Run(options);
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

}  // namespace e2e
