#include "launcher/platform_win32.h"

#include "launcher/trace.h"

#include <algorithm>
#include <cwchar>
#include <memory>

#include "launcher/environment.h"
#include "launcher/file_locations.h"
#include "launcher/system_library_win32.h"
#include "launcher/text.h"
#include "launcher/unique_handle.h"
#include "launcher/utf8.h"
#include "runtime/jvm_library.h"
#include "runtime/runtime_not_found.h"

namespace zorv {
namespace {

// Calls fill(buffer, size) with a growing buffer until needsMore says the
// text fit; how a full buffer shows depends on the Win32 reader fill calls.
template <typename Fill, typename NeedsMore>
std::wstring ReadGrowing(DWORD initialSize, Fill fill, NeedsMore needsMore) {
    for (DWORD size = initialSize;; size *= 2) {
        std::unique_ptr<wchar_t[]> buffer(new wchar_t[size]);
        buffer[0] = L'\0';
        DWORD length = fill(buffer.get(), size);
        if (!needsMore(length, size) || size >= 0x40000000) return std::wstring(buffer.get(), length < size ? length : size);
    }
}

struct ThreadStart {
    ThreadRoutine routine;
    void* argument;
};

DWORD WINAPI ThreadTrampoline(void* parameter) {
    ThreadStart* start = static_cast<ThreadStart*>(parameter);
    return start->routine(start->argument);
}

// For a thread nobody waits for at once: it owns its start record.
DWORD WINAPI OwningThreadTrampoline(void* parameter) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    return start->routine(start->argument);
}

std::wstring FromCodePage(UINT codePage, const std::string& text) {
    if (text.empty()) return std::wstring();
    int length = static_cast<int>(text.size());
    int needed = MultiByteToWideChar(codePage, 0, text.c_str(), length, nullptr, 0);
    if (needed <= 0) return std::wstring();
    std::wstring result(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, 0, text.c_str(), length, &result[0], needed);
    return result;
}

// The profile functions cannot open a path of MAX_PATH characters or more.
// Such a settings file is handed to them by its short name, which the system
// gives for long paths through the "\\?\" form; a file still to be written
// gets its folder's short name.
std::wstring ShortName(const std::wstring& path) {
    const std::wstring longForm = L"\\\\?\\" + path;
    DWORD needed = GetShortPathNameW(longForm.c_str(), nullptr, 0);
    if (needed == 0) return std::wstring();
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[needed]);
    DWORD length = GetShortPathNameW(longForm.c_str(), buffer.get(), needed);
    if (length == 0 || length >= needed) return std::wstring();
    std::wstring shortName(buffer.get(), length);
    if (shortName.compare(0, 4, L"\\\\?\\") == 0) shortName.erase(0, 4);
    return shortName;
}

std::wstring ProfilePath(const std::wstring& path) {
    if (path.size() < MAX_PATH) return path;
    std::wstring shortName = ShortName(path);
    if (shortName.empty()) {
        std::wstring folder = FolderOf(path);
        std::wstring shortFolder = folder.empty() ? std::wstring() : ShortName(folder);
        if (!shortFolder.empty()) shortName = shortFolder + path.substr(folder.size());
    }
    return !shortName.empty() && shortName.size() < MAX_PATH ? shortName : path;
}

REGSAM RegistryAccess(RegistryView view) {
    switch (view) {
        case RegistryView::wow32: return KEY_READ | KEY_WOW64_32KEY;
        case RegistryView::wow64: return KEY_READ | KEY_WOW64_64KEY;
        default: return KEY_READ;
    }
}

}  // namespace

Win32Platform::Win32Platform(bool console) : console_(console) {
    splashOnlyWhenAsked = console;
    Use(files_, environment_, registry_, libraries_, processes_, desktop_);
}

std::wstring Win32Environment::CommandLine() {
    const wchar_t* line = GetCommandLineW();
    return line == nullptr ? std::wstring() : std::wstring(line);
}

bool Win32Environment::ModuleFileName(std::wstring& path, SystemError& error) {
    // Grow until the whole path fits: a cut path would name the wrong settings file.
    for (DWORD size = MAX_PATH;; size *= 2) {
        std::unique_ptr<wchar_t[]> buffer(new wchar_t[size]);
        DWORD length = GetModuleFileNameW(nullptr, buffer.get(), size);
        if (length == 0) {
            error = LastSystemError();
            return false;
        }
        if (length < size) {
            path.assign(buffer.get(), length);
            return true;
        }
        if (size >= 0x10000) {
            error = FromWin32Code(ERROR_INSUFFICIENT_BUFFER);
            return false;
        }
    }
}

std::wstring Win32Desktop::LoadResourceString(unsigned id) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    return ReadGrowing(
        256, [&](wchar_t* buffer, DWORD size) { return static_cast<DWORD>(LoadStringW(instance, id, buffer, static_cast<int>(size))); },
        [](DWORD length, DWORD size) { return length >= size - 1; });
}

void Win32Desktop::ShowErrorBox(WindowHandle owner, const std::wstring& text) {
    if (platform_.Unseen()) ReportUnseen(platform_.trace, text);
    else if (platform_.Console()) WriteConsoleError(text);
    else if (platform_.SeenByNobody()) ReportUnseen(platform_.trace, text);
    else MessageBoxW(static_cast<HWND>(owner), text.c_str(), nullptr, MB_ICONERROR);
}

void Win32Desktop::WriteNotice(const std::wstring& text) {
    if (platform_.Console() && !platform_.Unseen()) WriteConsoleError(text);
}

WindowHandle Win32Desktop::ActiveWindow() { return GetActiveWindow(); }

int Win32Desktop::ShowRuntimeNotFoundDialog(WindowHandle owner, RuntimeNotFoundDialog& dialog) {
    if (!platform_.Console() && !platform_.SeenByNobody())
        return RunRuntimeNotFoundDialog(static_cast<HWND>(owner), dialog);
    // Nobody can pick a folder: the message and the download address.
    if (platform_.Console() && !platform_.Unseen()) WriteConsoleError(RuntimeNotFoundText(dialog));
    else ReportUnseen(platform_.trace, RuntimeNotFoundText(dialog));
    return kDialogCancel;
}

int Win32Desktop::ShowExceptionDialog(WindowHandle owner, const std::wstring& traceText) {
    if (!platform_.Console() && !platform_.SeenByNobody())
        return RunExceptionDialog(static_cast<HWND>(owner), traceText);
    // Nobody can choose Ignore: the exception is left to the VM, which reports
    // it on standard error once, and the process ends with 1, as under java.
    if (!platform_.Console() || platform_.Unseen()) ReportUnseen(platform_.trace, traceText);
    return kNoDialog;
}

bool Win32Files::FileExists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    ScopedFind find(FindFirstFileW(path.c_str(), &data));
    return find.valid();
}

std::vector<std::wstring> Win32Files::FindFiles(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    ScopedFind find(FindFirstFileW(pattern.c_str(), &data));
    if (!find) return names;
    do {
        names.emplace_back(data.cFileName);
    } while (FindNextFileW(find.get(), &data));
    return names;
}

SystemError Win32Files::CreateFolder(const std::wstring& path) {
    return CreateDirectoryW(path.c_str(), nullptr) ? SystemError() : LastSystemError();
}

// Access rights decide, which no attribute tells: a file that is gone again
// once closed, under a name no other process uses.
bool Win32Files::CanWriteIn(const std::wstring& folder) {
    const std::wstring probe = folder + L"\\zorv-" + DecimalText(GetCurrentProcessId()) + L".probe";
    ScopedFile file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return static_cast<bool>(file);
}

void Win32Files::SetCurrentFolder(const std::wstring& path) { SetCurrentDirectoryW(path.c_str()); }

std::uint16_t Win32Files::ImageMachine(const std::wstring& path) {
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0) return 0;
    ScopedHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return 0;
    ScopedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return 0;
    return PeImageMachine(static_cast<const unsigned char*>(view.get()), static_cast<std::size_t>(size.QuadPart));
}

// The file is read here and parsed by the portable reader, as on Linux and in
// zorvtool, rather than through the profile functions: those open the file
// again for every key, stop at MAX_PATH, and would be a second reading of the
// same syntax. Its text is decoded as they decode it: by its byte-order mark,
// else in the ANSI code page.
bool Win32Files::ReadSettingsText(const std::wstring& path, std::wstring& text) {
    // Larger files are none a packager wrote: they read as missing.
    constexpr LONGLONG kLargestSettingsFile = 0x10000000;
    const std::wstring open = path.size() < MAX_PATH || path.compare(0, 4, L"\\\\?\\") == 0 ? path
                              : path.compare(0, 2, L"\\\\") == 0 ? L"\\\\?\\UNC" + path.substr(1)
                                                               : L"\\\\?\\" + path;
    ScopedFile file(CreateFileW(open.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestSettingsFile) return false;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr)) return false;
    bytes.resize(read);
    std::size_t mark = 0;
    switch (SettingsFileEncoding(bytes, mark)) {
        case SettingsEncoding::utf16le: text = FromUtf16Bytes(bytes, mark, false); break;
        case SettingsEncoding::utf16be: text = FromUtf16Bytes(bytes, mark, true); break;
        case SettingsEncoding::utf8: text = FromCodePage(CP_UTF8, bytes.substr(mark)); break;
        default: text = FromCodePage(CP_ACP, bytes); break;
    }
    return true;
}

// Written through the profile function, which keeps what a reader never
// sees: the file's encoding, its comments and the layout of its other lines.
bool Win32Files::WriteProfileValue(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                                   const std::wstring& path) {
    return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), ProfilePath(path).c_str()) != FALSE;
}

bool Win32Files::RemoveFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }

SystemError Win32Files::ProbeFile(const std::wstring& path, unsigned char (&buffer)[4]) {
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LastSystemError();
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return LastSystemError();
    return SystemError();
}

bool Win32Files::ReadFileStart(const std::wstring& path, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bytes.resize(maxBytes);
    DWORD read = 0;
    const DWORD wanted = maxBytes > 0x10000000 ? 0x10000000 : static_cast<DWORD>(maxBytes);
    if (!ReadFile(file.get(), &bytes[0], wanted, &read, nullptr)) {
        bytes.clear();
        return false;
    }
    bytes.resize(read);
    return true;
}

bool Win32Files::RenameFile(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool Win32Files::FileStamp(const std::wstring& path, std::uint64_t& size, std::uint64_t& modified) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    size = static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    modified = static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

// CREATE_NEW refuses any existing name, a link's too.
bool Win32Files::CreateNewFile(const std::wstring& path) {
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

bool Win32Environment::GetEnvironment(const std::wstring& name, std::wstring& value) {
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed == 0) {
        value.clear();
        return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    }
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[needed]);
    DWORD length = GetEnvironmentVariableW(name.c_str(), buffer.get(), needed);
    if (length >= needed) return false;
    value.assign(buffer.get(), length);
    return true;
}

std::wstring Win32Environment::ExpandEnvironment(const std::wstring& text) {
    return ExpandReferences(text, [this](const std::wstring& name, std::wstring& value) {
        return GetEnvironment(name, value);
    });
}

void Win32Environment::SetEnvironment(const std::wstring& name, const std::wstring& value) {
    SetEnvironmentVariableW(name.c_str(), value.c_str());
}

void Win32Environment::RemoveEnvironment(const std::wstring& name) { SetEnvironmentVariableW(name.c_str(), nullptr); }

bool Win32Processes::SetProcessPriority(ProcessPriority priority, SystemError& error) {
    DWORD priorityClass = NORMAL_PRIORITY_CLASS;
    switch (priority) {
        case ProcessPriority::idle: priorityClass = IDLE_PRIORITY_CLASS; break;
        case ProcessPriority::belowNormal: priorityClass = BELOW_NORMAL_PRIORITY_CLASS; break;
        case ProcessPriority::aboveNormal: priorityClass = ABOVE_NORMAL_PRIORITY_CLASS; break;
        case ProcessPriority::high: priorityClass = HIGH_PRIORITY_CLASS; break;
        case ProcessPriority::normal:
        case ProcessPriority::unchanged: break;
    }
    if (SetPriorityClass(GetCurrentProcess(), priorityClass)) return true;
    error = LastSystemError();
    return false;
}

bool Win32Processes::SetAppUserModelId(const std::wstring& id, SystemError& error) {
    using SetId = HRESULT WINAPI(PCWSTR);
    SetId* set = SystemFunction<SetId>(L"shell32.dll", "SetCurrentProcessExplicitAppUserModelID");
    if (set == nullptr) {
        error = SystemError{ErrorKind::failed, static_cast<std::uint32_t>(HRESULT_FROM_WIN32(GetLastError()))};
        return false;
    }
    const HRESULT result = set(id.c_str());
    error = SUCCEEDED(result) ? SystemError() : SystemError{ErrorKind::failed, static_cast<std::uint32_t>(result)};
    return SUCCEEDED(result);
}

std::vector<std::wstring> Win32Registry::RegistrySubkeys(const std::wstring& keyPath, RegistryView view) {
    std::vector<std::wstring> names;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WithoutTrailingBackslash(keyPath).c_str(), 0, RegistryAccess(view),
                      &opened) != ERROR_SUCCESS)
        return names;
    ScopedRegistryKey key(opened);
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

namespace {

// With textOnly, a value of any type but REG_SZ counts as missing.
bool ReadRegistryValue(const std::wstring& keyPath, const std::wstring& valueName, RegistryView view,
                       bool textOnly, std::wstring& value) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WithoutTrailingBackslash(keyPath).c_str(), 0, RegistryAccess(view),
                      &opened) != ERROR_SUCCESS)
        return false;
    ScopedRegistryKey key(opened);
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        bytes == 0 || (textOnly && type != REG_SZ))
        return false;
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[bytes / sizeof(wchar_t) + 1]());
    if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.get()),
                         &bytes) != ERROR_SUCCESS)
        return false;
    buffer[bytes / sizeof(wchar_t)] = L'\0';
    value = buffer.get();  // the text ends at its first NUL
    return !value.empty();
}

}  // namespace

bool Win32Registry::RegistryString(const std::wstring& keyPath, const std::wstring& valueName, RegistryView view,
                                   std::wstring& value) {
    return ReadRegistryValue(keyPath, valueName, view, false, value);
}

bool Win32Registry::RegistryText(const std::wstring& keyPath, const std::wstring& valueName, RegistryView view,
                                 std::wstring& value) {
    return ReadRegistryValue(keyPath, valueName, view, true, value);
}

void Win32Libraries::AddLibraryFolder(const std::wstring& folder) { AddDllDirectory(folder.c_str()); }

ModuleHandle Win32Libraries::LoadLibraryAt(const std::wstring& path, SystemError& error) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr) error = LastSystemError();
    return module;
}

void* Win32Libraries::LibrarySymbol(ModuleHandle module, const char* name, SystemError& error) {
    FARPROC symbol = GetProcAddress(static_cast<HMODULE>(module), name);
    if (symbol == nullptr) error = LastSystemError();
    return reinterpret_cast<void*>(symbol);
}

MemoryStatus Win32Processes::QueryMemory() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    MemoryStatus result;
    if (GlobalMemoryStatusEx(&status)) {
        result.totalPhysical = status.ullTotalPhys;
        result.availableVirtual = status.ullAvailVirtual;
    }
    return result;
}

namespace {

// The one list of how LocalTime's fields pair with SYSTEMTIME's, for copying
// either way.
template <typename Copy>
void PairTimeFields(LocalTime& time, SYSTEMTIME& system, Copy copy) {
    copy(time.year, system.wYear);
    copy(time.month, system.wMonth);
    copy(time.dayOfWeek, system.wDayOfWeek);
    copy(time.day, system.wDay);
    copy(time.hour, system.wHour);
    copy(time.minute, system.wMinute);
    copy(time.second, system.wSecond);
    copy(time.milliseconds, system.wMilliseconds);
}

SYSTEMTIME ToSystemTime(LocalTime time) {
    SYSTEMTIME result;
    PairTimeFields(time, result, [](std::uint16_t& ours, WORD& theirs) { theirs = ours; });
    return result;
}

}  // namespace

LocalTime Win32Processes::CurrentLocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    LocalTime time;
    PairTimeFields(time, now, [](std::uint16_t& ours, WORD& theirs) { ours = theirs; });
    return time;
}

namespace {

// Asks for the size first, so a long picture is formatted whole rather than
// cut at a fixed buffer; an empty or unformattable picture stays as it is.
template <typename Formatter>
std::wstring FormatPiece(const std::wstring& picture, const LocalTime& time, Formatter format) {
    if (picture.empty()) return picture;
    SYSTEMTIME when = ToSystemTime(time);
    int needed = format(&when, picture.c_str(), nullptr, 0);
    if (needed <= 0) return picture;
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[needed]);
    if (format(&when, picture.c_str(), buffer.get(), needed) <= 0) return picture;
    return std::wstring(buffer.get());
}

// Wine's date formatting cuts its result at 256 characters, whatever the
// buffer, so a long picture goes through in pieces of at least 64
// characters, each ending where a run of one letter ends outside quotes; a
// short one stays whole, as genitive month names need the day beside them.
template <typename Formatter>
std::wstring FormatPicture(const std::wstring& picture, const LocalTime& time, Formatter format) {
    const std::size_t kPiece = 64;
    std::wstring formatted;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        if (picture[i] == L'\'') quoted = !quoted;
        bool last = i + 1 == picture.size();
        if (last || (!quoted && i + 1 - start >= kPiece && picture[i + 1] != picture[i])) {
            formatted += FormatPiece(picture.substr(start, i + 1 - start), time, format);
            start = i + 1;
        }
    }
    return formatted;
}

}  // namespace

std::wstring Win32Processes::FormatTimePicture(const std::wstring& picture, const LocalTime& time) {
    return FormatPicture(picture, time, [](const SYSTEMTIME* when, const wchar_t* format, wchar_t* out, int size) {
        return GetTimeFormatW(LOCALE_USER_DEFAULT, 0, when, format, out, size);
    });
}

std::wstring Win32Processes::FormatDatePicture(const std::wstring& picture, const LocalTime& time) {
    return FormatPicture(picture, time, [](const SYSTEMTIME* when, const wchar_t* format, wchar_t* out, int size) {
        return GetDateFormatW(LOCALE_USER_DEFAULT, 0, when, format, out, size);
    });
}

std::string ToCodePage(const std::wstring& text, unsigned codePage) {
    if (text.empty()) return std::string();
    int length = static_cast<int>(text.size());
    int needed = WideCharToMultiByte(codePage, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string result(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), length, &result[0], needed, nullptr, nullptr);
    return result;
}

std::string Win32Environment::ToAnsi(const std::wstring& text) { return ToCodePage(text, CP_THREAD_ACP); }

std::wstring Win32Environment::FromAnsi(const std::string& text) { return FromCodePage(CP_THREAD_ACP, text); }

bool Win32Processes::RunThread(std::uint64_t stackSize, ThreadRoutine routine, void* argument,
                               std::uint32_t& exitCode) {
    ThreadStart start = {routine, argument};
    // A reservation, as the JDK's own launcher asks: committing a large -Xss
    // up front can fail and would leave main on a small stack.
    ScopedHandle thread(CreateThread(nullptr, static_cast<SIZE_T>(stackSize), ThreadTrampoline, &start,
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread) return false;
    WaitForSingleObject(thread.get(), INFINITE);
    DWORD code = 1;
    GetExitCodeThread(thread.get(), &code);
    exitCode = code;
    return true;
}

void Win32Processes::SleepForever() {
    for (;;) Sleep(INFINITE);
}

MessageLoopThread Win32Processes::StartThread(ThreadRoutine routine, void* argument) {
    std::unique_ptr<ThreadStart> start(new ThreadStart{routine, argument});
    DWORD id = 0;
    HANDLE created = CreateThread(nullptr, 0, OwningThreadTrampoline, start.get(), 0, &id);
    if (created == nullptr) return MessageLoopThread();
    start.release();
    return MessageLoopThread(*this, created, id);
}

void Win32Processes::EndThread(ThreadHandle thread, std::uint32_t threadId) {
    if (thread == nullptr) return;
    ScopedHandle owned(static_cast<HANDLE>(thread));
    // A thread without a message queue yet refuses the message; it is offered
    // again until the thread takes it or has ended.
    while (!PostThreadMessageW(threadId, WM_QUIT, 0, 0)) {
        if (WaitForSingleObject(owned.get(), 1) != WAIT_TIMEOUT) return;
    }
    WaitForSingleObject(owned.get(), INFINITE);
}

void Win32Desktop::MakeProcessDpiAware() { SetProcessDPIAware(); }

std::int64_t Win32Processes::WallClockSeconds() {
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // From 1601 in 100 ns steps to 1970 in seconds.
    return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600LL;
}

bool Win32Processes::RestartProgram(const std::wstring& variable, const std::wstring& value, SystemError& error) {
    std::wstring executable;
    if (!platform_.environment().ModuleFileName(executable, error)) return false;
    SetEnvironmentVariableW(variable.c_str(), value.c_str());
    std::uint32_t exitCode = 0;
    if (!StartProcess(executable, GetCommandLineW(), platform_.Console(), exitCode, error)) return false;
    // The console's caller waits for this process: it stays until the new
    // start has ended, and ends with its code.
    if (platform_.Console()) ExitProcess(exitCode);
    return true;
}

namespace {

using SetDpiContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
using SetThreadDpiContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);

// Windows 10 1703 and later; older systems have system-wide awareness only.
template <typename Function>
Function User32Function(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

void UsePerMonitorDpiOnThisThread() {
    if (auto set = User32Function<SetThreadDpiContext>("SetThreadDpiAwarenessContext"))
        set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

// What java.exe's manifest gives its runtime: per-monitor from Java 9, whose
// windows rescale when moved to a monitor of another scale; system-wide for
// Java 8, which cannot rescale itself and would keep its 96-dpi size on a
// denser monitor instead of being stretched there.
void Win32Desktop::SetDpiAwareness(int featureRelease) {
    const bool perMonitor = featureRelease == 0 || featureRelease >= 9;
    const DPI_AWARENESS_CONTEXT context =
        perMonitor ? DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 : DPI_AWARENESS_CONTEXT_SYSTEM_AWARE;
    bool set = false;
    if (auto setProcess = User32Function<SetDpiContext>("SetProcessDpiAwarenessContext")) set = setProcess(context) != 0;
    else set = SetProcessDPIAware() != 0;
    // The launcher's own thread follows the process from here on.
    if (auto setThread = User32Function<SetThreadDpiContext>("SetThreadDpiAwarenessContext")) setThread(context);
    if (Trace* trace = platform_.trace) {
        trace->Line(std::wstring(L"dpi: ") + (perMonitor ? L"per-monitor" : L"system-wide") + L" awareness for " +
                    (featureRelease == 0 ? std::wstring(L"a runtime of unknown version")
                                         : L"Java " + DecimalText(featureRelease)) +
                    (set ? L"" : L"; the system kept the one it had (the manifest's, if it names one)"));
    }
}

namespace {

// Closes what CreateProcessW handed back, after waiting for the process's
// end when asked to.
void FinishStartedProcess(const PROCESS_INFORMATION& process, bool wait, std::uint32_t& exitCode) {
    ScopedHandle processHandle(process.hProcess);
    ScopedHandle threadHandle(process.hThread);
    if (!wait) return;
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(processHandle.get(), &code);
    exitCode = code;
}

}  // namespace

bool Win32Processes::StartProcess(const std::wstring& application, const std::wstring& commandLine, bool wait,
                                  std::uint32_t& exitCode, SystemError& error) {
    std::wstring mutableLine = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    // A console program's pair writes where this one's output was redirected to.
    if (platform_.Console()) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(application.c_str(), &mutableLine[0], nullptr, nullptr, platform_.Console(), 0, nullptr,
                        nullptr, &startup, &process)) {
        error = LastSystemError();
        return false;
    }
    FinishStartedProcess(process, wait, exitCode);
    return true;
}

namespace {

// This process's environment block without any variable=... of that name,
// then variable=value, each entry ended by a null, the block by another.
std::wstring EnvironmentWith(const std::wstring& variable, const std::wstring& value) {
    std::wstring block;
    const std::wstring prefix = variable + L"=";
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
            if (CompareStringOrdinal(entry, static_cast<int>(std::min(std::wcslen(entry), prefix.size())),
                                     prefix.c_str(), static_cast<int>(prefix.size()), TRUE) != CSTR_EQUAL) {
                block += entry;
                block += L'\0';
            }
        }
        FreeEnvironmentStringsW(strings);
    }
    block += prefix + value;
    block += L'\0';
    return block;
}

}  // namespace

// Not in this console's process group, so Ctrl+C there does not reach it;
// with a console of its own that nobody sees, and no handles of this process.
bool Win32Processes::StartBackgroundProcess(const std::wstring& application, const std::wstring& commandLine,
                                            const std::wstring& variable, const std::wstring& value, bool wait,
                                            std::uint32_t& exitCode, SystemError& error) {
    std::wstring mutableLine = commandLine;
    std::wstring environment = EnvironmentWith(variable, value);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    const DWORD flags = IDLE_PRIORITY_CLASS | CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT;
    if (!CreateProcessW(application.c_str(), &mutableLine[0], nullptr, nullptr, FALSE, flags, &environment[0], nullptr,
                        &startup, &process)) {
        error = LastSystemError();
        return false;
    }
    FinishStartedProcess(process, wait, exitCode);
    return true;
}

}  // namespace zorv
