#include "launcher/launcher.h"

#include <cstring>

#include "launcher/file_locations.h"
#include "launcher/process_setup.h"
#include "launcher/service.h"
#include "launcher/text.h"
#include "launcher/trace.h"
#include "resources/string_table.h"
#include "runtime/error_reporting.h"
#include "vm/ahead_of_time_cache.h"
#include "vm/class_data_sharing.h"
#include "vm/library_path.h"

namespace zorv {
namespace {

// Enough for an updater that restarts once or twice; a crash loop ends
// within the minute with the restart code as its exit code.
constexpr std::uint32_t kMostRestartsPerMinute = 5;
constexpr std::int64_t kRestartWindowSeconds = 60;
// Carries "<restarts>@<seconds since the epoch at the first>" to the restarted
// launcher; the application sees it too and may tell from it that it was restarted.
constexpr wchar_t kRestartVariable[] = L"ZORV_RESTARTS";

// How long a service's start may take for the service manager to wait:
// the runtime search (a dialog never waits in a service), then the VM's
// creation up to main, which a large class path or a cold disk can slow.
constexpr std::uint32_t kRuntimeSearchHintMs = 10000;
constexpr std::uint32_t kVmStartHintMs = 30000;

// The JDK 1.1 initialisation record is no longer declared by jni.h; the VM
// still fills its javaStackSize field, at byte offset 24 on 64-bit targets.
constexpr std::size_t kJdk11InitArgsSize = 136;
constexpr std::size_t kJavaStackSizeOffset = 24;

// The stack size the runtime itself gives the thread main runs on; 0 when
// it names none.
std::uint64_t RuntimeDefaultStackSize(GetDefaultJavaVmInitArgsFunction getDefaultJavaVmInitArgs) {
    if (getDefaultJavaVmInitArgs == nullptr) return 0;
    alignas(8) unsigned char record[kJdk11InitArgsSize] = {};
    const jint version = 0x00010001;
    static_assert(sizeof(version) == 4, "the record's version field is 32 bits");
    std::memcpy(record, &version, sizeof(version));
    getDefaultJavaVmInitArgs(record);
    jint stackSize = 0;
    std::memcpy(&stackSize, record + kJavaStackSizeOffset, sizeof(stackSize));
    return stackSize > 0 ? static_cast<std::uint64_t>(stackSize) : 0;
}

// The assembly process's VM thread, which the runtime ends.
std::uint32_t AssembleCacheThread(void* argument) {
    Launcher& launcher = *static_cast<Launcher*>(argument);
    return AssembleCache(launcher.platform, launcher.vm.entries.createJavaVm, launcher.vmStart);
}

// The trace's word that a start ended before its run: nothing further is said.
std::int32_t InitialisationEnded(Trace* trace, const StageOutcome& outcome) {
    if (trace) trace->Line(L"launcher: initialisation ended the start");
    return outcome.exitCode();
}

}  // namespace

void RunTeardown::Run(VmEnd end) {
    if (end == VmEnd::processEnding) {
        KeepRecording();
        return;
    }
    CloseSplash(splash_);
    if (DestroyVm(vm_)) KeepRecording();
    CloseSingleInstance(instance_);
    splash_.nativeClose.Run();
}

void RunTeardown::KeepRecording() {
    if (!recordingKept_.exchange(true)) KeepRecordedClassDataArchive(platform_, recording_);
}

void Restarts::ReadCarried(Platform& platform) {
    std::wstring restarts;
    if (!platform.environment().GetEnvironment(kRestartVariable, restarts)) return;
    const std::size_t at = restarts.find(L'@');
    if (at == std::wstring::npos) return;
    inWindow_ = static_cast<std::uint32_t>(std::wcstoul(restarts.c_str(), nullptr, 10));
    windowStart_ = static_cast<std::int64_t>(std::wcstoll(restarts.c_str() + at + 1, nullptr, 10));
}

void Restarts::IfAsked(Platform& platform, std::int32_t restartExitCode, std::int32_t exitCode,
                       SingleInstance& instance) {
    if (restartExitCode == 0 || exitCode != restartExitCode) return;
    Trace* trace = platform.trace;
    const std::int64_t now = platform.processes().WallClockSeconds();
    if (inWindow_ == 0 || now - windowStart_ >= kRestartWindowSeconds || now < windowStart_) {
        inWindow_ = 0;
        windowStart_ = now;
    }
    if (inWindow_ >= kMostRestartsPerMinute) {
        if (trace) {
            trace->Line(FormatPrintf(L"restart: exit code %d asks for a restart, but the application was restarted %d "
                                     L"times within a minute: it ends with %d",
                                     {exitCode, kMostRestartsPerMinute, exitCode}));
        }
        return;
    }
    // From within the VM's exit the channel cannot be taken down: that waits
    // for request threads the VM has stopped, secondaryMain's own among them.
    if (instance.active && instance.channel != nullptr) instance.channel->Withdraw(exitCode);
    instance.active = false;
    const std::wstring carried = DecimalText(inWindow_ + 1) + L"@" + DecimalText(windowStart_);
    if (trace) trace->Line(L"restart: exit code " + DecimalText(exitCode) + L", starting the application again (" + kRestartVariable + L"=" + carried + L")");
    SystemError error;
    if (!platform.processes().RestartProgram(kRestartVariable, carried, error) && trace)
        trace->Line(L"restart: the new start failed with error " + DecimalText(ErrorNumber(error)));
}

void ProcessExit::VmExiting(std::int32_t exitCode) {
    teardown_.Run(VmEnd::processEnding);
    // The service manager hears of the end before the process is gone, or
    // it would take the end for a crash; it restarts a service itself, as the
    // service settings say.
    if (service_ != nullptr) {
        service_->Stopped(exitCode);
        return;
    }
    restarts_.IfAsked(platform_, start_.restartExitCode, exitCode, instance_);
}

Launcher::Launcher(Platform& platformImpl) : platform(platformImpl) {}

Launcher::~Launcher() { teardown_.Run(VmEnd::destroyedHere); }

int LaunchApplication(Platform& platform, std::unique_ptr<Trace> trace) {
    platform.trace = trace.get();
    if (trace) trace->Line(L"launcher: command line " + platform.environment().CommandLine());
    int result = -1;
    {
        Launcher launcher(platform);
        result = launcher.Launch();
    }
    if (trace) trace->Line(L"launcher: exit code " + DecimalText(result));
    platform.trace = nullptr;
    return result;
}

int Launcher::RuntimeFeatureRelease() {
    // A JDK 8's runtime is its jre folder, whose release file is the JDK's.
    for (int up = 3; up <= 4; ++up) {
        const VersionNumber version =
            RuntimeReleaseVersion(platform, RemovePathComponents(runtime.jvmLibraryPath, up) + L"\\");
        if (!version.IsOpen()) return FeatureRelease(version);
    }
    return FeatureRelease(runtime.registeredVersion);
}

// The settings stage tells the user itself why it cannot go on.
StageOutcome Launcher::ReadSettings() {
    return ReadLauncherSettings(platform, files, settings) ? StageOutcome::Proceed()
                                                          : StageOutcome::EndWithCode(kStartFailed);
}

std::int32_t Launcher::Launch() {
    restarts_.ReadCarried(platform);
    StageSequence stages(platform.trace);
    if (!stages.Run(L"settings", [this] { return ReadSettings(); }))
        return InitialisationEnded(platform.trace, stages.Outcome());
    const ServiceCommand command =
        settings.instance.isService ? ServiceCommandFrom(settings.start.arguments) : ServiceCommand::none;
    if (command != ServiceCommand::none) return RunServiceCommand(command);
    ServiceRun run;
    run.name = settings.service.name;
    run.isService = settings.instance.isService;
    run.stopMethod = !settings.service.stopClass.empty();
    run.body = &Launcher::RunService;
    run.context = this;
    std::int32_t code = -1;
    if (platform.processes().RunAsService(run, code)) return code;
    return StartAndRun();
}

std::int32_t Launcher::RunService(void* launcher, ServiceManager& manager) {
    Launcher& self = *static_cast<Launcher*>(launcher);
    self.service = &manager;
    self.serviceStop_.emplace(ServiceStop{self.platform, self.vm, self.settings.service, manager});
    return self.StartAndRun();
}

std::int32_t Launcher::StartAndRun() {
    const StageOutcome initialised = Initialise();
    return initialised.Proceeds() ? Run() : InitialisationEnded(platform.trace, initialised);
}

std::int32_t Launcher::RunServiceCommand(ServiceCommand command) {
    if (command == ServiceCommand::remove) return platform.processes().RemoveService(settings.service.name);
    if (command == ServiceCommand::misused) {
        platform.desktop().ShowErrorBox(nullptr,
                                        FormatPrintf(L"%s and %s take no further arguments; nothing was changed.",
                                                     {kInstallServiceSwitch, kRemoveServiceSwitch}));
        return kServiceCommandFailed;
    }
    ServicePlan plan;
    std::wstring problem;
    if (!BuildServicePlan(settings.service, files.executable, plan, problem)) {
        platform.desktop().ShowErrorBox(nullptr, FormatPrintf(L"The service is not installed: %s.", {problem}));
        return kServiceCommandFailed;
    }
    return platform.processes().InstallService(plan, files.settingsFile);
}

StageOutcome Launcher::Initialise() {
    const InstanceSettings& instance = settings.instance;
    StageSequence stages(platform.trace);
    stages.Run(L"process", [&] { ApplyProcessIdentity(platform, settings.process); });
    // The assembly process runs no application: it has no instance to be.
    if (!StartedToAssembleCache(platform) &&
        !stages.Run(L"single instance",
                    [&] { return OpenSingleInstance(instance, files.executable, settings.start.arguments); }))
        return stages.Outcome();
    if (singleInstance.active && !singleInstance.isFirst) return stages.Outcome();
    if (settings.start.overrideWorkingDirectory) ApplyWorkingDirectory(platform, files.executable);
    // Before the search, which falls back on JAVA_HOME: the application's
    // own environment chooses the runtime it gets.
    stages.Run(L"environment", [&] { ApplyEnvironment(platform, settings.process.environment); });
    if (service) service->Starting(kRuntimeSearchHintMs);
    stages.Run(L"runtime search", [&] {
        return ChooseRuntime(platform, files, settings.runtime, instance, architecture, runtime);
    });
    return stages.Outcome();
}

std::int32_t Launcher::Run() {
    Trace* trace = platform.trace;
    if (runtime.handOverToPair) {
        if (trace) trace->Line(L"run: handing the start over to the pair product " + settings.instance.pairProduct);
        // The application runs in the pair, whose own channel serves later
        // starts: they come through here and reach it as its second starts.
        // Kept here, the channel would take their arguments and never serve them.
        if (singleInstance.active) CloseSingleInstance(singleInstance);
        singleInstance.active = false;
        return RunPairProduct();
    }
    if (singleInstance.active && !singleInstance.isFirst) {
        if (trace) trace->Line(L"run: second instance, the arguments went to the first");
        return RunSecondInstance();
    }
    if (trace) trace->Line(L"run: the application runs in this process");
    return RunHere();
}

std::int32_t Launcher::RunPairProduct() {
    const InstanceSettings& instance = settings.instance;
    std::uint32_t exitCode = 0;
    SystemError error;
    if (!platform.processes().StartProcess(instance.pairProduct, platform.environment().CommandLine(),
                                           instance.waitForPair, exitCode, error)) {
        // Reporting this as success would leave the user with nothing at all.
        ShowFormattedError(platform, splash.windowHandle, IDS_WINDOWS_EXCEPTION, instance.pairProduct,
                           static_cast<std::int32_t>(ErrorNumber(error)));
        return -1;
    }
    return instance.waitForPair ? static_cast<std::int32_t>(exitCode) : 0;
}

// "-nosplash" on the command line refuses the splash; where it shows only
// when asked for, "-splash" asks.
bool Launcher::SplashWanted() const {
    Trace* trace = platform.trace;
    bool refused = false;
    bool asked = false;
    for (const std::wstring& argument : settings.start.arguments) {
        if (argument == L"-nosplash" || argument == L"/nosplash") refused = true;
        if (argument == L"-splash" || argument == L"/splash") asked = true;
    }
    const bool noSplash = refused || (platform.splashOnlyWhenAsked && !asked);
    if (refused && trace) trace->Line(L"run: no splash, asked for on the command line");
    else if (noSplash && trace) trace->Line(L"run: no splash, not asked for with -splash");
    return !noSplash;
}

std::int32_t Launcher::RunHere() {
    Trace* trace = platform.trace;
    const std::wstring& jvmLibraryPath = runtime.jvmLibraryPath;
    StageSequence stages(trace);
    stages.Run(L"library path", [&] {
        PrepareLibraryPath(platform, settings.vm, files.executable, jvmLibraryPath, vmStart.options);
    });
    const bool assembly = StartedToAssembleCache(platform);
    // Before the splash, the first window that depends on the runtime.
    if (!assembly) platform.desktop().SetDpiAwareness(RuntimeFeatureRelease());
    if (!assembly && SplashWanted())
        stages.Run(L"splash", [&] { StartSplash(settings.presentation, jvmLibraryPath); });
    stages.Run(L"JVM library",
               [&] { return LoadJvmLibrary(platform, jvmLibraryPath, splash.windowHandle, vm.entries); });
    stages.Run(L"VM options", [&] {
        const VmOptionSources sources{files, settings.start, settings.vm, settings.output, settings.instance, runtime};
        return AssembleVmOptions(platform, sources, splash.windowHandle, vmStart);
    });
    if (!stages.Outcome().Proceeds()) return stages.Outcome().exitCode();
    if (vmStart.threadStackSize == 0) vmStart.threadStackSize = RuntimeDefaultStackSize(vm.entries.getDefaultJavaVmInitArgs);
    if (trace) {
        trace->Line(L"vm: thread stack " + DecimalText(vmStart.threadStackSize) +
                    L" bytes (0: the system's default)");
    }

    if (service) service->Starting(kVmStartHintMs);
    std::uint32_t code = 0;
    if (assembly && CacheAssemblyRole(platform) == AssemblyRole::supervisor)
        return static_cast<std::int32_t>(SuperviseCacheAssembly(platform, vmStart.classData));
    if (assembly) {
        if (!platform.processes().RunThread(vmStart.threadStackSize, AssembleCacheThread, this, code)) code = 1;
        return static_cast<std::int32_t>(code);
    }
    // Without a thread of its own the application runs here, on the main
    // thread's stack.
    stages.Run(L"VM thread", [&] {
        if (!platform.processes().RunThread(vmStart.threadStackSize, VmThreadMain, this, code))
            code = VmThreadMain(this);
    });
    if (trace) trace->Line(L"vm: the VM thread ended with " + DecimalText(code));
    if (code == 0) return vm.mainThrew ? 1 : 0;
    // The runtime's splash goes at once; the rest of the teardown waits for the VM's end.
    splash.nativeClose.Run();
    return kStartFailed;
}

StageOutcome Launcher::HostApplication() {
    Trace* trace = platform.trace;
    StageSequence stages(trace);
    if (!stages.Run(L"VM creation", [&] { return CreateVm(platform, vm, vmStart, splash.windowHandle, processExit_); }))
        return stages.Outcome();
    if (trace) trace->Line(L"vm: main class from " + settings.start.launchTarget);
    const MainCall call{settings.start,
                        vmStart.arguments,
                        settings.presentation.failureCheck,
                        settings.runtime.KeepsMainThreadAttached(),
                        splash,
                        singleInstance.channel.get(),
                        serviceStop_ ? &*serviceStop_ : nullptr};
    if (!stages.Run(L"main", [&] { return InvokeMain(platform, vm, call); })) return stages.Outcome();
    // The service manager hears the run is over only once the VM has ended.
    if (settings.instance.isService) teardown_.Run(VmEnd::destroyedHere);
    return stages.Outcome();
}

std::uint32_t VmThreadMain(void* launcher) {
    if (launcher == nullptr) return 1;
    return static_cast<Launcher*>(launcher)->HostApplication().Proceeds() ? 0 : 1;
}

}  // namespace zorv
