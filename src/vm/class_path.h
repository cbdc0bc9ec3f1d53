// Turns a relative or wildcard class-path entry into the files it names,
// resolved against the executable's folder rather than the current one.
#pragma once

#include <string>

namespace zorv {

struct SystemConventions;

class Platform;

// The pattern handed to the file search for entry.
std::wstring ClassPathSearchPattern(const std::wstring& entry, const std::wstring& executablePath,
                                   const SystemConventions& conventions);
// Appends "folder\name;" for every match of the entry's pattern.
void ExpandClassPathEntry(Platform& platform, const std::wstring& entry, const std::wstring& executablePath,
                          std::wstring& classPath);

}  // namespace zorv
