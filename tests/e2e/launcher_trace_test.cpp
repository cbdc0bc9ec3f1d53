// ZORV_LAUNCHER_DEBUG: the trace says what the launcher read, tried and chose,
// and a start without it, or with a trace that cannot be written, is the
// same start.
#include <algorithm>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "fake_runtime.h"

namespace e2e {
namespace {

using LauncherTrace = FakeRuntime;

// The trace's lines without their "[   12 ms] " time stamps; a line without
// one is kept whole, so that it fails the comparison that expects it.
std::vector<std::string> TraceMessages(const std::wstring& path) {
    std::vector<std::string> messages;
    for (std::string line : SplitLines(ReadFileBytes(path))) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t stamp = line.find(" ms] ");
        bool stamped = line.size() > 1 && line[0] == '[' && stamp != std::string::npos && stamp <= 7;
        messages.push_back(stamped ? line.substr(stamp + 5) : line);
    }
    return messages;
}

::testing::AssertionResult Has(const std::vector<std::string>& messages, const std::string& expected) {
    if (std::find(messages.begin(), messages.end(), expected) != messages.end())
        return ::testing::AssertionSuccess();
    std::string text = "no line \"" + expected + "\" in:\n";
    for (const std::string& message : messages) text += "  " + message + "\n";
    return ::testing::AssertionFailure() << text;
}

TEST_F(LauncherTrace, FileShowsWhyTheRegisteredRuntimeWasChosenAndAnUnsetVariableChangesNothing) {
    std::wstring chosen = InstallRuntime(L"rt17", L"bin\\server\\jvm.dll", false);
    InstallRuntime(L"rt11", L"bin\\client\\jvm.dll", false);
    InstallRuntime(L"rt21", L"bin\\server\\jvm.dll", false);
    RegistryRegistration eleven(L"11", sandbox_.Path(L"rt11"));
    RegistryRegistration seventeen(L"17", sandbox_.Path(L"rt17"));
    RegistryRegistration above(L"21", sandbox_.Path(L"rt21"));
    ASSERT_TRUE(eleven.ok() && seventeen.ok() && above.ok());
    WriteSettings(Settings({{L"Minimum Version", L"11"},
                            {L"Maximum Version", L"17.99"},
                            {L"Virtual Machine Parameters", L"-Xmx64m"}}));

    const std::wstring tracePath = sandbox_.Path(L"trace.log");
    EXPECT_TRUE(Ended(Start(L"one", {{L"ZORV_LAUNCHER_DEBUG", tracePath}}), 0, {}));
    ExpectLoaded(chosen);
    std::vector<std::string> tracedOptions = WithPrefix(lines_, "option ");
    std::vector<std::string> trace = TraceMessages(tracePath);

    const std::string ini = Utf8(sandbox_.Path(L"app.ini"));
    EXPECT_TRUE(Has(trace, "settings: Main Class = com.example.App (from " + ini + ")"));
    EXPECT_TRUE(Has(trace, "settings: Maximum Version = 17.99 (from " + ini + ")"));
    EXPECT_TRUE(Has(trace, "settings: JVM Type =  (not set)"));

    EXPECT_TRUE(Has(trace, "runtime: registry candidate HKLM\\Software\\JavaSoft\\JRE\\21 version 21.0: skipped, "
                           "above Maximum Version 17.99"));
    const std::string home17 = Utf8(sandbox_.Path(L"rt17")) + "\\";
    EXPECT_TRUE(Has(trace, "runtime: registry candidate HKLM\\Software\\JavaSoft\\JRE\\17 version 17.0 server yes "
                           "preferred yes rank 1: chosen, ranks first, home " + home17));
    EXPECT_TRUE(Has(trace, "runtime: registry candidate HKLM\\Software\\JavaSoft\\JRE\\11 version 11.0 server no "
                           "preferred yes rank 2: not chosen, rank 1 comes first, home " +
                           Utf8(sandbox_.Path(L"rt11")) + "\\"));
    EXPECT_TRUE(Has(trace, "runtime: chosen " + Utf8(chosen) + " (server yes) because the chosen registration's home " +
                           home17 + " holds it"));
    EXPECT_TRUE(Has(trace, "jvm: library " + Utf8(chosen) + " loaded, DLL folder " + home17 + "bin"));

    // The options exactly as the VM got them, hooks included, then main's arguments.
    std::vector<std::string> expectedOptions;
    for (const std::string& option : tracedOptions) {
        std::string text = option.substr(std::string("option ").size());
        std::size_t hook = text.find(" hook=set");
        if (hook != std::string::npos) text = text.substr(0, hook) + " (hook)";
        expectedOptions.push_back("vm: option " + text);
    }
    EXPECT_EQ(WithPrefix(trace, "vm: option "), expectedOptions);
    ASSERT_GE(expectedOptions.size(), 4u) << LogText();
    EXPECT_EQ(expectedOptions.front(), "vm: " + ClassPathOption());
    EXPECT_TRUE(Has(trace, "vm: option -Xmx64m"));
    EXPECT_TRUE(Has(trace, "vm: option -Dsun.java.command=com.example.App one"));
    EXPECT_EQ(std::vector<std::string>(expectedOptions.end() - 2, expectedOptions.end()),
              (std::vector<std::string>{"vm: option abort (hook)", "vm: option exit (hook)"}));
    EXPECT_EQ(WithPrefix(trace, "vm: argument "), std::vector<std::string>{"vm: argument 1: one"});

    for (const char* stage : {"settings", "runtime search", "JVM library", "VM options", "VM creation", "main"})
        EXPECT_EQ(WithPrefix(trace, std::string("stage ") + stage + " took ").size(), 1u) << stage;
    // The settings are read once, all of them in their own stage, before any
    // other stage could ask for one.
    std::set<std::string> keysRead;
    bool settingsStageEnded = false;
    for (const std::string& line : trace) {
        if (line.rfind("stage settings took ", 0) == 0) settingsStageEnded = true;
        if (line.rfind("settings: ", 0) != 0) continue;
        EXPECT_FALSE(settingsStageEnded) << line;
        EXPECT_TRUE(keysRead.insert(line.substr(0, line.find(" = "))).second) << "read again: " << line;
    }
    EXPECT_GE(keysRead.size(), 30u);
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back(), "launcher: exit code 0");
    EXPECT_EQ(WithPrefix(trace, "[").size(), 0u) << "lines without a time stamp";

    // Unset, and set to a file that cannot be made: the same start, no trace anywhere.
    DeleteFileW(tracePath.c_str());
    EXPECT_TRUE(Ended(Start(L"one"), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "option "), tracedOptions) << LogText();
    EXPECT_FALSE(FileExists(tracePath));
    const std::wstring unwritable = sandbox_.Path(L"missing\\trace.log");
    EXPECT_TRUE(Ended(Start(L"one", {{L"ZORV_LAUNCHER_DEBUG", unwritable}}), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "option "), tracedOptions) << LogText();
    EXPECT_FALSE(FileExists(unwritable));
}

// The launcher's manifest leaves the DPI awareness to the launcher, which
// gives the process what java.exe gives the runtime it chose; the rest is
// java.exe's too: common controls 6, asInvoker, and the same Windows versions.
TEST_F(LauncherTrace, DpiAwarenessFollowsTheChosenRuntimeAsUnderJavaExe) {
    HMODULE image = LoadLibraryExW(exe_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr);
    HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(image, found)));
    const std::string manifest(bytes, SizeofResource(image, found));
    FreeLibrary(image);
    EXPECT_EQ(manifest.find("<dpiAware"), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("<dpiAwareness"), std::string::npos) << manifest;
    for (const char* expected :
         {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "level=\"asInvoker\"",
          "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>",
          "<supportedOS Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"/>",
          "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",
          "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",
          "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>"}) {
        EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
    }

    // A JDK 8's runtime is its jre folder; the release file is the JDK's.
    InstallRuntime(L"jdk8\\jre", L"bin\\server\\jvm.dll", false);
    sandbox_.WriteBytes(L"jdk8\\release", "JAVA_VERSION=\"1.8.0_402\"\n");
    InstallRuntime(L"jdk17", L"bin\\server\\jvm.dll", false);
    sandbox_.WriteBytes(L"jdk17\\release", "JAVA_VERSION=\"17.0.10\"\n");
    InstallRuntime(L"unknown", L"bin\\server\\jvm.dll", false);
    const std::wstring tracePath = sandbox_.Path(L"trace.log");
    for (const auto& runtime : std::vector<std::pair<std::wstring, std::string>>{
             {L"jdk8\\jre", "dpi: system-wide awareness for Java 8"},
             {L"jdk17", "dpi: per-monitor awareness for Java 17"},
             {L"unknown", "dpi: per-monitor awareness for a runtime of unknown version"}}) {
        WriteSettings(Settings({{L"JRE Path", runtime.first}}));
        DeleteFileW(tracePath.c_str());
        EXPECT_TRUE(Ended(Start(L"", {{L"ZORV_LAUNCHER_DEBUG", tracePath}}), 0, {}));
        // Wine keeps every process per-monitor aware and refuses the change; Windows takes it.
        std::vector<std::string> said = WithPrefix(TraceMessages(tracePath), "dpi: ");
        ASSERT_EQ(said.size(), 1u) << ReadFileBytes(tracePath);
        EXPECT_TRUE(said[0] == runtime.second ||
                    said[0] == runtime.second + "; the system kept the one it had (the manifest's, if it names one)")
            << said[0];
    }
}

}  // namespace
}  // namespace e2e
