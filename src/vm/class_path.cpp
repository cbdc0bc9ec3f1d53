#include "vm/class_path.h"

#include "launcher/file_locations.h"
#include "launcher/platform.h"

namespace zorv {

std::wstring ClassPathSearchPattern(const std::wstring& entry, const std::wstring& executablePath) {
    if (IsAbsolutePath(entry)) return entry;
    std::size_t slash = executablePath.rfind(L'\\');
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : executablePath.substr(0, slash);
    return folder + L"\\" + entry;
}

void ExpandClassPathEntry(Platform& platform, const std::wstring& entry, const std::wstring& executablePath,
                          std::wstring& classPath) {
    std::wstring pattern = ClassPathSearchPattern(entry, executablePath);
    std::size_t slash = pattern.rfind(L'\\');
    std::wstring listingFolder = slash == std::wstring::npos ? std::wstring() : pattern.substr(0, slash);
    for (const std::wstring& name : platform.FindFiles(pattern)) {
        classPath += listingFolder;
        classPath += L'\\';
        classPath += name;
        classPath += L';';
    }
}

}  // namespace zorv
