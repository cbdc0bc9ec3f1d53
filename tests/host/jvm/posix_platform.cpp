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
}

bool PosixPlatform::ModuleFileName(std::wstring& path, std::uint32_t& error) {
    if (modulePath.empty()) {
        error = 2;
        return false;
    }
    path = modulePath;
    return true;
}

int PosixPlatform::ShowExceptionDialog(WindowHandle, const std::wstring& traceText) {
    exceptionTraces.push_back(traceText);
    if (!traceLogPath.empty()) {
        std::ofstream log(traceLogPath, std::ios::app | std::ios::binary);
        log << ToUtf8(traceText);
    }
    return exceptionAnswer;
}

void PosixPlatform::ShowErrorBox(WindowHandle, const std::wstring& text) {
    boxes.push_back(text);
    std::fprintf(stderr, "[error box] %s\n", ToUtf8(text).c_str());
    std::fflush(stderr);
    if (!boxLogPath.empty()) {
        std::ofstream log(boxLogPath, std::ios::app | std::ios::binary);
        log << EscapeLine(text) << '\n';
    }
}

bool PosixPlatform::RunThread(std::uint64_t stackSize, ThreadRoutine routine, void* argument,
                              std::uint32_t& exitCode) {
    lastThreadStackSize = stackSize;
    if (refuseThreads) return false;
    return zorv::PosixPlatform::RunThread(stackSize, routine, argument, exitCode);
}

void PosixPlatform::SleepForever() {
    std::fflush(nullptr);
    _exit(kSleptForeverExitCode);
}

}  // namespace zorv::testing
