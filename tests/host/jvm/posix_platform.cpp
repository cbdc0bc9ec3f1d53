#include "posix_platform.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace zorv::testing {
namespace {

std::string EscapeLine(const std::wstring& text) {
    std::string line;
    for (char c : ToUtf8(text)) {
        if (c == '\\') line += "\\\\";
        else if (c == '\n') line += "\\n";
        else line += c;
    }
    return line;
}

}  // namespace

PosixPlatform::PosixPlatform() {
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length > 0) modulePath = FromUtf8(std::string(buffer, static_cast<std::size_t>(length)));
    Use(environment_);
    Use(desktop_);
    Use(processes_);
}

bool PosixPlatform::Environment::ModuleFileName(std::wstring& path, SystemError& error) {
    if (owner_.modulePath.empty()) {
        error = SystemError{ErrorKind::notFound};
        return false;
    }
    path = owner_.modulePath;
    return true;
}

int PosixPlatform::Desktop::ShowExceptionDialog(WindowHandle, const std::wstring& traceText) {
    owner_.exceptionTraces.push_back(traceText);
    if (!owner_.traceLogPath.empty()) {
        std::ofstream log(owner_.traceLogPath, std::ios::app | std::ios::binary);
        log << ToUtf8(traceText);
    }
    return owner_.exceptionAnswer;
}

void PosixPlatform::Desktop::ShowErrorBox(WindowHandle, const std::wstring& text) {
    owner_.boxes.push_back(text);
    std::fprintf(stderr, "[error box] %s\n", ToUtf8(text).c_str());
    std::fflush(stderr);
    if (!owner_.boxLogPath.empty()) {
        std::ofstream log(owner_.boxLogPath, std::ios::app | std::ios::binary);
        log << EscapeLine(text) << '\n';
    }
}

bool PosixPlatform::Processes::RunThread(std::uint64_t stackSize, ThreadRoutine routine, void* argument,
                                         std::uint32_t& exitCode) {
    owner_.lastThreadStackSize = stackSize;
    if (owner_.refuseThreads) return false;
    return zorv::PosixProcesses::RunThread(stackSize, routine, argument, exitCode);
}

void PosixPlatform::Processes::SleepForever() {
    std::fflush(nullptr);
    _exit(kSleptForeverExitCode);
}

}  // namespace zorv::testing
