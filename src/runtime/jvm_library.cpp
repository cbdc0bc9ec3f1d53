#include "runtime/jvm_library.h"

#include "launcher/byte_order.h"
#include "launcher/file_locations.h"
#include "launcher/text.h"
#include "launcher/trace.h"
#include "resources/string_table.h"
#include "runtime/error_reporting.h"

namespace zorv {
namespace {

const JvmLibraryChoice kWindowsClientFirst[] = {
    {L"bin\\client\\jvm.dll", false}, {L"bin\\classic\\jvm.dll", false}, {L"bin\\hotspot\\jvm.dll", false},
    {L"bin\\server\\jvm.dll", true},  {L"bin\\jrockit\\jvm.dll", false},
};
const JvmLibraryChoice kLinuxClientFirst[] = {
    {L"lib\\client\\libjvm.so", false},
    {L"lib\\server\\libjvm.so", true},
};

}  // namespace

const SystemConventions kWindowsConventions = {
    L"bin\\java.dll", L"jre64\\", {L"bin\\server\\jvm.dll", true}, kWindowsClientFirst,
    sizeof kWindowsClientFirst / sizeof kWindowsClientFirst[0], false,
    L"splashscreen.dll", true, true, false, L"Path", {L"APPDATA", L"LOCALAPPDATA"}, {nullptr, nullptr},
    L";"};
const SystemConventions kLinuxConventions = {
    L"lib\\libjava.so", L"jre\\", {L"lib\\server\\libjvm.so", true}, kLinuxClientFirst,
    sizeof kLinuxClientFirst / sizeof kLinuxClientFirst[0], true,
    L"libsplashscreen.so", false, false, true, L"PATH", {L"XDG_CONFIG_HOME", L"XDG_CACHE_HOME"},
    {L".config", L".cache"}, L";:"};

std::wstring FindJvmLibrary(Platform& platform, const std::wstring& home, JvmType type, bool& isServer) {
    isServer = false;
    const SystemConventions& conventions = platform.Conventions();
    if (type == serverOnly || type == serverFirst) {
        std::wstring path = home + conventions.serverLibrary.relativePath;
        if (platform.files().FileExists(path)) {
            isServer = true;
            return path;
        }
        if (type == serverOnly) return std::wstring();
    }
    for (std::size_t i = 0; i < conventions.clientFirstLibraryCount; ++i) {
        const JvmLibraryChoice& choice = conventions.clientFirstLibraries[i];
        std::wstring path = home + choice.relativePath;
        if (platform.files().FileExists(path)) {
            isServer = choice.isServer;
            return path;
        }
    }
    return std::wstring();
}

std::uint16_t PeImageMachine(const unsigned char* data, std::size_t size) {
    const std::size_t kHeaderOffsetField = 0x3C;
    if (data == nullptr || size < kHeaderOffsetField + 4 || data[0] != 'M' || data[1] != 'Z') return 0;
    std::uint32_t ntOffset = Get32(data + kHeaderOffsetField);
    // Signature (4 bytes) then the file header, whose first field is Machine.
    if (ntOffset > size || size - ntOffset < 6) return 0;
    if (Get32(data + ntOffset) != 0x00004550) return 0;
    return static_cast<std::uint16_t>(data[ntOffset + 4] | data[ntOffset + 5] << 8);
}

bool HandsOverToPair(Platform& platform, const StartableMachines& machines, const std::wstring& jvmLibraryPath) {
    Trace* trace = platform.trace;
    if (!machines.pairProduct) {
        if (trace) trace->Line(L"runtime: architecture not checked, no Pair Product to hand over to");
        return false;
    }
    const TargetArchitecture& architecture = machines.architecture;
    std::uint16_t machine = platform.files().ImageMachine(jvmLibraryPath);
    const bool handOver = machine == architecture.pairMachine;
    if (trace) {
        trace->Line(L"runtime: architecture " + HexText(machine) +
                    (handOver ? L", a " + std::wstring(architecture.pairBits) +
                                    L" library: the start goes to the Pair Product"
                              : std::wstring(L", loaded here")));
    }
    return handOver;
}

bool CanRunJvmLibrary(Platform& platform, const StartableMachines& machines, const std::wstring& path,
                      std::uint16_t& machine) {
    machine = platform.files().ImageMachine(path);
    if (machine == 0 || machine == machines.architecture.ownMachine) return true;
    return machine == machines.architecture.pairMachine && machines.pairProduct;
}

StageOutcome LoadJvmLibrary(Platform& platform, const std::wstring& path, WindowHandle owner, JvmEntryPoints& entries) {
    platform.libraries().AddLibraryFolder(RemovePathComponents(path, 2));
    SystemError error;
    ModuleHandle module = platform.libraries().LoadLibraryAt(path, error);
    if (Trace* trace = platform.trace) {
        trace->Line(
            L"jvm: library " + path +
            (module != nullptr ? std::wstring(L" loaded") : L" not loaded, error " + DecimalText(ErrorNumber(error))) +
            L", DLL folder " + RemovePathComponents(path, 2));
    }
    if (module == nullptr) {
        ShowFormattedError(platform, owner, IDS_JVM_LOAD_FAILED, path, static_cast<std::int32_t>(ErrorNumber(error)));
        return StageOutcome::EndWithCode(kStartFailed);
    }
    void* create = platform.libraries().LibrarySymbol(module, "JNI_CreateJavaVM", error);
    void* defaults =
        create == nullptr ? nullptr : platform.libraries().LibrarySymbol(module, "JNI_GetDefaultJavaVMInitArgs", error);
    if (create == nullptr || defaults == nullptr) {
        ShowFormattedError(platform, owner, IDS_WINDOWS_EXCEPTION,
                           platform.desktop().LoadResourceString(IDS_NO_CREATE_JAVA_VM),
                           static_cast<std::int32_t>(ErrorNumber(error)));
        return StageOutcome::EndWithCode(kStartFailed);
    }
    SystemError ignored;
    entries.createJavaVm = reinterpret_cast<CreateJavaVmFunction>(create);
    entries.getDefaultJavaVmInitArgs = reinterpret_cast<GetDefaultJavaVmInitArgsFunction>(defaults);
    entries.findClassFromBootLoader = reinterpret_cast<FindClassFromBootLoaderFunction>(
        platform.libraries().LibrarySymbol(module, "JVM_FindClassFromBootLoader", ignored));
    return StageOutcome::Proceed();
}

}  // namespace zorv
