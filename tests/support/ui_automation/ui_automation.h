// Drives a GUI program from outside, the way a user would see it: starts the
// process, watches its top-level windows, reads every message box, presses
// OK, and reports what was shown and how the process ended.
//
// Tests of the real launcher need this because its only outputs are its exit
// code, the boxes it shows and the files it writes; a box nobody dismisses
// would keep the process alive for ever.
#pragma once

#include <cstdint>
#include <functional>
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
    // Called once for each new window of the program that is no message box,
    // on the run's thread: the run waits while it drives the window. True
    // makes the window the caller's: the run reports it in handledWindows and
    // never closes it.
    std::function<bool(const WindowReport&)> onWindow;
    // Files the child's standard handles are opened on, as a shell's "<", ">"
    // and "2>" would (output and error may name one file); all empty: the
    // child gets the caller's.
    std::wstring standardInput, standardOutput, standardError;
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
    // Windows that onWindow took over, as they were when they appeared.
    std::vector<WindowReport> handledWindows;
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

// --- Dialogs of another process -------------------------------------------
// Window handles travel as integers so that callers need no <windows.h>.

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct ControlInfo {
    std::uintptr_t handle = 0;
    int id = 0;  // GetDlgCtrlID
    std::wstring className;
    std::wstring text;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    bool enabled = false;
    bool visible = false;  // the control and every parent
    Rect inDialog;         // in the dialog's client coordinates
    Rect onScreen;
};

struct DialogInfo {
    std::uintptr_t handle = 0;  // 0: no such window
    std::uint32_t processId = 0;
    std::wstring className;
    std::wstring title;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    bool enabled = false;
    bool visible = false;
    bool maximized = false;
    Rect window;  // on screen
    Rect client;  // the client area, on screen
    // Every descendant window in z-order, nested ones after their parent.
    std::vector<ControlInfo> controls;
    // The first control with this id, or null.
    const ControlInfo* Control(int id) const;
};

DialogInfo Inspect(std::uintptr_t dialog);
std::uintptr_t ControlOf(std::uintptr_t dialog, int id);  // 0 if absent

// Polls every 15 ms until the condition holds (true) or the time is over.
bool WaitUntil(const std::function<bool()>& condition, std::uint32_t timeoutMs);
bool WaitUntilGone(std::uintptr_t window, std::uint32_t timeoutMs);
// A visible top-level window of the process whose title is this (any title
// when empty), or 0 at the time-out.
std::uintptr_t WaitForWindow(std::uint32_t processId, const std::wstring& title, std::uint32_t timeoutMs);
// A visible window owned by this one (a dialog it opened), or 0.
std::uintptr_t WaitForOwnedWindow(std::uintptr_t owner, std::uint32_t timeoutMs);

// Presses a push button as a click would: false, and nothing sent, when the
// button is missing, hidden or disabled. Posted: a button that opens a
// modal dialog would otherwise hold the caller until that dialog closes.
bool PressButton(std::uintptr_t dialog, int id);

enum class Key { escape, enter, space };
// Key down and up, posted to the control (or the dialog itself) so that the
// dialog's own keyboard handling sees them.
bool SendKey(std::uintptr_t control, Key key);
// The close box: WM_SYSCOMMAND SC_CLOSE.
bool CloseWithCloseBox(std::uintptr_t window);
// Grows (or shrinks, with negative numbers) the window's outer size; returns
// the outer rectangle it got, which tells whether a minimum size held.
Rect ResizeBy(std::uintptr_t window, int dx, int dy);
bool Maximize(std::uintptr_t window);
bool Restore(std::uintptr_t window);

enum class ClickInput {
    mouse,   // SendInput: the cursor moves there and the system hit-tests
    posted,  // WM_LBUTTONDOWN and UP posted to the control
};
// A left click at a point in the control's client coordinates. With mouse
// input it is false when another window covers that point.
bool Click(std::uintptr_t control, int x, int y, ClickInput input = ClickInput::mouse);
// The middle of the control.
bool Click(std::uintptr_t control, ClickInput input = ClickInput::mouse);

// --- The shell's folder browser in another process --------------------------
// Selects the folder (an existing path) in an open browser; false when the
// browser's tree did not arrive there. The path string is written into the
// browser's process for the duration of the call.
bool SelectFolderInBrowser(std::uintptr_t browser, const std::wstring& folder);
// What a user does with the browser that `owner` opened: waits for it,
// selects the folder, presses OK and waits until the browser is gone. A
// folder it cannot select gets Cancel instead, and false.
bool ChooseFolder(std::uintptr_t owner, const std::wstring& folder, std::uint32_t timeoutMs = 10000);

// The caller's environment with the changes applied, as a sorted,
// double-NUL-terminated block for CREATE_UNICODE_ENVIRONMENT.
std::wstring BuildEnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& set,
                                   const std::vector<std::wstring>& unset);

// One argument quoted for a command line read by CommandLineToArgvW rules.
std::wstring QuoteArgument(const std::wstring& argument);

// Text with control characters shown as \n, \r, \t, \xNN, for reports.
std::string ToPrintableUtf8(const std::wstring& text);

}  // namespace uiauto
