#include "win32_test_support.h"

#include "runtime/runtime_not_found.h"

#include <gtest/gtest.h>

#include <memory>

#include "launcher/win32_api.h"

namespace zorv {
namespace wintest {

bool RecordingPlatform::Environment::ModuleFileName(std::wstring& path, SystemError& error) {
    if (owner_.modulePath.empty()) return Win32Environment::ModuleFileName(path, error);
    path = owner_.modulePath;
    return true;
}

int RecordingPlatform::Desktop::ShowRuntimeNotFoundDialog(WindowHandle, RuntimeNotFoundDialog& dialog) {
    owner_.runtimeDialogMessages.push_back(dialog.message);
    return kDialogCancel;
}

void RecordingPlatform::Desktop::ShowErrorBox(WindowHandle, const std::wstring& text) { owner_.boxes.push_back(text); }

TempFolder::TempFolder() : path_(testing::NewTempFolder(L"zorv-")) {
    if (path_.empty()) ADD_FAILURE() << "cannot create a temporary folder, error " << GetLastError();
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    ASSERT_TRUE(testing::WriteFileBytes(path, bytes)) << "cannot write " << Utf8(path) << ", error " << GetLastError();
}

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
