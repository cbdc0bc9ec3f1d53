#include "launcher/platform_posix.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <glob.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "launcher/command_line.h"
#include "launcher/date_picture.h"
#include "launcher/environment.h"
#include "launcher/settings_keys.h"
#include "resources/string_table_text.h"
#include "runtime/runtime_not_found.h"

namespace zorv {
namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Started from a desktop, the launcher has no terminal to show its messages
// in: a desktop dialog shows them too, where zenity or kdialog can draw one.
void TellDesktopUser(const char* title, const std::string& text) {
    if (isatty(STDIN_FILENO) || isatty(STDOUT_FILENO) || isatty(STDERR_FILENO)) return;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0')) return;
    const std::string titleOption = std::string("--title=") + title;
    const std::string textOption = "--text=" + text;
    const char* zenity[] = {"zenity", "--error", "--no-markup", titleOption.c_str(), textOption.c_str(), nullptr};
    const char* kdialog[] = {"kdialog", "--title", title, "--error", text.c_str(), nullptr};
    for (const char* const* command : {zenity, kdialog}) {
        pid_t child = 0;
        if (posix_spawnp(&child, command[0], nullptr, nullptr, const_cast<char* const*>(command), environ) != 0)
            continue;
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        // A program that was found but could not run (127) leaves the other one to try.
        if (!(WIFEXITED(status) && WEXITSTATUS(status) == 127)) return;
    }
}

struct ThreadStart {
    ThreadRoutine routine;
    void* argument;
    std::uint32_t exitCode;
};

void* ThreadTrampoline(void* raw) {
    ThreadStart* start = static_cast<ThreadStart*>(raw);
    start->exitCode = start->routine(start->argument);
    return nullptr;
}

}  // namespace

std::string NativePath(const std::wstring& path) {
    std::wstring mapped = path;
    for (wchar_t& c : mapped) {
        if (c == L'\\') c = L'/';
    }
    return ToUtf8(mapped);
}

std::wstring LauncherPath(const std::string& path) {
    std::wstring mapped = FromUtf8(path);
    for (wchar_t& c : mapped) {
        if (c == L'/') c = L'\\';
    }
    return mapped;
}

std::wstring JoinArguments(const std::vector<std::string>& arguments) {
    std::wstring line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += L' ';
        std::wstring piece = FromUtf8(argument);
        // The splitter knows no escapes: a piece with a quote goes as written.
        bool plain = !piece.empty() && piece.find_first_of(L" \t\"") == std::wstring::npos;
        line += plain || piece.find(L'"') != std::wstring::npos ? piece : L'"' + piece + L'"';
    }
    return line;
}

PosixPlatform::PosixPlatform() : PosixPlatform(std::vector<std::string>()) {}

PosixPlatform::PosixPlatform(const std::vector<std::string>& arguments)
    : commandLine_(JoinArguments(arguments)), arguments_(arguments) {
    conventions = &kLinuxConventions;
    Use(files_, environment_, registry_, libraries_, processes_, desktop_);
}

std::wstring PosixEnvironment::CommandLine() { return platform_.StartedCommandLine(); }

std::int64_t PosixProcesses::WallClockSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool PosixProcesses::RestartProgram(const std::wstring& variable, const std::wstring& value, SystemError& error) {
    std::vector<std::string> arguments = platform_.Arguments();
    if (arguments.empty()) {
        error = SystemError{ErrorKind::notFound};
        return false;
    }
    setenv(ToUtf8(variable).c_str(), ToUtf8(value).c_str(), 1);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    // In place of this process: the same process id for whoever waits for
    // it, the same terminal and standard streams. What the runtime opened
    // without close-on-exec (jars, sockets) stays behind.
    close_range(3, ~0U, 0);
    execv("/proc/self/exe", argv.data());
    error = SystemError{ErrorKind::failed, static_cast<std::uint32_t>(errno)};
    return false;
}

bool PosixEnvironment::ModuleFileName(std::wstring& path, SystemError& error) {
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        error = SystemError{ErrorKind::notFound};
        return false;
    }
    path = LauncherPath(std::string(buffer, static_cast<std::size_t>(length)));
    return true;
}

std::wstring PosixDesktop::LoadResourceString(unsigned id) { return StringTableText(id); }

// Nobody is asked on Linux: the exception is left to the VM, which reports it
// on standard error once, and the process ends with 1, as under java.
int PosixDesktop::ShowExceptionDialog(WindowHandle, const std::wstring&) { return kNoDialog; }

void PosixDesktop::WriteNotice(const std::wstring& text) {
    std::fprintf(stderr, "%s\n", ToUtf8(text).c_str());
    std::fflush(stderr);
}

void PosixDesktop::ShowErrorBox(WindowHandle, const std::wstring& text) {
    WriteNotice(text);
    TellDesktopUser("Error", ToUtf8(text));
}

int PosixDesktop::ShowRuntimeNotFoundDialog(WindowHandle, RuntimeNotFoundDialog& dialog) {
    const std::string text = ToUtf8(RuntimeNotFoundText(dialog));
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    TellDesktopUser("JRE Not Found", text);
    return kDialogCancel;
}

bool PosixFiles::FileExists(const std::wstring& path) { return Exists(NativePath(path)); }

std::vector<std::wstring> PosixFiles::FindFiles(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    glob_t found = {};
    if (glob(NativePath(pattern).c_str(), 0, nullptr, &found) == 0) {
        for (std::size_t i = 0; i < found.gl_pathc; ++i) {
            std::string path = found.gl_pathv[i];
            std::size_t slash = path.rfind('/');
            names.push_back(FromUtf8(slash == std::string::npos ? path : path.substr(slash + 1)));
        }
    }
    globfree(&found);
    return names;
}

namespace {

SystemError MakeFolder(const std::wstring& path, mode_t mode) {
    if (mkdir(NativePath(path).c_str(), mode) == 0) return SystemError();
    switch (errno) {
        case EEXIST: return SystemError{ErrorKind::alreadyExists};
        case ENOENT:
        case ENOTDIR: return SystemError{ErrorKind::pathNotFound};
        case EACCES:
        case EPERM:
        case EROFS: return SystemError{ErrorKind::accessDenied};
        default: return SystemError{ErrorKind::failed};
    }
}

}  // namespace

SystemError PosixFiles::CreateFolder(const std::wstring& path) { return MakeFolder(path, 0777); }

SystemError PosixFiles::CreatePrivateFolder(const std::wstring& path) { return MakeFolder(path, 0700); }

// The runtime removes and writes files there as this process's user; a
// read-only file system counts too.
bool PosixFiles::CanWriteIn(const std::wstring& folder) { return access(NativePath(folder).c_str(), W_OK | X_OK) == 0; }

bool PosixFiles::IsOwnFolder(const std::wstring& folder, bool throughLink) {
    struct stat info = {};
    const std::string path = NativePath(folder);
    if ((throughLink ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) != 0) return errno == ENOENT;
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 022) == 0;
}

void PosixFiles::SetCurrentFolder(const std::wstring& path) {
    if (chdir(NativePath(path).c_str()) != 0) std::perror("chdir");
}

// Linux has no PE images; no runtime here is ever a 32-bit one.
std::uint16_t PosixFiles::ImageMachine(const std::wstring&) { return 0; }

bool PosixFiles::ReadSettingsText(const std::wstring& path, std::wstring& text) {
    if (!Exists(NativePath(path))) return false;
    text = DecodeSettingsText(ReadAll(NativePath(path)));
    return true;
}

// Paths in a settings file written on Linux have "/" between folders; the
// launcher takes paths apart at "\\", and NativePath turns them back.
std::wstring PosixFiles::SettingsValue(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& written) {
    std::wstring base = section;
    if (!base.empty() && base.back() == L'+') base.pop_back();
    const SettingsKey* found = FindSettingsKey(base, key);
    const bool paths = found != nullptr && (found->form == ValueForm::path || found->form == ValueForm::pathList ||
                                            found->form == ValueForm::filePicture);
    return paths ? LauncherPath(ToUtf8(written)) : written;
}

// The VM path never writes settings.
bool PosixFiles::WriteProfileValue(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&) {
    return false;
}

bool PosixFiles::RemoveFile(const std::wstring& path) { return unlink(NativePath(path).c_str()) == 0; }

SystemError PosixFiles::ProbeFile(const std::wstring& path, unsigned char (&buffer)[4]) {
    for (unsigned char& byte : buffer) byte = 0;
    std::FILE* file = std::fopen(NativePath(path).c_str(), "rb");
    if (file == nullptr) return SystemError{errno == ENOENT ? ErrorKind::notFound : ErrorKind::accessDenied};
    std::size_t read = std::fread(buffer, 1, sizeof buffer, file);
    (void)read;  // a shorter file leaves zeros, as the Win32 probe does
    std::fclose(file);
    return SystemError();
}

bool PosixFiles::ReadFileStart(const std::wstring& path, std::size_t maxBytes, std::string& bytes) {
    bytes.assign(maxBytes, '\0');
    std::FILE* file = std::fopen(NativePath(path).c_str(), "rb");
    if (file == nullptr) {
        bytes.clear();
        return false;
    }
    bytes.resize(std::fread(&bytes[0], 1, maxBytes, file));
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

bool PosixFiles::FileStamp(const std::wstring& path, std::uint64_t& size, std::uint64_t& modified) {
    struct stat info;
    if (stat(NativePath(path).c_str(), &info) != 0) return false;
    size = static_cast<std::uint64_t>(info.st_size);
    modified = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
               static_cast<std::uint64_t>(info.st_mtim.tv_nsec);
    return true;
}

bool PosixFiles::CreateNewFile(const std::wstring& path) {
    int file = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0) return false;
    close(file);
    return true;
}

bool PosixProcesses::StartBackgroundProcess(const std::wstring& application, const std::wstring& commandLine,
                                            const std::wstring& variable, const std::wstring& value, bool wait,
                                            std::uint32_t& exitCode, SystemError& error) {
    std::vector<std::string> arguments;
    for (const std::wstring& piece : SplitArguments(commandLine)) arguments.push_back(ToUtf8(piece));
    if (arguments.empty()) arguments.push_back(NativePath(application));
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    const std::string name = ToUtf8(variable) + "=";
    std::string added = name + ToUtf8(value);
    std::vector<char*> envp;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string(*entry).compare(0, name.size(), name) != 0) envp.push_back(*entry);
    }
    envp.push_back(&added[0]);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int stream = 0; stream <= 2; ++stream)
        posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", stream == 0 ? O_RDONLY : O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The VM's threads block signals and ignore some; the child starts
    // afresh, in a session of its own that a terminal's hang-up or
    // interrupt does not reach.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t child = 0;
    int spawned = posix_spawn(&child, NativePath(application).c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = SystemError{spawned == ENOENT ? ErrorKind::notFound : ErrorKind::accessDenied};
        return false;
    }
    setpriority(PRIO_PROCESS, static_cast<id_t>(child), 19);
    if (wait) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        exitCode = WIFEXITED(status) ? static_cast<std::uint32_t>(WEXITSTATUS(status)) : 255;
    }
    return true;
}

bool PosixEnvironment::GetEnvironment(const std::wstring& name, std::wstring& value) {
    const char* found = std::getenv(ToUtf8(name).c_str());
    if (found == nullptr) return false;
    value = FromUtf8(found);
    return true;
}

std::wstring PosixEnvironment::ExpandEnvironment(const std::wstring& text) {
    return ExpandReferences(text, [this](const std::wstring& name, std::wstring& value) {
        return GetEnvironment(name, value);
    });
}

void PosixEnvironment::SetEnvironment(const std::wstring& name, const std::wstring& value) {
    setenv(ToUtf8(name).c_str(), ToUtf8(value).c_str(), 1);
}

void PosixEnvironment::RemoveEnvironment(const std::wstring& name) { unsetenv(ToUtf8(name).c_str()); }

bool PosixProcesses::SetProcessPriority(ProcessPriority priority, SystemError& error) {
    int nice = 0;
    switch (priority) {
        case ProcessPriority::idle: nice = 19; break;
        case ProcessPriority::belowNormal: nice = 10; break;
        case ProcessPriority::aboveNormal: nice = -5; break;
        case ProcessPriority::high: nice = -10; break;
        case ProcessPriority::normal:
        case ProcessPriority::unchanged: break;
    }
    if (setpriority(PRIO_PROCESS, 0, nice) == 0) return true;
    error = SystemError{errno == EACCES || errno == EPERM ? ErrorKind::accessDenied : ErrorKind::failed};
    return false;
}

void PosixLibraries::AddLibraryFolder(const std::wstring& folder) { libraryFolders_.push_back(NativePath(folder)); }

// The loader finds a library's dependencies in the system's folders and its
// own; one that lives in an added folder (libjvm.so for the splash library)
// is loaded from there first, and is then found by its name.
ModuleHandle PosixLibraries::LoadLibraryAt(const std::wstring& path, SystemError& error) {
    const std::string file = NativePath(path);
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_GLOBAL);
    for (std::size_t tries = 0; module == nullptr; ++tries) {
        // "libjvm.so: cannot open shared object file: No such file or directory"
        const std::string failure = dlerror();
        std::size_t colon = failure.find(": cannot open shared object file");
        std::string dependency = failure.substr(0, colon);
        dependency.erase(0, dependency.rfind('/') + 1);
        bool loaded = false;
        for (std::size_t i = 0; colon != std::string::npos && tries < 8 && !loaded && i < libraryFolders_.size(); ++i)
            loaded = dlopen((libraryFolders_[i] + "/" + dependency).c_str(), RTLD_NOW | RTLD_GLOBAL) != nullptr;
        if (!loaded) {
            std::fprintf(stderr, "dlopen: %s\n", failure.c_str());
            error = SystemError{ErrorKind::libraryNotLoaded};
            return nullptr;
        }
        module = dlopen(file.c_str(), RTLD_NOW | RTLD_GLOBAL);
    }
    return module;
}

void* PosixLibraries::LibrarySymbol(ModuleHandle module, const char* name, SystemError& error) {
    void* symbol = dlsym(module, name);
    if (symbol == nullptr) error = SystemError{ErrorKind::symbolMissing};
    return symbol;
}

MemoryStatus PosixProcesses::QueryMemory() {
    MemoryStatus status;
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) status.totalPhysical = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    // A 64-bit process has 128 TiB of user address space.
    status.availableVirtual = std::uint64_t{1} << 47;
    return status;
}

LocalTime PosixProcesses::CurrentLocalTime() {
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local = {};
    localtime_r(&now.tv_sec, &local);
    LocalTime time;
    time.year = static_cast<std::uint16_t>(local.tm_year + 1900);
    time.month = static_cast<std::uint16_t>(local.tm_mon + 1);
    time.dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    time.day = static_cast<std::uint16_t>(local.tm_mday);
    time.hour = static_cast<std::uint16_t>(local.tm_hour);
    time.minute = static_cast<std::uint16_t>(local.tm_min);
    time.second = static_cast<std::uint16_t>(local.tm_sec);
    time.milliseconds = static_cast<std::uint16_t>(now.tv_nsec / 1000000);
    return time;
}

std::wstring PosixProcesses::FormatTimePicture(const std::wstring& picture, const LocalTime& time) {
    return FormatTimeFields(picture, time);
}

std::wstring PosixProcesses::FormatDatePicture(const std::wstring& picture, const LocalTime& time) {
    return FormatDateFields(picture, time);
}

bool PosixProcesses::RunThread(std::uint64_t stackSize, ThreadRoutine routine, void* argument,
                               std::uint32_t& exitCode) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    if (stackSize != 0 && pthread_attr_setstacksize(&attributes, static_cast<std::size_t>(stackSize)) != 0) {
        pthread_attr_destroy(&attributes);
        return false;
    }
    ThreadStart start = {routine, argument, 1};
    pthread_t thread;
    int created = pthread_create(&thread, &attributes, ThreadTrampoline, &start);
    pthread_attr_destroy(&attributes);
    if (created != 0) return false;
    pthread_join(thread, nullptr);
    exitCode = start.exitCode;
    return true;
}

// An empty entry would mean the current folder to Java and to the shell,
// which the Windows lists' trailing ";" never meant to add.
std::wstring PosixFiles::VmPathList(const std::wstring& list) {
    std::wstring mapped;
    for (wchar_t c : list) {
        if (c == L';') {
            if (!mapped.empty() && mapped.back() != L':') mapped += L':';
        } else {
            mapped += c == L'\\' ? L'/' : c;
        }
    }
    if (!mapped.empty() && mapped.back() == L':') mapped.pop_back();
    return mapped;
}

std::vector<std::wstring> PosixFiles::InstalledRuntimeFolders() {
    std::vector<std::wstring> folders;
    glob_t found = {};
    if (glob("/usr/lib/jvm/*", GLOB_ONLYDIR, nullptr, &found) == 0) {
        for (std::size_t i = 0; i < found.gl_pathc; ++i) {
            struct stat info;
            if (lstat(found.gl_pathv[i], &info) == 0 && S_ISDIR(info.st_mode))
                folders.push_back(LauncherPath(found.gl_pathv[i]) + L"\\");
        }
    }
    globfree(&found);
    return folders;
}

void PosixProcesses::SleepForever() {
    std::fflush(nullptr);
    for (;;) pause();
}

}  // namespace zorv
