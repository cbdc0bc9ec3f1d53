#include "launcher/launcher.h"

#include <cstring>

#include "launcher/command_line.h"
#include "launcher/text.h"
#include "launcher/trace.h"
#include "resources/string_table.h"
#include "runtime/error_reporting.h"

namespace zorv {
namespace {

Launcher* currentLauncher = nullptr;

// The JDK 1.1 initialisation record is no longer declared by jni.h; the VM
// still fills its javaStackSize field, at byte offset 24 on 64-bit targets.
constexpr std::size_t kJdk11InitArgsSize = 136;
constexpr std::size_t kJavaStackSizeOffset = 24;

}  // namespace

Launcher::Launcher(Platform& platformImpl) : platform(platformImpl) { currentLauncher = this; }

Launcher::~Launcher() {
    CloseSplash();
    if (javaVm != nullptr) {
        javaVm->DestroyJavaVM();
        javaVm = nullptr;
        KeepRecordedClassDataArchive();
    }
    CloseSingleInstance();
    nativeSplashClose.Run();
    if (currentLauncher == this) currentLauncher = nullptr;
}

Launcher* Launcher::Current() { return currentLauncher; }

int LaunchApplication(Platform& platform, std::unique_ptr<Trace> trace) {
    platform.trace = trace.get();
    if (trace) trace->Line(L"launcher: command line " + platform.CommandLine());
    int result = -1;
    {
        Launcher launcher(platform);
        if (launcher.Initialise()) result = launcher.Run();
        else if (trace) trace->Line(L"launcher: initialisation ended the start");
    }
    if (trace) trace->Line(L"launcher: exit code " + DecimalText(result));
    platform.trace = nullptr;
    return result;
}

void Launcher::SplitCommandLine() { applicationArguments = ApplicationArgumentsFrom(platform.CommandLine()); }

bool Launcher::Initialise() {
    Trace* trace = platform.trace;
    SplitCommandLine();
    if (!TracedStage(trace, L"settings", [this] { return ReadSettings(); })) return false;
    if (!TracedStage(trace, L"single instance", [this] { return InitSingleInstance(); })) return false;
    if (singleInstanceActive && !isFirstInstance) return true;
    if (overrideWorkingDirectory) ApplyWorkingDirectory();
    return TracedStage(trace, L"runtime search", [this] { return LocateRuntime(); });
}

std::int32_t Launcher::Run() {
    Trace* trace = platform.trace;
    if (handOverToPair) {
        if (trace) trace->Line(L"run: handing the start over to the pair product " + pairProduct);
        return RunPairProduct();
    }
    if (singleInstanceActive && !isFirstInstance) {
        if (trace) trace->Line(L"run: second instance, the arguments went to the first");
        return RunSecondInstance();
    }
    if (trace) trace->Line(L"run: the application runs in this process");
    return RunHere();
}

std::int32_t Launcher::RunPairProduct() {
    std::uint32_t exitCode = 0;
    std::uint32_t error = 0;
    if (!platform.StartProcess(pairProduct, platform.CommandLine(), waitForPair, exitCode, error)) {
        // Reporting this as success would leave the user with nothing at all.
        ShowFormattedError(platform, splashWindow, IDS_WINDOWS_EXCEPTION, pairProduct,
                           static_cast<std::int32_t>(error));
        return -1;
    }
    return waitForPair ? static_cast<std::int32_t>(exitCode) : 0;
}

std::int32_t Launcher::RunHere() {
    Trace* trace = platform.trace;
    TracedStage(trace, L"library path", [this] { PrepareLibraryPath(); });
    bool refused = false;
    bool asked = false;
    for (const std::wstring& argument : applicationArguments) {
        if (argument == L"-nosplash" || argument == L"/nosplash") refused = true;
        if (argument == L"-splash" || argument == L"/splash") asked = true;
    }
    const bool noSplash = refused || (platform.splashOnlyWhenAsked && !asked);
    if (refused && trace) trace->Line(L"run: no splash, asked for on the command line");
    else if (noSplash && trace) trace->Line(L"run: no splash, not asked for with -splash");
    if (!noSplash && !TracedStage(trace, L"splash", [this] { return StartSplash(); })) return 0;
    if (!TracedStage(trace, L"JVM library", [this] { return LoadJvmLibrary(jvmLibraryPath); })) return -1;
    TracedStage(trace, L"VM options", [this] { return AssembleVmOptions(); });
    ChooseVmThreadStackSize();
    if (trace) trace->Line(L"vm: thread stack " + DecimalText(vmThreadStackSize) + L" bytes (0: the system's default)");

    std::uint32_t code = 0;
    // Without a thread of its own the application runs here, on the main
    // thread's stack.
    TracedStage(trace, L"VM thread", [&] {
        if (!platform.RunThread(vmThreadStackSize, VmThreadMain, this, code)) code = VmThreadMain(this);
    });
    if (trace) trace->Line(L"vm: the VM thread ended with " + DecimalText(code));
    if (code == 0) return 0;
    nativeSplashClose.Run();
    return -1;
}

void Launcher::ChooseVmThreadStackSize() {
    if (vmThreadStackSize != 0 || getDefaultJavaVmInitArgs == nullptr) return;
    alignas(8) unsigned char record[kJdk11InitArgsSize] = {};
    const jint version = 0x00010001;
    static_assert(sizeof(version) == 4, "the record's version field is 32 bits");
    std::memcpy(record, &version, sizeof(version));
    getDefaultJavaVmInitArgs(record);
    jint stackSize = 0;
    std::memcpy(&stackSize, record + kJavaStackSizeOffset, sizeof(stackSize));
    vmThreadStackSize = stackSize > 0 ? static_cast<std::uint64_t>(stackSize) : 0;
}

}  // namespace zorv
