// Which settings file the launcher reads, seen from outside: a settings file
// with a main class and no runtime anywhere ends with -1 at the "JRE Not Found"
// dialog, one without a main class shows the box. Each name is run both ways, so a
// launcher reading the wrong file (or none) fails one of the two.
#include <gtest/gtest.h>

#include "e2e_support.h"

namespace e2e {
namespace {

const std::uint32_t kFailed = 0xFFFFFFFF;

std::string WithoutMainClass() {
    return Ini().Section(L"Java Runtime Environment").Set(L"JVM Type", L"client").Encoded();
}

std::string WithMainClass() { return Ini().MainClass(L"com.example.App").Encoded(); }

struct Naming {
    const wchar_t* exe;       // relative to the sandbox
    const wchar_t* settings;  // where the launcher must look for its settings
};

// Decoys hold no main class: reading one of them instead shows the box.
void CheckNaming(const Naming& naming, const std::vector<std::wstring>& decoys) {
    SCOPED_TRACE(Utf8(naming.exe));
    {
        Sandbox sandbox;
        std::wstring exe = sandbox.CopyLauncher(naming.exe);
        sandbox.WriteBytes(naming.settings, WithMainClass());
        for (const std::wstring& decoy : decoys) sandbox.WriteBytes(decoy, WithoutMainClass());
        EXPECT_TRUE(EndedWithoutRuntime(RunLauncher(exe))) << "the settings file with the main class was not read";
    }
    {
        Sandbox sandbox;
        std::wstring exe = sandbox.CopyLauncher(naming.exe);
        sandbox.WriteBytes(naming.settings, WithoutMainClass());
        EXPECT_TRUE(Ended(RunLauncher(exe), kFailed, {kNoMainClass}));
    }
}

TEST(SettingsFileName, IsTheProgramPathUpToItsLastDotThenIni) {
    CheckNaming({L"app.exe", L"app.ini"}, {});
    CheckNaming({L"My App.exe", L"My App.ini"}, {L"My.ini"});
    CheckNaming({L"\u041f\u0440\u0438\u043b\u043e\u0436\u0435\u043d\u0438\u0435 \u00fc.exe",
                 L"\u041f\u0440\u0438\u043b\u043e\u0436\u0435\u043d\u0438\u0435 \u00fc.ini"},
                {});
    CheckNaming({L"my.apps\\viewer.exe", L"my.apps\\viewer.ini"}, {L"my.ini", L"my.apps\\viewer.exe.ini"});
    // Without an extension the last dot is the folder's.
    CheckNaming({L"my.apps\\viewer", L"my.ini"}, {L"my.apps\\viewer.ini"});
}

TEST(SettingsFileName, NoDotInThePathMeansNoSettingsAndNoBox) {
    Sandbox sandbox;
    if (sandbox.Root().find(L'.') != std::wstring::npos) GTEST_SKIP() << "the temporary folder's path holds a dot";
    std::wstring exe = sandbox.CopyLauncher(L"plain\\app");
    sandbox.WriteBytes(L"plain\\app.ini", WithoutMainClass());
    sandbox.WriteBytes(L"plain\\.ini", WithoutMainClass());
    EXPECT_TRUE(Ended(RunLauncher(exe), kFailed, {}));
}

TEST(SettingsFileName, MissingFileReadsAsEmpty) {
    Sandbox sandbox;
    std::wstring exe = sandbox.CopyLauncher(L"app.exe");
    EXPECT_TRUE(Ended(RunLauncher(exe), kFailed, {kNoMainClass}));
}

// Wine's profile functions fail on a path of MAX_PATH characters or more (and
// then read an uninitialised buffer as the file name), so a launcher that
// hands them its long path as it is loses its settings.
TEST(LongProgramPath, SettingsFileBesideItIsRead) {
    Sandbox sandbox;
    std::wstring deep;
    while (sandbox.Path(deep).size() < 300) deep += L"deep folder " + std::to_wstring(deep.size()) + L"\\";
    std::wstring exe = sandbox.CopyLauncher(deep + L"app.exe");
    ASSERT_GT(exe.size(), std::size_t{260});
    ASSERT_TRUE(FileExists(exe));

    // Started from a short folder: a working directory of MAX_PATH or more
    // is refused by Windows and, on some machines, crashes Wine's loader.
    Launch launch;
    launch.exe = exe;
    launch.workingDirectory = sandbox.Root();

    sandbox.WriteBytes(deep + L"app.ini", WithMainClass());
    uiauto::RunResult withMainClass = RunLauncher(launch);
    ASSERT_TRUE(withMainClass.started) << "error " << withMainClass.startError;
    EXPECT_TRUE(EndedWithoutRuntime(withMainClass)) << "the settings file beside a long program path was not read";

    sandbox.WriteBytes(deep + L"app.ini", WithoutMainClass());
    EXPECT_TRUE(Ended(RunLauncher(launch), kFailed, {kNoMainClass}));
}

// Damaged or unusual files must end in the launcher's own failure path: a
// crash would end with an exception code or a crash reporter's window.
class BadSettingsFile : public ::testing::Test {
protected:
    uiauto::RunResult RunWith(const std::string& bytes) {
        std::wstring exe = sandbox_.CopyLauncher(L"app.exe");
        sandbox_.WriteBytes(L"app.ini", bytes);
        return RunLauncher(exe);
    }
    Sandbox sandbox_;
};

TEST_F(BadSettingsFile, BinaryGarbage) {
    std::string bytes;
    std::uint32_t state = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 16);
    }
    // Not a byte order mark: the garbage is read as ANSI text.
    bytes[0] = 'x';
    bytes[1] = '\0';
    EXPECT_TRUE(Ended(RunWith(bytes), kFailed, {kNoMainClass}));
}

TEST_F(BadSettingsFile, EmptyFile) { EXPECT_TRUE(Ended(RunWith(""), kFailed, {kNoMainClass})); }

TEST_F(BadSettingsFile, LineFeedOnlyLineEnds) {
    std::string text = "[Product Information]\nProduct Name=x\n[Java Runtime Environment]\nMain Class=com.example.App\n";
    EXPECT_TRUE(EndedWithoutRuntime(RunWith(text)));
}

TEST_F(BadSettingsFile, CarriageReturnOnlyLineEnds) {
    std::string text = "[Product Information]\rProduct Name=x\r[Java Runtime Environment]\rMain Class=com.example.App\r";
    EXPECT_TRUE(EndedWithoutRuntime(RunWith(text)));
}

TEST_F(BadSettingsFile, Utf16WithByteOrderMark) {
    EXPECT_TRUE(EndedWithoutRuntime(RunWith(Utf16LeWithBom(Ini().MainClass(L"com.example.App").Text()))));
}

TEST_F(BadSettingsFile, Utf16WithoutMainClass) {
    EXPECT_TRUE(Ended(RunWith(Utf16LeWithBom(Ini().Section(L"Application").Set(L"Cmd", L"x").Text())), kFailed,
                      {kNoMainClass}));
}

TEST_F(BadSettingsFile, OneMegabyteValueBeforeTheMainClass) {
    Ini ini;
    ini.Section(L"Java Runtime Environment").Set(L"Virtual Machine Parameters", std::wstring(1 << 20, L'x'));
    ini.Set(L"Main Class", L"com.example.App");
    EXPECT_TRUE(EndedWithoutRuntime(RunWith(ini.Encoded())));
}

TEST_F(BadSettingsFile, OneMegabyteMainClass) {
    EXPECT_TRUE(EndedWithoutRuntime(RunWith(Ini().MainClass(std::wstring(1 << 20, L'a')).Encoded())));
}

TEST_F(BadSettingsFile, TenThousandSections) {
    Ini ini;
    for (int i = 0; i < 10000; ++i) ini.Section(L"Section " + std::to_wstring(i)).Set(L"Key", L"value");
    ini.MainClass(L"com.example.App");
    EXPECT_TRUE(EndedWithoutRuntime(RunWith(ini.Encoded())));
}

}  // namespace
}  // namespace e2e
