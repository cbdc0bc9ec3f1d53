// The launcher's OS seam on Linux, enough to host a real libjvm.so: the VM
// path runs here exactly as it runs on Windows, with the few Windows-only
// services answered by stand-ins.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "launcher/platform.h"

namespace zorv::testing {

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
// The launcher writes "\" between folders; Linux wants "/".
std::string NativePath(const std::wstring& path);

class PosixPlatform : public Platform {
public:
    PosixPlatform();

    std::wstring commandLine;
    std::wstring modulePath;  // the running executable unless a test says otherwise
    std::vector<std::wstring> boxes;
    std::vector<std::wstring> exceptionTraces;
    int exceptionAnswer = kDialogIgnore;
    // When set, each box is also appended here at once: the VM may end the
    // process before anyone could ask for the list.
    std::string boxLogPath;
    // The same for each exception trace shown, appended as UTF-8 as it is.
    std::string traceLogPath;
    std::uint64_t lastThreadStackSize = 0;
    // As if the system had no thread to give: the launcher must cope without.
    bool refuseThreads = false;

    std::wstring CommandLine() override { return commandLine; }
    bool ModuleFileName(std::wstring& path, std::uint32_t& error) override;
    std::wstring LoadResourceString(unsigned id) override;
    void ShowErrorBox(WindowHandle owner, const std::wstring& text) override;
    WindowHandle ActiveWindow() override { return nullptr; }
    int ShowRuntimeNotFoundDialog(WindowHandle, RuntimeNotFoundDialog&) override { return kDialogCancel; }
    // Keeps the trace and answers as exceptionAnswer says.
    int ShowExceptionDialog(WindowHandle owner, const std::wstring& traceText) override;

    bool FileExists(const std::wstring& path) override;
    std::vector<std::wstring> FindFiles(const std::wstring& pattern) override;
    std::uint32_t CreateFolder(const std::wstring& path) override;
    void SetCurrentFolder(const std::wstring& path) override;
    std::uint16_t ImageMachine(const std::wstring& path) override;

    std::wstring ReadProfileValue(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& path) override;
    std::vector<std::wstring> ReadProfileSectionNames(const std::wstring& path) override;
    bool WriteProfileValue(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                           const std::wstring& path) override;
    bool RemoveFile(const std::wstring& path) override;
    std::uint32_t ProbeFile(const std::wstring& path, unsigned char (&buffer)[4]) override;
    bool ReadFileStart(const std::wstring& path, std::size_t maxBytes, std::string& bytes) override;
    bool RenameFile(const std::wstring& from, const std::wstring& to) override {
        return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
    }

    bool GetEnvironment(const std::wstring& name, std::wstring& value) override;
    std::wstring ExpandEnvironment(const std::wstring& text) override;
    void SetEnvironment(const std::wstring& name, const std::wstring& value) override;

    std::vector<std::wstring> RegistrySubkeys(const std::wstring&, RegistryView) override { return {}; }
    bool RegistryString(const std::wstring&, const std::wstring&, RegistryView, std::wstring&) override {
        return false;
    }
    bool RegistryText(const std::wstring&, const std::wstring&, RegistryView, std::wstring&) override { return false; }

    void AddLibraryFolder(const std::wstring&) override {}
    ModuleHandle LoadLibraryAt(const std::wstring& path, std::uint32_t& error) override;
    void* LibrarySymbol(ModuleHandle module, const char* name, std::uint32_t& error) override;

    MemoryStatus QueryMemory() override;
    LocalTime CurrentLocalTime() override;
    std::wstring FormatTimePicture(const std::wstring& picture, const LocalTime& time) override;
    std::wstring FormatDatePicture(const std::wstring& picture, const LocalTime& time) override;

    std::string ToAnsi(const std::wstring& text) override { return ToUtf8(text); }
    // No embedded settings here: the INI file alone decides.
    std::vector<unsigned char> ReadResourceData(unsigned) override { return {}; }
    ProviderResult DecipherWithProvider(const std::string&, std::vector<unsigned char>&) override {
        return ProviderResult::unavailable;
    }

    bool RunThread(std::uint64_t stackSize, ThreadRoutine routine, void* argument,
                   std::uint32_t& exitCode) override;
    // Ends the child with kSleptForeverExitCode instead: a case can tell that
    // the thread went to sleep for good without waiting for ever.
    void SleepForever() override;
    static constexpr int kSleptForeverExitCode = 86;
    // No splash window on Linux: StartSplash goes on without one.
    bool StartThread(ThreadRoutine, void*, ThreadHandle&, std::uint32_t&) override { return false; }
    void EndThread(ThreadHandle, std::uint32_t) override {}
    std::unique_ptr<SplashScreenWindow> NewSplashScreenWindow() override { return nullptr; }
    // No channel between processes here: cases put a channel into the launcher themselves.
    std::unique_ptr<InstanceChannel> NewInstanceChannel() override { return nullptr; }
    void SignalEvent(EventHandle) override {}
    void MakeProcessDpiAware() override {}
    bool StartProcess(const std::wstring&, const std::wstring&, bool, std::uint32_t&, std::uint32_t& error) override {
        error = 2;
        return false;
    }
};

}  // namespace zorv::testing
