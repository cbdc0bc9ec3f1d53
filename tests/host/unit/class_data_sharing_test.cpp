#include <gtest/gtest.h>

#include "fake_platform.h"
#include "launcher_fixture.h"
#include "vm/ahead_of_time_cache.h"
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
                        {L"19", automatic, automatic}, {L"23.0.2", automatic, automatic}, {L"", none, none}};
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
    std::string Option(const char* name, const std::wstring& path) {
        return name + platform.environment().ToAnsi(path);
    }
    // The VM options stage over the records as they stand.
    bool Assemble() {
        vmStart = VmStart();
        const VmOptionSources sources{files, settings.start, settings.vm, settings.output, settings.instance, chosen};
        return AssembleVmOptions(platform, sources, nullptr, vmStart).Proceeds();
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
    platform.existingFiles.insert(part);
    EXPECT_EQ(Start(), Narrow{Option("-XX:ArchiveClassesAtExit=", part)});
    KeepRecordedClassDataArchive(platform, vmStart.classData);
    EXPECT_EQ(platform.existingFiles, std::set<std::wstring>{archive});
    EXPECT_EQ(Start(), Narrow{Option("-XX:SharedArchiveFile=", archive)});
    KeepRecordedClassDataArchive(platform, vmStart.classData);
    EXPECT_EQ(platform.existingFiles, std::set<std::wstring>{archive});
}

TEST_F(ClassDataAssembly, VersionFromTheReleaseFileElseTheRegistrationServiceBesideTheProgram) {
    platform.fileContents[release] = "JAVA_VERSION=\"21.0.2\"\n";
    const std::string archive =
        platform.environment().ToAnsi(userFolder + L"\\" + ClassDataArchiveName(L"app", L"21.0.2", L"C:\\jre\\"));
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
    platform.fileContents[release] = "JAVA_VERSION=\"23\"\n";
    const std::string automatic =
        platform.environment().ToAnsi(userFolder + L"\\" + ClassDataArchiveName(L"app", L"23", L"C:\\jre\\", identity));
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
    platform.fileContents[release] = "JAVA_VERSION=\"21\"\n";
    EXPECT_EQ(Start(), Narrow{});
    platform.fileContents[release] = "JAVA_VERSION=\"25\"\n";
    EXPECT_EQ(Start(), Narrow{});
    EXPECT_TRUE(platform.existingFiles.empty()) << "no ticket taken";
    platform.fileContents[release] = kRelease17;
    platform.existingFiles.insert(Archive(userFolder));
    EXPECT_EQ(Start(), Narrow{Option("-XX:SharedArchiveFile=", Archive(userFolder))});

    platform.variables.clear();
    platform.createdFolders.clear();
    EXPECT_EQ(Start(), Narrow{});
    EXPECT_TRUE(platform.createdFolders.empty());
}

TEST(AheadOfTimeCache, IdentityCoversJarsModulesAndHeapShapeOnly) {
    FakePlatform platform;
    platform.stamps[L"D:\\app.jar"] = {1200, 77};
    const std::vector<std::wstring> options = {L"-Djava.class.path=D:\\app.jar;D:\\gone.jar;", L"-Xmx2g", L"-Dx=1",
                                               L"-XX:+UseZGC", L"-XX:-UseCompressedOops", L"-XX:+UseStringDeduplication",
                                               L"-XX:ObjectAlignmentInBytes=16", L"-XX:MaxRAMPercentage=50"};
    EXPECT_EQ(ClassPathIdentity(platform, options), L"-Djava.class.path=\nD:\\app.jar 1200 77\nD:\\gone.jar\n");
    EXPECT_EQ(HeapShapeOptionsIdentity(options),
              L"-Xmx2g\n-XX:+UseZGC\n-XX:-UseCompressedOops\n-XX:ObjectAlignmentInBytes=16\n-XX:MaxRAMPercentage=50\n");
    EXPECT_EQ(SharingOptionAmong(options), L"");
    EXPECT_EQ(SharingOptionAmong({L"-Xmx1g", L"-Xshare:off"}), L"-Xshare:off");
    EXPECT_EQ(SharingOptionAmong({L"-XX:AOTCache=mine.aot"}), L"-XX:AOTCache=mine.aot");

    // The variable comes from whoever started the process: only this
    // identity and a recording in range count.
    EXPECT_EQ(AssemblyRecording(L"0123abcd.2", L"0123abcd"), 2);
    EXPECT_EQ(AssemblyRecording(L"0123abcd.3.vm", L"0123abcd"), 3);
    for (const wchar_t* marker : {L"0123abcd.0", L"0123abcd.4", L"0123abce.1", L"0123abcd.1x", L"0123abcd1", L"",
                                  L"0123abcd.-", L"0123abcd.1.vx", L"0123abcd.1.vmm", L"0123abcd.4.vm"})
        EXPECT_EQ(AssemblyRecording(marker, L"0123abcd"), 0) << marker;
    EXPECT_EQ(AssemblyRecording(L"0123ABCD.1", L"0123ABCD"), 0) << "the hash is written in lower case";
}

class AheadOfTimeCacheAssembly : public ClassDataAssembly {
protected:
    void SetUp() override {
        ClassDataAssembly::SetUp();
        platform.fileContents[release] = "JAVA_VERSION=\"25.0.3\"\n";
        platform.stamps[L"D:\\app.jar"] = {1200, 77};
        platform.commandLine = L"app.exe -x";
    }
    std::wstring Stem() const { return ClassDataStem(L"app.exe", L"25.0.3", L"C:\\jre"); }
    std::wstring Base(const std::wstring& identity) const { return userFolder + L"\\" + Stem() + L"-" + identity; }
};

TEST_F(AheadOfTimeCacheAssembly, RecordsWithATicketAssemblesInTheBackgroundThenMaps) {
    // Older identities and archives of this program and runtime go; other
    // programs' and runtimes' stay.
    const std::wstring older = Stem() + L"-00000000.aot", archive = Stem() + L".jsa";
    const std::wstring other = L"app-17.0.15-12345678.jsa";
    platform.listings[userFolder + L"\\" + Stem() + L"*"] = {older, archive};
    platform.existingFiles = {userFolder + L"\\" + older, userFolder + L"\\" + archive, userFolder + L"\\" + other};
    const Narrow record = Start();
    ASSERT_EQ(record.size(), 6u);
    const std::string prefix =
        "-XX:AOTConfiguration=" + platform.environment().ToAnsi(userFolder + L"\\" + Stem() + L"-");
    ASSERT_EQ(record[1].compare(0, prefix.size(), prefix), 0) << record[1];
    const std::wstring identity(record[1].begin() + static_cast<std::ptrdiff_t>(prefix.size()),
                                record[1].begin() + static_cast<std::ptrdiff_t>(prefix.size()) + 8);
    const std::wstring base = Base(identity);
    EXPECT_EQ(record,
              (Narrow{"-XX:AOTMode=record", prefix + platform.environment().ToAnsi(identity) + ".1.aotconf",
                      "-XX:+UnlockDiagnosticVMOptions", "-XX:-DisplayVMOutput", "-Xlog:cds=off", "-Xlog:aot=off"}));
    EXPECT_EQ(platform.existingFiles, (std::set<std::wstring>{userFolder + L"\\" + other, base + L".1.ticket"}));

    // The runtime wrote nothing: nothing to assemble.
    KeepRecordedClassDataArchive(platform, vmStart.classData);
    EXPECT_TRUE(platform.backgroundStarts.empty());
    // A second first start takes the next ticket; its recording is assembled
    // by this program, with its command line, once the VM has ended.
    EXPECT_EQ(Start()[1], prefix + platform.environment().ToAnsi(identity) + ".2.aotconf");
    platform.existingFiles.insert(base + L".2.aotconf");
    KeepRecordedClassDataArchive(platform, vmStart.classData);
    KeepRecordedClassDataArchive(platform, vmStart.classData);
    EXPECT_EQ(platform.backgroundStarts,
              std::vector<std::wstring>{L"C:\\app\\app.exe | app.exe -x | ZORV_AOT_ASSEMBLY=" + identity + L".2"});

    // The assembly process: the same options but for its own, from the
    // recording it was named.
    platform.SetEnv(kCacheAssemblyVariable, identity + L".2");
    EXPECT_EQ(Start(), (Narrow{"-XX:AOTMode=create", prefix + platform.environment().ToAnsi(identity) + ".2.aotconf",
                               "-XX:AOTCache=" + platform.environment().ToAnsi(base) + ".2.aot.part", "-Xlog:cds=off",
                               "-Xlog:aot=off"}));
    EXPECT_EQ(vmStart.classData.mappedCache, base + L".aot");
    // It starts the one whose VM writes the cache, waits for it, and names
    // the cache only when that ended well.
    platform.backgroundStarts.clear();
    platform.backgroundWrites = base + L".2.aot.part";
    platform.backgroundExitCode = 1;
    SuperviseCacheAssembly(platform, vmStart.classData);
    EXPECT_EQ(platform.backgroundStarts,
              std::vector<std::wstring>{L"C:\\app\\app.exe | app.exe -x | ZORV_AOT_ASSEMBLY=" + identity + L".2.vm"});
    EXPECT_EQ(platform.existingFiles.count(base + L".2.aot.part") + platform.existingFiles.count(base + L".aot"), 0u);
    EXPECT_EQ(platform.existingFiles.count(base + L".2.aotconf"), 0u) << "a recording is assembled once";
    platform.existingFiles.insert(base + L".2.aotconf");
    platform.backgroundExitCode = 0;
    SuperviseCacheAssembly(platform, vmStart.classData);
    EXPECT_EQ(platform.existingFiles.count(base + L".2.aot.part"), 0u);
    EXPECT_EQ(platform.existingFiles.count(base + L".aot"), 1u);
    platform.existingFiles.erase(base + L".aot");
    platform.backgroundWrites.clear();
    platform.SetEnv(kCacheAssemblyVariable, identity + L".1");
    EXPECT_EQ(Start(), Narrow{}) << "recording 1 has no file";
    platform.variables.erase(L"zorv_aot_assembly");

    // Later starts map the cache.
    platform.existingFiles.insert(base + L".aot");
    EXPECT_EQ(Start(), (Narrow{"-XX:AOTCache=" + platform.environment().ToAnsi(base) + ".aot", "-Xlog:cds=off",
                               "-Xlog:aot=off"}));
    EXPECT_EQ(vmStart.classData.recordingFiles.size(), 9u);
    EXPECT_EQ(vmStart.classData.recordingFiles[0], base + L".1.ticket");
}

TEST_F(AheadOfTimeCacheAssembly, ANewIdentityForChangedJarsAndHeapShapeAndAtMostThreeRecordings) {
    auto cacheOfThisStart = [&] {
        platform.existingFiles.clear();
        Start();
        return vmStart.classData.cacheRecording;
    };
    const std::wstring plain = cacheOfThisStart();
    EXPECT_EQ(cacheOfThisStart(), plain);
    platform.stamps[L"D:\\app.jar"] = {1200, 78};
    EXPECT_NE(cacheOfThisStart(), plain) << "a jar changed";
    platform.stamps[L"D:\\app.jar"] = {1200, 77};
    platform.SetProfile(ini, L"Java Runtime Environment", L"Virtual Machine Parameters", L"-XX:+UseZGC -Xmx1g");
    EXPECT_NE(cacheOfThisStart(), plain) << "another collector may lay objects out otherwise";
    platform.SetProfile(ini, L"Java Runtime Environment", L"Virtual Machine Parameters", L"-Dtitle=x -Xmx1g");
    EXPECT_EQ(cacheOfThisStart(), plain) << "a property is no part of it";
    platform.SetProfile(ini, L"Java Runtime Environment", L"Virtual Machine Parameters", L"-Xmx1g");

    // Three recordings made no cache: no more are made.
    platform.existingFiles.clear();
    for (int n = 1; n <= kCacheRecordings; ++n) EXPECT_EQ(Start().size(), 6u) << n;
    EXPECT_EQ(Start(), Narrow{});
    EXPECT_TRUE(vmStart.classData.cacheRecording.empty());

    // JDK 24 logs about its cache under "cds" only, and knows no "aot" tag.
    platform.existingFiles.clear();
    platform.fileContents[release] = "JAVA_VERSION=\"24\"\n";
    const Narrow jdk24 = Start();
    ASSERT_EQ(jdk24.size(), 5u);
    EXPECT_EQ(jdk24.back(), "-Xlog:cds=off");
    // These runtimes refuse to start with a cache and a -Xshare of the user's.
    platform.existingFiles.clear();
    platform.SetProfile(ini, L"Java Runtime Environment", L"Virtual Machine Parameters", L"-Xshare:off -Xmx1g");
    EXPECT_EQ(Start(), Narrow{"-Xshare:off"});
    EXPECT_TRUE(platform.existingFiles.empty());
}

}  // namespace
}  // namespace zorv
