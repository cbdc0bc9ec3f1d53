// The one object of a launcher process: the records the stages read and
// write, the machinery that lives for the whole run (the VM, the splash, the
// single-instance channel), and the run sequence. The stages themselves live
// in the files named after each concern (settings, runtime search, VM
// options, ...), each taking the records it reads.
#pragma once

#include <jni.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "launcher/launcher_settings.h"
#include "launcher/platform.h"
#include "launcher/service.h"
#include "runtime/jvm_library.h"
#include "runtime/runtime_search.h"
#include "runtime/target_architecture.h"
#include "vm/vm_options.h"

namespace zorv {

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

// The VM this process hosts, once its library is loaded.
struct HostedVm {
    JvmEntryPoints entries;
    JavaVM* javaVm = nullptr;
    JNIEnv* jniEnv = nullptr;
    // The class main was called on, in the JNI form: what a second start's
    // secondaryMain is looked up on.
    std::wstring mainClass;
    bool mainThrew = false;  // and the user did not choose to ignore it
};

// The splash picture on screen: the launcher's own window on a thread of
// its own, or the runtime's splash library.
struct SplashScreen {
    std::wstring picturePath;
    bool shadow = false;
    ThreadHandle thread = nullptr;
    std::uint32_t threadId = 0;
    std::unique_ptr<SplashScreenWindow> window;
    // Owner of every error box. Written by the splash thread, read by others.
    std::atomic<WindowHandle> windowHandle{nullptr};
    CloseAction nativeClose;
};

// This start's part in the single-instance channel.
struct SingleInstance {
    bool active = false;
    bool isFirst = false;
    // The mapped block; the channel owns it, its mapping and the listener.
    unsigned char* block = nullptr;
    std::unique_ptr<InstanceChannel> channel;
    EventHandle startEvent = nullptr;  // owned by the channel
};

class Launcher {
public:
    explicit Launcher(Platform& platform);
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;
    ~Launcher();

    // The process-wide launcher, through which threads and callbacks reach it.
    static Launcher* Current();

    // The whole start, from the settings to the exit code: the application,
    // a service's, or the service's own install and remove commands.
    std::int32_t Launch();
    // The settings stage; false when the start ends there.
    bool ReadSettings();
    // The stages after the settings up to the runtime choice; false when the
    // start ends there.
    bool Initialise();
    // The rest of the start, to its exit code.
    std::int32_t Run();

    // Stages that set up or take down run-long machinery.
    // False when a second start could not hand its arguments over.
    bool OpenSingleInstance(const InstanceSettings& instance, const std::wstring& executable,
                            const std::vector<std::wstring>& arguments);
    void CloseSingleInstance();
    // False only when the start is to end quietly.
    bool StartSplash(const PresentationSettings& presentation, const std::wstring& jvmLibraryPath);
    void CloseSplash();
    // Hands the picture to the runtime's splash library; false: show our own window.
    bool StartNativeSplash(const std::wstring& libraryPath, const std::wstring& picturePath,
                           const std::wstring& jvmLibraryPath);
    bool CreateVm(const VmStart& vmStart);
    bool InvokeMain(const StartSettings& start, const std::vector<std::wstring>& arguments, bool failureCheck,
                    bool keepThreadAttached);
    // Gives the archive the runtime recorded at its end its proper name; only
    // call once the VM has ended without failing.
    void KeepRecordedClassDataArchive();
    // From the exit hook: starts the application anew when it ended with
    // "Restart Exit Code" and the restarts of the last minute allow it.
    void RestartIfAsked(std::int32_t exitCode);

    Platform& platform;

    // The records: the settings, read once, and what the stages decided.
    ProgramFiles files;
    LauncherSettings settings;
    ChosenRuntime runtime;
    VmStart vmStart;

    // The run-long machinery.
    // The build's own; tests give a launcher the other one.
    TargetArchitecture architecture = kBuildArchitecture;
    HostedVm vm;
    SplashScreen splash;
    SingleInstance singleInstance;
    // The system's service manager, when it started or watches this process.
    ServiceManager* service = nullptr;

private:
    // Restarts of this application within the current minute, as the
    // launcher that restarted this one said in kRestartVariable.
    std::uint32_t restartsInWindow_ = 0;
    std::int64_t restartWindowStart_ = 0;
    static std::int32_t RunService(void* launcher, ServiceManager& manager);
    std::int32_t StartAndRun();
    std::int32_t RunServiceCommand(ServiceCommand command);
    std::int32_t RunPairProduct();
    std::int32_t RunSecondInstance();
    std::int32_t RunHere();
    bool SplashWanted() const;
    // The chosen runtime's feature release from its release file or its registration; 0 when neither says.
    int RuntimeFeatureRelease();
};

// A service's stop request, on a thread of its own: ends the application as
// the service settings say.
void StopServiceApplication(void* launcher);

// The VM thread: creates the VM, calls main. 0 on success, 1 on failure.
std::uint32_t VmThreadMain(void* launcher);

// What each entry point does once its platform is made: one start, from the
// command line to the exit code, written to the trace when there is one.
int LaunchApplication(Platform& platform, std::unique_ptr<Trace> trace);

}  // namespace zorv
