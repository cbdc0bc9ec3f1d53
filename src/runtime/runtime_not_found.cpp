#include "runtime/runtime_not_found.h"

#include <utility>
#include <vector>

#include "launcher/file_locations.h"
#include "resources/string_table.h"
#include "runtime/error_reporting.h"
#include "runtime/jvm_library.h"
#include "runtime/runtime_search.h"

namespace zorv {

namespace {

// A folder with thousands of entries is no runtime's parent; looking at all
// of them would only keep the dialog busy.
const std::size_t kMostSubfolders = 256;

bool IsBinFolder(const std::wstring& folder) {
    const std::size_t end = folder.size() - 1;  // folder ends in "\"
    return end >= 4 && folder[end - 4] == L'\\' && (folder[end - 3] | 0x20) == L'b' &&
           (folder[end - 2] | 0x20) == L'i' && (folder[end - 1] | 0x20) == L'n';
}

}  // namespace

RuntimeNotFoundDialog::RuntimeNotFoundDialog(Platform& platformImpl, const RuntimeRequest& wanted,
                                             const StartableMachines& startable, std::wstring text)
    : platform(platformImpl), request(wanted), machines(startable), message(std::move(text)) {}

int RuntimeNotFoundDialog::Show(WindowHandle owner) {
    return platform.desktop().ShowRuntimeNotFoundDialog(owner, *this);
}

// The runtime the folder (with its "\") leads to: itself, the runtime of a
// "bin" folder, or the one runtime among its subfolders. Empty when there is
// none or several.
std::wstring RuntimeNotFoundDialog::FindHome(const std::wstring& folder, std::wstring& library, int& runtimesFound) {
    bool isServer = false;
    std::wstring home = folder;
    if (IsBinFolder(folder)) home.resize(folder.size() - 4);
    for (const std::wstring& candidate : {folder, home}) {
        library = FindJvmLibrary(platform, candidate, request.jvmType, isServer);
        if (!library.empty()) return candidate;
    }
    home.clear();
    std::size_t looked = 0;
    for (const std::wstring& name : platform.files().FindFiles(folder + L"*")) {
        if (name == L"." || name == L".." || ++looked > kMostSubfolders) continue;
        std::wstring candidate = folder + name + L"\\";
        std::wstring found = FindJvmLibrary(platform, candidate, request.jvmType, isServer);
        if (found.empty()) continue;
        if (++runtimesFound > 1) break;
        home.swap(candidate);
        library.swap(found);
    }
    if (runtimesFound != 1) home.clear();
    return home;
}

// Why the runtime cannot be taken; empty when it can.
std::wstring RuntimeNotFoundDialog::Refusal(const std::wstring& home, const std::wstring& library) {
    std::uint16_t machine = 0;
    std::wstring text;
    if (!CanRunJvmLibrary(platform, machines, library, machine)) {
        const TargetArchitecture& own = machines.architecture;
        text = L"A runtime for ";
        text += machine == own.pairMachine ? own.pairBits : L"other";
        text += L" processors: this launcher needs a ";
        text += own.ownBits;
        text += L" one.";
        return text;
    }
    const VersionNumber version = RuntimeReleaseVersion(platform, home);
    if (version.IsOpen() || WithinBounds(request, version)) return text;
    text = L"Version ";
    text += version.Format();
    text += L" is out of bounds: ";
    text += DescribeVersionRequirement(platform, request.minimumVersion, request.maximumVersion);
    text += L'.';
    return text;
}

bool RuntimeNotFoundDialog::TakeFolder(const std::wstring& folder) {
    chosenFolder = folder;
    if (!chosenFolder.empty() && chosenFolder.back() != L'\\') chosenFolder += L'\\';
    jvmLibraryPath.clear();
    verdict.clear();
    if (chosenFolder.empty()) return false;
    std::wstring library;
    int runtimesFound = 0;
    std::wstring home = FindHome(chosenFolder, library, runtimesFound);
    if (home.empty()) {
        verdict = runtimesFound > 1 ? L"Several runtimes in this folder: choose one of them."
                  : request.jvmType == serverOnly ? L"No server JVM library in this folder."
                                          : L"No JVM library in this folder.";
        return false;
    }
    verdict = Refusal(home, library);
    if (!verdict.empty()) return false;
    if (home != chosenFolder) verdict.assign(L"Runtime found in ").append(home);
    chosenFolder.swap(home);
    jvmLibraryPath.swap(library);
    return true;
}

namespace {

const wchar_t kRuntimeSection[] = L"Java Runtime Environment";
const wchar_t kRuntimeFolderKey[] = L"JRE Path";

}  // namespace

bool AskForRuntime(Platform& platform, const RuntimeRequest& request, const StartableMachines& machines,
                   ChosenRuntime& chosen, std::wstring& folder) {
    unsigned format = request.jvmType == serverOnly ? IDS_JRE_NOT_FOUND_SERVER : IDS_JRE_NOT_FOUND;
    RuntimeNotFoundDialog dialog(platform, request, machines,
                                 FormatMessageText(platform, format, {DescribeVersionRequirement(
                                                                         platform, request.minimumVersion,
                                                                         request.maximumVersion)}));
    if (dialog.Show(platform.desktop().ActiveWindow()) != kDialogOk || dialog.jvmLibraryPath.empty()) return false;

    chosen = ChosenRuntime();
    chosen.jvmLibraryPath = dialog.jvmLibraryPath;
    chosen.handOverToPair = HandsOverToPair(platform, machines, chosen.jvmLibraryPath);
    folder = dialog.chosenFolder;
    return true;
}

void RememberRuntimeFolder(Platform& platform, const ProgramFiles& files, const InstanceSettings& instance,
                           const std::wstring& folder) {
    // Without a "." in the executable's path there is no settings file to name.
    if (files.settingsFile.empty()) return;
    std::wstring targets[2];
    if (instance.isService) {
        targets[0] = files.settingsFile;
        if (!instance.pairProduct.empty()) SettingsFileFor(instance.pairProduct, targets[1]);
    } else {
        targets[0] = UserSettingsPath(platform, instance, files.executable, true);
        targets[1] = UserSettingsPath(platform, instance, instance.pairProduct, true);
    }
    for (const std::wstring& target : targets) {
        if (!target.empty()) platform.files().WriteProfileValue(kRuntimeSection, kRuntimeFolderKey, folder, target);
    }
}

}  // namespace zorv
