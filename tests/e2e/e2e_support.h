// What every end-to-end case needs: a fresh folder of its own, the built
// launcher copied into it under a chosen name, settings files in the
// encodings the profile functions read, and a run through the UI automation.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ui_automation.h"
#include "win32_files.h"

namespace e2e {

using zorv::testing::EnvironmentValue;
using zorv::testing::FileExists;
using zorv::testing::FromUtf8;
using zorv::testing::LongForm;
using zorv::testing::ReadFileBytes;
using zorv::testing::Utf16LeWithBom;
using zorv::testing::Utf8;

// Paths handed over by the test registration (Linux paths of the build tree
// become Z: paths). Empty when the variable is not set.
std::wstring LauncherExe();     // ZORV_E2E_LAUNCHER
std::wstring ConsoleLauncherExe();  // ZORV_E2E_CONSOLE_LAUNCHER: launcher-console.exe
std::wstring FakeJvm64();       // ZORV_E2E_FAKE_JVM64: the 64-bit jvm.dll double
std::wstring FakeJvm32();       // ZORV_E2E_FAKE_JVM32: its 32-bit build
std::wstring PairStubExe();     // ZORV_E2E_PAIR_STUB
std::wstring FakeSplash();      // ZORV_E2E_FAKE_SPLASH: the splashscreen.dll double
std::wstring FakeSplashWithoutJarName();  // ZORV_E2E_FAKE_SPLASH_NOJAR: one lacking SplashSetFileJarName

// A folder under %TEMP% that exists for one case and is removed with it
// (kept when ZORV_E2E_KEEP is set, for looking at after a failure).
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::wstring& Root() const { return root_; }
    // Root + "\" + relative.
    std::wstring Path(const std::wstring& relative) const;
    // Creates every missing folder of Path(relative); works past MAX_PATH.
    std::wstring MakeFolders(const std::wstring& relative) const;
    // Copies a file to Path(relative), creating its folders.
    std::wstring CopyIn(const std::wstring& source, const std::wstring& relative) const;
    std::wstring CopyLauncher(const std::wstring& relative) const { return CopyIn(LauncherExe(), relative); }
    std::wstring WriteBytes(const std::wstring& relative, const std::string& bytes) const;

private:
    std::wstring root_;
};

// An INI text built key by key, in the order given.
class Ini {
public:
    Ini& Section(const std::wstring& name);
    Ini& Set(const std::wstring& key, const std::wstring& value);
    // "Main Class" in the section the launcher reads it from.
    Ini& MainClass(const std::wstring& value);
    std::wstring Text() const { return text_; }
    // ANSI when every character is ASCII, otherwise UTF-16LE with a BOM: the
    // profile functions read both.
    std::string Encoded() const;

private:
    std::wstring text_;
};

std::vector<std::string> Utf8(const std::vector<std::wstring>& texts);
// Waits until the file holds text that stays the same for a moment, for
// logs written by a process that outlives the launcher.
std::string WaitForFile(const std::wstring& path, std::uint32_t timeoutMs);

struct Launch {
    std::wstring exe;
    // Arguments appended after the quoted program path, as written.
    std::wstring arguments;
    std::vector<std::pair<std::wstring, std::wstring>> environment;
    // Empty: the program's own folder.
    std::wstring workingDirectory;
    std::wstring desktop;  // as uiauto::RunOptions::desktop
    std::uint32_t timeoutMs = 30000;
    // As uiauto::RunOptions::onWindow: a window the case drives itself.
    std::function<bool(const uiauto::WindowReport&)> onWindow;
    // As uiauto::RunOptions: files for the standard handles.
    std::wstring standardInput, standardOutput, standardError;
};

// An onWindow that takes over the window with this title and runs the steps
// on it, from inspection to the button that ends it; other windows are left
// to the run.
std::function<bool(const uiauto::WindowReport&)> DriveWindow(const std::wstring& title,
                                                             std::function<void(std::uintptr_t window)> steps);

// Runs the program with JAVA_HOME, ZORV_LAUNCHER_DEBUG and every FAKEJVM_*
// and PAIR_STUB_* variable of the caller removed, so the case alone decides what the
// launcher sees.
uiauto::RunResult RunLauncher(const Launch& launch);
inline uiauto::RunResult RunLauncher(const std::wstring& exe) {
    Launch launch;
    launch.exe = exe;
    return RunLauncher(launch);
}

// A readable summary of a run for failure messages.
std::string Describe(const uiauto::RunResult& result);

// The run ended by itself with this exit code after showing exactly these
// message boxes, in order, and no other window.
::testing::AssertionResult Ended(const uiauto::RunResult& result, std::uint32_t exitCode,
                                 const std::vector<std::string>& boxes);

// The run reached the runtime search, found nothing, and ended with -1 when
// its "JRE Not Found" dialog was closed: no message box, no other window.
::testing::AssertionResult EndedWithoutRuntime(const uiauto::RunResult& result);

// zorvtool.exe (ZORV_E2E_ZORVTOOL) run with these arguments: its exit code,
// or -1 when it could not be run to its end.
std::wstring ZorvtoolExe();
long RunTool(const std::wstring& arguments);

extern const char kNoMainClass[];

// The Linux path Wine gives a Windows path (empty when there is none), and
// that path quoted for sh.
std::string UnixPath(const std::wstring& path);
std::string Quoted(const std::wstring& path);
// Runs a sh command on the Linux side and waits for its exit status (-1 when
// it could not start or did not end within 20 s).
int RunOnHost(const Sandbox& sandbox, const std::string& command);

// Whether the image starts (suspended, then ended at once), with the error
// when not. A Wine without its 32-bit half (wine32:i386, and a kernel that
// runs i386 programs) refuses every 32-bit image; a broken image is refused
// as such.
bool StartsSuspended(const std::wstring& exe, unsigned long& error);

// Whether this Wine has its 32-bit half: without it Wine still creates a
// 32-bit process, which then dies in its loader.
bool RunsX86Programs();

}  // namespace e2e
