// Text and path conversions of the packager's program, which handles wide
// strings of either width (UTF-16 on Windows, UTF-32 on Linux).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "launcher/utf8.h"

namespace zorv::tool {

std::filesystem::path FileSystemPath(const std::wstring& path);
std::wstring WidePath(const std::filesystem::path& path);
// A native path with "\" separators, as the launcher spells paths, and back.
std::wstring LauncherPathOf(const std::wstring& nativePath);
std::wstring NativePathOf(const std::wstring& launcherPath);

// At most kLargestInput bytes: more is no file zorvtool reads, and a device
// or pipe named as a file would never end. False when the file cannot be
// read or is larger.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes);
bool ReadWholeFile(const std::filesystem::path& path, std::vector<unsigned char>& bytes);

}  // namespace zorv::tool
