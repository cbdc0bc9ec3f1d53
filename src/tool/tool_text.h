// Text and path conversions of the packager's program, which handles wide
// strings of either width (UTF-16 on Windows, UTF-32 on Linux).
#pragma once

#include <filesystem>
#include <string>

#include "launcher/utf8.h"

namespace zorv::tool {

std::filesystem::path FileSystemPath(const std::wstring& path);
std::wstring WidePath(const std::filesystem::path& path);
// A native path with "\" separators, as the launcher spells paths, and back.
std::wstring LauncherPathOf(const std::wstring& nativePath);
std::wstring NativePathOf(const std::wstring& launcherPath);

}  // namespace zorv::tool
