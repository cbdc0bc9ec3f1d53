#include "runtime/runtime_not_found.h"

#include <utility>

#include "resources/string_table.h"
#include "runtime/error_reporting.h"
#include "runtime/jvm_library.h"

namespace zorv {

RuntimeNotFoundDialog::RuntimeNotFoundDialog(Platform& platformImpl, std::wstring text, JvmType type)
    : platform(platformImpl), message(std::move(text)), jvmType(type) {}

int RuntimeNotFoundDialog::Show(WindowHandle owner) { return platform.ShowRuntimeNotFoundDialog(owner, *this); }

bool RuntimeNotFoundDialog::TakeFolder(const std::wstring& folder) {
    chosenFolder = folder;
    if (!chosenFolder.empty() && chosenFolder.back() != L'\\') chosenFolder += L'\\';
    bool isServer = false;
    jvmLibraryPath = FindJvmLibrary(platform, chosenFolder, jvmType, isServer);
    return !jvmLibraryPath.empty();
}

namespace {

const wchar_t kRuntimeSection[] = L"Java Runtime Environment";
const wchar_t kRuntimeFolderKey[] = L"JRE Path";

}  // namespace

bool Launcher::AskForRuntime() {
    unsigned format = jvmType == serverOnly ? IDS_JRE_NOT_FOUND_SERVER : IDS_JRE_NOT_FOUND;
    RuntimeNotFoundDialog dialog(
        platform, FormatMessageText(platform, format, {DescribeVersionRequirement(platform, minimumVersion, maximumVersion)}),
        jvmType);
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
