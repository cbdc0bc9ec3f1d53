// Where the program's files are: its settings file, the per-user copy and
// folders, and how paths are taken apart.
#pragma once

#include <string>

namespace zorv {

struct SystemConventions;
struct InstanceSettings;
class Platform;
enum class UserFolderKind;

// The path up to and including its last ".", then "ini"; false without a ".".
bool SettingsFileFor(const std::wstring& programPath, std::wstring& settingsPath);
// The folder names of the per-user copy lose the characters \ ? " | > < : / *.
// The file name up to its last "." plus ".ini", or the whole name plus ".ini".
std::wstring SettingsFileFromFileName(const std::wstring& programPath);

std::wstring RemoveReservedFileNameCharacters(const std::wstring& name);
// "Product Name" or "Product Code" as the name of one folder: also without
// control characters, and without dots and spaces at either end, so that it
// can neither climb out of the user's folder ("..") nor name that folder itself.
std::wstring UserFolderName(const std::wstring& name);
// The program's file name without its folder and extension.
std::wstring ProgramBaseName(const std::wstring& programPath);
// The per-user copy's file name: the program's file name with ".ini" for its extension.
std::wstring UserSettingsFileName(const std::wstring& programPath);
// A path is absolute when its second character is ":" or it starts with
// "\\"; where the conventions say so, also when it starts at the root.
bool IsAbsolutePath(const std::wstring& path, const SystemConventions& conventions);
// A path that names one place whatever the current folder and drive: from
// a drive's root ("C:\") or a share ("\\server") on Windows, where "\x" and
// "C:x" still depend on them; from the root on Linux. "/" counts as "\".
bool IsFullPath(const std::wstring& path, const SystemConventions& conventions);
// The folder under which the user's files of that kind go, without a
// trailing "\": the system's variable when it holds a full path, else its
// default under a full HOME, else the folder the system knows; false when
// none of them names one.
bool UserBaseFolder(Platform& platform, UserFolderKind kind, std::wstring& base);
// Everything before the last "\", empty when there is none.
std::wstring FolderOf(const std::wstring& path);
// Everything up to and including the last "\", empty when there is none.
std::wstring FolderWithSeparatorOf(const std::wstring& path);
// Cuts path at its last "\" count times; once no "\" is left nothing changes.
std::wstring RemovePathComponents(std::wstring path, int count);
// The folder with exactly one "\" added when it does not end in one (an empty folder gets one too).
std::wstring WithTrailingBackslash(std::wstring folder);
// The path without any "\" at its end.
std::wstring WithoutTrailingBackslash(std::wstring path);

// The running executable's full path; false, after telling the user, when
// the system cannot give it.
bool ExecutablePath(Platform& platform, std::wstring& path);
// The settings file of an executable, by the system's naming; false when
// the executable's name gives none.
bool SettingsFilePath(const SystemConventions& conventions, const std::wstring& executable, std::wstring& path);
// <user's folder of that kind>\<Product Name>\<Product Code>, its folders
// made when asked; false when the system names no such folder for the user.
bool UserFolder(Platform& platform, const InstanceSettings& product, UserFolderKind kind, bool createFolders,
                std::wstring& folder);
// The per-user copy of the program's settings; empty when the system names
// no per-user folder or there is no program.
std::wstring UserSettingsPath(Platform& platform, const InstanceSettings& product, const std::wstring& programPath,
                              bool createFolders);
// "Override WorkingDir": the executable's folder becomes the working folder.
void ApplyWorkingDirectory(Platform& platform, const std::wstring& executable);

}  // namespace zorv
