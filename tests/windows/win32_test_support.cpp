#include "win32_test_support.h"

#include "runtime/runtime_not_found.h"

#include "remove_tree.h"

#include <gtest/gtest.h>

#include <memory>

#include "launcher/unique_handle.h"
#include "launcher/win32_api.h"

namespace zorv {
namespace wintest {

bool RecordingPlatform::ModuleFileName(std::wstring& path, std::uint32_t& error) {
    if (modulePath.empty()) return Win32Platform::ModuleFileName(path, error);
    path = modulePath;
    return true;
}

int RecordingPlatform::ShowRuntimeNotFoundDialog(WindowHandle, RuntimeNotFoundDialog& dialog) {
    runtimeDialogMessages.push_back(dialog.message);
    return kDialogCancel;
}

void RecordingPlatform::ShowErrorBox(WindowHandle, const std::wstring& text) { boxes.push_back(text); }

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, base);
    std::wstring root(base, length);
    if (!root.empty() && root.back() == L'\\') root.pop_back();
    // Process id and a counter keep parallel test programs and repeated
    // fixtures apart.
    static unsigned counter = 0;
    for (;;) {
        path_ = root + L"\\zorv-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(path_.c_str(), nullptr)) return;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create a temporary folder, error " << GetLastError();
            return;
        }
    }
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void CreateFolders(const std::wstring& path) {
    for (std::size_t slash = path.find(L'\\', 3); ; slash = path.find(L'\\', slash + 1)) {
        std::wstring prefix = slash == std::wstring::npos ? path : path.substr(0, slash);
        if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            ADD_FAILURE() << "cannot create folder, error " << GetLastError();
        if (slash == std::wstring::npos) return;
    }
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) CreateFolders(path.substr(0, slash));
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid()) << "cannot create file, error " << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(bytes.empty() ||
                WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

std::string ReadBytes(const std::wstring& path) {
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::string();
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
    return bytes;
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::wstring& path) { zorv::testing::RemoveTree(path); }

std::wstring TestProgramFolder() {
    wchar_t buffer[32768];
    DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
    std::wstring path(buffer, length);
    return path.substr(0, path.rfind(L'\\'));
}

std::wstring TestDll(const std::wstring& name) { return TestProgramFolder() + L"\\test_dlls\\" + name; }

ScopedEnvironment::ScopedEnvironment(std::wstring name, const wchar_t* value) : name_(std::move(name)) {
    DWORD needed = GetEnvironmentVariableW(name_.c_str(), nullptr, 0);
    if (needed > 0) {
        std::unique_ptr<wchar_t[]> buffer(new wchar_t[needed]);
        DWORD length = GetEnvironmentVariableW(name_.c_str(), buffer.get(), needed);
        hadValue_ = true;
        oldValue_.assign(buffer.get(), length);
    }
    SetEnvironmentVariableW(name_.c_str(), value);
}

ScopedEnvironment::~ScopedEnvironment() {
    SetEnvironmentVariableW(name_.c_str(), hadValue_ ? oldValue_.c_str() : nullptr);
}

ScopedCurrentFolder::ScopedCurrentFolder() : saved_(Get()) {}

ScopedCurrentFolder::~ScopedCurrentFolder() { SetCurrentDirectoryW(saved_.c_str()); }

std::wstring ScopedCurrentFolder::Get() {
    wchar_t buffer[32768];
    DWORD length = GetCurrentDirectoryW(32768, buffer);
    return std::wstring(buffer, length);
}

}  // namespace wintest
}  // namespace zorv
