// The one object of a launcher process: the records the stages read and
// write, the machinery that lives for the whole run (the VM, the splash, the
// single-instance channel), its one teardown, and the run sequence. The
// stages themselves live in the files named after each concern (settings,
// runtime search, VM options, ...), each taking the records it reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "instance/single_instance.h"
#include "launcher/launcher_settings.h"
#include "launcher/platform.h"
#include "launcher/service.h"
#include "launcher/stage_outcome.h"
#include "runtime/jvm_library.h"
#include "runtime/runtime_search.h"
#include "runtime/target_architecture.h"
#include "vm/vm_host.h"
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

// The splash picture on screen: the launcher's own window on a thread of
// its own, or the runtime's splash library.
struct SplashScreen {
    std::wstring picturePath;
    bool shadow = false;
    std::unique_ptr<SplashScreenWindow> window;
    // Owner of every error box. Written by the splash thread, read by others.
    std::atomic<WindowHandle> windowHandle{nullptr};
    CloseAction nativeClose;
    // Last, so that it ends before the window and the handle it serves go.
    MessageLoopThread thread;
};

// This start's part in the single-instance channel.
struct SingleInstance {
    bool active = false;
    bool isFirst = false;
    // The mapped block; the channel owns it, its mapping and the listener.
    unsigned char* block = nullptr;
    // A second start talks through it and ends before main; a first
    // instance keeps it only while it can serve requests.
    std::unique_ptr<InstanceChannel> channel;
};

// Ends the splash thread and its window; the runtime's splash library stays.
void CloseSplash(SplashScreen& splash);
// The channel stops its listener and lets its request threads end before it
// closes the block and the event they use.
void CloseSingleInstance(SingleInstance& instance);

// How the VM goes, which decides how much of the teardown is left to do.
enum class VmEnd {
    // It is still there, or never was: the teardown destroys it, which waits
    // for the application's last non-daemon thread, and takes down the rest.
    destroyedHere,
    // The runtime is ending the process (System.exit): only what must outlast
    // the process is done. The system takes back the windows, the channel and
    // the libraries, and a request thread whose secondaryMain called
    // System.exit must not wait for its own end.
    processEnding,
};

// The one end of a run, whichever way it comes: the end of the sequence, a
// service's VM thread (so that the VM has ended before the service manager
// hears the run is over) and the exit hook. Running it again does nothing
// that was done.
class RunTeardown {
public:
    RunTeardown(Platform& platform, HostedVm& vm, ClassDataRecording& recording, SplashScreen& splash,
                SingleInstance& instance)
        : platform_(platform), vm_(vm), recording_(recording), splash_(splash), instance_(instance) {}
    RunTeardown(const RunTeardown&) = delete;
    RunTeardown& operator=(const RunTeardown&) = delete;

    void Run(VmEnd end);

private:
    // The archive the runtime recorded at its end takes its name, and a cache
    // recording goes to its assembly: once, by the exit hook's thread while
    // the VM ends the process, or else by the one that destroyed the VM, after
    // which the hook is never called.
    void KeepRecording();

    Platform& platform_;
    HostedVm& vm_;
    ClassDataRecording& recording_;
    std::atomic<bool> recordingKept_{false};
    SplashScreen& splash_;
    SingleInstance& instance_;
};

// "Restart Exit Code": how often the application was restarted within the
// current minute, as the launcher that restarted this one said, and the restart.
class Restarts {
public:
    // What the launcher that restarted this one carried over, if it did.
    void ReadCarried(Platform& platform);
    // Starts the application anew when it ended with restartExitCode and the
    // restarts of the last minute allow it; the new start must find no first
    // instance, so this one withdraws its channel first.
    void IfAsked(Platform& platform, std::int32_t restartExitCode, std::int32_t exitCode, SingleInstance& instance);

private:
    std::uint32_t inWindow_ = 0;
    std::int64_t windowStart_ = 0;
};

// What System.exit leaves the launcher to do before the process is gone: the
// teardown's part that must outlast it, the restart, and the service
// manager's last report, without which it would take the end for a crash.
class ProcessExit final : public VmExitListener {
public:
    ProcessExit(Platform& platform, RunTeardown& teardown, Restarts& restarts, const StartSettings& start,
                SingleInstance& instance, ServiceManager* const& service)
        : platform_(platform), teardown_(teardown), restarts_(restarts), start_(start), instance_(instance),
          service_(service) {}
    void VmExiting(std::int32_t exitCode) override;

private:
    Platform& platform_;
    RunTeardown& teardown_;
    Restarts& restarts_;
    const StartSettings& start_;
    SingleInstance& instance_;
    // The launcher's, set before the VM is created when a service manager started it.
    ServiceManager* const& service_;
};

class Launcher {
public:
    explicit Launcher(Platform& platform);
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;
    // The normal end of the run: the teardown, if nothing ran it before.
    ~Launcher();

    // The whole start, from the settings to the exit code: the application,
    // a service's, or the service's own install and remove commands.
    std::int32_t Launch();
    // The settings stage.
    StageOutcome ReadSettings();
    // The stages after the settings up to the runtime choice.
    StageOutcome Initialise();
    // The rest of the start, to its exit code.
    std::int32_t Run();
    // The VM thread's part of the run: creates the VM and calls main, and
    // for a service ends the run there.
    StageOutcome HostApplication();

    // Stages that set up run-long machinery.
    // Ends the start when a second start could not hand its arguments over.
    StageOutcome OpenSingleInstance(const InstanceSettings& instance, const std::wstring& executable,
                                    const std::vector<std::wstring>& arguments);
    void StartSplash(const PresentationSettings& presentation, const std::wstring& jvmLibraryPath);
    // Hands the picture to the runtime's splash library; false: show our own window.
    bool StartNativeSplash(const std::wstring& libraryPath, const std::wstring& picturePath,
                           const std::wstring& jvmLibraryPath);

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
    Restarts restarts_;
    RunTeardown teardown_{platform, vm, vmStart.classData, splash, singleInstance};
    ProcessExit processExit_{platform, teardown_, restarts_, settings.start, singleInstance, service};
    SecondaryRequests requests_{platform, singleInstance, vm, settings.runtime};
    // Made once the service manager is known.
    std::optional<ServiceStop> serviceStop_;

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

// The VM thread's routine over a Launcher: 0 when main was called and
// returned, 1 when the start ended before.
std::uint32_t VmThreadMain(void* launcher);

// What each entry point does once its platform is made: one start, from the
// command line to the exit code, written to the trace when there is one.
int LaunchApplication(Platform& platform, std::unique_ptr<Trace> trace);

}  // namespace zorv
