#include <gtest/gtest.h>

#include "fake_platform.h"
#include "launcher_fixture.h"
#include "vm/class_data_sharing.h"

namespace zorv {
namespace {

using testing::FakePlatform;
using Narrow = std::vector<std::string>;

const char kRelease17[] =
    "IMPLEMENTOR=\"Debian\"\r\nJAVA_RUNTIME_VERSION=\"17.0.15+6-Debian\"\r\nJAVA_VERSION=\"17.0.15\"\r\n"
    "JAVA_VERSION_DATE=\"2025-04-15\"\r\n";

TEST(ClassDataSharing, WhatEachRuntimeVersionGets) {
    struct Row {
        const wchar_t* version;
        ClassDataArchiveUse withoutArchive, withArchive;
    };
    const auto none = ClassDataArchiveUse::none, record = ClassDataArchiveUse::recordAtExit,
               use = ClassDataArchiveUse::useRecorded, automatic = ClassDataArchiveUse::createAutomatically;
    const Row rows[] = {{L"1.8.0_452", none, none}, {L"11.0.2", none, none},   {L"12", none, none},
                        {L"13", record, use},       {L"17.0.15", record, use}, {L"18.0.2.1", record, use},
                        {L"19", automatic, automatic}, {L"25.0.3", automatic, automatic}, {L"", none, none}};
    for (const Row& row : rows) {
        VersionNumber version;
        version.Parse(row.version, 0);
        EXPECT_EQ(ChooseClassDataArchiveUse(FeatureRelease(version), false), row.withoutArchive) << row.version;
        EXPECT_EQ(ChooseClassDataArchiveUse(FeatureRelease(version), true), row.withArchive) << row.version;
    }
    EXPECT_EQ(ClassDataArchiveOptions(automatic, L"D:\\a.jsa"),
              (std::vector<std::wstring>{L"-XX:+AutoCreateSharedArchive", L"-XX:SharedArchiveFile=D:\\a.jsa"}));
    EXPECT_EQ(ClassDataArchiveOptions(record, L"D:\\a.jsa"), std::vector<std::wstring>{L"-XX:ArchiveClassesAtExit=D:\\a.jsa"});
    EXPECT_EQ(ClassDataArchiveOptions(use, L"D:\\a.jsa"), std::vector<std::wstring>{L"-XX:SharedArchiveFile=D:\\a.jsa"});
    EXPECT_TRUE(ClassDataArchiveOptions(none, L"D:\\a.jsa").empty());
}

TEST(ClassDataSharing, ArchiveNameIsSafeAndDistinctPerProgramVersionAndRuntime) {
    const std::wstring name = ClassDataArchiveName(L"C:\\my.apps\\My Viewer:\u00e9.v2.exe", L"17.0.15+6", L"C:\\jdk\\");
    EXPECT_EQ(name.substr(0, 25), L"My_Viewer__.v2-17.0.15_6-");
    EXPECT_EQ(name.size(), 25u + 8 + 4);
    EXPECT_EQ(name.substr(name.size() - 4), L".jsa");
    EXPECT_EQ(name.find_first_not_of(L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-"),
              std::wstring::npos);
    // One folder however it is spelt; another folder, version or program is another archive.
    EXPECT_EQ(ClassDataArchiveName(L"viewer", L"17", L"C:\\JDK"), ClassDataArchiveName(L"D:\\viewer.exe", L"17", L"c:\\jdk\\"));
    EXPECT_NE(ClassDataArchiveName(L"viewer", L"17", L"C:\\jdk"), ClassDataArchiveName(L"viewer", L"17", L"C:\\jdk2"));
    EXPECT_NE(ClassDataArchiveName(L"viewer", L"17", L"C:\\jdk"), ClassDataArchiveName(L"viewer", L"17.0.1", L"C:\\jdk"));
    EXPECT_NE(ClassDataArchiveName(L"viewer", L"17", L"C:\\jdk"), ClassDataArchiveName(L"editor", L"17", L"C:\\jdk"));
}

TEST(ClassDataSharing, OnlyJarsZipsAndTheProgramItselfCanBeArchived) {
    EXPECT_TRUE(ClassPathAllowsArchive(L"C:\\app\\app.exe;C:\\app\\a.JAR;;D:\\b.zip;", L"C:\\app\\app.exe"));
    EXPECT_TRUE(ClassPathAllowsArchive(L"", L"C:\\app\\app.exe"));
    EXPECT_FALSE(ClassPathAllowsArchive(L"C:\\app\\a.jar;C:\\app\\classes;", L"C:\\app\\app.exe"));
    EXPECT_FALSE(ClassPathAllowsArchive(L"C:\\app\\other.exe", L"C:\\app\\app.exe"));
    EXPECT_FALSE(ClassPathAllowsArchive(L"jar", L"C:\\app\\app.exe"));
}

class ClassDataAssembly : public testing::LauncherFixture {
protected:
    VmStart vmStart;
    const std::wstring release = L"C:\\jre\\release";
    const std::wstring userFolder = L"C:\\Users\\u\\AppData\\Local\\Demo Viewer\\X";

    void SetUp() override {
        LauncherFixture::SetUp();
        Set(L"Java Runtime Environment", L"Main Class", L"App");
        platform.SetEnv(L"LOCALAPPDATA", L"C:\\Users\\u\\AppData\\Local");
        platform.SetProfile(ini, L"Class Path", L"Class Path", L"D:\\app.jar");
        platform.SetProfile(ini, L"Java Runtime Environment", L"Virtual Machine Parameters", L"-Xmx1g");
        platform.SetProfile(ini, L"Java Runtime Environment", L"Class Data Sharing", L"auto");
        platform.fileContents[release] = kRelease17;
    }
    // A fresh start of the launcher: its options between the properties that
    // tell how it started and the parameters.
    Narrow Start(bool isService = false) {
        EXPECT_TRUE(Read());
        settings.instance.productName = L"Demo: Viewer";
        settings.instance.productCode = L"X";
        settings.instance.isService = isService;
        chosen = ChosenRuntime();
        chosen.jvmLibraryPath = L"C:\\jre\\bin\\server\\jvm.dll";
        EXPECT_TRUE(Assemble());
        std::vector<std::string>& options = vmStart.options;
        EXPECT_GE(options.size(), 4u);
        EXPECT_EQ(options.front(), "-Djava.class.path=D:\\app.jar;");
        EXPECT_EQ(options.back(), "-Xmx1g");
        return options.size() < 4 ? Narrow{} : Narrow(options.begin() + 3, options.end() - 1);
    }
    static std::wstring Archive(const std::wstring& folder) {
        return folder + L"\\" + ClassDataArchiveName(L"app.exe", L"17.0.15", L"C:\\jre");
    }
    std::string Option(const char* name, const std::wstring& path) { return name + platform.ToAnsi(path); }
    // The VM options stage over the records as they stand.
    bool Assemble() {
        vmStart = VmStart();
        const VmOptionSources sources{files, settings.start, settings.vm, settings.output, settings.instance, chosen};
        return AssembleVmOptions(platform, sources, nullptr, vmStart);
    }
};

TEST_F(ClassDataAssembly, WithoutTheSettingNothingIsAddedOrTouched) {
    for (const wchar_t* value : {L"", L"Auto", L"yes"}) {
        platform.SetProfile(ini, L"Java Runtime Environment", L"Class Data Sharing", value);
        EXPECT_EQ(Start(), Narrow{}) << value;
    }
    EXPECT_TRUE(platform.filesRead.empty());
    EXPECT_TRUE(platform.createdFolders.empty());

    // A folder of classes on either class path would make the runtime fail at its end.
    platform.SetProfile(ini, L"Java Runtime Environment", L"Class Data Sharing", L"auto");
    platform.SetProfile(ini, L"Java Runtime Environment", L"Virtual Machine Parameters",
                        L"-Djava.class.path=D:\\classes -Xmx1g");
    EXPECT_EQ(Start(), Narrow{"-Djava.class.path=D:\\classes"});
    EXPECT_TRUE(platform.filesRead.empty());
}

TEST_F(ClassDataAssembly, RecordedAtTheFirstEndKeptOnlyOnceTheVmEndedThenUsed) {
    const std::wstring archive = Archive(userFolder);
    const std::wstring part = archive + L".part";
    EXPECT_EQ(Start(), Narrow{Option("-XX:ArchiveClassesAtExit=", part)});
    EXPECT_EQ(platform.filesRead, std::vector<std::wstring>{release});
    EXPECT_EQ(platform.createdFolders,
              (std::vector<std::wstring>{L"C:\\Users\\u\\AppData\\Local", L"C:\\Users\\u\\AppData\\Local\\Demo Viewer",
                                         userFolder}));
    // A start that ended during the recording leaves only the part.
    platform.files.insert(part);
    EXPECT_EQ(Start(), Narrow{Option("-XX:ArchiveClassesAtExit=", part)});
    KeepRecordedClassDataArchive(platform, vmStart.classData);
    EXPECT_EQ(platform.files, std::set<std::wstring>{archive});
    EXPECT_EQ(Start(), Narrow{Option("-XX:SharedArchiveFile=", archive)});
    KeepRecordedClassDataArchive(platform, vmStart.classData);
    EXPECT_EQ(platform.files, std::set<std::wstring>{archive});
}

TEST_F(ClassDataAssembly, VersionFromTheReleaseFileElseTheRegistrationServiceBesideTheProgram) {
    platform.fileContents[release] = "JAVA_VERSION=\"21.0.2\"\n";
    const std::string archive =
        platform.ToAnsi(userFolder + L"\\" + ClassDataArchiveName(L"app", L"21.0.2", L"C:\\jre\\"));
    EXPECT_EQ(Start(), (Narrow{"-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + archive}));
    platform.fileContents[release] = "JAVA_VERSION=\"11.0.2\"\n";
    EXPECT_EQ(Start(), Narrow{});

    platform.fileContents.erase(release);
    EXPECT_EQ(Start(), Narrow{}) << "no version, no archive";
    EXPECT_EQ(platform.filesRead.size(), 3u);
    chosen.registeredVersion.Parse(L"17.0.15", 0);
    settings.instance.isService = true;
    ASSERT_TRUE(Assemble());
    EXPECT_EQ(vmStart.options.at(3), Option("-XX:ArchiveClassesAtExit=", Archive(L"C:\\app") + L".part"));
}

TEST_F(ClassDataAssembly, ModuleOptionsMakeAnArchiveOfTheirOwn) {
    const std::wstring modules = L"--add-opens java.base/java.lang=ALL-UNNAMED -p D:\\fx -Xmx1g";
    platform.SetProfile(ini, L"Java Runtime Environment", L"Virtual Machine Parameters", modules);
    const std::wstring identity = L"--add-opens=java.base/java.lang=ALL-UNNAMED\n--module-path=D:\\fx\n";
    EXPECT_EQ(ModuleOptionsIdentity({L"-Djava.class.path=a.jar", L"--add-opens=java.base/java.lang=ALL-UNNAMED",
                                     L"-Xmx1g", L"--module-path=D:\\fx", L"-Dsun.java.command=App"}),
              identity);
    const std::wstring archive =
        userFolder + L"\\" + ClassDataArchiveName(L"app.exe", L"17.0.15", L"C:\\jre", identity) + L".part";
    EXPECT_NE(archive, Archive(userFolder) + L".part");
    const Narrow parameters{"--add-opens=java.base/java.lang=ALL-UNNAMED", "--module-path=D:\\fx"};
    EXPECT_EQ(Start(), (Narrow{Option("-XX:ArchiveClassesAtExit=", archive), parameters[0], parameters[1]}));

    // The runtimes that renew archives themselves map it with a complaint
    // at error level on every start, which is kept off the application's
    // standard error.
    platform.fileContents[release] = "JAVA_VERSION=\"25\"\n";
    const std::string automatic =
        platform.ToAnsi(userFolder + L"\\" + ClassDataArchiveName(L"app", L"25", L"C:\\jre\\", identity));
    EXPECT_EQ(Start(), (Narrow{"-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + automatic, "-Xlog:cds=off",
                               parameters[0], parameters[1]}));
    platform.SetProfile(ini, L"Java Runtime Environment", L"Virtual Machine Parameters", L"-Xmx1g");
    EXPECT_EQ(Start().size(), 2u) << "no module options, nothing to keep quiet";
}

// A runtime told to write an archive where it cannot ends the application
// with its own exit code; with no cache folder at all nothing is kept.
TEST_F(ClassDataAssembly, NoArchiveWhereNoneCanBeWrittenButARecordedOneIsStillUsed) {
    platform.readOnlyFolders.insert(userFolder);
    EXPECT_EQ(Start(), Narrow{});
    platform.fileContents[release] = "JAVA_VERSION=\"25\"\n";
    EXPECT_EQ(Start(), Narrow{});
    platform.fileContents[release] = kRelease17;
    platform.files.insert(Archive(userFolder));
    EXPECT_EQ(Start(), Narrow{Option("-XX:SharedArchiveFile=", Archive(userFolder))});

    platform.environment.clear();
    platform.createdFolders.clear();
    EXPECT_EQ(Start(), Narrow{});
    EXPECT_TRUE(platform.createdFolders.empty());
}

}  // namespace
}  // namespace zorv
