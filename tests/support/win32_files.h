// Files, folders, environment and text for the tests that run under Wine:
// the in-process Win32 tests, the end-to-end cases and the automation's own
// helpers share these. Paths past MAX_PATH work wherever a helper takes one.
#pragma once

#include <string>

#include "launcher/unique_handle.h"
#include "launcher/win32_api.h"

namespace zorv::testing {

// The full path with the \\?\ prefix that lifts the MAX_PATH limit. The
// prefix turns off the usual clean-up of "." and ".." and "/", so that is
// done first.
inline std::wstring LongForm(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) return path;
    full.resize(length);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// Ctest hands over paths of the Linux build tree; inside Wine they are
// reached through the Z: drive.
inline std::wstring FromHostPath(std::wstring path) {
    if (path.empty() || path[0] != L'/') return path;
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return L"Z:" + path;
}

inline std::wstring FolderOf(const std::wstring& path) {
    std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Creates every missing folder of an absolute path; true when all exist.
inline bool CreateFolders(const std::wstring& path) {
    // The drive, or the server and share of a UNC path, is no folder to create.
    std::size_t slash = path.rfind(L"\\\\", 0) == 0 ? path.find(L'\\', path.find(L'\\', 2) + 1) : path.find(L'\\', 3);
    for (;; slash = path.find(L'\\', slash + 1)) {
        std::wstring prefix = LongForm(slash == std::wstring::npos ? path : path.substr(0, slash));
        if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
        if (slash == std::wstring::npos) return true;
    }
}

// Writes bytes to path, creating its folders; false when it cannot.
inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::wstring folder = FolderOf(path);
    if (!folder.empty() && !CreateFolders(folder)) return false;
    ScopedFile file(CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return bytes.empty() ||
           (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size());
}

// The whole file, or empty when it cannot be read. Other processes may be
// writing it meanwhile.
inline std::string ReadFileBytes(const std::wstring& path) {
    ScopedFile file(CreateFileW(LongForm(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::string();
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
    return bytes;
}

// A file or a folder.
inline bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes a folder and everything below it, read-only files included. Test
// folders are made fresh for each case and must leave nothing behind.
inline void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    ScopedFind find(FindFirstFileW(LongForm(path + L"\\*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(LongForm(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(LongForm(child).c_str());
            }
        } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    RemoveDirectoryW(LongForm(path).c_str());
}

// A fresh folder under %TEMP% named prefix, the process id and a counter, so
// that parallel test programs and repeated fixtures stay apart; empty when
// none can be made.
inline std::wstring NewTempFolder(const std::wstring& prefix) {
    static unsigned counter = 0;
    wchar_t base[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, base);
    std::wstring root(base, length);
    if (!root.empty() && root.back() == L'\\') root.pop_back();
    for (;;) {
        std::wstring path = root + L"\\" + prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++counter);
        if (CreateDirectoryW(path.c_str(), nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
    }
}

// The variable's value; empty when it is not set.
inline std::wstring EnvironmentValue(const std::wstring& name) {
    DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed == 0) return std::wstring();
    std::wstring value(needed, L'\0');
    DWORD length = GetEnvironmentVariableW(name.c_str(), &value[0], needed);
    value.resize(length < needed ? length : 0);
    return value;
}

inline std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int size = static_cast<int>(text.size());
    int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &bytes[0], needed, nullptr, nullptr);
    return bytes;
}

// The text as a settings file in UTF-16LE, which the profile functions read
// when it starts with the byte-order mark.
inline std::string Utf16LeWithBom(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

inline std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    int size = static_cast<int>(bytes.size());
    int needed = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
    if (needed > 0) MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, &text[0], needed);
    return text;
}

}  // namespace zorv::testing
