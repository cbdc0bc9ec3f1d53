#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "launcher_fixture.h"
#include "launcher/embedded_settings.h"
#include "launcher/process_setup.h"
#include "launcher/settings_keys.h"
#include "launcher/trace.h"
#include "launcher/utf8.h"
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
    EXPECT_FALSE(Read());
    EXPECT_EQ(platform.boxes, (std::vector<std::wstring>{L"Main class was not specified in INI file."}));
}

TEST_F(Settings, ExecutableWithoutDotHasNoSettingsAndNoMessage) {
    platform.modulePath = L"C:\\plain\\app";
    EXPECT_FALSE(Read());
    EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(Settings, ModulePathFailureIsReportedInTheWindowsFrame) {
    platform.moduleFails = true;
    EXPECT_FALSE(Read());
    EXPECT_EQ(platform.boxes,
              (std::vector<std::wstring>{L"Windows exception: failed to get the module path (errno = 5).\n"}));
}

TEST_F(Settings, DefaultsWhenOnlyTheMainClassIsGiven) {
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.start.mainClass, L"com/example/App");
    EXPECT_EQ(settings.runtime.jvmType, clientFirst);
    EXPECT_EQ(settings.runtime.minimumVersion.Format(), L"0.0.0.0");
    EXPECT_EQ(settings.runtime.maximumVersion.parts[0], 0);  // an empty maximum admits nothing
    EXPECT_TRUE(settings.runtime.sourceEither && settings.runtime.sourceJdk && settings.runtime.sourceJre);
    EXPECT_TRUE(settings.runtime.sunAllowed && settings.runtime.sunPreferred);
    EXPECT_FALSE(settings.runtime.jrockitAllowed || settings.runtime.ibmAllowed || settings.runtime.ibmPreferred);
    EXPECT_FALSE(settings.instance.isService || settings.presentation.failureCheck || settings.instance.waitForPair);
    EXPECT_TRUE(settings.runtime.configuredRuntimeFolder.empty());
    EXPECT_TRUE(settings.runtime.preferredVersions.empty());
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
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.runtime.minimumVersion.Format(), L"0.0.0.0");
    EXPECT_EQ(settings.runtime.maximumVersion.parts[3], 65535);
    EXPECT_EQ(settings.runtime.jvmType, clientFirst);
    EXPECT_TRUE(settings.runtime.ibmAllowed && settings.runtime.ibmPreferred && settings.runtime.sunAllowed && !settings.runtime.sunPreferred);
    EXPECT_EQ(settings.runtime.preferredVersions, (std::vector<std::wstring>{L"1.8", L"", L"11"}));
    EXPECT_TRUE(settings.presentation.failureCheck && settings.start.overrideWorkingDirectory && settings.instance.waitForPair);
    EXPECT_FALSE(settings.instance.isService);
}

TEST_F(Settings, JvmSourceTable) {
    struct Row {
        const wchar_t* value;
        bool jdk, jre, either;
    };
    for (const Row& row : {Row{L"", true, true, true}, Row{L"favor_JRE", false, true, true},
                           Row{L"favor_JDK", true, false, true}, Row{L"only_JDK", true, false, false},
                           Row{L"only_JRE", false, true, false}, Row{L"jdk", false, false, false}}) {
        RuntimeRequest fresh;
        ApplyJvmSource(fresh, row.value);
        EXPECT_EQ(fresh.sourceJdk, row.jdk) << row.value;
        EXPECT_EQ(fresh.sourceJre, row.jre) << row.value;
        EXPECT_EQ(fresh.sourceEither, row.either) << row.value;
    }
}

TEST_F(Settings, ServerTypesAndSunKeywordLeavesTheDefault) {
    Set(L"Java Runtime Environment", L"JVM Type", L"favor_server");
    Set(L"Java Runtime Environment", L"VM Provider", L"sun");
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.runtime.jvmType, serverFirst);
    EXPECT_TRUE(settings.runtime.sunAllowed && settings.runtime.sunPreferred && !settings.runtime.jrockitAllowed);
}

TEST_F(Settings, PlusSectionValueDoesNotEqualItsKeyword) {
    Set(L"Java Runtime Environment+", L"JVM Type", L"server");
    Set(L"Application+", L"Failure Check", L"Yes");
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.runtime.jvmType, clientFirst);
    EXPECT_FALSE(settings.presentation.failureCheck);
}

TEST_F(Settings, RelativeJrePathIsResolvedAgainstTheExecutable) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"jre", L"C:\\app\\jre"}, {L"\\jre", L"C:\\app\\\\jre"}, {L"D:\\rt", L"D:\\rt"},
        {L"\\\\server\\rt", L"\\\\server\\rt"}};
    for (const auto& c : cases) {
        Set(L"Java Runtime Environment", L"JRE Path", c.first);
        ASSERT_TRUE(Read());
        EXPECT_EQ(settings.runtime.configuredRuntimeFolder, c.second) << c.first;
    }
}

TEST_F(Settings, PerUserCopyDecidesTheJrePathOfANormalApplication) {
    Set(L"Product Information", L"Product Name", L"Demo: Viewer");
    Set(L"Product Information", L"Product Code", L"X");
    Set(L"Java Runtime Environment", L"JRE Path", L"D:\\from-settings");
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.runtime.configuredRuntimeFolder, L"D:\\from-settings");

    const std::wstring user = L"C:\\Users\\u\\AppData\\Roaming\\Demo Viewer\\X\\app.ini";
    platform.existingFiles.insert(user);
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.runtime.configuredRuntimeFolder, L"");
    platform.SetProfile(user, L"Java Runtime Environment", L"JRE Path", L"D:\\remembered");
    ASSERT_TRUE(Read());
    EXPECT_EQ(settings.runtime.configuredRuntimeFolder, L"D:\\remembered");

    Set(L"Application", L"Application Type", L"service");
    ASSERT_TRUE(Read());
    EXPECT_TRUE(settings.instance.isService);
    EXPECT_EQ(settings.runtime.configuredRuntimeFolder, L"D:\\from-settings");
    EXPECT_TRUE(platform.createdFolders.empty());
}

// The trace's lines, kept.
class KeptLines : public TraceSink {
public:
    explicit KeptLines(std::vector<std::wstring>& lines) : lines_(lines) {}
    void Write(const std::wstring& line) override { lines_.push_back(line); }

private:
    std::vector<std::wstring>& lines_;
};

std::vector<unsigned char> EncipheredUtf16(const std::wstring& text, const std::string& passPhrase) {
    std::vector<unsigned char> bytes;
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8 & 0xFF));
    }
    DecipherPortably(passPhrase, bytes);  // RC4 both ways
    return bytes;
}

// [Environment] through the layers, each key expanded after the ones before
// it; the taskbar identity and the priority as the settings name them.
TEST_F(Settings, EnvironmentPriorityAndIdentityReachTheProcessThroughTheLayers) {
    std::vector<std::wstring> lines;
    Trace trace(std::make_unique<KeptLines>(lines));
    platform.trace = &trace;
    Set(L"Product Information", L"Upgrade Code", L"{UP}");
    platform.resources[kPassPhraseResource] = EncipheredUtf16(std::wstring(L"pp") + L'\0', "{UP}");
    platform.resources[kSettingsResource] = EncipheredUtf16(
        L"[Environment]\r\nZ_FIRST=embedded\r\nB_SECOND=%Z_FIRST%-b\r\nKEEP=kept\r\nDROP=x\r\n"
        L"[Application]\r\nProcess Priority=Below Normal\r\nApp User Model ID=Vendor.App\r\n",
        "pp");
    Set(L"Environment", L"Z_FIRST", L"file");       // replaces the embedded value
    Set(L"Environment", L"Gone", L"");              // removes an inherited variable
    Set(L"Environment", L"DROP", L"");              // and an embedded one
    Set(L"Environment+", L"KEEP", L"more");         // replaces it too, never joined
    Set(L"Environment+", L"Late", L"%B_SECOND%;%UNSET%");
    Set(L"Environment", L"", L"x");                 // "=x": no variable's name
    platform.SetEnv(L"GONE", L"inherited");
    ASSERT_TRUE(Read());
    ApplyProcessIdentity(platform, settings.process);
    ApplyEnvironment(platform, settings.process.environment);
    auto value = [&](const wchar_t* name) {
        std::wstring text;
        return platform.environment().GetEnvironment(name, text) ? text : L"(unset)";
    };
    EXPECT_EQ(value(L"Z_FIRST"), L"file");
    EXPECT_EQ(value(L"B_SECOND"), L"file-b");
    EXPECT_EQ(value(L"KEEP"), L"more");
    EXPECT_EQ(value(L"GONE"), L"(unset)");
    EXPECT_EQ(value(L"DROP"), L"(unset)");
    EXPECT_EQ(value(L"LATE"), L"file-b;%UNSET%");
    EXPECT_EQ(value(L""), L"(unset)");
    EXPECT_EQ(platform.processCalls, (std::vector<std::wstring>{L"aumid Vendor.App", L"priority 2"}));
    for (const wchar_t* expected :
         {L"environment: Z_FIRST=file", L"environment: B_SECOND=file-b", L"environment: Gone removed",
          L"environment: Late=file-b;%UNSET%", L"environment: key \"\" left out: the name is empty",
          L"process: AppUserModelID Vendor.App set", L"process: priority below normal"}) {
        EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                               [&](const std::wstring& line) { return line.find(expected) != std::wstring::npos; }),
                  lines.end())
            << ToUtf8(expected);
    }

    // Refused, the priority is said and the start goes on; without the
    // settings nothing is asked of the system at all.
    platform.refusePriority = true;
    Set(L"Application", L"Process Priority", L"HIGH");
    ASSERT_TRUE(Read());
    lines.clear();
    ApplyProcessIdentity(platform, settings.process);
    EXPECT_EQ(platform.processCalls.back(), L"priority 5");
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(L"Process Priority \"high\" was refused (error 5)"), std::wstring::npos)
        << ToUtf8(lines.back());
    platform.resources.clear();
    platform.processCalls.clear();
    Set(L"Application", L"Process Priority", L"highest");
    ASSERT_TRUE(Read());
    ApplyProcessIdentity(platform, settings.process);
    EXPECT_TRUE(platform.processCalls.empty());
    platform.trace = nullptr;
}

// The settings reference and the checker know the keys from their table:
// every key the launcher asks for is in it, in its section, and it lists
// none the launcher never asks for.
TEST_F(Settings, TheTableOfKeysHoldsExactlyTheKeysTheLauncherReads) {
    std::vector<std::wstring> lines;
    Trace trace(std::make_unique<KeptLines>(lines));
    platform.trace = &trace;
    std::set<std::wstring> listedNames, listedKeys;
    for (const SettingsKey& key : SettingsKeys()) {
        listedNames.insert(key.name);
        listedKeys.insert(key.section + L"/" + key.name);
        // Each value names its key, so the trace tells in which section it was found.
        Set(key.section, key.name, key.section + L"/" + key.name);
    }
    ASSERT_TRUE(Read());
    // A service reads its own section, and no single-instance setting.
    Set(L"Application", L"Application Type", L"service");
    ASSERT_TRUE(Read());
    platform.trace = nullptr;
    // Each read is traced, "settings: <key> = <value> (<where from>)", set or not.
    std::set<std::wstring> readNames;
    for (const std::wstring& line : lines) {
        const std::size_t at = line.find(L"settings: ");
        if (at != std::wstring::npos) readNames.insert(line.substr(at + 10, line.find(L" = ", at) - at - 10));
    }
    EXPECT_EQ(readNames, listedNames);
    // A value set is asked for in the section it was set in: each key's
    // value, "section/key", is found under that key.
    std::set<std::wstring> readKeys;
    for (const std::wstring& line : lines) {
        const std::size_t name = line.find(L"settings: ");
        const std::size_t at = line.find(L" = ");
        const std::size_t from = line.rfind(L" (from " + ini + L")");
        if (name == std::wstring::npos || at == std::wstring::npos || from == std::wstring::npos) continue;
        const std::wstring value = line.substr(at + 3, from - at - 3);
        const std::wstring key = line.substr(name + 10, at - name - 10);
        if (value.size() > key.size() && value.compare(value.size() - key.size() - 1, std::wstring::npos, L"/" + key) == 0)
            readKeys.insert(value);
    }
    EXPECT_EQ(readKeys, listedKeys);
}

}  // namespace
}  // namespace zorv
