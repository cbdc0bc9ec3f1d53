// Helpers for the tests that run in-process under Wine against real files,
// the real registry and real DLLs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "launcher/platform_win32.h"
#include "win32_files.h"

namespace zorv {
namespace wintest {

using testing::CreateFolders;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::RemoveTree;
using testing::Utf8;

// The real Win32 platform, except that error boxes and the runtime dialog
// are recorded rather than shown (either would stall an unattended run; the
// dialog answers Cancel) and the executable's path can
// be pretended, so settings files and "beside the executable" folders live in
// temporary folders.
class RecordingPlatform : public Win32Platform {
public:
    RecordingPlatform() {
        Use(environment_);
        Use(desktop_);
    }
    std::vector<std::wstring> boxes;
    std::wstring modulePath;  // empty: the test program's own path
    std::vector<std::wstring> runtimeDialogMessages;

private:
    class Environment : public Win32Environment {
    public:
        explicit Environment(RecordingPlatform& owner) : owner_(owner) {}
        bool ModuleFileName(std::wstring& path, SystemError& error) override;

    private:
        RecordingPlatform& owner_;
    };
    class Desktop : public Win32Desktop {
    public:
        explicit Desktop(RecordingPlatform& owner) : Win32Desktop(owner), owner_(owner) {}
        void ShowErrorBox(WindowHandle owner, const std::wstring& text) override;
        int ShowRuntimeNotFoundDialog(WindowHandle, RuntimeNotFoundDialog& dialog) override;

    private:
        RecordingPlatform& owner_;
    };
    Environment environment_{*this};
    Desktop desktop_{*this};
};

// A fresh folder under %TEMP%, removed with its contents when the test ends.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

// Writes bytes to path, creating its folders; fails the test when it cannot.
void WriteBytes(const std::wstring& path, const std::string& bytes);

// The folder of the running test program, and the test DLLs built beside it.
std::wstring TestProgramFolder();
std::wstring TestDll(const std::wstring& name);

// Sets (or, with nullptr, removes) an environment variable for one test.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::wstring name, const wchar_t* value);
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();

private:
    std::wstring name_;
    bool hadValue_ = false;
    std::wstring oldValue_;
};

// Restores the current folder when the test ends.
class ScopedCurrentFolder {
public:
    ScopedCurrentFolder();
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;
    ~ScopedCurrentFolder();
    static std::wstring Get();

private:
    std::wstring saved_;
};

}  // namespace wintest
}  // namespace zorv
