#include "launcher/file_locations.h"

#include "launcher/launcher.h"
#include "resources/string_table.h"
#include "runtime/error_reporting.h"

namespace zorv {

bool SettingsFileFor(const std::wstring& programPath, std::wstring& settingsPath) {
    std::size_t dot = programPath.rfind(L'.');
    if (dot == std::wstring::npos) return false;
    settingsPath = programPath.substr(0, dot + 1) + L"ini";
    return true;
}

std::wstring SettingsFileFromFileName(const std::wstring& programPath) {
    std::size_t slash = programPath.rfind(L'\\');
    std::size_t dot = programPath.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return programPath + L".ini";
    return programPath.substr(0, dot) + L".ini";
}

std::wstring RemoveReservedFileNameCharacters(const std::wstring& name) {
    std::wstring result;
    for (wchar_t c : name) {
        if (std::wstring(L"\\?\"|><:/*").find(c) == std::wstring::npos) result += c;
    }
    return result;
}

std::wstring UserSettingsFileName(const std::wstring& programPath) {
    std::size_t slash = programPath.rfind(L'\\');
    std::wstring name = slash == std::wstring::npos ? programPath : programPath.substr(slash + 1);
    std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name + L".ini";
}

bool IsAbsolutePath(const std::wstring& path, const SystemConventions& conventions) {
    if (conventions.rootedPathsAreAbsolute && !path.empty() && (path[0] == L'\\' || path[0] == L'/')) return true;
    return path.size() >= 2 && (path[1] == L':' || (path[0] == L'\\' && path[1] == L'\\'));
}

std::wstring FolderOf(const std::wstring& path) {
    std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FolderWithSeparatorOf(const std::wstring& path) {
    std::wstring folder = FolderOf(path);
    return path.find(L'\\') == std::wstring::npos ? folder : folder + L'\\';
}

std::wstring RemovePathComponents(std::wstring path, int count) {
    for (int i = 0; i < count && path.find(L'\\') != std::wstring::npos; ++i) path = FolderOf(path);
    return path;
}

std::wstring WithTrailingBackslash(std::wstring folder) {
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

bool Launcher::GetModulePath(std::wstring& path) {
    std::uint32_t error = 0;
    if (platform.ModuleFileName(path, error)) return true;
    path.clear();
    ShowFormattedError(platform, splashWindow, IDS_WINDOWS_EXCEPTION,
                       platform.LoadResourceString(IDS_MODULE_PATH_FAILED), static_cast<std::int32_t>(error));
    return false;
}

bool Launcher::GetSettingsFilePath(std::wstring& path) {
    std::wstring modulePath;
    if (!GetModulePath(modulePath)) return false;
    if (!platform.Conventions().settingsFromFileName) return SettingsFileFor(modulePath, path);
    path = SettingsFileFromFileName(modulePath);
    return true;
}

bool Launcher::GetPairSettingsFilePath(std::wstring& path) {
    return !pairProduct.empty() && SettingsFileFor(pairProduct, path);
}

namespace {

std::wstring UserSettingsPathFor(Launcher& launcher, const std::wstring& programPath, bool createFolders) {
    std::wstring base;
    if (!launcher.platform.GetEnvironment(L"APPDATA", base)) base.clear();
    std::wstring path = base + L"\\" + RemoveReservedFileNameCharacters(launcher.productName);
    if (createFolders) launcher.platform.CreateFolder(path);
    path += L"\\" + launcher.productCode;
    if (createFolders) launcher.platform.CreateFolder(path);
    return path + L"\\" + UserSettingsFileName(programPath);
}

}  // namespace

void Launcher::GetUserSettingsPath(std::wstring& path, bool createFolders) {
    std::wstring modulePath;
    if (!GetModulePath(modulePath)) {
        path.clear();
        return;
    }
    path = UserSettingsPathFor(*this, modulePath, createFolders);
}

void Launcher::GetPairUserSettingsPath(std::wstring& path) {
    if (pairProduct.empty()) {
        path.clear();
        return;
    }
    path = UserSettingsPathFor(*this, pairProduct, true);
}

void Launcher::ApplyWorkingDirectory() {
    std::wstring modulePath;
    if (!GetModulePath(modulePath)) return;
    std::wstring folder = FolderOf(modulePath);
    if (folder.empty()) return;
    platform.SetCurrentFolder(folder);
}

}  // namespace zorv
