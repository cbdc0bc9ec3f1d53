#include "vm/class_path.h"

#include "launcher/file_locations.h"
#include "launcher/platform.h"

namespace zorv {

std::wstring ClassPathSearchPattern(const std::wstring& entry, const std::wstring& executablePath,
                                   const SystemConventions& conventions) {
    if (IsAbsolutePath(entry, conventions)) return entry;
    return FolderOf(executablePath) + L"\\" + entry;
}

void ExpandClassPathEntry(Platform& platform, const std::wstring& entry, const std::wstring& executablePath,
                          std::wstring& classPath) {
    std::wstring pattern = ClassPathSearchPattern(entry, executablePath, platform.Conventions());
    std::wstring listingFolder = FolderOf(pattern);
    for (const std::wstring& name : platform.files().FindFiles(pattern)) {
        classPath += listingFolder;
        classPath += L'\\';
        classPath += name;
        classPath += L';';
    }
}

}  // namespace zorv
