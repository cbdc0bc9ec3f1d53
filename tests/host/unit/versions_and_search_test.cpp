#include <gtest/gtest.h>

#include "launcher/file_locations.h"
#include "launcher_fixture.h"
#include "launcher/launcher_settings.h"
#include "runtime/jvm_library.h"
#include "runtime/runtime_search.h"
#include "runtime/version_number.h"

namespace zorv {
namespace {

using testing::FakePlatform;

VersionNumber V(const std::wstring& text, std::int32_t fill = 0) {
    VersionNumber version;
    version.Parse(text, fill);
    return version;
}

std::vector<std::int32_t> Parts(const VersionNumber& v) { return {v.parts[0], v.parts[1], v.parts[2], v.parts[3]}; }

TEST(VersionNumber, ParsesLeniently) {
    EXPECT_EQ(Parts(V(L"1.8.0_151")), (std::vector<std::int32_t>{1, 8, 0, 151}));
    EXPECT_EQ(Parts(V(L"1.8.0-b12")), (std::vector<std::int32_t>{1, 8, 0, 12}));
    EXPECT_EQ(Parts(V(L"jdk-17.0.2")), (std::vector<std::int32_t>{17, 0, 2, 0}));
    EXPECT_EQ(Parts(V(L"  x 1.7", 65535)), (std::vector<std::int32_t>{1, 7, 65535, 65535}));
    EXPECT_EQ(Parts(V(L"1.2.3.4.5")), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(Parts(V(L"2147483647")), (std::vector<std::int32_t>{2147483647, 0, 0, 0}));
}

TEST(VersionNumber, FailsWithoutDigitsOrOnOverflow) {
    for (const wchar_t* text : {L"", L"Any", L"abc", L"99999999999", L"2147483648", L"1.2147483648"}) {
        VersionNumber version;
        version.parts[0] = 5;
        EXPECT_FALSE(version.Parse(text, 65535)) << text;
        EXPECT_EQ(Parts(version), (std::vector<std::int32_t>{0, 0, 0, 0})) << text;
    }
}

TEST(VersionNumber, PrintsAtLeastTwoPartsAndSkipsFillValues) {
    EXPECT_EQ(V(L"1.8").Format(), L"1.8");
    EXPECT_EQ(V(L"11").Format(), L"11.0");
    EXPECT_EQ(V(L"1.8.0.151").Format(), L"1.8.0.151");
    EXPECT_EQ(V(L"1.8", 65535).Format(), L"1.8");
    EXPECT_EQ(V(L"9", 65535).Format(), L"9.65535");
    EXPECT_EQ(V(L"1.0.0.5").Format(), L"1.0.0.5");
    EXPECT_EQ(VersionNumber().Format(), L"0.0.0.0");
    EXPECT_EQ(VersionNumber::Open().Format(), L"0.0.0.0");
}

TEST(VersionNumber, OrdersPartByPart) {
    EXPECT_LT(CompareVersions(V(L"1.8"), V(L"1.8.0_151")), 0);
    EXPECT_GT(CompareVersions(V(L"11"), V(L"1.8.0.999")), 0);
    EXPECT_EQ(CompareVersions(V(L"1.8"), V(L"1.8.0.0")), 0);
    VersionNumber maximum = V(L"1.8", 65535);
    EXPECT_LE(CompareVersions(V(L"1.8.0.999"), maximum), 0);
    EXPECT_GT(CompareVersions(V(L"1.9"), maximum), 0);
    EXPECT_GT(CompareVersions(V(L"1.8.65536"), maximum), 0);
}

TEST(VersionNumber, PreferenceMatchesOnItsSignificantParts) {
    EXPECT_TRUE(MatchesPreference(L"1.8", V(L"1.8.0.151")));
    EXPECT_TRUE(MatchesPreference(L"1.8", V(L"1.8.5")));
    EXPECT_FALSE(MatchesPreference(L"1.8", V(L"1.9")));
    EXPECT_TRUE(MatchesPreference(L"11", V(L"11.0.2.7")));
    EXPECT_TRUE(MatchesPreference(L"1.8.0.151", V(L"1.8.0.151")));
    EXPECT_FALSE(MatchesPreference(L"1.8.0.151", V(L"1.8.0.152")));
    EXPECT_TRUE(MatchesPreference(L"", V(L"17")));
    EXPECT_TRUE(MatchesPreference(L"none", V(L"17")));
}

TEST(VersionNumber, RequirementPhrase) {
    FakePlatform platform;
    auto phrase = [&](const VersionNumber& minimum, const VersionNumber& maximum) {
        return DescribeVersionRequirement(platform, minimum, maximum);
    };
    EXPECT_EQ(phrase(VersionNumber(), VersionNumber::Open()), L"latest version");
    EXPECT_EQ(phrase(V(L"1.6"), VersionNumber::Open()), L"minimum version 1.6");
    EXPECT_EQ(phrase(VersionNumber(), V(L"9", 65535)), L"maximum version 9.65535");
    EXPECT_EQ(phrase(V(L"1.8"), V(L"1.8", 65535)), L"version between 1.8 and 1.8");
    EXPECT_EQ(phrase(V(L"1.8.0.151"), V(L"1.8.0.151")), L"version 1.8.0.151 is required");
    EXPECT_EQ(phrase(V(L"1.0"), VersionNumber()), L"minimum version 1.0");
}

RuntimeCandidate Candidate(const wchar_t* version, bool server, bool preferred, const wchar_t* home) {
    RuntimeCandidate candidate;
    candidate.version = V(version);
    candidate.isServer = server;
    candidate.isPreferred = preferred;
    candidate.home = home;
    return candidate;
}

std::vector<std::wstring> Homes(const std::vector<RuntimeCandidate>& candidates) {
    std::vector<std::wstring> homes;
    for (const auto& c : candidates) homes.push_back(c.home);
    return homes;
}

TEST(Ranking, PreferredThenServerThenVersionAndStable) {
    std::vector<RuntimeCandidate> list = {Candidate(L"1.8", false, true, L"a"), Candidate(L"1.7", true, true, L"b"),
                                          Candidate(L"11", false, false, L"c"), Candidate(L"1.8", false, true, L"d")};
    auto byVersion = list;
    RankCandidates(byVersion, false, clientFirst);
    EXPECT_EQ(Homes(byVersion), (std::vector<std::wstring>{L"c", L"a", L"d", L"b"}));
    auto preferred = list;
    RankCandidates(preferred, true, clientFirst);
    EXPECT_EQ(Homes(preferred), (std::vector<std::wstring>{L"a", L"d", L"b", L"c"}));
    auto server = list;
    RankCandidates(server, true, serverFirst);
    EXPECT_EQ(Homes(server), (std::vector<std::wstring>{L"b", L"a", L"d", L"c"}));
}

TEST(Selection, PreferredVersionsPickAmongTheRanked) {
    std::vector<RuntimeCandidate> ranked = {Candidate(L"11.0.2", false, true, L"eleven"),
                                            Candidate(L"1.8.0_151", false, true, L"eight")};
    EXPECT_EQ(SelectCandidate(ranked, {})->home, L"eleven");
    EXPECT_EQ(SelectCandidate(ranked, {L"1.8"})->home, L"eight");
    EXPECT_EQ(SelectCandidate(ranked, {L"9", L"1.8", L"11"})->home, L"eight");
    EXPECT_EQ(SelectCandidate(ranked, {L"9"})->home, L"eleven");
    EXPECT_EQ(SelectCandidate({}, {L"1.8"}), nullptr);
}

TEST(ReleaseFile, JavaVersionLineGivesTheVersion) {
    // As written, for the class-data archive's name.
    EXPECT_EQ(ReleaseFileJavaVersion("IMPLEMENTOR=\"Debian\"\r\nJAVA_VERSION=\"17.0.15\"\r\nJAVA_VERSION_DATE=\"2025\"\r\n"),
              L"17.0.15");
    EXPECT_EQ(ReleaseFileJavaVersion("JAVA_VERSION=\"1.8.0_452\"\nOS_NAME=\"Windows\""), L"1.8.0_452");
    EXPECT_EQ(ReleaseFileJavaVersion("JAVA_VERSION=21"), L"21");
    EXPECT_EQ(ReleaseFileJavaVersion("IMPLEMENTOR_VERSION=\"Temurin-25.0.3+9\"\n JAVA_VERSION=\"25\"\n"), L"");
    EXPECT_EQ(ReleaseFileJavaVersion(""), L"");
    // As a version, for the runtime search.
    EXPECT_EQ(ReleaseFileVersion("IMPLEMENTOR=\"Debian\"\nJAVA_VERSION=\"17.0.9\"\r\nOS_ARCH=\"amd64\"\n").Format(),
              L"17.0.9");
    EXPECT_EQ(ReleaseFileVersion("JAVA_VERSION=\"1.8.0_392\"").Format(), L"1.8.0.392");
    // Only the key at the start of a line counts, not one that ends with it.
    EXPECT_TRUE(ReleaseFileVersion("BUILD_JAVA_VERSION=\"21\"\nIMPLEMENTOR=x\n").IsOpen());
    EXPECT_TRUE(ReleaseFileVersion("JAVA_VERSION=\"\"\n").IsOpen());
    EXPECT_TRUE(ReleaseFileVersion("").IsOpen());
}

class Search : public testing::LauncherFixture {
protected:
    void SetUp() override {
        LauncherFixture::SetUp();
        settings.runtime.maximumVersion = VersionNumber::Open();
        settings.runtime.sourceJdk = settings.runtime.sourceJre = true;
    }
    void Home(const std::wstring& home, const wchar_t* library = L"bin\\client\\jvm.dll") {
        platform.existingFiles.insert(home + library);
    }
};

TEST_F(Search, ConfiguredFolderComesFirstAndIsArchitectureChecked) {
    settings.runtime.configuredRuntimeFolder = L"D:\\rt";
    settings.instance.pairProduct = L"C:\\app\\app32.exe";
    Home(L"D:\\rt\\");
    platform.machines[L"D:\\rt\\bin\\client\\jvm.dll"] = kMachineI386;
    Home(L"C:\\app\\");
    platform.existingFiles.insert(L"C:\\app\\bin\\java.dll");
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"D:\\rt\\bin\\client\\jvm.dll");
    EXPECT_TRUE(chosen.handOverToPair);
}

TEST_F(Search, FolderWithoutLibraryFallsThroughToTheExecutablesFolder) {
    settings.runtime.configuredRuntimeFolder = L"D:\\empty\\";
    Home(L"C:\\app\\jre64\\");
    platform.existingFiles.insert(L"C:\\app\\jre64\\bin\\java.dll");
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\app\\jre64\\bin\\client\\jvm.dll");
    platform.existingFiles.insert(L"C:\\app\\bin\\java.dll");
    Home(L"C:\\app\\");
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\app\\bin\\client\\jvm.dll");
}

TEST_F(Search, RegistryFiltersRanksAndAppendsJreForDevelopmentKits) {
    platform.Register(RegistryView::native, L"Software\\JavaSoft\\Java Development Kit\\", L"1.8", L"C:\\jdk8");
    Home(L"C:\\jdk8\\jre\\");
    platform.Register(RegistryView::native, L"Software\\JavaSoft\\JRE\\", L"17", L"C:\\jre17\\");
    Home(L"C:\\jre17\\");
    platform.Register(RegistryView::native, L"Software\\JavaSoft\\JDK\\", L"21", L"C:\\jdk21");
    Home(L"C:\\jdk21\\");
    settings.runtime.maximumVersion = V(L"17", 65535);
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\jre17\\bin\\client\\jvm.dll");
    settings.runtime.preferredVersions = {L"1.8"};
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\jdk8\\jre\\bin\\client\\jvm.dll");
    EXPECT_FALSE(chosen.handOverToPair);
}

TEST_F(Search, SourceAndProviderChoicesSelectTheKeys) {
    platform.Register(RegistryView::native, L"Software\\JavaSoft\\JDK\\", L"17", L"C:\\jdk");
    Home(L"C:\\jdk\\");
    platform.Register(RegistryView::native, L"Software\\IBM\\Java2 Runtime Environment\\", L"11", L"C:\\ibm");
    Home(L"C:\\ibm\\");
    ApplyJvmSource(settings.runtime, L"only_JRE");
    EXPECT_FALSE(Locate());
    ApplyVmProvider(settings.runtime, L"FAVOR_IBM");
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\ibm\\bin\\client\\jvm.dll");
    ApplyJvmSource(settings.runtime, L"jdk");
    EXPECT_FALSE(Locate());
}

// On Linux: the folders under the system's JVM folder, each judged by its
// release file, its javac and its libraries, after the executable's folder
// and before JAVA_HOME.
TEST_F(Search, InstalledRuntimesByReleaseFileBoundsSourceAndPreference) {
    platform.conventions = &kLinuxConventions;
    platform.modulePath = L"\\opt\\app\\viewer";
    files.executable = platform.modulePath;
    const std::wstring jdk17 = L"\\usr\\lib\\jvm\\java-17\\", jre21 = L"\\usr\\lib\\jvm\\jre-21\\",
                       jdk11 = L"\\usr\\lib\\jvm\\java-11\\", broken = L"\\usr\\lib\\jvm\\broken\\";
    platform.installedRuntimes = {broken, jdk11, jdk17, jre21};
    platform.fileContents[jdk11 + L"release"] = "JAVA_VERSION=\"11.0.21\"\n";
    platform.fileContents[jdk17 + L"release"] = "JAVA_VERSION=\"17.0.9\"\n";
    platform.fileContents[jre21 + L"release"] = "JAVA_VERSION=\"21.0.1\"\n";
    for (const std::wstring& home : {broken, jdk11, jdk17, jre21}) Home(home, L"lib\\server\\libjvm.so");
    platform.existingFiles.insert(jdk11 + L"bin\\javac");
    platform.existingFiles.insert(jdk17 + L"bin\\javac");
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, jre21 + L"lib\\server\\libjvm.so");
    settings.runtime.maximumVersion = V(L"17", 65535);
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, jdk17 + L"lib\\server\\libjvm.so");
    settings.runtime.preferredVersions = {L"11"};
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, jdk11 + L"lib\\server\\libjvm.so");
    settings.runtime.preferredVersions.clear();
    settings.runtime.maximumVersion = VersionNumber::Open();
    ApplyJvmSource(settings.runtime, L"only_JDK");
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, jdk17 + L"lib\\server\\libjvm.so");
    // A runtime beside the executable comes before the installed ones.
    Home(L"\\opt\\app\\jre\\", L"lib\\server\\libjvm.so");
    platform.existingFiles.insert(L"\\opt\\app\\jre\\lib\\libjava.so");
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"\\opt\\app\\jre\\lib\\server\\libjvm.so");
    std::wstring settingsFile;
    ASSERT_TRUE(SettingsFilePath(platform.Conventions(), files.executable, settingsFile));
    EXPECT_EQ(settingsFile, L"\\opt\\app\\viewer.ini");
    EXPECT_EQ(SettingsFileFromFileName(L"\\my.apps\\viewer.bin"), L"\\my.apps\\viewer.ini");
}

TEST_F(Search, ServerFirstRanksServerVmsAndRowFourJudgesAsClient) {
    platform.Register(RegistryView::native, L"Software\\JavaSoft\\JRE\\", L"1.7", L"C:\\seven");
    Home(L"C:\\seven\\", L"bin\\server\\jvm.dll");
    platform.Register(RegistryView::native, L"Software\\JavaSoft\\Java Runtime Environment\\", L"1.8", L"C:\\eight");
    Home(L"C:\\eight\\");
    Home(L"C:\\eight\\", L"bin\\server\\jvm.dll");
    settings.runtime.jvmType = serverFirst;
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\seven\\bin\\server\\jvm.dll");
    settings.runtime.jvmType = clientFirst;
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\eight\\bin\\client\\jvm.dll");
}

TEST_F(Search, ThirtyTwoBitViewOnlyWithAPairAndItHandsOver) {
    platform.Register(RegistryView::wow32, L"Software\\JavaSoft\\JRE\\", L"1.8", L"C:\\x86");
    Home(L"C:\\x86\\");
    EXPECT_FALSE(Locate());
    settings.instance.pairProduct = L"C:\\app\\app32.exe";
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\x86\\bin\\client\\jvm.dll");
    EXPECT_TRUE(chosen.handOverToPair);
}

// The x86 pair of the same source looks the other way: a 64-bit library or a
// registration in the 64-bit view goes to its x64 pair, a 32-bit one stays.
TEST_F(Search, TheX86BuildHandsSixtyFourBitRuntimesToItsPair) {
    architecture = kX86Architecture;
    settings.instance.pairProduct = L"C:\\app\\app64.exe";
    settings.runtime.configuredRuntimeFolder = L"D:\\rt";
    Home(L"D:\\rt\\");
    platform.machines[L"D:\\rt\\bin\\client\\jvm.dll"] = kMachineAmd64;
    ASSERT_TRUE(Locate());
    EXPECT_TRUE(chosen.handOverToPair);
    platform.machines[L"D:\\rt\\bin\\client\\jvm.dll"] = kMachineI386;
    ASSERT_TRUE(Locate());
    EXPECT_FALSE(chosen.handOverToPair);

    settings.runtime.configuredRuntimeFolder.clear();
    platform.Register(RegistryView::wow32, L"Software\\JavaSoft\\JRE\\", L"1.8", L"C:\\x86");
    Home(L"C:\\x86\\");
    EXPECT_FALSE(Locate()) << "the x86 build's second pass read the 32-bit view";
    platform.Register(RegistryView::wow64, L"Software\\JavaSoft\\JRE\\", L"17", L"C:\\x64");
    Home(L"C:\\x64\\");
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\x64\\bin\\client\\jvm.dll");
    EXPECT_TRUE(chosen.handOverToPair);
}

TEST_F(Search, JavaHomeIsTheLastSourceAndNeedsJavaDll) {
    platform.SetEnv(L"JAVA_HOME", L"C:\\java");
    Home(L"C:\\java\\");
    EXPECT_FALSE(Locate());
    platform.existingFiles.insert(L"C:\\java\\bin\\java.dll");
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\java\\bin\\client\\jvm.dll");
    platform.SetEnv(L"JAVA_HOME", L"");
    EXPECT_FALSE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"");
}

TEST_F(Search, OutOfBoundsAndUnusableRegistrationsAreSkipped) {
    platform.Register(RegistryView::native, L"Software\\JavaSoft\\JRE\\", L"1.6", L"C:\\old");
    Home(L"C:\\old\\");
    platform.Register(RegistryView::native, L"Software\\JavaSoft\\JRE\\", L"latest", L"C:\\nodigits");
    Home(L"C:\\nodigits\\");
    platform.Register(RegistryView::native, L"Software\\JavaSoft\\JRE\\", L"17", L"");
    platform.Register(RegistryView::native, L"Software\\JavaSoft\\JRE\\", L"18", L"C:\\nolibrary");
    settings.runtime.minimumVersion = V(L"1.7");
    EXPECT_FALSE(Locate());
    settings.runtime.minimumVersion = VersionNumber();
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\old\\bin\\client\\jvm.dll");
}

// The vendors' own keys, each with the value name and place its installer uses.
class VendorSearch : public Search {
protected:
    void Adoptium(const wchar_t* kind, const std::wstring& version, const std::wstring& home,
                  RegistryView view = RegistryView::native) {
        platform.RegisterValue(view, std::wstring(L"Software\\Eclipse Adoptium\\") + kind, version, L"\\hotspot\\MSI",
                               L"Path", home);
        Home(home + L"\\");
    }
    void Microsoft(const std::wstring& version, const std::wstring& home) {
        platform.RegisterValue(RegistryView::native, L"Software\\Microsoft\\JDK", version, L"\\hotspot\\MSI", L"Path",
                               home);
        Home(home + L"\\");
    }
    void ZuluShape(const wchar_t* key, const std::wstring& name, const std::wstring& home,
                   const std::wstring& currentVersion = L"") {
        platform.RegisterValue(RegistryView::native, key, name, L"", L"InstallationPath", home);
        if (!currentVersion.empty())
            platform.RegisterValue(RegistryView::native, key, name, L"", L"CurrentVersion", currentVersion);
        Home(home + L"\\");
    }
    std::wstring Found() { return Locate() ? chosen.jvmLibraryPath : L"(none)"; }
};

TEST_F(VendorSearch, FoundOnlyWithAVendorKeywordInAnyLetterCase) {
    Adoptium(L"JDK", L"17.0.9.9", L"C:\\temurin17");
    EXPECT_EQ(Found(), L"(none)");
    for (const wchar_t* notAKeyword : {L"temurin", L"adoptium", L"sun"}) {
        ApplyVmProvider(settings.runtime, notAKeyword);
        EXPECT_EQ(Found(), L"(none)") << notAKeyword;
    }
    ApplyVmProvider(settings.runtime, L"OpenJDK");
    EXPECT_EQ(Found(), L"C:\\temurin17\\bin\\client\\jvm.dll");
    // The older keywords set every flag, the vendors' included.
    ApplyVmProvider(settings.runtime, L"any");
    EXPECT_EQ(Found(), L"(none)");
    ApplyVmProvider(settings.runtime, L"Favor_Adoptium");
    EXPECT_EQ(Found(), L"C:\\temurin17\\bin\\client\\jvm.dll");
}

TEST_F(VendorSearch, OpenJdkRanksByVersionAndFavorRanksItsVendorFirst) {
    platform.Register(RegistryView::native, L"Software\\JavaSoft\\JDK\\", L"21", L"C:\\oracle21");
    Home(L"C:\\oracle21\\");
    Adoptium(L"JDK", L"17.0.9.9", L"C:\\temurin17");
    ZuluShape(L"Software\\Azul Systems\\Zulu", L"zulu-23", L"C:\\zulu23", L"23.0.1");
    Microsoft(L"11.0.21.9", L"C:\\ms11");
    ZuluShape(L"Software\\BellSoft\\Liberica", L"Liberica JDK 22", L"C:\\liberica22");
    ApplyVmProvider(settings.runtime, L"openjdk");
    EXPECT_EQ(Found(), L"C:\\zulu23\\bin\\client\\jvm.dll");
    settings.runtime.preferredVersions = {L"11"};
    EXPECT_EQ(Found(), L"C:\\ms11\\bin\\client\\jvm.dll");
    settings.runtime.preferredVersions.clear();
    settings.runtime.maximumVersion = V(L"22", 65535);
    EXPECT_EQ(Found(), L"C:\\liberica22\\bin\\client\\jvm.dll");
    const std::pair<const wchar_t*, const wchar_t*> favoured[] = {
        {L"favor_adoptium", L"C:\\temurin17\\bin\\client\\jvm.dll"},
        {L"favor_microsoft", L"C:\\ms11\\bin\\client\\jvm.dll"},
        {L"favor_liberica", L"C:\\liberica22\\bin\\client\\jvm.dll"},
        {L"favor_zulu", L"C:\\liberica22\\bin\\client\\jvm.dll"},  // its 23 is out of bounds
    };
    for (const auto& [keyword, library] : favoured) {
        ApplyVmProvider(settings.runtime, keyword);
        EXPECT_EQ(Found(), library) << keyword;
    }
    // With a JVM Source that favours nothing, preference plays no part.
    settings.runtime.sourceEither = false;
    ApplyVmProvider(settings.runtime, L"favor_adoptium");
    EXPECT_EQ(Found(), L"C:\\liberica22\\bin\\client\\jvm.dll");
}

TEST_F(VendorSearch, JavaEightNumberingAndKindsFollowTheSettings) {
    Adoptium(L"JRE", L"8.0.392.8", L"C:\\temurin8jre");
    ZuluShape(L"Software\\Azul Systems\\Zulu", L"zulu-8", L"C:\\zulu8");
    ZuluShape(L"Software\\Azul Systems\\Zulu", L"zulu-17-jre", L"C:\\zulu17jre", L"17.0.2");
    ApplyVmProvider(settings.runtime, L"openjdk");
    settings.runtime.maximumVersion = V(L"1.8", 65535);
    settings.runtime.minimumVersion = V(L"1.8");
    // 8.0.392.8 is 1.8.0.392, above zulu-8's 1.8.0.0.
    EXPECT_EQ(Found(), L"C:\\temurin8jre\\bin\\client\\jvm.dll");
    settings.runtime.maximumVersion = V(L"1.8.0.100");
    EXPECT_EQ(Found(), L"C:\\zulu8\\bin\\client\\jvm.dll");
    settings.runtime.maximumVersion = VersionNumber::Open();
    ApplyJvmSource(settings.runtime, L"only_JDK");
    EXPECT_EQ(Found(), L"C:\\zulu8\\bin\\client\\jvm.dll");
    ApplyJvmSource(settings.runtime, L"only_JRE");
    EXPECT_EQ(Found(), L"C:\\zulu17jre\\bin\\client\\jvm.dll");
    ApplyJvmSource(settings.runtime, L"favor_JDK");
    ApplyVmProvider(settings.runtime, L"favor_zulu");
    EXPECT_EQ(Found(), L"C:\\zulu8\\bin\\client\\jvm.dll");
}

TEST_F(VendorSearch, BrokenValuesAreSkippedAndTheThirtyTwoBitViewHandsOver) {
    const std::wstring longHome = L"C:\\" + std::wstring(297, L'x');  // 300 characters
    Adoptium(L"JDK", L"21.0.1.12", longHome);
    platform.RegisterValue(RegistryView::native, L"Software\\Eclipse Adoptium\\JDK", L"20.0.2.9", L"\\hotspot\\MSI",
                           L"Path", L"C:\\binary", false);
    Home(L"C:\\binary\\");
    platform.RegisterValue(RegistryView::native, L"Software\\Eclipse Adoptium\\JDK", L"19.0.2.7", L"\\hotspot\\MSI",
                           L"Path", L"");
    platform.RegisterValue(RegistryView::native, L"Software\\Eclipse Adoptium\\JDK", L"18.0.2.9", L"\\hotspot\\MSI",
                           L"JavaHome", L"C:\\wrongname");
    Home(L"C:\\wrongname\\");
    ZuluShape(L"Software\\Azul Systems\\Zulu", L"zulu-17", L"C:\\zulu17", L"17.0.2");
    ApplyVmProvider(settings.runtime, L"openjdk");
    EXPECT_EQ(Found(), L"C:\\zulu17\\bin\\client\\jvm.dll");

    platform.registryKeys[0].clear();
    Adoptium(L"JRE", L"11.0.21.9", L"C:\\x86jre", RegistryView::wow32);
    EXPECT_EQ(Found(), L"(none)");
    settings.instance.pairProduct = L"C:\\app\\app32.exe";
    EXPECT_EQ(Found(), L"C:\\x86jre\\bin\\client\\jvm.dll");
    EXPECT_TRUE(chosen.handOverToPair);
}

}  // namespace
}  // namespace zorv
