// Where the launcher looks for its settings and how it reads them, with the
// executable pretended into temporary folders and real files and folders.
#include <gtest/gtest.h>

#include <string>

#include "launcher/file_locations.h"
#include "launcher/launcher_settings.h"
#include "launcher/unique_handle.h"
#include "launcher/win32_api.h"

#include <shlobj.h>
#include "win32_test_support.h"

namespace zorv {
namespace {

using wintest::FileExists;
using wintest::RecordingPlatform;
using wintest::Utf8;
using wintest::ScopedCurrentFolder;
using wintest::ScopedEnvironment;
using wintest::TempFolder;
using wintest::WriteBytes;

class Locations : public ::testing::Test {
protected:
    RecordingPlatform platform;
    ProgramFiles files;
    LauncherSettings settings;
    InstanceSettings& instance = settings.instance;
    TempFolder folder;

    void SetUp() override {
        // The last-dot rule would find a dot of the temporary folder itself.
        ASSERT_EQ(folder.Path().find(L'.'), std::wstring::npos) << Utf8(folder.Path());
    }
    // The settings stage, into fresh records.
    bool Read() {
        settings = LauncherSettings();
        files = ProgramFiles();
        return ReadLauncherSettings(platform, files, settings);
    }
};

TEST_F(Locations, TheTestProgramsOwnPath) {
    std::wstring path;
    ASSERT_TRUE(ExecutablePath(platform, path));
    EXPECT_TRUE(IsAbsolutePath(path, kWindowsConventions)) << Utf8(path);
    EXPECT_TRUE(FileExists(path)) << Utf8(path);
    const std::wstring name = L"\\windows_settings_tests.exe";
    ASSERT_GT(path.size(), name.size());
    EXPECT_EQ(path.substr(path.size() - name.size()), name);

    std::wstring settingsFile;
    ASSERT_TRUE(SettingsFilePath(platform.Conventions(), path, settingsFile));
    EXPECT_EQ(settingsFile, path.substr(0, path.size() - 3) + L"ini");
    EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(Locations, PerUserCopyLivesUnderAppDataInCleanedFolderNames) {
    ScopedEnvironment appData(L"APPDATA", (folder / L"Roaming").c_str());
    platform.modulePath = folder / L"app\\viewer.exe";
    settings.instance.productName = L"Demo: Viewer";
    settings.instance.productCode = L"{1234-AB}";

    std::wstring path;
    path = UserSettingsPath(platform, instance, platform.modulePath, false);
    EXPECT_EQ(path, folder / L"Roaming\\Demo Viewer\\{1234-AB}\\viewer.ini");
    EXPECT_FALSE(FileExists(folder / L"Roaming\\Demo Viewer"));

    // The folders are made one level at a time, so the parent must exist.
    ASSERT_TRUE(wintest::CreateFolders(folder / L"Roaming"));
    path = UserSettingsPath(platform, instance, platform.modulePath, true);
    EXPECT_EQ(path, folder / L"Roaming\\Demo Viewer\\{1234-AB}\\viewer.ini");
    EXPECT_TRUE(FileExists(folder / L"Roaming\\Demo Viewer\\{1234-AB}"));
    EXPECT_FALSE(FileExists(path));  // the folders only, never the file
    path = UserSettingsPath(platform, instance, platform.modulePath, true);  // again, over existing folders
    EXPECT_EQ(path, folder / L"Roaming\\Demo Viewer\\{1234-AB}\\viewer.ini");

    // Each of the nine characters would make the folder impossible to create.
    settings.instance.productName = L"a\\b?c\"d|e>f<g:h/i*j;k";
    path = UserSettingsPath(platform, instance, platform.modulePath, true);
    EXPECT_EQ(path, folder / L"Roaming\\abcdefghij;k\\{1234-AB}\\viewer.ini");
    EXPECT_TRUE(FileExists(folder / L"Roaming\\abcdefghij;k\\{1234-AB}"));

    // A base folder that does not exist: nothing is created, the path is still given.
    ScopedEnvironment missingBase(L"APPDATA", (folder / L"Nowhere\\Roaming").c_str());
    path = UserSettingsPath(platform, instance, platform.modulePath, true);
    EXPECT_EQ(path, folder / L"Nowhere\\Roaming\\abcdefghij;k\\{1234-AB}\\viewer.ini");
    EXPECT_FALSE(FileExists(folder / L"Nowhere"));
    EXPECT_TRUE(platform.boxes.empty());
}

// Windows' own answer, through an interface other than the launcher's.
std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)) ? path : L"";
}

// A missing or relative APPDATA would put the per-user files at the root of
// the current drive, or in the current folder, where anyone may have made
// them first: the system's own folders take their place, and the product
// names never climb out of them.
TEST_F(Locations, WithoutAFullAppDataTheSystemsOwnFoldersServe) {
    ScopedCurrentFolder restore;
    ASSERT_TRUE(SetCurrentDirectoryW(folder.Path().c_str()));
    platform.modulePath = folder / L"app\\viewer.exe";
    const std::wstring product = L"zorv-test-" + std::to_wstring(GetCurrentProcessId());
    settings.instance.productName = product;
    settings.instance.productCode = L"..\\..\\X";
    const std::wstring roaming = ShellFolder(CSIDL_APPDATA);
    const std::wstring local = ShellFolder(CSIDL_LOCAL_APPDATA);
    ASSERT_FALSE(roaming.empty());
    ASSERT_NE(roaming, local);
    std::wstring path;
    for (const wchar_t* value : {static_cast<const wchar_t*>(nullptr), L"", L"Roaming", L"\\Roaming", L"C:Roaming"}) {
        ScopedEnvironment appData(L"APPDATA", value);
        path = UserSettingsPath(platform, instance, platform.modulePath, false);
        EXPECT_EQ(path, roaming + L"\\" + product + L"\\X\\viewer.ini") << (value ? Utf8(value) : "unset");
    }

    ScopedEnvironment appData(L"APPDATA", L"\\Roaming");
    ScopedEnvironment localAppData(L"LOCALAPPDATA", L"Local");
    path = UserSettingsPath(platform, instance, platform.modulePath, true);
    EXPECT_TRUE(FileExists(roaming + L"\\" + product + L"\\X"));
    std::wstring cache;
    ASSERT_TRUE(UserFolder(platform, instance, UserFolderKind::cache, true, cache));
    EXPECT_EQ(cache, local + L"\\" + product + L"\\X");
    EXPECT_TRUE(FileExists(cache));
    EXPECT_FALSE(FileExists(folder.Path().substr(0, 2) + L"\\" + product));
    EXPECT_FALSE(FileExists(folder / L"Roaming"));
    EXPECT_FALSE(FileExists(folder / L"Local"));
    EXPECT_FALSE(FileExists(roaming + L"\\X"));
    wintest::RemoveTree(roaming + L"\\" + product);
    wintest::RemoveTree(local + L"\\" + product);

    // Where the runtime could not write its archive, none is asked for; the
    // probe leaves nothing behind.
    EXPECT_TRUE(platform.files().CanWriteIn(folder.Path()));
    EXPECT_FALSE(platform.files().CanWriteIn(folder / L"missing"));
    WIN32_FIND_DATAW found;
    EXPECT_FALSE(ScopedFind(FindFirstFileW((folder / L"*.probe").c_str(), &found)));
    EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(Locations, PairProductPaths) {
    ScopedEnvironment appData(L"APPDATA", folder.Path().c_str());
    settings.instance.productName = L"Demo|Viewer";
    settings.instance.productCode = L"X";
    std::wstring path = L"<stale>";
    EXPECT_FALSE(SettingsFileFor(instance.pairProduct, path));
    path = UserSettingsPath(platform, instance, instance.pairProduct, true);
    EXPECT_EQ(path, L"");
    EXPECT_FALSE(FileExists(folder / L"DemoViewer"));

    settings.instance.pairProduct = folder / L"x86\\viewer32.exe";
    ASSERT_TRUE(SettingsFileFor(instance.pairProduct, path));
    EXPECT_EQ(path, folder / L"x86\\viewer32.ini");
    // The pair's per-user copy always gets its folders.
    path = UserSettingsPath(platform, instance, instance.pairProduct, true);
    EXPECT_EQ(path, folder / L"DemoViewer\\X\\viewer32.ini");
    EXPECT_TRUE(FileExists(folder / L"DemoViewer\\X"));

    settings.instance.pairProduct = L"viewer32";
    EXPECT_FALSE(SettingsFileFor(instance.pairProduct, path));
}

TEST_F(Locations, WorkingDirectoryBecomesTheExecutablesFolder) {
    ScopedCurrentFolder restore;
    ASSERT_TRUE(wintest::CreateFolders(folder / L"app"));
    platform.modulePath = folder / L"app\\viewer.exe";
    ApplyWorkingDirectory(platform, platform.modulePath);
    EXPECT_EQ(ScopedCurrentFolder::Get(), folder / L"app");

    // A folder that is gone leaves the current folder where it was.
    platform.modulePath = folder / L"gone\\viewer.exe";
    ApplyWorkingDirectory(platform, platform.modulePath);
    EXPECT_EQ(ScopedCurrentFolder::Get(), folder / L"app");

    platform.modulePath = L"\\viewer.exe";
    ApplyWorkingDirectory(platform, platform.modulePath);
    EXPECT_EQ(ScopedCurrentFolder::Get(), folder / L"app");
}

TEST_F(Locations, ExecutableAtADriveRootNamesTheDrivesCurrentFolder) {
    // The folder given is "C:", which is the current folder of drive C, not
    // its root: on the same drive nothing moves.
    ScopedCurrentFolder restore;
    ASSERT_EQ(folder.Path().substr(0, 2), L"C:");
    ASSERT_TRUE(SetCurrentDirectoryW(folder.Path().c_str()));
    platform.modulePath = L"C:\\viewer.exe";
    ApplyWorkingDirectory(platform, platform.modulePath);
    EXPECT_EQ(ScopedCurrentFolder::Get(), folder.Path());

    // From another drive, Wine keeps no per-drive folder for C and takes its root.
    ASSERT_TRUE(SetCurrentDirectoryW(L"Z:\\"));
    ApplyWorkingDirectory(platform, platform.modulePath);
    EXPECT_EQ(ScopedCurrentFolder::Get(), L"C:\\");
}

// The settings stage with the executable at <temp>\app\viewer.exe and its real
// settings file beside it.
class SettingsFile : public Locations {
protected:
    std::wstring settingsPath;
    std::wstring userCopy;
    ScopedEnvironment appData{L"APPDATA", nullptr};

    void SetUp() override {
        Locations::SetUp();
        platform.modulePath = folder / L"app\\viewer.exe";
        settingsPath = folder / L"app\\viewer.ini";
        userCopy = folder / L"Roaming\\Demo Viewer\\{X}\\viewer.ini";
        SetEnvironmentVariableW(L"APPDATA", (folder / L"Roaming").c_str());
    }
    void WriteSettings(const std::string& runtimeSection, const std::string& applicationSection = "") {
        WriteBytes(settingsPath,
                   "[Product Information]\r\nProduct Name=Demo: Viewer\r\nProduct Code={X}\r\n"
                   "[Java Runtime Environment]\r\nMain Class=com.example.App\r\n" +
                       runtimeSection + "\r\n[Application]\r\n" + applicationSection + "\r\n");
    }
};

TEST_F(SettingsFile, MainClassIsReadInTheJniForm) {
    WriteBytes(settingsPath, "[java runtime environment]\r\nMAIN CLASS=com.example.deep.App$Inner\r\n");
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.start.mainClass, L"com/example/deep/App$Inner");
    EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(SettingsFile, MissingMainClassStopsWithTheStringTablesMessage) {
    WriteBytes(settingsPath, "[Java Runtime Environment]\r\nMain Class=\r\nJRE Path=rt\r\n");
    EXPECT_FALSE(Read());
    EXPECT_EQ(platform.boxes, (std::vector<std::wstring>{L"Main class was not specified in INI file."}));

    platform.boxes.clear();
    wintest::RemoveTree(folder / L"app");
    EXPECT_FALSE(Read());
    EXPECT_EQ(platform.boxes, (std::vector<std::wstring>{L"Main class was not specified in INI file."}));
}

TEST_F(SettingsFile, PerUserCopyDecidesTheRuntimeFolderOfANormalApplication) {
    WriteSettings("JRE Path=D:\\from-settings");
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.instance.productName, L"Demo: Viewer");
    EXPECT_EQ(settings.runtime.configuredRuntimeFolder, L"D:\\from-settings");
    EXPECT_FALSE(FileExists(folder / L"Roaming"));  // reading makes no folders

    // A per-user copy without "JRE Path" hides the settings file's value.
    WriteBytes(userCopy, "[Java Runtime Environment]\r\nOther=1\r\n");
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.runtime.configuredRuntimeFolder, L"");

    WriteBytes(userCopy, "[JAVA RUNTIME ENVIRONMENT]\r\njre path=E:\\remembered\r\n");
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.runtime.configuredRuntimeFolder, L"E:\\remembered");

    // Relative in the per-user copy too: against the executable's folder.
    WriteBytes(userCopy, "[Java Runtime Environment]\r\nJRE Path=jre\r\n");
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.runtime.configuredRuntimeFolder, folder / L"app\\jre");
}

TEST_F(SettingsFile, ServiceReadsTheSettingsFileWhateverThePerUserCopySays) {
    WriteSettings("JRE Path=D:\\from-settings", "Application Type=service");
    WriteBytes(userCopy, "[Java Runtime Environment]\r\nJRE Path=E:\\remembered\r\n");
    ASSERT_TRUE(Read());
    EXPECT_TRUE(settings.instance.isService);
    EXPECT_EQ(settings.runtime.configuredRuntimeFolder, L"D:\\from-settings");

    WriteSettings("", "Application Type=Service");  // the keyword is exact
    ASSERT_TRUE(Read());
    EXPECT_FALSE(settings.instance.isService);
    EXPECT_EQ(settings.runtime.configuredRuntimeFolder, L"E:\\remembered");
}

TEST_F(SettingsFile, RelativeRuntimeFolderIsMadeAbsoluteAgainstTheExecutablesFolder) {
    const std::pair<std::string, std::wstring> cases[] = {
        {"jre", folder / L"app\\jre"},
        {"..\\shared\\jre", folder / L"app\\..\\shared\\jre"},
        {"\\jre", folder / L"app\\\\jre"},
        {"C:\\rt", L"C:\\rt"},
        {"\\\\server\\share\\rt", L"\\\\server\\share\\rt"},
    };
    for (const auto& c : cases) {
        WriteSettings("JRE Path=" + c.first);
        ASSERT_TRUE(Read());
        EXPECT_EQ(settings.runtime.configuredRuntimeFolder, c.second) << c.first;
    }
}

TEST_F(SettingsFile, UnicodeSettingsFileIsReadToo) {
    std::wstring text =
        L"[Product Information]\r\nProduct Name=Vi\u00E9wer \u4E2D\r\nProduct Code=C\r\n"
        L"[Java Runtime Environment]\r\nMain Class=\u00E9t\u00E9.App\r\nJVM Type=server\r\n";
    WriteBytes(settingsPath, testing::Utf16LeWithBom(text));
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.instance.productName, L"Vi\u00E9wer \u4E2D");
    EXPECT_EQ(settings.start.mainClass, L"\u00E9t\u00E9/App");
    EXPECT_EQ(settings.runtime.jvmType, serverOnly);
}

}  // namespace
}  // namespace zorv
