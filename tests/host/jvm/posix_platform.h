// The Linux platform with the hooks the JVM tests need: a case sets the
// command line and the executable's path, records boxes and traces instead of
// only printing them, and can refuse threads or end the child where the
// launcher would sleep for good.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "launcher/platform_posix.h"

namespace zorv::testing {

using zorv::FromUtf8;
using zorv::NativePath;
using zorv::ToUtf8;

class PosixPlatform : public zorv::PosixPlatform {
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
    static constexpr int kSleptForeverExitCode = 86;

private:
    class Environment : public zorv::PosixEnvironment {
    public:
        explicit Environment(PosixPlatform& owner) : PosixEnvironment(owner), owner_(owner) {}
        std::wstring CommandLine() override { return owner_.commandLine; }
        bool ModuleFileName(std::wstring& path, SystemError& error) override;

    private:
        PosixPlatform& owner_;
    };
    class Desktop : public zorv::PosixDesktop {
    public:
        explicit Desktop(PosixPlatform& owner) : owner_(owner) {}
        void ShowErrorBox(WindowHandle owner, const std::wstring& text) override;
        int ShowRuntimeNotFoundDialog(WindowHandle, RuntimeNotFoundDialog&) override { return kDialogCancel; }
        // Keeps the trace and answers as exceptionAnswer says.
        int ShowExceptionDialog(WindowHandle owner, const std::wstring& traceText) override;

    private:
        PosixPlatform& owner_;
    };
    class Processes : public zorv::PosixProcesses {
    public:
        explicit Processes(PosixPlatform& owner) : PosixProcesses(owner), owner_(owner) {}
        bool RunThread(std::uint64_t stackSize, ThreadRoutine routine, void* argument,
                       std::uint32_t& exitCode) override;
        // Ends the child with kSleptForeverExitCode instead: a case can tell that
        // the thread went to sleep for good without waiting for ever.
        void SleepForever() override;

    private:
        PosixPlatform& owner_;
    };
    Environment environment_{*this};
    Desktop desktop_{*this};
    Processes processes_{*this};
};

}  // namespace zorv::testing
