// Removes a folder and everything below it, read-only files included. Test
// folders are made fresh for each case and must leave nothing behind.
#pragma once

#include <string>

#include "launcher/unique_handle.h"
#include "launcher/win32_api.h"

namespace zorv::testing {

inline void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    ScopedFind find(FindFirstFileW((path + L"\\*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    RemoveDirectoryW(path.c_str());
}

}  // namespace zorv::testing
