// Drives a GUI program from outside, the way a user would see it: starts the
// process, watches its top-level windows, reads every message box, presses
// OK, and reports what was shown and how the process ended.
//
// Tests of the real launcher need this because its only outputs are its exit
// code, the boxes it shows and the files it writes; a box nobody dismisses
// would keep the process alive for ever.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace uiauto {

struct WindowReport {
    std::uintptr_t handle = 0;
    std::uint32_t processId = 0;
    std::wstring className;
    std::wstring title;
    // For a message box, the text of its static control 0xFFFF.
    std::wstring text;
    // The texts of the child controls in z-order, buttons included.
    std::vector<std::wstring> controlTexts;
    bool isMessageBox = false;
};

// What to do with windows once the observation time is over.
enum class WindowPolicy {
    dismiss,    // press OK on message boxes, close other windows
    terminate,  // kill the process after the snapshot
    leave,      // touch nothing; wait for the process (or the time-out)
};

struct RunOptions {
    std::wstring application;  // full path, passed as CreateProcessW's first argument
    // The whole command line, program name included, exactly as the child
    // will see it. Empty: the application path in double quotes.
    std::wstring commandLine;
    std::wstring workingDirectory;  // empty: the caller's
    // Added to (or replacing, names compared without case) the caller's environment.
    std::vector<std::pair<std::wstring, std::wstring>> setEnvironment;
    std::vector<std::wstring> unsetEnvironment;
    std::uint32_t timeoutMs = 30000;
    // Nothing is pressed for this long; then the windows present are kept
    // in RunResult::snapshot and the policy applies.
    std::uint32_t observeMs = 0;
    WindowPolicy policy = WindowPolicy::dismiss;
    // Windows of the child's descendants (a program it hands over to) count
    // as the child's own.
    bool includeDescendants = true;
    // Windows of the system's crash reporter (winedbg under Wine) that appear
    // during the run are reported and closed, so a crash ends the run.
    bool watchCrashDialogs = true;
};

struct RunResult {
    bool started = false;
    std::uint32_t startError = 0;  // GetLastError of CreateProcessW
    // CreateProcessW refused a path beyond MAX_PATH and ntdll's
    // RtlCreateUserProcess started the program instead.
    bool startedNatively = false;
    bool timedOut = false;         // the process was killed at the time-out
    std::uint32_t exitCode = 0;    // full 32 bits
    std::uint32_t processId = 0;
    // Message box texts in the order the boxes appeared.
    std::vector<std::wstring> messageBoxTexts;
    // Every window dealt with, message boxes included, in order of appearance.
    std::vector<WindowReport> windows;
    // Visible windows that were not message boxes (a crash dialog, a stray window).
    std::vector<WindowReport> otherWindows;
    std::vector<WindowReport> crashDialogs;
    // The windows present when the observation time ended.
    std::vector<WindowReport> snapshot;
    double elapsedMs = 0;
};

RunResult Run(const RunOptions& options);

// Under Wine on a display without a window manager (Xvfb), every window
// that closes makes its process wait two seconds for a window manager that
// never answers. Marking windows as unmanaged in the Wine prefix removes the
// wait for processes started afterwards. Does nothing (false) elsewhere.
bool AvoidWindowManagerWaits();

// The visible top-level windows owned by a process, read now.
std::vector<WindowReport> WindowsOf(std::uint32_t processId);

// The caller's environment with the changes applied, as a sorted,
// double-NUL-terminated block for CREATE_UNICODE_ENVIRONMENT.
std::wstring BuildEnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& set,
                                   const std::vector<std::wstring>& unset);

// One argument quoted for a command line read by CommandLineToArgvW rules.
std::wstring QuoteArgument(const std::wstring& argument);

// Text with control characters shown as \n, \r, \t, \xNN, for reports.
std::string ToPrintableUtf8(const std::wstring& text);

}  // namespace uiauto
