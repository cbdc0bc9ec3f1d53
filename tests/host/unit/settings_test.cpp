#include <gtest/gtest.h>

#include "launcher/launcher.h"
#include "launcher_fixture.h"
#include "launcher/launcher_settings.h"

namespace zorv {
namespace {

using testing::FakePlatform;

class Settings : public testing::LauncherFixture {
protected:
    void SetUp() override {
        LauncherFixture::SetUp();
        platform.SetEnv(L"APPDATA", L"C:\\Users\\u\\AppData\\Roaming");
        Set(L"Java Runtime Environment", L"Main Class", L"com.example.App");
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

}  // namespace
}  // namespace zorv
