// The one seam between the launcher's logic and the operating system.
//
// Everything the launcher needs from the OS goes through these roles, so the
// logic compiles on Linux too: there it meets GoogleTest with an in-memory
// fake, and a real libjvm.so through a POSIX implementation. The Win32
// implementation lives in platform_win32.cpp and stays thin.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "launcher/system_error.h"

namespace zorv {

class RuntimeNotFoundDialog;
class Trace;

// Handles that cross the seam unowned: a window belongs to whoever made it,
// a library stays loaded, and a thread's handle is held by its
// MessageLoopThread alone.
using WindowHandle = void*;
using ModuleHandle = void*;
using ThreadHandle = void*;

struct LocalTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

struct MemoryStatus {
    std::uint64_t totalPhysical = 0;     // bytes
    std::uint64_t availableVirtual = 0;  // bytes of address space still free in this process
};

// Which registry view a runtime registration is read from.
enum class RegistryView { native, wow32, wow64 };

// Dialog results, as the dialogs' buttons report them.
constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;
constexpr int kDialogIgnore = 1;
constexpr int kDialogStop = 2;
constexpr int kNoDialog = 0;

using ThreadRoutine = std::uint32_t (*)(void* argument);

struct JvmLibraryChoice {
    const wchar_t* relativePath;  // under the runtime's home, "\" between folders
    bool isServer;
};

// Where a runtime keeps its files, and how the settings file is named: what
// differs between a Windows and a Linux launcher beyond the calls themselves.
struct SystemConventions {
    // A folder holding this file is a Java home.
    const wchar_t* javaHomeMarker;
    // The runtime folder beside the executable, when that folder is none itself.
    const wchar_t* besideRuntimeFolder;
    JvmLibraryChoice serverLibrary;
    // The libraries tried in turn when a client VM comes first.
    const JvmLibraryChoice* clientFirstLibraries;
    std::size_t clientFirstLibraryCount;
    // The settings file is the file name up to its last "." plus ".ini", or
    // the whole name plus ".ini"; otherwise the whole path up to its last ".".
    bool settingsFromFileName;
    // The runtime's splash library, in the folder above the JVM library's.
    const wchar_t* nativeSplashLibrary;
    // Whether the launcher shows pictures itself, or only through that library.
    bool ownSplashWindow;
    // Whether runtimes register themselves in the registry.
    bool registry;
    // A path that starts at the root ("\" or "/" before its first folder) is
    // absolute, as on Linux; on Windows it is joined to the executable's
    // folder like any relative one.
    bool rootedPathsAreAbsolute;
    // The variable that lists the folders searched for programs and, on
    // Windows, for libraries.
    const wchar_t* searchPathVariable;
    // The variables that name a user's folders for remembered settings and
    // for caches, indexed by UserFolderKind; and, where the system has a
    // default for an unset one, that folder under the home folder (null
    // where the system asks the known-folder API instead).
    const wchar_t* userFolderVariables[2];
    const wchar_t* userFoldersUnderHome[2];
    // The characters that end an entry of a path list as this system's VM
    // reads it: the launcher's own ";", and on Linux ":" as well.
    const wchar_t* listSeparators;
};

extern const SystemConventions kWindowsConventions;
extern const SystemConventions kLinuxConventions;

// A user's own folders: settings the launcher remembers, which may roam
// with the profile, and caches, which are big and stay on the machine.
enum class UserFolderKind { settings = 0, cache = 1 };

// "Process Priority": a priority class on Windows, a nice value on Linux.
enum class ProcessPriority { unchanged, idle, belowNormal, normal, aboveNormal, high };

// What the system's cryptographic provider made of a decipher request.
enum class ProviderResult { deciphered, failed, unavailable };

// The launcher's own splash window. The object is made on the main thread; its
// window is made, served and destroyed on the splash thread, inside Serve.
class SplashScreenWindow {
public:
    virtual ~SplashScreenWindow() = default;
    // Shows the picture at its own size in the middle of the primary screen
    // until the calling thread receives the quit message. `window` holds the
    // window's handle exactly while the window exists: other threads read it
    // as the owner of their message boxes.
    virtual void Serve(const std::wstring& picturePath, bool shadow, std::atomic<WindowHandle>& window) = 0;
};

// Serves one request of a second instance: the routine the listener runs on
// a new thread for each, with the requesting thread's id.
using RequestRoutine = bool (*)(void* context, std::uint32_t requesterThreadId);

// What a first instance's reply carries: the value secondaryMain returned, or
// word that its main class has none, so the arguments were not taken.
enum class ReplyKind : std::uint32_t { value = 0, noSecondaryMain = 1 };

// The OS side of the single-instance channel between starts of one
// executable. It owns every object it opens; destroying it stops the
// listener first, then closes the block, the start event, the first
// instance's process and the request lock.
class InstanceChannel {
public:
    virtual ~InstanceChannel() = default;

    // Why the channel cannot be offered (the block or a check refused), for
    // the trace; empty when there is nothing to say.
    std::wstring reason;

    // Creates the named shared block of `size` bytes, all zero, or opens it
    // when it exists already, and maps it for writing. Null when either fails.
    virtual unsigned char* OpenBlock(const std::wstring& name, std::size_t size, bool& existed) = 0;

    // First instance.
    // Makes the named manual-reset event, not set, that request threads wait
    // for; false when it cannot be created.
    virtual bool CreateStartEvent(const std::wstring& name) = 0;
    // Sets it: main is being called, requests may go on.
    virtual void SetStartEvent() = 0;
    // The registered window message of this name; 0 when there is none.
    virtual std::uint32_t RegisterMessage(const std::wstring& name) = 0;
    virtual std::uint32_t CurrentProcessId() = 0;
    // Starts the listener thread, which hands the wParam of every `message`
    // posted to it to `serve`, each on a new thread. Its thread id once it can
    // take messages; 0 when it cannot be started.
    virtual std::uint32_t StartListener(std::uint32_t message, RequestRoutine serve, void* context) = 0;
    // Blocks until the start event is set; false when there is no event to wait for.
    virtual bool WaitForStartEvent() = 0;
    // kind tells the second instance whether value came from secondaryMain.
    virtual bool PostReply(std::uint32_t threadId, std::uint32_t message, std::int32_t value, ReplyKind kind) = 0;
    // For a process that ends from within the VM's exit and starts itself
    // again: later starts no longer find this one, so the new start becomes
    // the first instance, and requests not yet answered get exitCode. Waits
    // for no thread: the VM has stopped its threads for good, request threads
    // in secondaryMain among them.
    virtual void Withdraw(std::int32_t exitCode) = 0;

    // Second instance.
    // Opens the first instance's process to wait for its end; false, with the
    // reason, when it cannot or that process is not this program of this user.
    virtual bool OpenFirstProcess(std::uint32_t processId) = 0;
    // Waits for the named lock that keeps other second instances off the
    // argument block until this one's reply has come. False when the first
    // process ended meanwhile; a lock that cannot be made is not waited for.
    virtual bool LockRequests(const std::wstring& name) = 0;
    // Posts `message` to that thread with the calling thread's id as wParam.
    virtual bool PostRequest(std::uint32_t threadId, std::uint32_t message) = 0;
    // Waits on the calling thread's queue for `message`, whose wParam it
    // returns, or for the end of the first process, whose exit code it
    // returns; 0 when that process could not be opened. Releases the lock.
    // kind stays ReplyKind::value unless the reply said otherwise.
    virtual std::int32_t WaitForReply(std::uint32_t message, ReplyKind& kind) = 0;
};

struct ServicePlan;

// Ends a service's application when the system asks it to stop; run on a
// thread of its own, it may take as long as the application lets it.
using StopRoutine = void (*)(void* context);

// The system's service manager, for a launcher it started: Windows' Service
// Control Manager, or systemd's notification socket. Every report follows
// what has really happened; stop requests are only recorded by the system's
// callback and carried out on a thread of their own.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // Still starting: the next step may take up to waitHintMs.
    virtual void Starting(std::uint32_t waitHintMs) = 0;
    // main has been called. From now on a stop request runs stop(context)
    // on a new thread, and ends the process at once when the application has
    // not ended stopTimeoutMs later.
    virtual void Running(StopRoutine stop, void* context, std::uint32_t stopTimeoutMs) = 0;
    // The application is ending with this code (System.exit, or the end of
    // the run): the last report. Later calls change nothing.
    virtual void Stopped(std::int32_t exitCode) = 0;
    // A line for the system's log: the event log, or systemd's journal.
    virtual void Log(const std::wstring& text, bool warning) = 0;
    // True where the log is the process's standard error, which already
    // gets what the runtime prints itself.
    virtual bool LogIsStandardError() const { return false; }
};

// The rest of a start, run by the service manager's thread: the exit code.
using ServiceBody = std::int32_t (*)(void* context, ServiceManager& manager);

struct ServiceRun {
    std::wstring name;
    bool isService = false;  // "Application Type=service"
    // A stop calls the application's stop method; otherwise it ends the
    // application as the system's own stop signal does under java.
    bool stopMethod = false;
    ServiceBody body = nullptr;
    void* context = nullptr;
};

class Processes;

// A thread that runs a message loop, owned: ending it, or destroying its
// owner, posts it the quit message, waits for its end and closes it,
// through the role that started it.
class MessageLoopThread {
public:
    MessageLoopThread() = default;
    MessageLoopThread(Processes& processes, ThreadHandle handle, std::uint32_t id)
        : processes_(&processes), handle_(handle), id_(id) {}
    MessageLoopThread(MessageLoopThread&& other) noexcept { *this = std::move(other); }
    MessageLoopThread& operator=(MessageLoopThread&& other) noexcept;
    MessageLoopThread(const MessageLoopThread&) = delete;
    MessageLoopThread& operator=(const MessageLoopThread&) = delete;
    ~MessageLoopThread() { End(); }

    explicit operator bool() const { return handle_ != nullptr; }
    std::uint32_t Id() const { return id_; }
    // Nothing happens when there is no thread.
    void End();

private:
    Processes* processes_ = nullptr;
    ThreadHandle handle_ = nullptr;
    std::uint32_t id_ = 0;
};

// Files, and the settings files among them.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual bool FileExists(const std::wstring& path) = 0;
    // Names (not paths) matched by a wildcard pattern, in the order of the file search.
    virtual std::vector<std::wstring> FindFiles(const std::wstring& pattern) = 0;
    // None on success; alreadyExists when the folder is there.
    virtual SystemError CreateFolder(const std::wstring& path) = 0;
    // As CreateFolder, for a folder of the user's own that nobody else may
    // look into where the system's folders do not see to that already.
    virtual SystemError CreatePrivateFolder(const std::wstring& path) { return CreateFolder(path); }
    // Whether this process can create files in the folder.
    virtual bool CanWriteIn(const std::wstring&) { return true; }
    // False for a folder that someone else could put files into or swap: one
    // not owned by this user, one others may write in, a link (unless
    // throughLink, when the folder it leads to counts). A missing folder
    // holds nothing and passes. Windows' per-user folders are the user's
    // alone by their permissions.
    virtual bool IsOwnFolder(const std::wstring&, bool throughLink) {
        (void)throughLink;
        return true;
    }
    virtual void SetCurrentFolder(const std::wstring& path) = 0;
    // The Machine field of a PE image's file header; 0 when the file cannot be
    // read or is not a well-formed PE image.
    virtual std::uint16_t ImageMachine(const std::wstring& path) = 0;

    // Settings files. The text of one as Windows' profile functions decode
    // it (launcher/utf8.h); false when it cannot be opened or read.
    virtual bool ReadSettingsText(const std::wstring& path, std::wstring& text) = 0;
    // A value of a settings file as this system's launcher takes it: paths
    // written with "/" between folders come in the launcher's form ("\").
    virtual std::wstring SettingsValue(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& written) {
        (void)section;
        (void)key;
        return written;
    }
    // Writes one value into a settings file, creating it where it is missing.
    virtual bool WriteProfileValue(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& value, const std::wstring& path) = 0;
    virtual bool RemoveFile(const std::wstring& path) = 0;
    // Reads the first four bytes of a file that nobody else has open.
    virtual SystemError ProbeFile(const std::wstring& path, unsigned char (&buffer)[4]) = 0;
    // At most maxBytes from the start of a file; false when it cannot be opened or read.
    virtual bool ReadFileStart(const std::wstring& path, std::size_t maxBytes, std::string& bytes) = 0;
    // Gives a file another name in its volume, replacing a file of that name.
    virtual bool RenameFile(const std::wstring& from, const std::wstring& to) = 0;
    // A file's size in bytes and the time of its last change (in the
    // system's own units); false when it cannot be asked.
    virtual bool FileStamp(const std::wstring&, std::uint64_t&, std::uint64_t&) { return false; }
    // Creates an empty file that did not exist, never through a link; false
    // when one of that name exists already or it cannot be made.
    virtual bool CreateNewFile(const std::wstring&) { return false; }

    // A path, and a ";"-separated list of paths, with "\" between folders, as
    // this system's VM reads them.
    virtual std::wstring VmPath(const std::wstring& path) { return path; }
    virtual std::wstring VmPathList(const std::wstring& list) { return list; }
    // The folders (with trailing "\") of the runtimes the system's packages
    // installed in a common place; none where the registry knows them instead.
    virtual std::vector<std::wstring> InstalledRuntimeFolders() { return {}; }
};

// What the process was given: its command line, its executable, its
// variables, the user's folders, and the code page its VM speaks.
class Environment {
public:
    virtual ~Environment() = default;

    virtual std::wstring CommandLine() = 0;
    // The executable's full path; false with the system's error on failure.
    virtual bool ModuleFileName(std::wstring& path, SystemError& error) = 0;

    virtual bool GetEnvironment(const std::wstring& name, std::wstring& value) = 0;
    // The user's folder of this kind as the system itself knows it, for
    // when the environment does not name it; false where there is none.
    virtual bool KnownUserFolder(UserFolderKind, std::wstring&) { return false; }
    // %NAME% references replaced; undefined ones stay as written.
    virtual std::wstring ExpandEnvironment(const std::wstring& text) = 0;
    virtual void SetEnvironment(const std::wstring& name, const std::wstring& value) = 0;
    virtual void RemoveEnvironment(const std::wstring& name) = 0;

    // Text for the VM: the thread's ANSI code page.
    virtual std::string ToAnsi(const std::wstring& text) = 0;
    // The way back, for the trace; byte by byte where there is no code page.
    virtual std::wstring FromAnsi(const std::string& text) {
        std::wstring wide;
        for (char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
        return wide;
    }
};

// The registry under HKEY_LOCAL_MACHINE, read only.
class Registry {
public:
    virtual ~Registry() = default;

    virtual std::vector<std::wstring> RegistrySubkeys(const std::wstring& keyPath, RegistryView view) = 0;
    virtual bool RegistryString(const std::wstring& keyPath, const std::wstring& valueName,
                                RegistryView view, std::wstring& value) = 0;
    // As RegistryString, but only a value stored as text (REG_SZ) counts.
    virtual bool RegistryText(const std::wstring& keyPath, const std::wstring& valueName, RegistryView view,
                              std::wstring& value) = 0;
};

// Libraries loaded into the process, and what the executable carries in
// its resources for the embedded settings.
class Libraries {
public:
    virtual ~Libraries() = default;

    // Failures come back with the system's error taken right after the call.
    virtual void AddLibraryFolder(const std::wstring& folder) = 0;
    // A library loaded here stays for the process's life (a VM cannot be
    // unloaded, nor the splash library the runtime may still call), so its
    // handle is owned by nobody and never closed.
    virtual ModuleHandle LoadLibraryAt(const std::wstring& path, SystemError& error) = 0;
    virtual void* LibrarySymbol(ModuleHandle module, const char* name, SystemError& error) = 0;

    // The bytes of the executable's RCDATA resource with this number, from the
    // user's language, its primary language or the neutral one, in that order;
    // empty when there is none.
    virtual std::vector<unsigned char> ReadResourceData(unsigned id) = 0;
    // Deciphers in place with the provider's RC4, keyed by its default 40-bit
    // derivation from the MD5 hash of the pass phrase. unavailable: no provider
    // could be had, and the bytes are untouched.
    virtual ProviderResult DecipherWithProvider(const std::string& passPhrase, std::vector<unsigned char>& bytes) = 0;
};

// Threads, other processes, the process itself, services, memory and clocks.
class Processes {
public:
    virtual ~Processes() = default;

    // Gives the process this priority; false with the system's error
    // when the system refuses (raising it takes a right the user may lack).
    virtual bool SetProcessPriority(ProcessPriority priority, SystemError& error) = 0;
    // Gives the process the AppUserModelID its windows are grouped by on the
    // taskbar; false with the system's error (an HRESULT) when it cannot be
    // given, and none where the system has no such thing.
    virtual bool SetAppUserModelId(const std::wstring&, SystemError& error) {
        error = SystemError();
        return false;
    }

    // Runs routine on a new thread whose stack reserves stackSize bytes (0: the
    // default) and waits for it. False when the thread could not be created.
    virtual bool RunThread(std::uint64_t stackSize, ThreadRoutine routine, void* argument,
                           std::uint32_t& exitCode) = 0;
    virtual void SleepForever() = 0;
    // Starts routine on a new thread with the default stack, at once; no
    // thread when it cannot be started.
    virtual MessageLoopThread StartThread(ThreadRoutine routine, void* argument) = 0;
    // What MessageLoopThread::End asks of the role that started the thread:
    // posts it the quit message, waits for its end and closes its handle.
    virtual void EndThread(ThreadHandle thread, std::uint32_t threadId) = 0;

    // Starts this program again as it was started (its command line, the
    // working folder it has now, its console and standard handles), with
    // variable=value added to its environment. Windows: a new process; the
    // console launcher waits for it and ends with its exit code. Linux: in
    // place of this process. Returns only when it did not, with the system's error.
    virtual bool RestartProgram(const std::wstring& variable, const std::wstring& value, SystemError& error) {
        (void)variable;
        (void)value;
        error = SystemError{ErrorKind::notSupported};
        return false;
    }
    // Starts application with the given command line. With wait, also waits for
    // it and reports its exit code. False with the system's error when it
    // could not be started.
    virtual bool StartProcess(const std::wstring& application, const std::wstring& commandLine, bool wait,
                              std::uint32_t& exitCode, SystemError& error) = 0;
    // Starts application with the given command line and variable=value added
    // to this process's environment: at the lowest priority, without a
    // window, with nothing for its standard streams, out of reach of the
    // user's interrupt. With wait, also waits for it and reports its exit
    // code; otherwise leaves it to itself. False with the system's error
    // when it could not be started.
    virtual bool StartBackgroundProcess(const std::wstring&, const std::wstring&, const std::wstring&,
                                        const std::wstring&, bool, std::uint32_t&, SystemError& error) {
        error = SystemError{ErrorKind::notFound};
        return false;
    }

    // Services. Runs the body as the named service when the system's
    // service manager started this process (a Windows service), or when it
    // watches it (systemd's NOTIFY_SOCKET), and gives its exit code; false,
    // with the body not run, otherwise: the start then goes on as any other.
    virtual bool RunAsService(const ServiceRun& run, std::int32_t& exitCode);
    // Registers the service (refused when ordinary users could change the
    // files it runs, the executable's folder or settingsFile), or removes
    // it; one of the kService... exit codes, after saying what happened
    // (RefuseServiceCommand where the system has no service manager).
    virtual std::int32_t InstallService(const ServicePlan& plan, const std::wstring& settingsFile) = 0;
    virtual std::int32_t RemoveService(const std::wstring& name) = 0;

    virtual MemoryStatus QueryMemory() = 0;
    virtual LocalTime CurrentLocalTime() = 0;
    virtual std::wstring FormatTimePicture(const std::wstring& picture, const LocalTime& time) = 0;
    virtual std::wstring FormatDatePicture(const std::wstring& picture, const LocalTime& time) = 0;
    // Seconds since 1970, for bounds that outlive a process.
    virtual std::int64_t WallClockSeconds() { return 0; }
};

// What the user sees: strings for messages, message boxes, dialogs, the
// splash window, and the channel between starts of one executable.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Messages. An empty text means the string does not exist.
    virtual std::wstring LoadResourceString(unsigned id) = 0;
    virtual void ShowErrorBox(WindowHandle owner, const std::wstring& text) = 0;
    // A line for whoever started the launcher: standard error where the
    // launcher has one; nothing where it is a GUI program.
    virtual void WriteNotice(const std::wstring&) {}

    // Dialogs, run modally on the calling thread.
    // The calling thread's active window, or null.
    virtual WindowHandle ActiveWindow() = 0;
    // "JRE Not Found": kDialogOk or kDialogCancel (also when it cannot be shown).
    virtual int ShowRuntimeNotFoundDialog(WindowHandle owner, RuntimeNotFoundDialog& dialog) = 0;
    // "Java Exception" with the stack trace: kDialogIgnore, or kDialogStop
    // (also when it cannot be shown); kNoDialog where nobody can be asked.
    virtual int ShowExceptionDialog(WindowHandle owner, const std::wstring& traceText) = 0;

    // Null where the platform has no splash window.
    virtual std::unique_ptr<SplashScreenWindow> NewSplashScreenWindow() = 0;
    // Null where starts of one executable cannot talk to each other.
    virtual std::unique_ptr<InstanceChannel> NewInstanceChannel() = 0;

    virtual void MakeProcessDpiAware() = 0;
    // The DPI awareness of the process's windows from now on, the runtime's
    // own threads included, for a runtime of this feature release (0:
    // unknown). Nothing where windows know no DPI.
    virtual void SetDpiAwareness(int featureRelease) { (void)featureRelease; }
};

inline MessageLoopThread& MessageLoopThread::operator=(MessageLoopThread&& other) noexcept {
    if (this != &other) {
        End();
        processes_ = other.processes_;
        handle_ = other.handle_;
        id_ = other.id_;
        other.processes_ = nullptr;
        other.handle_ = nullptr;
        other.id_ = 0;
    }
    return *this;
}

inline void MessageLoopThread::End() {
    if (handle_ == nullptr) return;
    processes_->EndThread(handle_, id_);
    processes_ = nullptr;
    handle_ = nullptr;
    id_ = 0;
}

// Where the system has no service manager to install a service with: says
// so, and gives the exit code of a refused command.
std::int32_t RefuseServiceCommand(Desktop& desktop);

// The OS as the launcher sees it: one object per role, handed out by the
// system's platform that owns them, and what the two systems differ in as
// data. A stage asks for the roles it uses.
class Platform {
public:
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
    virtual ~Platform() = default;

    // The launcher's trace (launcher/trace.h), reached by every part that
    // reports to it; null unless ZORV_LAUNCHER_DEBUG asked for one.
    Trace* trace = nullptr;
    // A console program shows the splash only when its command line asks for
    // it; a desktop program unless its command line refuses it.
    bool splashOnlyWhenAsked = false;
    // Where a runtime keeps its files, and the like.
    const SystemConventions* conventions = &kWindowsConventions;

    FileSystem& files() const { return *files_; }
    Environment& environment() const { return *environment_; }
    Registry& registry() const { return *registry_; }
    Libraries& libraries() const { return *libraries_; }
    Processes& processes() const { return *processes_; }
    Desktop& desktop() const { return *desktop_; }
    const SystemConventions& Conventions() const { return *conventions; }

protected:
    Platform() = default;
    // A system's platform, or a test's, puts its roles in place; a later
    // call replaces the role of that kind.
    void Use(FileSystem& role) { files_ = &role; }
    void Use(Environment& role) { environment_ = &role; }
    void Use(Registry& role) { registry_ = &role; }
    void Use(Libraries& role) { libraries_ = &role; }
    void Use(Processes& role) { processes_ = &role; }
    void Use(Desktop& role) { desktop_ = &role; }
    // A system's platform puts all six in place at once.
    void Use(FileSystem& filesRole, Environment& environmentRole, Registry& registryRole, Libraries& librariesRole,
             Processes& processesRole, Desktop& desktopRole) {
        Use(filesRole);
        Use(environmentRole);
        Use(registryRole);
        Use(librariesRole);
        Use(processesRole);
        Use(desktopRole);
    }

private:
    FileSystem* files_ = nullptr;
    Environment* environment_ = nullptr;
    Registry* registry_ = nullptr;
    Libraries* libraries_ = nullptr;
    Processes* processes_ = nullptr;
    Desktop* desktop_ = nullptr;
};

}  // namespace zorv
