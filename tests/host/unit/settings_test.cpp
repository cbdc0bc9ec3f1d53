#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "fake_platform.h"
#include "launcher/file_locations.h"
#include "launcher/launcher.h"
#include "launcher/launcher_settings.h"
#include "launcher/text.h"

namespace zorv {
namespace {

using testing::FakePlatform;

class Settings : public ::testing::Test {
protected:
    FakePlatform platform;
    Launcher launcher{platform};
    const std::wstring ini = L"C:\\app\\app.ini";

    void SetUp() override {
        platform.modulePath = L"C:\\app\\app.exe";
        platform.SetEnv(L"APPDATA", L"C:\\Users\\u\\AppData\\Roaming");
        Set(L"Java Runtime Environment", L"Main Class", L"com.example.App");
    }
    void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
        platform.SetProfile(ini, section, key, value);
    }
};

TEST_F(Settings, MissingMainClassShowsItsMessageAndStops) {
    Set(L"Java Runtime Environment", L"Main Class", L"");
    EXPECT_FALSE(launcher.ReadSettings());
    EXPECT_EQ(platform.boxes, (std::vector<std::wstring>{L"Main class was not specified in INI file."}));
}

TEST_F(Settings, ExecutableWithoutDotHasNoSettingsAndNoMessage) {
    platform.modulePath = L"C:\\plain\\app";
    EXPECT_FALSE(launcher.ReadSettings());
    EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(Settings, ModulePathFailureIsReportedInTheWindowsFrame) {
    platform.moduleFails = true;
    EXPECT_FALSE(launcher.ReadSettings());
    EXPECT_EQ(platform.boxes,
              (std::vector<std::wstring>{L"Windows exception: failed to get the module path (errno = 5).\n"}));
}

TEST_F(Settings, DefaultsWhenOnlyTheMainClassIsGiven) {
    ASSERT_TRUE(launcher.ReadSettings());
    EXPECT_EQ(launcher.mainClass, L"com/example/App");
    EXPECT_EQ(launcher.jvmType, clientFirst);
    EXPECT_EQ(launcher.minimumVersion.Format(), L"0.0.0.0");
    EXPECT_EQ(launcher.maximumVersion.parts[0], 0);  // an empty maximum admits nothing
    EXPECT_TRUE(launcher.sourceEither && launcher.sourceJdk && launcher.sourceJre);
    EXPECT_TRUE(launcher.sunAllowed && launcher.sunPreferred);
    EXPECT_FALSE(launcher.jrockitAllowed || launcher.ibmAllowed || launcher.ibmPreferred);
    EXPECT_FALSE(launcher.isService || launcher.failureCheck || launcher.waitForPair);
    EXPECT_TRUE(launcher.configuredRuntimeFolder.empty());
    EXPECT_TRUE(launcher.preferredVersions.empty());
}

TEST_F(Settings, KeywordsAndFlagsFollowTheirOwnLetterCaseRules) {
    Set(L"Java Runtime Environment", L"Minimum Version", L"Any");
    Set(L"Java Runtime Environment", L"Maximum Version", L"any");
    Set(L"Java Runtime Environment", L"JVM Type", L"Server");
    Set(L"Java Runtime Environment", L"VM Provider", L"FAVOR_IBM");
    Set(L"Java Runtime Environment", L"Preferred versions", L"1.8;;11;");
    Set(L"Application", L"Failure Check", L"yes");
    Set(L"Application", L"Override WorkingDir", L"YES");
    Set(L"Application", L"Pair Return Code", L"Yes");
    Set(L"Application", L"Application Type", L"Service");
    ASSERT_TRUE(launcher.ReadSettings());
    EXPECT_EQ(launcher.minimumVersion.Format(), L"0.0.0.0");
    EXPECT_EQ(launcher.maximumVersion.parts[3], 65535);
    EXPECT_EQ(launcher.jvmType, clientFirst);
    EXPECT_TRUE(launcher.ibmAllowed && launcher.ibmPreferred && launcher.sunAllowed && !launcher.sunPreferred);
    EXPECT_EQ(launcher.preferredVersions, (std::vector<std::wstring>{L"1.8", L"", L"11"}));
    EXPECT_TRUE(launcher.failureCheck && launcher.overrideWorkingDirectory && launcher.waitForPair);
    EXPECT_FALSE(launcher.isService);
}

TEST_F(Settings, JvmSourceTable) {
    struct Row {
        const wchar_t* value;
        bool jdk, jre, either;
    };
    for (const Row& row : {Row{L"", true, true, true}, Row{L"favor_JRE", false, true, true},
                           Row{L"favor_JDK", true, false, true}, Row{L"only_JDK", true, false, false},
                           Row{L"only_JRE", false, true, false}, Row{L"jdk", false, false, false}}) {
        Launcher fresh(platform);
        ApplyJvmSource(fresh, row.value);
        EXPECT_EQ(fresh.sourceJdk, row.jdk) << row.value;
        EXPECT_EQ(fresh.sourceJre, row.jre) << row.value;
        EXPECT_EQ(fresh.sourceEither, row.either) << row.value;
    }
}

TEST_F(Settings, ServerTypesAndSunKeywordLeavesTheDefault) {
    Set(L"Java Runtime Environment", L"JVM Type", L"favor_server");
    Set(L"Java Runtime Environment", L"VM Provider", L"sun");
    ASSERT_TRUE(launcher.ReadSettings());
    EXPECT_EQ(launcher.jvmType, serverFirst);
    EXPECT_TRUE(launcher.sunAllowed && launcher.sunPreferred && !launcher.jrockitAllowed);
}

TEST_F(Settings, PlusSectionValueDoesNotEqualItsKeyword) {
    Set(L"Java Runtime Environment+", L"JVM Type", L"server");
    Set(L"Application+", L"Failure Check", L"Yes");
    ASSERT_TRUE(launcher.ReadSettings());
    EXPECT_EQ(launcher.jvmType, clientFirst);
    EXPECT_FALSE(launcher.failureCheck);
}

TEST_F(Settings, RelativeJrePathIsResolvedAgainstTheExecutable) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"jre", L"C:\\app\\jre"}, {L"\\jre", L"C:\\app\\\\jre"}, {L"D:\\rt", L"D:\\rt"},
        {L"\\\\server\\rt", L"\\\\server\\rt"}};
    for (const auto& c : cases) {
        Set(L"Java Runtime Environment", L"JRE Path", c.first);
        ASSERT_TRUE(launcher.ReadSettings());
        EXPECT_EQ(launcher.configuredRuntimeFolder, c.second) << c.first;
    }
}

TEST_F(Settings, PerUserCopyDecidesTheJrePathOfANormalApplication) {
    Set(L"Product Information", L"Product Name", L"Demo: Viewer");
    Set(L"Product Information", L"Product Code", L"X");
    Set(L"Java Runtime Environment", L"JRE Path", L"D:\\from-settings");
    ASSERT_TRUE(launcher.ReadSettings());
    EXPECT_EQ(launcher.configuredRuntimeFolder, L"D:\\from-settings");

    const std::wstring user = L"C:\\Users\\u\\AppData\\Roaming\\Demo Viewer\\X\\app.ini";
    platform.files.insert(user);
    ASSERT_TRUE(launcher.ReadSettings());
    EXPECT_EQ(launcher.configuredRuntimeFolder, L"");
    platform.SetProfile(user, L"Java Runtime Environment", L"JRE Path", L"D:\\remembered");
    ASSERT_TRUE(launcher.ReadSettings());
    EXPECT_EQ(launcher.configuredRuntimeFolder, L"D:\\remembered");

    Set(L"Application", L"Application Type", L"service");
    ASSERT_TRUE(launcher.ReadSettings());
    EXPECT_TRUE(launcher.isService);
    EXPECT_EQ(launcher.configuredRuntimeFolder, L"D:\\from-settings");
    EXPECT_TRUE(platform.createdFolders.empty());
}

TEST(FileLocations, SettingsFileUsesTheLastDotOfTheWholePath) {
    std::wstring path;
    ASSERT_TRUE(SettingsFileFor(L"C:\\my.apps\\viewer.exe", path));
    EXPECT_EQ(path, L"C:\\my.apps\\viewer.ini");
    ASSERT_TRUE(SettingsFileFor(L"C:\\my.apps\\viewer", path));
    EXPECT_EQ(path, L"C:\\my.ini");
    EXPECT_FALSE(SettingsFileFor(L"C:\\apps\\viewer", path));
    EXPECT_EQ(UserSettingsFileName(L"C:\\a.b\\my.viewer.exe"), L"my.viewer.ini");
    EXPECT_EQ(UserSettingsFileName(L"viewer"), L"viewer.ini");
    EXPECT_EQ(RemoveReservedFileNameCharacters(L"a\\?\"|><:/*b c"), L"ab c");
    EXPECT_EQ(FolderOf(L"C:\\app\\app.exe"), L"C:\\app");
    EXPECT_EQ(FolderWithSeparatorOf(L"C:\\app\\app.exe"), L"C:\\app\\");
    EXPECT_EQ(FolderOf(L"app.exe"), L"");
    EXPECT_EQ(FolderWithSeparatorOf(L"app.exe"), L"");
}

// Sizes past 2 TiB, exit codes and version parts all go through it: the
// extremes of each width must come out whole and with the right sign.
TEST(Text, DecimalTextWritesTheExtremesOfEveryWidth) {
    EXPECT_EQ(DecimalText(0), L"0");
    EXPECT_EQ(DecimalText(std::numeric_limits<std::int32_t>::min()), L"-2147483648");
    EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::min()), L"-9223372036854775808");
    EXPECT_EQ(DecimalText(std::numeric_limits<std::uint64_t>::max()), L"18446744073709551615");
    EXPECT_EQ(DecimalText(std::uint16_t{65535}), L"65535");
}

TEST(FileLocations, PerUserAndPairPaths) {
    FakePlatform platform;
    Launcher launcher(platform);
    platform.modulePath = L"C:\\Apps\\Viewer\\viewer.exe";
    launcher.productName = L"Demo: Viewer";
    launcher.productCode = L"X";
    std::wstring path;
    launcher.GetUserSettingsPath(path, false);
    EXPECT_EQ(path, L"\\Demo Viewer\\X\\viewer.ini");  // no APPDATA: under the drive's root
    platform.SetEnv(L"APPDATA", L"C:\\Roaming");
    launcher.GetUserSettingsPath(path, true);
    EXPECT_EQ(path, L"C:\\Roaming\\Demo Viewer\\X\\viewer.ini");
    EXPECT_EQ(platform.createdFolders, (std::vector<std::wstring>{L"C:\\Roaming\\Demo Viewer", L"C:\\Roaming\\Demo Viewer\\X"}));

    launcher.productName = L"\\?\"|><:/*";
    launcher.GetUserSettingsPath(path, false);
    EXPECT_EQ(path, L"C:\\Roaming\\\\X\\viewer.ini");

    EXPECT_FALSE(launcher.GetPairSettingsFilePath(path));
    launcher.GetPairUserSettingsPath(path);
    EXPECT_EQ(path, L"");
    launcher.pairProduct = L"C:\\Apps\\Viewer32\\viewer32.exe";
    ASSERT_TRUE(launcher.GetPairSettingsFilePath(path));
    EXPECT_EQ(path, L"C:\\Apps\\Viewer32\\viewer32.ini");
    launcher.GetPairUserSettingsPath(path);
    EXPECT_EQ(path, L"C:\\Roaming\\\\X\\viewer32.ini");
}

TEST(FileLocations, WorkingDirectoryIsTheExecutablesFolder) {
    FakePlatform platform;
    Launcher launcher(platform);
    platform.modulePath = L"C:\\viewer.exe";
    launcher.ApplyWorkingDirectory();
    EXPECT_EQ(platform.currentFolder, L"C:");
    platform.modulePath = L"C:\\Apps\\v.exe";
    launcher.ApplyWorkingDirectory();
    EXPECT_EQ(platform.currentFolder, L"C:\\Apps");
    platform.currentFolder.clear();
    platform.modulePath = L"\\v.exe";
    launcher.ApplyWorkingDirectory();
    EXPECT_EQ(platform.currentFolder, L"");
}

}  // namespace
}  // namespace zorv
