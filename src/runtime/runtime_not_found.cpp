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
    std::wstring name = WithoutTrailingBackslash(folder);
    name = name.substr(FolderWithSeparatorOf(name).size());
    return name.size() == 3 && (name[0] | 0x20) == L'b' && (name[1] | 0x20) == L'i' && (name[2] | 0x20) == L'n';
}

}  // namespace

RuntimeNotFoundDialog::RuntimeNotFoundDialog(Launcher& owner, std::wstring text)
    : launcher(owner), platform(owner.platform), message(std::move(text)), jvmType(owner.jvmType) {}

int RuntimeNotFoundDialog::Show(WindowHandle owner) { return platform.ShowRuntimeNotFoundDialog(owner, *this); }

// The runtime the folder leads to: itself, the runtime of a "bin" folder, or
// the one runtime among its subfolders. Empty when there is none or several.
std::wstring RuntimeNotFoundDialog::FindHome(const std::wstring& folder, std::wstring& library, int& runtimesFound) {
    bool isServer = false;
    runtimesFound = 0;
    library = FindJvmLibrary(platform, folder, jvmType, isServer);
    if (!library.empty()) return folder;
    if (IsBinFolder(folder)) {
        std::wstring parent = FolderWithSeparatorOf(WithoutTrailingBackslash(folder));
        library = FindJvmLibrary(platform, parent, jvmType, isServer);
        if (!library.empty()) return parent;
    }
    std::wstring home;
    std::vector<std::wstring> names = platform.FindFiles(folder + L"*");
    if (names.size() > kMostSubfolders) names.resize(kMostSubfolders);
    for (const std::wstring& name : names) {
        if (name == L"." || name == L"..") continue;
        std::wstring found = FindJvmLibrary(platform, folder + name + L"\\", jvmType, isServer);
        if (found.empty()) continue;
        if (++runtimesFound > 1) break;
        home = folder + name + L"\\";
        library = found;
    }
    if (runtimesFound == 1) return home;
    library.clear();
    return std::wstring();
}

// Why the runtime cannot be taken; empty when it can.
std::wstring RuntimeNotFoundDialog::Refusal(const std::wstring& home, const std::wstring& library) {
    std::uint16_t machine = 0;
    if (!launcher.CanRunJvmLibrary(library, machine)) {
        const TargetArchitecture& own = launcher.architecture;
        return (machine == own.pairMachine ? L"A " + std::wstring(own.pairBits) + L" runtime"
                                           : std::wstring(L"A runtime for another processor")) +
               L": this launcher needs a " + own.ownBits + L" one.";
    }
    std::string release;
    VersionNumber version;
    if (platform.ReadFileStart(home + L"release", 65536, release)) version = ReleaseFileVersion(release);
    if (version.IsOpen() || WithinBounds(launcher, version)) return std::wstring();
    return L"Version " + version.Format() + L" is out of bounds: " +
           DescribeVersionRequirement(platform, launcher.minimumVersion, launcher.maximumVersion) + L".";
}

bool RuntimeNotFoundDialog::TakeFolder(const std::wstring& folder) {
    std::wstring picked = folder;
    if (!picked.empty() && picked.back() != L'\\') picked += L'\\';
    chosenFolder = picked;
    jvmLibraryPath.clear();
    if (picked.empty()) {
        verdict.clear();
        return false;
    }
    std::wstring library;
    int runtimesFound = 0;
    std::wstring home = FindHome(picked, library, runtimesFound);
    if (home.empty()) {
        verdict = runtimesFound > 1 ? L"Several runtimes in this folder: choose one of them."
                                    : jvmType == serverOnly ? L"No server JVM library in this folder."
                                                            : L"No JVM library in this folder.";
        return false;
    }
    verdict = Refusal(home, library);
    if (!verdict.empty()) return false;
    if (home != picked) verdict = L"Runtime found in " + home;
    chosenFolder = home;
    jvmLibraryPath = library;
    return true;
}

namespace {

const wchar_t kRuntimeSection[] = L"Java Runtime Environment";
const wchar_t kRuntimeFolderKey[] = L"JRE Path";

}  // namespace

bool Launcher::AskForRuntime() {
    unsigned format = jvmType == serverOnly ? IDS_JRE_NOT_FOUND_SERVER : IDS_JRE_NOT_FOUND;
    RuntimeNotFoundDialog dialog(
        *this, FormatMessageText(platform, format, {DescribeVersionRequirement(platform, minimumVersion, maximumVersion)}));
    if (dialog.Show(platform.ActiveWindow()) != kDialogOk || dialog.jvmLibraryPath.empty()) return false;

    jvmLibraryPath = dialog.jvmLibraryPath;
    CheckJvmArchitecture();
    RememberRuntimeFolder(dialog.chosenFolder);
    return true;
}

void Launcher::RememberRuntimeFolder(const std::wstring& folder) {
    std::wstring settingsPath;
    // Without a "." in the executable's path there is no settings file to name.
    if (!GetSettingsFilePath(settingsPath)) return;
    std::wstring targets[2];
    if (isService) {
        targets[0] = settingsPath;
        GetPairSettingsFilePath(targets[1]);
    } else {
        GetUserSettingsPath(targets[0], true);
        GetPairUserSettingsPath(targets[1]);
    }
    for (const std::wstring& target : targets) {
        if (!target.empty()) platform.WriteProfileValue(kRuntimeSection, kRuntimeFolderKey, folder, target);
    }
}

}  // namespace zorv
