// How the settings files are named after a program's path.
#pragma once

#include <string>

namespace zorv {

struct SystemConventions;

// The path up to and including its last ".", then "ini"; false without a ".".
bool SettingsFileFor(const std::wstring& programPath, std::wstring& settingsPath);
// The folder names of the per-user copy lose the characters \ ? " | > < : / *.
// The file name up to its last "." plus ".ini", or the whole name plus ".ini".
std::wstring SettingsFileFromFileName(const std::wstring& programPath);

std::wstring RemoveReservedFileNameCharacters(const std::wstring& name);
// The per-user copy's file name: the program's file name with ".ini" for its extension.
std::wstring UserSettingsFileName(const std::wstring& programPath);
// A path is absolute when its second character is ":" or it starts with
// "\\"; where the conventions say so, also when it starts at the root.
bool IsAbsolutePath(const std::wstring& path, const SystemConventions& conventions);
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

}  // namespace zorv
