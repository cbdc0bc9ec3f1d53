// The launcher's seam to the OS, implemented with Win32.
#pragma once

#include "launcher/platform.h"
#include "launcher/win32_api.h"

namespace zorv {

bool HasVisibleDesktop();

class Win32Platform;

class Win32Files : public FileSystem {
public:
    bool FileExists(const std::wstring& path) override;
    std::vector<std::wstring> FindFiles(const std::wstring& pattern) override;
    SystemError CreateFolder(const std::wstring& path) override;
    bool CanWriteIn(const std::wstring& folder) override;
    void SetCurrentFolder(const std::wstring& path) override;
    std::uint16_t ImageMachine(const std::wstring& path) override;
    bool ReadSettingsText(const std::wstring& path, std::wstring& text) override;
    bool WriteProfileValue(const std::wstring& section, const std::wstring& key, const std::wstring& value, const std::wstring& path) override;
    bool RemoveFile(const std::wstring& path) override;
    SystemError ProbeFile(const std::wstring& path, unsigned char (&buffer)[4]) override;
    bool ReadFileStart(const std::wstring& path, std::size_t maxBytes, std::string& bytes) override;
    bool RenameFile(const std::wstring& from, const std::wstring& to) override;
    bool FileStamp(const std::wstring& path, std::uint64_t& size, std::uint64_t& modified) override;
    bool CreateNewFile(const std::wstring& path) override;
};

class Win32Environment : public Environment {
public:
    std::wstring CommandLine() override;
    bool ModuleFileName(std::wstring& path, SystemError& error) override;
    bool GetEnvironment(const std::wstring& name, std::wstring& value) override;
    // In launcher/user_folders_win32.cpp.
    bool KnownUserFolder(UserFolderKind kind, std::wstring& folder) override;
    std::wstring ExpandEnvironment(const std::wstring& text) override;
    void SetEnvironment(const std::wstring& name, const std::wstring& value) override;
    void RemoveEnvironment(const std::wstring& name) override;
    std::string ToAnsi(const std::wstring& text) override;
    std::wstring FromAnsi(const std::string& text) override;
};

class Win32Registry : public Registry {
public:
    std::vector<std::wstring> RegistrySubkeys(const std::wstring& keyPath, RegistryView view) override;
    bool RegistryString(const std::wstring& keyPath, const std::wstring& valueName, RegistryView view, std::wstring& value) override;
    bool RegistryText(const std::wstring& keyPath, const std::wstring& valueName, RegistryView view, std::wstring& value) override;
};

class Win32Libraries : public Libraries {
public:
    void AddLibraryFolder(const std::wstring& folder) override;
    ModuleHandle LoadLibraryAt(const std::wstring& path, SystemError& error) override;
    void* LibrarySymbol(ModuleHandle module, const char* name, SystemError& error) override;
    // In launcher/embedded_settings_win32.cpp.
    std::vector<unsigned char> ReadResourceData(unsigned id) override;
    ProviderResult DecipherWithProvider(const std::string& passPhrase, std::vector<unsigned char>& bytes) override;
};

class Win32Processes : public Processes {
public:
    explicit Win32Processes(Win32Platform& platform) : platform_(platform) {}
    bool SetProcessPriority(ProcessPriority priority, SystemError& error) override;
    // Through shell32, loaded for it alone.
    bool SetAppUserModelId(const std::wstring& id, SystemError& error) override;
    MemoryStatus QueryMemory() override;
    LocalTime CurrentLocalTime() override;
    std::wstring FormatTimePicture(const std::wstring& picture, const LocalTime& time) override;
    std::wstring FormatDatePicture(const std::wstring& picture, const LocalTime& time) override;
    bool RunThread(std::uint64_t stackSize, ThreadRoutine routine, void* argument, std::uint32_t& exitCode) override;
    void SleepForever() override;
    MessageLoopThread StartThread(ThreadRoutine routine, void* argument) override;
    void EndThread(ThreadHandle thread, std::uint32_t threadId) override;
    std::int64_t WallClockSeconds() override;
    bool RestartProgram(const std::wstring& variable, const std::wstring& value, SystemError& error) override;
    bool StartProcess(const std::wstring& application, const std::wstring& commandLine, bool wait,
                      std::uint32_t& exitCode, SystemError& error) override;
    bool StartBackgroundProcess(const std::wstring& application, const std::wstring& commandLine,
                                const std::wstring& variable, const std::wstring& value, bool wait,
                                std::uint32_t& exitCode, SystemError& error) override;
    // In launcher/service_win32.cpp.
    bool RunAsService(const ServiceRun& run, std::int32_t& exitCode) override;
    std::int32_t InstallService(const ServicePlan& plan, const std::wstring& settingsFile) override;
    std::int32_t RemoveService(const std::wstring& name) override;

private:
    Win32Platform& platform_;
};

class Win32Desktop : public Desktop {
public:
    explicit Win32Desktop(Win32Platform& platform) : platform_(platform) {}
    std::wstring LoadResourceString(unsigned id) override;
    void ShowErrorBox(WindowHandle owner, const std::wstring& text) override;
    WindowHandle ActiveWindow() override;
    int ShowRuntimeNotFoundDialog(WindowHandle owner, RuntimeNotFoundDialog& dialog) override;
    int ShowExceptionDialog(WindowHandle owner, const std::wstring& traceText) override;
    // In ui/splash_window_win32.cpp.
    std::unique_ptr<SplashScreenWindow> NewSplashScreenWindow() override;
    // In instance/single_instance_win32.cpp.
    std::unique_ptr<InstanceChannel> NewInstanceChannel() override;
    void MakeProcessDpiAware() override;
    void SetDpiAwareness(int featureRelease) override;
    // The console launcher's notices go to its standard error; the GUI one's nowhere.
    void WriteNotice(const std::wstring& text) override;

private:
    Win32Platform& platform_;
};

class Win32Platform : public Platform {
public:
    // A console program (launcher-console.exe, or a launcher zorvtool
    // switched) writes to standard error what a desktop one shows in windows,
    // and hands its standard handles to the programs it starts.
    explicit Win32Platform(bool console = false);
    // From now on nobody sees this process's windows: a service's messages
    // go to the event log whatever its window station claims.
    void SetUnseen() { unseen_ = true; }
    bool Console() const { return console_; }
    bool Unseen() const { return unseen_; }
    bool SeenByNobody() const { return unseen_ || !HasVisibleDesktop(); }

private:
    const bool console_;
    bool unseen_ = false;
    Win32Files files_;
    Win32Environment environment_;
    Win32Registry registry_;
    Win32Libraries libraries_;
    Win32Processes processes_{*this};
    Win32Desktop desktop_{*this};
};

// Whether this executable's header names the console subsystem: the one fact
// that makes launcher-console.exe, or a launcher zorvtool switched, a console
// program.
inline bool StartedAsConsoleProgram() {
    const auto* image = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    return headers->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

// Through the console API when the handle is a console, which keeps every
// character; otherwise as bytes in codePage. Nothing for a missing handle.
void WriteText(HANDLE handle, const std::wstring& text, unsigned codePage);
// A console program's message on standard error, ending in one line end.
void WriteConsoleError(const std::wstring& text);
// Windows made before the runtime is known (message boxes, the "JRE Not
// Found" dialog) scale on each monitor, whatever the process settles on.
void UsePerMonitorDpiOnThisThread();

// GetLastError() with the kind it stands for: take it right after the call that failed.
inline SystemError LastSystemError() { return FromWin32Code(GetLastError()); }

// Text in a code page (CP_THREAD_ACP, CP_UTF8); empty when it cannot be converted.
std::string ToCodePage(const std::wstring& text, unsigned codePage);

// The dialogs, each beside the portable half it serves.
int RunRuntimeNotFoundDialog(HWND owner, RuntimeNotFoundDialog& dialog);
int RunExceptionDialog(HWND owner, const std::wstring& traceText);
// False in a window station nobody sees (a service's); then messages go to
// ReportUnseen: the event log and the trace.
bool HasVisibleDesktop();
void ReportUnseen(Trace* trace, const std::wstring& text, WORD type = EVENTLOG_ERROR_TYPE);
// The tooltip and other common controls the dialogs use, registered once.
void InitCommonControlsOnce();

}  // namespace zorv
