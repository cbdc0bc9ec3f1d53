#include "launcher/launcher.h"

#include <cstring>

#include "launcher/command_line.h"
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
    }
    CloseSingleInstance();
    nativeSplashClose.Run();
    if (currentLauncher == this) currentLauncher = nullptr;
}

Launcher* Launcher::Current() { return currentLauncher; }

void Launcher::SplitCommandLine() { applicationArguments = ApplicationArgumentsFrom(platform.CommandLine()); }

bool Launcher::Initialise() {
    SplitCommandLine();
    if (!ReadSettings()) return false;
    if (!InitSingleInstance()) return false;
    if (singleInstanceActive && !isFirstInstance) return true;
    if (overrideWorkingDirectory) ApplyWorkingDirectory();
    return LocateRuntime();
}

std::int32_t Launcher::Run() {
    if (handOverToPair) return RunPairProduct();
    if (singleInstanceActive && !isFirstInstance) return RunSecondInstance();
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
    PrepareLibraryPath();
    bool noSplash = false;
    for (const std::wstring& argument : applicationArguments) {
        if (argument == L"-nosplash" || argument == L"/nosplash") noSplash = true;
    }
    if (!noSplash && !StartSplash()) return 0;
    if (!LoadJvmLibrary(jvmLibraryPath)) return -1;
    AssembleVmOptions();
    ChooseVmThreadStackSize();

    std::uint32_t code = 0;
    // Without a thread of its own the application runs here, on the main
    // thread's stack.
    if (!platform.RunThread(vmThreadStackSize, VmThreadMain, this, code)) code = VmThreadMain(this);
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
