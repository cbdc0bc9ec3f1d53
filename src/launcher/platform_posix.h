// The launcher's OS seam on Linux. The logic writes "\" between folders and
// speaks UTF-16-like wide strings as on Windows; this side maps paths to "/"
// and text to UTF-8. What Linux has no counterpart for (registry, resources,
// message boxes) answers as a Windows machine without it would.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "launcher/platform.h"
#include "launcher/utf8.h"

namespace zorv {

// The launcher writes "\" between folders; Linux wants "/".
std::string NativePath(const std::wstring& path);
// The way back: a Linux path as the launcher writes paths.
std::wstring LauncherPath(const std::string& path);
// argv as a command line that the launcher's splitter takes apart into the
// same pieces, as far as its grammar (no escapes) can say them.
std::wstring JoinArguments(const std::vector<std::string>& arguments);

// A manual-reset event: the single-instance start event, which request
// threads wait on until main has been called.
class PosixEvent {
public:
    void Set() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            set_ = true;
        }
        changed_.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [this] { return set_; });
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool set_ = false;
};

// The single-instance channel over a local socket, in instance/single_instance_posix.cpp.
std::unique_ptr<InstanceChannel> NewPosixInstanceChannel();

class PosixPlatform;

class PosixFiles : public FileSystem {
public:
    bool FileExists(const std::wstring& path) override;
    std::vector<std::wstring> FindFiles(const std::wstring& pattern) override;
    SystemError CreateFolder(const std::wstring& path) override;
    // Owner only, as the XDG folders are meant to be.
    SystemError CreatePrivateFolder(const std::wstring& path) override;
    bool CanWriteIn(const std::wstring& folder) override;
    bool IsOwnFolder(const std::wstring& folder, bool throughLink) override;
    void SetCurrentFolder(const std::wstring& path) override;
    std::uint16_t ImageMachine(const std::wstring& path) override;

    bool ReadSettingsText(const std::wstring& path, std::wstring& text) override;
    std::wstring SettingsValue(const std::wstring& section, const std::wstring& key,
                               const std::wstring& written) override;
    bool WriteProfileValue(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                           const std::wstring& path) override;
    bool RemoveFile(const std::wstring& path) override;
    SystemError ProbeFile(const std::wstring& path, unsigned char (&buffer)[4]) override;
    bool ReadFileStart(const std::wstring& path, std::size_t maxBytes, std::string& bytes) override;
    bool RenameFile(const std::wstring& from, const std::wstring& to) override {
        return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
    }
    bool FileStamp(const std::wstring& path, std::uint64_t& size, std::uint64_t& modified) override;
    // Owner only.
    bool CreateNewFile(const std::wstring& path) override;
    // "/" between folders and ":" between paths, no empty entries.
    std::wstring VmPath(const std::wstring& path) override { return FromUtf8(NativePath(path)); }
    std::wstring VmPathList(const std::wstring& list) override;
    // The folders under /usr/lib/jvm, where the distributions put their JVMs;
    // their links (default-java and the like) name the same runtimes again.
    std::vector<std::wstring> InstalledRuntimeFolders() override;
};

class PosixEnvironment : public Environment {
public:
    explicit PosixEnvironment(PosixPlatform& platform) : platform_(platform) {}
    std::wstring CommandLine() override;
    bool ModuleFileName(std::wstring& path, SystemError& error) override;

    bool GetEnvironment(const std::wstring& name, std::wstring& value) override;
    std::wstring ExpandEnvironment(const std::wstring& text) override;
    void SetEnvironment(const std::wstring& name, const std::wstring& value) override;
    void RemoveEnvironment(const std::wstring& name) override;

    std::string ToAnsi(const std::wstring& text) override { return ToUtf8(text); }
    std::wstring FromAnsi(const std::string& text) override { return FromUtf8(text); }

protected:
    PosixPlatform& platform_;
};

class PosixRegistry : public Registry {
public:
    std::vector<std::wstring> RegistrySubkeys(const std::wstring&, RegistryView) override { return {}; }
    bool RegistryString(const std::wstring&, const std::wstring&, RegistryView, std::wstring&) override {
        return false;
    }
    bool RegistryText(const std::wstring&, const std::wstring&, RegistryView, std::wstring&) override { return false; }
};

class PosixLibraries : public Libraries {
public:
    // Folders where the dependencies of the libraries loaded next are looked for.
    void AddLibraryFolder(const std::wstring& folder) override;
    ModuleHandle LoadLibraryAt(const std::wstring& path, SystemError& error) override;
    void* LibrarySymbol(ModuleHandle module, const char* name, SystemError& error) override;
    // No embedded settings on Linux: the INI file alone decides.
    std::vector<unsigned char> ReadResourceData(unsigned) override { return {}; }
    ProviderResult DecipherWithProvider(const std::string&, std::vector<unsigned char>&) override {
        return ProviderResult::unavailable;
    }

private:
    std::vector<std::string> libraryFolders_;
};

class PosixProcesses : public Processes {
public:
    explicit PosixProcesses(PosixPlatform& platform) : platform_(platform) {}
    // The nice value of the calling thread, which every thread made after it inherits.
    bool SetProcessPriority(ProcessPriority priority, SystemError& error) override;

    MemoryStatus QueryMemory() override;
    LocalTime CurrentLocalTime() override;
    std::wstring FormatTimePicture(const std::wstring& picture, const LocalTime& time) override;
    std::wstring FormatDatePicture(const std::wstring& picture, const LocalTime& time) override;

    bool RunThread(std::uint64_t stackSize, ThreadRoutine routine, void* argument,
                   std::uint32_t& exitCode) override;
    void SleepForever() override;
    // No splash window of our own on Linux: StartSplash goes on without one.
    MessageLoopThread StartThread(ThreadRoutine, void*) override { return MessageLoopThread(); }
    void EndThread(ThreadHandle, std::uint32_t) override {}
    std::int64_t WallClockSeconds() override;
    bool RestartProgram(const std::wstring& variable, const std::wstring& value, SystemError& error) override;
    bool StartProcess(const std::wstring&, const std::wstring&, bool, std::uint32_t&, SystemError& error) override {
        error = SystemError{ErrorKind::notFound};
        return false;
    }
    // The command line is taken apart by the launcher's own splitter, which
    // gives back the pieces JoinArguments put together.
    bool StartBackgroundProcess(const std::wstring& application, const std::wstring& commandLine,
                                const std::wstring& variable, const std::wstring& value, bool wait,
                                std::uint32_t& exitCode, SystemError& error) override;
    // In launcher/service_posix.cpp: systemd's notification socket, and
    // SIGTERM for a service with a stop method.
    bool RunAsService(const ServiceRun& run, std::int32_t& exitCode) override;
    // systemd installs units itself.
    std::int32_t InstallService(const ServicePlan& plan, const std::wstring& settingsFile) override;
    std::int32_t RemoveService(const std::wstring& name) override;

protected:
    PosixPlatform& platform_;
};

class PosixDesktop : public Desktop {
public:
    void WriteNotice(const std::wstring& text) override;
    std::wstring LoadResourceString(unsigned id) override;
    // The text on standard error, and in a desktop dialog when no terminal shows it.
    void ShowErrorBox(WindowHandle owner, const std::wstring& text) override;
    WindowHandle ActiveWindow() override { return nullptr; }
    // The message and the download address on standard error, and in a
    // desktop dialog when no terminal shows them; nobody can pick a folder.
    int ShowRuntimeNotFoundDialog(WindowHandle owner, RuntimeNotFoundDialog& dialog) override;
    // The trace on standard error, then the application goes on.
    int ShowExceptionDialog(WindowHandle owner, const std::wstring& traceText) override;
    std::unique_ptr<SplashScreenWindow> NewSplashScreenWindow() override { return nullptr; }
    std::unique_ptr<InstanceChannel> NewInstanceChannel() override { return NewPosixInstanceChannel(); }
    void MakeProcessDpiAware() override {}
};

class PosixPlatform : public Platform {
public:
    PosixPlatform();
    explicit PosixPlatform(const std::vector<std::string>& arguments);

    const std::wstring& StartedCommandLine() const { return commandLine_; }
    // As main got them, for a restart.
    const std::vector<std::string>& Arguments() const { return arguments_; }

private:
    std::wstring commandLine_;
    std::vector<std::string> arguments_;
    PosixFiles files_;
    PosixEnvironment environment_{*this};
    PosixRegistry registry_;
    PosixLibraries libraries_;
    PosixProcesses processes_{*this};
    PosixDesktop desktop_;
};

}  // namespace zorv
