// The one object of a launcher process: the settings, the runtime choice, the
// VM and everything the run needs. Its operations are spread over the files
// named after each concern (settings, runtime search, VM options, ...).
#pragma once

#include <jni.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "launcher/platform.h"
#include "runtime/target_architecture.h"
#include "runtime/vendor_registrations.h"
#include "runtime/version_number.h"

namespace zorv {

class IniDocument;
class LayeredSettingsStore;

enum JvmType : std::int32_t { clientFirst = 0, serverOnly = 1, serverFirst = 2 };

// What names the application, as the runtime's LauncherHelper numbers it.
enum class LaunchMode : std::int32_t { mainClass = 1, mainJar = 2, mainModule = 3 };

using CreateJavaVmFunction = jint(JNICALL*)(JavaVM** vm, void** env, void* args);
using GetDefaultJavaVmInitArgsFunction = jint(JNICALL*)(void* args);
using FindClassFromBootLoaderFunction = jclass(JNICALL*)(JNIEnv* env, const char* name);

// Holds at most one function with no arguments; running it forgets it, so the
// runtime splash library's close function is called at most once.
class CloseAction {
public:
    using Function = void (*)();  // a plain C function of the runtime's splash library
    CloseAction() = default;
    CloseAction(const CloseAction&) = delete;
    CloseAction& operator=(const CloseAction&) = delete;
    ~CloseAction() { Run(); }
    void Run() {
        Function function = function_;
        function_ = nullptr;
        if (function != nullptr) function();
    }
    void Replace(Function function) {
        Run();
        function_ = function;
    }
    Function Held() const { return function_; }

private:
    Function function_ = nullptr;
};

class Launcher {
public:
    explicit Launcher(Platform& platform);
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;
    ~Launcher();

    // The process-wide launcher, through which threads and callbacks reach it.
    static Launcher* Current();

    bool Initialise();
    std::int32_t Run();

    // Command line.
    void SplitCommandLine();

    // Settings.
    bool ReadSettings();
    // "Main Module", else "Main Jar", else "Main Class": false when none is set.
    bool ReadLaunchTarget(LayeredSettingsStore& settings);
    // The embedded settings text parsed, under the layered store's file.
    IniDocument EmbeddedSettings();

    // File locations.
    bool GetModulePath(std::wstring& path);
    bool GetSettingsFilePath(std::wstring& path);
    // Empty when the system names no per-user folder.
    void GetUserSettingsPath(std::wstring& path, bool createFolders);
    // <user's folder of that kind>\<Product Name>\<Product Code>, its folders
    // made when asked; false when the system names no such folder for the user.
    bool GetUserFolder(UserFolderKind kind, bool createFolders, std::wstring& folder);
    bool GetPairSettingsFilePath(std::wstring& path);
    void GetPairUserSettingsPath(std::wstring& path);
    void ApplyWorkingDirectory();

    // Runtime choice.
    bool LocateRuntime();
    bool SearchRegisteredRuntimes(int pass, std::wstring& home);
    // The runtimes the system's packages installed, judged by their release files.
    bool SearchInstalledRuntimes(std::wstring& home);
    void CheckJvmArchitecture();
    // False when the library is an image for a processor this launcher cannot
    // load and no Pair Product takes; `machine` receives the image's (0 when
    // unknown, which loading will judge).
    bool CanRunJvmLibrary(const std::wstring& path, std::uint16_t& machine);
    bool LoadJvmLibrary(const std::wstring& path);
    // The last resort of the search: the user picks a folder. False: cancelled.
    bool AskForRuntime();
    // Writes the folder as "JRE Path" into the settings files that keep it.
    void RememberRuntimeFolder(const std::wstring& folder);

    // Running here.
    void PrepareLibraryPath();
    bool AssembleVmOptions();
    // The options that keep a class-data archive for this program and the
    // runtime in runtimeHome (with trailing "\"); none when its version is
    // unknown or too old.
    std::vector<std::wstring> ClassDataSharingOptions(const std::wstring& runtimeHome,
                                                      const std::wstring& moduleOptions = {});
    // Puts those options right after the class path, when every class path
    // among the working options can be archived.
    void AddClassDataSharingOptions(const std::wstring& executablePath, std::vector<std::wstring>& working,
                                    std::size_t position);
    // The ";"-separated entries of a "Class Path" or "Module Path" value as
    // files, each followed by ";"; a module path lists no "." or "..".
    std::wstring ExpandPathList(const std::wstring& value, const std::wstring& executablePath, bool ofModules);
    // sun.java.command as java forms it: what names the application, then the arguments.
    std::wstring JavaCommandText() const;
    // Gives the archive the runtime recorded at its end its proper name; only
    // call once the VM has ended without failing.
    void KeepRecordedClassDataArchive();
    bool CreateVm();
    bool InvokeMain();
    void RedirectStandardStreams();
    // The exception's stack trace as Java prints it; empty when it cannot be had.
    std::wstring DescribeException(jthrowable exception, JNIEnv* env);
    // Shows the trace: kDialogStop when the application is to stop,
    // kDialogIgnore, or kNoDialog when there was no trace to show or nobody
    // to ask.
    int AskAboutException(jthrowable exception, JNIEnv* env);

    // Machinery of later stages, kept behind these seams.
    bool InitSingleInstance();
    void CloseSingleInstance();
    bool StartSplash();
    void CloseSplash();
    // Hands the picture to the runtime's splash library; false: show our own window.
    bool StartNativeSplash(const std::wstring& libraryPath, const std::wstring& picturePath);

    Platform& platform;

    // Members in their roles; the comments name the setting they come from.
    ThreadHandle splashThread = nullptr;
    std::uint32_t splashThreadId = 0;
    std::wstring splashPicturePath;    // "Splash Screen"
    std::wstring splashShadow;         // "Splash Screen Shadow"
    JvmType jvmType = clientFirst;     // "JVM Type"
    std::wstring jvmLibraryPath;
    JavaVM* javaVm = nullptr;
    JNIEnv* jniEnv = nullptr;
    std::wstring mainClass;            // "Main Class", in the JNI form with "/"
    std::wstring mainJar;              // "Main Jar", absolute
    std::wstring mainModule;           // "Main Module": module or module/class
    LaunchMode launchMode = LaunchMode::mainClass;
    // What LauncherHelper loads the main class from: the dotted class name,
    // the jar's path or the module, as the java command names them.
    std::wstring launchTarget;
    VersionNumber minimumVersion;
    VersionNumber maximumVersion;
    VersionNumber registeredRuntimeVersion;  // of the registration the runtime was found under, else 0
    std::vector<std::wstring> applicationArguments;
    std::unique_ptr<SplashScreenWindow> splashScreenWindow;
    // Owner of every error box. Written by the splash thread, read by others.
    std::atomic<WindowHandle> splashWindow{nullptr};
    bool isService = false;
    bool sourceJdk = false;
    bool sourceJre = false;
    bool sourceEither = true;
    bool jrockitAllowed = false;
    bool sunAllowed = true;
    bool ibmAllowed = false;
    bool jrockitPreferred = false;
    bool sunPreferred = true;
    bool ibmPreferred = false;
    VendorChoice vendors;  // "VM Provider": the vendors' own keys, none unless asked for
    std::wstring productName;
    std::wstring productCode;
    std::wstring upgradeCode;
    std::vector<std::string> vmOptions;  // ANSI code page, as the VM takes them
    // Where the runtime records a class-data archive at its end, and the name
    // it takes once that has succeeded; both empty when nothing is recorded.
    std::wstring classDataArchiveBeingRecorded;
    std::wstring classDataArchive;
    std::vector<std::wstring> preferredVersions;
    std::wstring configuredRuntimeFolder;  // "JRE Path", absolute
    std::wstring libraryPath;              // "Library Path"
    // The mapped block; the channel owns it, its mapping and the listener.
    unsigned char* singleInstanceBlock = nullptr;
    std::unique_ptr<InstanceChannel> singleInstanceChannel;
    bool isFirstInstance = false;
    bool singleInstanceActive = false;
    std::wstring outputFile;
    std::wstring errorFile;
    bool appendOutput = false;
    bool appendErrors = false;
    std::wstring systemPath;           // "System Path"
    std::wstring extraArgumentsText;   // "Cmd"
    std::wstring pairProduct;          // "Pair Product"
    bool waitForPair = false;          // "Pair Return Code"
    bool failureCheck = false;         // "Failure Check"
    bool vmParameterRefused = false;   // the VM must not be created: the user was told why
    bool mainThrew = false;            // and the user did not choose to ignore it
    bool overrideWorkingDirectory = false;  // "Override WorkingDir"
    std::uint64_t vmThreadStackSize = 0;
    CloseAction nativeSplashClose;
    EventHandle singleInstanceEvent = nullptr;  // owned by the channel
    bool handOverToPair = false;
    // The build's own; tests give a launcher the other one.
    TargetArchitecture architecture = kBuildArchitecture;
    CreateJavaVmFunction createJavaVm = nullptr;
    GetDefaultJavaVmInitArgsFunction getDefaultJavaVmInitArgs = nullptr;
    FindClassFromBootLoaderFunction findClassFromBootLoader = nullptr;

private:
    std::int32_t RunPairProduct();
    std::int32_t RunSecondInstance();
    std::int32_t RunHere();
    void ChooseVmThreadStackSize();
    void ProcessVmParameter(std::wstring option, std::vector<std::wstring>& working);
    bool AddVmParameters(const std::wstring& parameters, std::vector<std::wstring>& working);
};

// The VM thread: creates the VM, calls main. 0 on success, 1 on failure.
std::uint32_t VmThreadMain(void* launcher);

// What each entry point does once its platform is made: one start, from the
// command line to the exit code, written to the trace when there is one.
int LaunchApplication(Platform& platform, std::unique_ptr<Trace> trace);

}  // namespace zorv
