// Text and path conversions of the packager's program, which handles wide
// strings of either width (UTF-16 on Windows, UTF-32 on Linux).
#pragma once

#include <filesystem>
#include <string>

namespace zorv::tool {

std::string ToUtf8(const std::wstring& text);
// Invalid UTF-8 is taken as Latin-1, byte for byte.
std::wstring FromUtf8(const std::string& bytes);
// The text of a settings file: UTF-16LE or UTF-8 after a byte-order mark, else
// UTF-8, else Latin-1.
std::wstring DecodeSettingsText(const std::string& bytes);

std::filesystem::path FileSystemPath(const std::wstring& path);
std::wstring WidePath(const std::filesystem::path& path);
// A native path with "\" separators, as the launcher spells paths, and back.
std::wstring LauncherPathOf(const std::wstring& nativePath);
std::wstring NativePathOf(const std::wstring& launcherPath);

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

}  // namespace zorv::tool
