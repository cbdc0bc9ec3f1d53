#include "vm/library_path.h"

#include <cwchar>

#include "launcher/file_locations.h"
#include "launcher/platform.h"
#include "launcher/launcher_settings.h"

namespace zorv {

std::wstring ProcessPathTemplate(const std::wstring& systemPath, const std::wstring& jvmLibraryPath,
                                 const wchar_t* variable) {
    std::wstring value = systemPath;
    if (!value.empty() && value.back() != L';') value += L';';
    return value + RemovePathComponents(jvmLibraryPath, 2) + L";%" + variable + L"%";
}

std::wstring LibraryPathTemplate(const std::wstring& libraryPath, const std::wstring& executableFolder,
                                 const std::wstring& jvmLibraryPath, const SystemConventions& conventions) {
    std::wstring value = libraryPath;
    if (!value.empty() && std::wcschr(conventions.listSeparators, value.back()) == nullptr) value += L';';
    return value + executableFolder + L";.;%" + conventions.searchPathVariable + L"%;" +
           RemovePathComponents(jvmLibraryPath, 3) + L"\\lib";
}

void PrepareLibraryPath(Platform& platform, const VmSettings& vm, const std::wstring& executable,
                        const std::wstring& jvmLibraryPath, std::vector<std::string>& vmOptions) {
    const wchar_t* searchPath = platform.Conventions().searchPathVariable;
    platform.environment().SetEnvironment(L"ZORV_JVM_PATH", platform.files().VmPath(jvmLibraryPath));
    platform.environment().SetEnvironment(L"ZORV_JVM_HOME",
                                          platform.files().VmPath(RemovePathComponents(jvmLibraryPath, 3)));
    if (!vm.libraryPath.empty()) {
        const std::wstring libraryPath = platform.environment().ExpandEnvironment(LibraryPathTemplate(
            vm.libraryPath, FolderWithSeparatorOf(executable), jvmLibraryPath, platform.Conventions()));
        vmOptions.push_back(
            platform.environment().ToAnsi(L"-Djava.library.path=" + platform.files().VmPathList(libraryPath)));
    }
    platform.environment().SetEnvironment(searchPath,
                                          platform.files().VmPathList(platform.environment().ExpandEnvironment(
                                              ProcessPathTemplate(vm.systemPath, jvmLibraryPath, searchPath))));
    // Libraries loaded by name are not looked for on Path (the entry point
    // keeps the search to the system and added folders), so the folders the
    // settings name for them are added to that search.
    for (const std::wstring& folder : SplitAtSemicolons(platform.environment().ExpandEnvironment(vm.systemPath))) {
        if (IsAbsolutePath(folder, platform.Conventions())) platform.libraries().AddLibraryFolder(folder);
    }
}

}  // namespace zorv
