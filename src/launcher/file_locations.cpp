#include "launcher/file_locations.h"

#include "launcher/launcher_settings.h"
#include "launcher/platform.h"
#include "launcher/trace.h"
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

std::wstring UserFolderName(const std::wstring& name) {
    std::wstring kept;
    for (wchar_t c : RemoveReservedFileNameCharacters(name)) {
        if (c >= 0x20 && c != 0x7F) kept += c;
    }
    std::size_t first = kept.find_first_not_of(L". ");
    if (first == std::wstring::npos) return std::wstring();
    return kept.substr(first, kept.find_last_not_of(L". ") - first + 1);
}

std::wstring ProgramBaseName(const std::wstring& programPath) {
    std::size_t slash = programPath.rfind(L'\\');
    std::wstring name = slash == std::wstring::npos ? programPath : programPath.substr(slash + 1);
    std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}

std::wstring UserSettingsFileName(const std::wstring& programPath) { return ProgramBaseName(programPath) + L".ini"; }

bool IsAbsolutePath(const std::wstring& path, const SystemConventions& conventions) {
    if (conventions.rootedPathsAreAbsolute && !path.empty() && (path[0] == L'\\' || path[0] == L'/')) return true;
    return path.size() >= 2 && (path[1] == L':' || (path[0] == L'\\' && path[1] == L'\\'));
}

bool IsFullPath(const std::wstring& path, const SystemConventions& conventions) {
    auto separator = [&path](std::size_t i) { return i < path.size() && (path[i] == L'\\' || path[i] == L'/'); };
    if (conventions.rootedPathsAreAbsolute) return separator(0);
    const bool drive = path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
                       path[1] == L':' && separator(2);
    return drive || (separator(0) && separator(1));
}

bool UserBaseFolder(Platform& platform, UserFolderKind kind, std::wstring& base) {
    const SystemConventions& conventions = platform.Conventions();
    const std::size_t index = static_cast<std::size_t>(kind);
    const wchar_t* underHome = conventions.userFoldersUnderHome[index];
    std::wstring found;
    bool full = platform.environment().GetEnvironment(conventions.userFolderVariables[index], found) &&
                IsFullPath(found, conventions);
    if (!full && underHome != nullptr && platform.environment().GetEnvironment(L"HOME", found) &&
        IsFullPath(found, conventions)) {
        found += L'\\';
        found += underHome;
        full = true;
    }
    if (!full) full = platform.environment().KnownUserFolder(kind, found) && IsFullPath(found, conventions);
    base.clear();
    if (!full) return false;
    // One "\" between folders, two only where a share's name begins.
    for (wchar_t c : found) {
        if (c == L'/') c = L'\\';
        if (c != L'\\' || base.size() <= 1 || base.back() != L'\\') base += c;
    }
    base = WithoutTrailingBackslash(base);
    return true;
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

bool ExecutablePath(Platform& platform, std::wstring& path) {
    SystemError error;
    if (platform.environment().ModuleFileName(path, error)) return true;
    path.clear();
    ShowFormattedError(platform, nullptr, IDS_WINDOWS_EXCEPTION,
                       platform.desktop().LoadResourceString(IDS_MODULE_PATH_FAILED),
                       static_cast<std::int32_t>(ErrorNumber(error)));
    return false;
}

bool SettingsFilePath(const SystemConventions& conventions, const std::wstring& executable, std::wstring& path) {
    if (!conventions.settingsFromFileName) return SettingsFileFor(executable, path);
    path = SettingsFileFromFileName(executable);
    return true;
}

bool UserFolder(Platform& platform, const InstanceSettings& product, UserFolderKind kind, bool createFolders,
                std::wstring& folder) {
    const wchar_t* const what = kind == UserFolderKind::settings ? L"settings" : L"caches";
    if (!UserBaseFolder(platform, kind, folder)) {
        if (platform.trace) platform.trace->Line(std::wstring(L"files: no per-user folder for ") + what + L": none kept");
        return false;
    }
    // The base folder itself may be missing for a new user (~/.cache).
    // Settings read there choose the runtime, and caches there are mapped
    // into the VM: a folder that another user could fill is not used. The
    // base folder may be a link of the user's (a ~/.cache moved elsewhere).
    const std::wstring* const below[] = {nullptr, &product.productName, &product.productCode};
    for (const std::wstring* name : below) {
        if (name != nullptr) folder += L"\\" + UserFolderName(*name);
        if (createFolders) platform.files().CreatePrivateFolder(folder);
        if (!platform.files().IsOwnFolder(folder, name == nullptr)) {
            if (platform.trace)
                platform.trace->Line(L"files: " + folder + L" is not this user's alone (another owner, others may "
                                     L"write in it, or a link): no per-user " + what + L" kept");
            return false;
        }
    }
    return true;
}

std::wstring UserSettingsPath(Platform& platform, const InstanceSettings& product, const std::wstring& programPath,
                              bool createFolders) {
    std::wstring folder;
    if (programPath.empty() || !UserFolder(platform, product, UserFolderKind::settings, createFolders, folder))
        return std::wstring();
    return folder + L"\\" + UserSettingsFileName(programPath);
}

void ApplyWorkingDirectory(Platform& platform, const std::wstring& executable) {
    std::wstring folder = FolderOf(executable);
    if (!folder.empty()) platform.files().SetCurrentFolder(folder);
}

}  // namespace zorv
