#include "ui_automation.h"

#include "launcher/win32_api.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <map>
#include <set>

namespace uiauto {
namespace {

const wchar_t kMessageBoxClass[] = L"#32770";
const int kMessageTextId = 0xFFFF;
const DWORD kPollMs = 15;
// A box that is still there this long after OK was pressed gets pressed again:
// a press sent while the box was still being set up can be lost.
const double kRepressMs = 2000;
const UINT kSendTimeoutMs = 2000;

class Stopwatch {
public:
    Stopwatch() {
        QueryPerformanceFrequency(&frequency_);
        QueryPerformanceCounter(&start_);
    }
    double ElapsedMs() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - start_.QuadPart) * 1000.0 / static_cast<double>(frequency_.QuadPart);
    }

private:
    LARGE_INTEGER frequency_;
    LARGE_INTEGER start_;
};

bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(static_cast<std::wint_t>(a[i])) != std::towupper(static_cast<std::wint_t>(b[i]))) return false;
    }
    return true;
}

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
    return text;
}

std::wstring ClassNameOf(HWND window) {
    wchar_t name[256] = {};
    int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// WM_GETTEXT is marshalled between processes, unlike the cached caption that
// GetWindowTextW returns for foreign windows; the time-out keeps a hung
// program from hanging the caller too.
std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) return L"";
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &copied))
        return L"";
    return std::wstring(buffer.data(), std::min<std::size_t>(static_cast<std::size_t>(copied), buffer.size() - 1));
}

std::wstring MessageTextOf(HWND box) {
    HWND label = GetDlgItem(box, kMessageTextId);
    if (label == nullptr) return L"";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(label, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) return L"";
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 2, L'\0');
    UINT copied = GetDlgItemTextW(box, kMessageTextId, buffer.data(), static_cast<int>(buffer.size()));
    return std::wstring(buffer.data(), copied);
}

BOOL CALLBACK CollectChild(HWND child, LPARAM parameter) {
    auto* children = reinterpret_cast<std::vector<HWND>*>(parameter);
    children->push_back(child);
    return TRUE;
}

WindowReport Describe(HWND window) {
    WindowReport report;
    report.handle = reinterpret_cast<std::uintptr_t>(window);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    report.processId = processId;
    report.className = ClassNameOf(window);
    report.title = TextOf(window);
    report.isMessageBox = report.className == kMessageBoxClass && GetDlgItem(window, kMessageTextId) != nullptr;
    if (report.isMessageBox) report.text = MessageTextOf(window);
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (GetParent(child) != window || !IsWindowVisible(child)) continue;
        std::wstring text = TextOf(child);
        if (!text.empty()) report.controlTexts.push_back(text);
    }
    return report;
}

struct TopLevelScan {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM parameter) {
    auto* scan = reinterpret_cast<TopLevelScan*>(parameter);
    if (IsWindowVisible(window)) scan->windows.push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleTopLevelWindows() {
    TopLevelScan scan;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&scan));
    return scan.windows;
}

std::uint32_t ProcessOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

std::wstring ImageNameOf(std::uint32_t processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return L"";
    wchar_t path[MAX_PATH * 4] = {};
    DWORD size = MAX_PATH * 4;
    std::wstring name;
    if (QueryFullProcessImageNameW(process, 0, path, &size)) name.assign(path, size);
    CloseHandle(process);
    std::size_t slash = name.find_last_of(L"\\/");
    return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

bool IsCrashReporter(std::uint32_t processId) {
    std::wstring name = Upper(ImageNameOf(processId));
    return name == L"WINEDBG.EXE" || name == L"WERFAULT.EXE";
}

// The child and every process started below it, found through the parent ids
// of a process snapshot.
void AddDescendants(std::set<std::uint32_t>& family) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> parentOf;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        parentOf.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    }
    CloseHandle(snapshot);
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& pair : parentOf) {
            if (family.count(pair.second) != 0 && family.count(pair.first) == 0) {
                family.insert(pair.first);
                grew = true;
            }
        }
    }
}

// UIAUTO_TRACE=1 prints what the loop does and when, to find slow or lost presses.
bool Tracing() {
    static const bool enabled = GetEnvironmentVariableW(L"UIAUTO_TRACE", nullptr, 0) > 0;
    return enabled;
}

void Trace(double ms, const char* what, HWND window) {
    if (!Tracing()) return;
    std::fprintf(stderr, "uiauto %8.1f ms %s %p\n", ms, what, static_cast<void*>(window));
}

bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The native process creation, for a program path beyond MAX_PATH: Wine's
// CreateProcessW copies the path into a MAX_PATH buffer and gives up, while
// its loader takes any length. The declarations are the documented ntdll ones.
struct NativeString {
    USHORT length;
    USHORT maximumLength;
    PWSTR buffer;
};

struct NativeProcessInformation {
    ULONG length;
    HANDLE process;
    HANDLE thread;
    HANDLE uniqueProcess;
    HANDLE uniqueThread;
    unsigned char imageInformation[128];
};

using CreateParametersFunction = LONG(NTAPI*)(void** parameters, const NativeString* imagePath, const NativeString* dllPath,
                                              const NativeString* currentDirectory, const NativeString* commandLine,
                                              void* environment, const NativeString* windowTitle,
                                              const NativeString* desktop, const NativeString* shellInfo,
                                              const NativeString* runtimeData, ULONG flags);
using DestroyParametersFunction = LONG(NTAPI*)(void* parameters);
using CreateUserProcessFunction = LONG(NTAPI*)(NativeString* path, ULONG attributes, void* parameters,
                                               void* processSecurity, void* threadSecurity, HANDLE parent,
                                               BOOLEAN inheritHandles, HANDLE debugPort, HANDLE token,
                                               NativeProcessInformation* information);

NativeString MakeNativeString(std::wstring& text) {
    NativeString result;
    result.length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
    result.maximumLength = result.length;
    result.buffer = &text[0];
    return result;
}

bool CreateProcessNatively(const RunOptions& options, std::wstring& commandLine, std::wstring& environment,
                           PROCESS_INFORMATION& process) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto createParameters = reinterpret_cast<CreateParametersFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlCreateProcessParametersEx")));
    auto destroyParameters = reinterpret_cast<DestroyParametersFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlDestroyProcessParameters")));
    auto createProcess = reinterpret_cast<CreateUserProcessFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlCreateUserProcess")));
    if (createParameters == nullptr || destroyParameters == nullptr || createProcess == nullptr) return false;

    std::wstring imagePath = options.application;
    if (imagePath.rfind(L"\\\\?\\", 0) == 0) imagePath.erase(0, 4);
    std::wstring ntPath = L"\\??\\" + imagePath;
    std::wstring folder = options.workingDirectory;
    if (folder.empty()) {
        folder.assign(GetCurrentDirectoryW(0, nullptr), L'\0');
        folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), &folder[0]));
    }
    if (folder.rfind(L"\\\\?\\", 0) == 0) folder.erase(0, 4);
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    std::wstring desktop = L"WinSta0\\Default";
    NativeString image = MakeNativeString(imagePath);
    NativeString nt = MakeNativeString(ntPath);
    NativeString current = MakeNativeString(folder);
    NativeString line = MakeNativeString(commandLine);
    NativeString desk = MakeNativeString(desktop);

    void* parameters = nullptr;
    const ULONG normalised = 1;
    if (createParameters(&parameters, &image, nullptr, &current, &line, &environment[0], nullptr, &desk, nullptr, nullptr,
                         normalised) < 0)
        return false;
    NativeProcessInformation information = {};
    information.length = sizeof information;
    const ULONG caseInsensitive = 0x40;
    LONG status = createProcess(&nt, caseInsensitive, parameters, nullptr, nullptr, nullptr, FALSE, nullptr, nullptr,
                                &information);
    destroyParameters(parameters);
    if (status < 0) return false;
    process.hProcess = information.process;
    process.hThread = information.thread;
    process.dwProcessId = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(information.uniqueProcess));
    process.dwThreadId = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(information.uniqueThread));
    // Its first thread starts suspended.
    ResumeThread(process.hThread);
    return true;
}

bool IsMessageBox(HWND window) {
    return ClassNameOf(window) == kMessageBoxClass && GetDlgItem(window, kMessageTextId) != nullptr;
}

void PressOk(HWND box) {
    HWND button = GetDlgItem(box, IDOK);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void AppendUtf8(std::string& out, const std::wstring& text) {
    if (text.empty()) return;
    int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return;
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], needed, nullptr, nullptr);
    out += bytes;
}

}  // namespace

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') quoted.append(backslashes * 2 + 1, L'\\');
        else quoted.append(backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

std::wstring BuildEnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& set,
                                   const std::vector<std::wstring>& unset) {
    // Entries such as "=C:=C:\work" have no name before their first "=" and
    // are carried over untouched.
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p != L'\0'; p += wcslen(p) + 1) {
            std::wstring entry(p);
            std::size_t equals = entry.find(L'=', 1);
            if (equals == std::wstring::npos) continue;
            entries.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
        }
        FreeEnvironmentStringsW(block);
    }
    auto drop = [&entries](const std::wstring& name) {
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const std::pair<std::wstring, std::wstring>& e) { return SameNameIgnoringCase(e.first, name); }),
                      entries.end());
    };
    for (const std::wstring& name : unset) drop(name);
    for (const auto& change : set) {
        drop(change.first);
        entries.push_back(change);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const std::pair<std::wstring, std::wstring>& a, const std::pair<std::wstring, std::wstring>& b) {
                         return Upper(a.first) < Upper(b.first);
                     });
    std::wstring result;
    for (const auto& entry : entries) {
        result += entry.first;
        result += L'=';
        result += entry.second;
        result += L'\0';
    }
    if (result.empty()) result += L'\0';
    result += L'\0';
    return result;
}

std::vector<WindowReport> WindowsOf(std::uint32_t processId) {
    std::vector<WindowReport> reports;
    for (HWND window : VisibleTopLevelWindows()) {
        if (ProcessOf(window) == processId) reports.push_back(Describe(window));
    }
    return reports;
}

std::string ToPrintableUtf8(const std::wstring& text) {
    std::string out;
    std::wstring plain;
    auto flush = [&] {
        AppendUtf8(out, plain);
        plain.clear();
    };
    for (wchar_t c : text) {
        if (c >= 0x20 && c != 0x7F && c != L'\\') {
            plain += c;
            continue;
        }
        flush();
        switch (c) {
            case L'\n': out += "\\n"; break;
            case L'\r': out += "\\r"; break;
            case L'\t': out += "\\t"; break;
            case L'\\': out += "\\\\"; break;
            default: {
                static const char digits[] = "0123456789ABCDEF";
                out += "\\x";
                out += digits[(c >> 4) & 0xF];
                out += digits[c & 0xF];
            }
        }
    }
    flush();
    return out;
}

namespace {

HANDLE OpenInheritable(const std::wstring& path, bool write) {
    if (path.empty()) return nullptr;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The redirected standard handles of one start, closed in the caller once the child has its copies.
struct StandardFiles {
    explicit StandardFiles(const RunOptions& options)
        : input(OpenInheritable(options.standardInput, false)),
          output(OpenInheritable(options.standardOutput, true)),
          error(options.standardError == options.standardOutput ? nullptr
                                                               : OpenInheritable(options.standardError, true)) {}
    ~StandardFiles() {
        for (HANDLE handle : {input, output, error}) {
            if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        }
    }
    bool Used() const { return input != nullptr || output != nullptr || error != nullptr; }
    void Into(STARTUPINFOW& startup) const {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = output;
        startup.hStdError = error != nullptr ? error : output;
    }
    HANDLE input, output, error;
};

}  // namespace

RunResult Run(const RunOptions& options) {
    RunResult result;
    Stopwatch clock;

    std::set<HWND> before;
    if (options.watchCrashDialogs) {
        for (HWND window : VisibleTopLevelWindows()) before.insert(window);
    }

    std::wstring commandLine = options.commandLine.empty() ? L"\"" + options.application + L"\"" : options.commandLine;
    std::wstring environment = BuildEnvironmentBlock(options.setEnvironment, options.unsetEnvironment);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    StandardFiles standard(options);
    if (standard.Used()) standard.Into(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(options.application.c_str(), &commandLine[0], nullptr, nullptr, standard.Used(), CREATE_UNICODE_ENVIRONMENT,
                        &environment[0], options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(),
                        &startup, &process)) {
        result.startError = GetLastError();
        if (options.application.size() < MAX_PATH || !CreateProcessNatively(options, commandLine, environment, process)) {
            result.elapsedMs = clock.ElapsedMs();
            return result;
        }
        result.startedNatively = true;
    }
    result.started = true;
    result.processId = process.dwProcessId;
    CloseHandle(process.hThread);

    std::set<std::uint32_t> family = {process.dwProcessId};
    std::set<HWND> seen;                 // reported already
    std::map<HWND, double> pressedAt;    // message boxes OK was sent to
    std::set<HWND> closeSent;
    std::set<HWND> handled;              // the caller's, through onWindow
    bool observing = options.observeMs > 0;

    for (;;) {
        DWORD wait = WaitForSingleObject(process.hProcess, kPollMs);
        double now = clock.ElapsedMs();
        if (options.includeDescendants) AddDescendants(family);

        std::vector<HWND> visible = VisibleTopLevelWindows();
        std::vector<HWND> ours;
        for (HWND window : visible) {
            std::uint32_t owner = ProcessOf(window);
            if (family.count(owner) != 0) {
                ours.push_back(window);
            } else if (options.watchCrashDialogs && before.count(window) == 0 && seen.count(window) == 0 &&
                       IsCrashReporter(owner)) {
                seen.insert(window);
                result.crashDialogs.push_back(Describe(window));
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
        }

        for (HWND window : ours) {
            if (seen.count(window) != 0) continue;
            seen.insert(window);
            WindowReport report = Describe(window);
            // The crash reporter runs as a child of the crashed process.
            if (options.watchCrashDialogs && report.processId != process.dwProcessId && IsCrashReporter(report.processId)) {
                result.crashDialogs.push_back(report);
                PostMessageW(window, WM_CLOSE, 0, 0);
                continue;
            }
            Trace(now, report.isMessageBox ? "message box" : "window", window);
            if (!report.isMessageBox && options.onWindow && options.onWindow(report)) {
                handled.insert(window);
                result.handledWindows.push_back(report);
                continue;
            }
            if (report.isMessageBox) result.messageBoxTexts.push_back(report.text);
            else result.otherWindows.push_back(report);
            result.windows.push_back(report);
        }

        if (observing && now >= options.observeMs) {
            observing = false;
            for (HWND window : ours) result.snapshot.push_back(Describe(window));
            if (options.policy == WindowPolicy::terminate && wait != WAIT_OBJECT_0) {
                TerminateProcess(process.hProcess, 1);
                WaitForSingleObject(process.hProcess, 5000);
            }
        }

        if (!observing && options.policy == WindowPolicy::dismiss) {
            for (HWND window : ours) {
                if (handled.count(window) != 0) continue;
                // A dialog that is no message box gets the close box: its OK
                // may be disabled, and a posted IDOK would go past that.
                if (IsMessageBox(window)) {
                    auto pressed = pressedAt.find(window);
                    if (pressed == pressedAt.end() || now - pressed->second >= kRepressMs) {
                        Trace(now, "press OK", window);
                        PressOk(window);
                        pressedAt[window] = now;
                    }
                } else if (closeSent.insert(window).second) {
                    PostMessageW(window, WM_CLOSE, 0, 0);
                }
            }
        }

        // A destroyed window's handle may come back for a new one.
        for (auto it = seen.begin(); it != seen.end();) {
            if (!IsWindow(*it)) {
                Trace(now, "gone", *it);
                pressedAt.erase(*it);
                closeSent.erase(*it);
                handled.erase(*it);
                it = seen.erase(it);
            } else {
                ++it;
            }
        }

        if (wait == WAIT_OBJECT_0 || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
        if (now >= options.timeoutMs) {
            result.timedOut = true;
            TerminateProcess(process.hProcess, WAIT_TIMEOUT);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
    }

    Trace(clock.ElapsedMs(), "ended", nullptr);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exitCode = code;
    CloseHandle(process.hProcess);
    result.elapsedMs = clock.ElapsedMs();
    return result;
}

bool AvoidWindowManagerWaits() {
    if (!RunningOnWine()) return false;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const wchar_t value[] = L"N";
    LONG status = RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

const ControlInfo* DialogInfo::Control(int id) const {
    for (const ControlInfo& control : controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

namespace {

HWND AsWindow(std::uintptr_t handle) { return reinterpret_cast<HWND>(handle); }
std::uintptr_t AsHandle(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

Rect FromRect(const RECT& rect) { return Rect{rect.left, rect.top, rect.right, rect.bottom}; }

std::uint32_t StyleOf(HWND window, int which) {
    return static_cast<std::uint32_t>(GetWindowLongPtrW(window, which));
}

// Posted rather than sent: the dialog may answer with a modal loop of its own.
bool PostClick(HWND control, int x, int y) {
    LPARAM at = MAKELPARAM(x, y);
    return PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at) && PostMessageW(control, WM_LBUTTONUP, 0, at);
}

bool SendMouseClick(HWND control, POINT at) {
    ClientToScreen(control, &at);
    HWND top = WindowFromPoint(at);
    if (top != control && !IsChild(control, top)) return false;
    // Absolute input is in 1/65536 of the primary screen.
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>((at.x * 65536LL + width / 2) / width);
        input.mi.dy = static_cast<LONG>((at.y * 65536LL + height / 2) / height);
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    return SendInput(3, inputs, sizeof(INPUT)) == 3;
}

struct OwnedScan {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwned(HWND window, LPARAM parameter) {
    auto* scan = reinterpret_cast<OwnedScan*>(parameter);
    if (GetWindow(window, GW_OWNER) != scan->owner || !IsWindowVisible(window)) return TRUE;
    scan->found = window;
    return FALSE;
}

// Memory in another process that lives as long as this object.
class RemoteBuffer {
public:
    RemoteBuffer(DWORD processId, std::size_t size)
        : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId)) {
        if (process_ != nullptr) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_ != nullptr) CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    // Null when the process could not be opened or the memory not reserved.
    char* At(std::size_t offset) const { return address_ == nullptr ? nullptr : static_cast<char*>(address_) + offset; }
    bool Write(std::size_t offset, const void* bytes, std::size_t size) const {
        return address_ != nullptr && WriteProcessMemory(process_, At(offset), bytes, size, nullptr) != FALSE;
    }
    bool Read(std::size_t offset, void* bytes, std::size_t size) const {
        return address_ != nullptr && ReadProcessMemory(process_, At(offset), bytes, size, nullptr) != FALSE;
    }

private:
    HANDLE process_;
    void* address_ = nullptr;
};

HWND FindDescendant(HWND parent, const std::wstring& className) {
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (ClassNameOf(child) == className) return child;
    }
    return nullptr;
}

// The label of the tree item that has the selection: TVM_GETITEMW wants a
// TVITEMW and a text buffer in the tree's own process.
std::wstring SelectedTreeItemText(HWND tree) {
    DWORD_PTR item = 0;
    if (!SendMessageTimeoutW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &item) || item == 0)
        return L"";
    wchar_t text[MAX_PATH + 1] = {};
    RemoteBuffer remote(ProcessOf(tree), sizeof(TVITEMW) + sizeof text);
    TVITEMW request = {};
    request.mask = TVIF_TEXT;
    request.hItem = reinterpret_cast<HTREEITEM>(item);
    request.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof(TVITEMW)));
    request.cchTextMax = MAX_PATH;
    DWORD_PTR answer = 0;
    if (!remote.Write(0, &request, sizeof request) || !remote.Write(sizeof(TVITEMW), text, sizeof text) ||
        !SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.At(0)), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &answer) ||
        !answer || !remote.Read(sizeof(TVITEMW), text, sizeof text - sizeof(wchar_t)))
        return L"";
    return text;
}

void ListFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    while (FindNextFileW(search, &entry)) {
    }
    FindClose(search);
}

// The browser matches each folder on the path by its item id, which carries
// the folder's last access time. A new folder's first listing (by the browser
// itself, halfway through the match) moves that time, and the match fails.
// Listing each folder once beforehand settles the times where the file
// system updates them only once after a change (Linux's relatime).
void ListFoldersOnPath(const std::wstring& folder) {
    for (std::size_t slash = folder.find(L'\\'); slash != std::wstring::npos; slash = folder.find(L'\\', slash + 1)) {
        ListFolder(folder.substr(0, slash));
    }
    ListFolder(folder);
}

}  // namespace

DialogInfo Inspect(std::uintptr_t dialog) {
    DialogInfo info;
    HWND window = AsWindow(dialog);
    if (!IsWindow(window)) return info;
    info.handle = dialog;
    info.processId = ProcessOf(window);
    info.className = ClassNameOf(window);
    info.title = TextOf(window);
    info.style = StyleOf(window, GWL_STYLE);
    info.exStyle = StyleOf(window, GWL_EXSTYLE);
    info.enabled = IsWindowEnabled(window) != FALSE;
    info.visible = IsWindowVisible(window) != FALSE;
    info.maximized = IsZoomed(window) != FALSE;
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    info.window = FromRect(outer);
    info.client = FromRect(client);

    std::vector<HWND> children;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        ControlInfo control;
        control.handle = AsHandle(child);
        control.id = GetDlgCtrlID(child);
        control.className = ClassNameOf(child);
        control.text = TextOf(child);
        control.style = StyleOf(child, GWL_STYLE);
        control.exStyle = StyleOf(child, GWL_EXSTYLE);
        control.enabled = IsWindowEnabled(child) != FALSE;
        control.visible = IsWindowVisible(child) != FALSE;
        RECT rect;
        GetWindowRect(child, &rect);
        control.onScreen = FromRect(rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        control.inDialog = FromRect(rect);
        info.controls.push_back(control);
    }
    return info;
}

std::uintptr_t ControlOf(std::uintptr_t dialog, int id) { return AsHandle(GetDlgItem(AsWindow(dialog), id)); }

bool WaitUntil(const std::function<bool()>& condition, std::uint32_t timeoutMs) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(kPollMs);
    }
}

bool WaitUntilGone(std::uintptr_t window, std::uint32_t timeoutMs) {
    return WaitUntil([window] { return !IsWindow(AsWindow(window)); }, timeoutMs);
}

std::uintptr_t WaitForWindow(std::uint32_t processId, const std::wstring& title, std::uint32_t timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : VisibleTopLevelWindows()) {
                if (ProcessOf(window) == processId && (title.empty() || TextOf(window) == title)) found = window;
            }
            return found != nullptr;
        },
        timeoutMs);
    return AsHandle(found);
}

std::uintptr_t WaitForOwnedWindow(std::uintptr_t owner, std::uint32_t timeoutMs) {
    OwnedScan scan = {AsWindow(owner), nullptr};
    WaitUntil(
        [&] {
            EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&scan));
            return scan.found != nullptr;
        },
        timeoutMs);
    return AsHandle(scan.found);
}

bool PressButton(std::uintptr_t dialog, int id) {
    HWND button = GetDlgItem(AsWindow(dialog), id);
    if (button == nullptr || !IsWindowVisible(button) || !IsWindowEnabled(button)) return false;
    return PostMessageW(AsWindow(dialog), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE;
}

bool SendKey(std::uintptr_t control, Key key) {
    UINT code = VK_ESCAPE;
    switch (key) {
        case Key::escape: code = VK_ESCAPE; break;
        case Key::enter: code = VK_RETURN; break;
        case Key::space: code = VK_SPACE; break;
    }
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(code, MAPVK_VK_TO_VSC)) << 16;
    const LPARAM released = (1LL << 30) | (1LL << 31);
    HWND window = AsWindow(control);
    return PostMessageW(window, WM_KEYDOWN, code, scan | 1) && PostMessageW(window, WM_KEYUP, code, scan | released | 1);
}

bool CloseWithCloseBox(std::uintptr_t window) {
    return PostMessageW(AsWindow(window), WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
}

Rect ResizeBy(std::uintptr_t window, int dx, int dy) {
    HWND target = AsWindow(window);
    RECT outer;
    GetWindowRect(target, &outer);
    SetWindowPos(target, nullptr, 0, 0, outer.right - outer.left + dx, outer.bottom - outer.top + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(target, &outer);
    return FromRect(outer);
}

bool Maximize(std::uintptr_t window) {
    ShowWindow(AsWindow(window), SW_MAXIMIZE);
    return IsZoomed(AsWindow(window)) != FALSE;
}

bool Restore(std::uintptr_t window) {
    ShowWindow(AsWindow(window), SW_RESTORE);
    return IsZoomed(AsWindow(window)) == FALSE;
}

bool Click(std::uintptr_t control, int x, int y, ClickInput input) {
    HWND window = AsWindow(control);
    if (!IsWindowVisible(window)) return false;
    if (input == ClickInput::posted) return PostClick(window, x, y);
    return SendMouseClick(window, POINT{x, y});
}

bool Click(std::uintptr_t control, ClickInput input) {
    RECT client;
    if (!GetClientRect(AsWindow(control), &client)) return false;
    return Click(control, client.right / 2, client.bottom / 2, input);
}

bool SelectFolderInBrowser(std::uintptr_t browser, const std::wstring& folder) {
    HWND window = AsWindow(browser);
    ListFoldersOnPath(folder);
    std::size_t bytes = (folder.size() + 1) * sizeof(wchar_t);
    RemoteBuffer path(ProcessOf(window), bytes);
    if (!path.Write(0, folder.c_str(), bytes)) return false;
    const UINT setSelection = WM_USER + 103;  // BFFM_SETSELECTIONW; wParam TRUE: lParam is a path
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, setSelection, TRUE, reinterpret_cast<LPARAM>(path.At(0)), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs * 5, &answer))
        return false;
    // A folder the browser cannot find leaves the old selection in place
    // without a word; the tree shows whether the new one arrived.
    std::wstring name = folder;
    while (name.size() > 3 && (name.back() == L'\\' || name.back() == L'/')) name.pop_back();
    std::size_t slash = name.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash + 1 == name.size()) return true;  // a drive: its label varies
    HWND tree = FindDescendant(window, WC_TREEVIEWW);
    return tree != nullptr && SameNameIgnoringCase(SelectedTreeItemText(tree), name.substr(slash + 1));
}

bool ChooseFolder(std::uintptr_t owner, const std::wstring& folder, std::uint32_t timeoutMs) {
    std::uintptr_t browser = WaitForOwnedWindow(owner, timeoutMs);
    if (browser == 0) return false;
    // Cancel when the folder cannot be selected: OK would hand over whatever
    // was selected before, and an open browser would hold the caller's dialog.
    bool selected = SelectFolderInBrowser(browser, folder);
    return PressButton(browser, selected ? IDOK : IDCANCEL) && WaitUntilGone(browser, timeoutMs) && selected;
}

}  // namespace uiauto
