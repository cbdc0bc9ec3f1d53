#include <gtest/gtest.h>

#include "fake_platform.h"
#include "launcher_fixture.h"
#include "vm/class_path.h"
#include "vm/library_path.h"
#include "vm/vm_options.h"

namespace zorv {
namespace {

using testing::FakePlatform;
using Strings = std::vector<std::wstring>;
using Narrow = std::vector<std::string>;

TEST(VmOptionTokens, SpacesSeparateOutsideQuotes) {
    EXPECT_EQ(TokeniseVmOptions(L"-Xmx512m   \"-Dapp.title=My App\" -Dx=1  "),
              (Strings{L"-Xmx512m", L"\"-Dapp.title=My App\"", L"-Dx=1"}));
    EXPECT_EQ(TokeniseVmOptions(L"-Dname=\"a b\" z"), (Strings{L"-Dname=\"a b\"", L"z"}));
    EXPECT_EQ(TokeniseVmOptions(L"-Da=\"x y"), (Strings{L"-Da=\"x", L"y"}));
    EXPECT_EQ(TokeniseVmOptions(L" -Dx"), (Strings{L"", L"-Dx"}));
    // A doubled closing quote closes the stretch; the space after it separates.
    EXPECT_EQ(TokeniseVmOptions(L"\"a\"\" b\" c"), (Strings{L"\"a\"\"", L"b\"", L"c"}));
    EXPECT_EQ(TokeniseVmOptions(L""), Strings{});
}

// The separator rule as first written: the next space, unless a quoted
// stretch that starts before it covers it.
std::size_t ReferenceSeparator(const std::wstring& s, std::size_t pos) {
    const std::size_t n = s.size(), none = std::wstring::npos;
    std::size_t sp = s.find(L' ', pos), q = s.find(L'"', pos);
    while (q != none) {
        if (sp == none) return n;
        if (sp < q) return sp;
        if (q + 1 >= n || s.find(L'"', q + 1) == none) return sp;
        std::size_t e = s.find(L'"', q + 1);
        if (e < n - 1 && s[e + 1] == L'"') ++e;
        std::size_t i = e + 1;
        if (i >= n) return n;
        q = s.find(L'"', i);
        sp = s.find(L' ', i);
    }
    return sp == none ? n : sp;
}

TEST(VmOptionTokens, SeparatorAgreesWithTheRuleOnEveryShortText) {
    const wchar_t alphabet[] = {L'a', L' ', L'"'};
    for (int length = 1; length <= 8; ++length) {
        int total = 1;
        for (int i = 0; i < length; ++i) total *= 3;
        for (int code = 0; code < total; ++code) {
            std::wstring text;
            for (int i = 0, c = code; i < length; ++i, c /= 3) text += alphabet[c % 3];
            for (std::size_t pos = 0; pos < text.size(); ++pos)
                ASSERT_EQ(FindOptionSeparator(text, pos), ReferenceSeparator(text, pos)) << text << " at " << pos;
        }
    }
}

TEST(VmOptionTokens, QuoteRemoval) {
    EXPECT_EQ(RemoveQuotes(L"-Dtitle=\"My App\""), L"-Dtitle=My App");
    EXPECT_EQ(RemoveQuotes(L"\"a\"\""), L"a\"");
    EXPECT_EQ(RemoveQuotes(L"-Da=\"x"), L"-Da=\"x");
    EXPECT_EQ(RemoveQuotes(L"\"a\"-\"b\""), L"a-b");
    EXPECT_EQ(RemoveQuotes(L"\"\""), L"");
}

TEST(VmParameters, SpaceFormsAreJoinedAsJavaJoinsThem) {
    std::vector<VmParameter> read = ReadVmParameters(TokeniseVmOptions(
        L"--add-opens java.base/java.lang=ALL-UNNAMED \"--module-path\" \"C:\\my mods\" -p m --add-modules=a "
        L"--limit-modules x --enable-preview  -server --patch-module"));
    std::vector<std::wstring> passed, written;
    for (const VmParameter& parameter : read) {
        passed.push_back(parameter.passed);
        written.push_back(parameter.written);
    }
    EXPECT_EQ(passed, (Strings{L"--add-opens=java.base/java.lang=ALL-UNNAMED", L"--module-path=C:\\my mods",
                               L"--module-path=m", L"--add-modules=a", L"--limit-modules=x", L"--enable-preview",
                               L"-server", L"--patch-module"}));
    EXPECT_EQ(written[1], L"--module-path C:\\my mods");
    ASSERT_EQ(read.size(), 8u);
    EXPECT_EQ(read[2].firstToken, 4u);
    EXPECT_EQ(read[6].fate, VmParameter::Fate::dropped);
    EXPECT_EQ(read[7].fate, VmParameter::Fate::missingValue);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(read[i].fate, VmParameter::Fate::passed) << i;
}

TEST(VmParameters, TheJavaCommandsOwnOptionsAreRefusedWithTheSettingToUse) {
    auto refusal = [](const std::wstring& option) {
        std::vector<VmParameter> read = ReadVmParameters({option});
        return read.size() == 1 && read[0].fate == VmParameter::Fate::refused ? std::wstring(read[0].useInstead)
                                                                              : L"(passed)";
    };
    EXPECT_EQ(refusal(L"-jar"), L"\"Main Jar\" in [Java Runtime Environment]");
    EXPECT_EQ(refusal(L"--module=app/app.Main"), L"\"Main Module\" in [Java Runtime Environment]");
    EXPECT_EQ(refusal(L"-classpath"), L"\"Class Path\" in [Class Path]");
    EXPECT_EQ(refusal(L"-splash:a.png"), L"\"Splash Screen\" in [Display]");
    EXPECT_EQ(refusal(L"@options.txt"), L"the file's options in \"Virtual Machine Parameters\"");
    EXPECT_EQ(refusal(L"-XshowSettings:all"), L"the java command");
    // VM options that merely begin like one of them.
    for (const wchar_t* option : {L"-jarx", L"-d64x", L"-Dx=-jar", L"-Xshare:auto", L"-da", L"-mx1g"})
        EXPECT_EQ(refusal(option), L"(passed)") << option;
}

class Assembly : public testing::LauncherFixture {
protected:
    VmStart vmStart;

    void SetUp() override {
        LauncherFixture::SetUp();
        platform.memory.totalPhysical = 8589934592ull;
        Set(L"Java Runtime Environment", L"Main Class", L"com.example.App");
    }
    // The settings stage, then the VM options stage over its records.
    StageOutcome Assemble() {
        EXPECT_TRUE(Read());
        chosen.jvmLibraryPath = L"C:\\jre\\bin\\server\\jvm.dll";
        vmStart = VmStart();
        const VmOptionSources sources{files, settings.start, settings.vm, settings.output, settings.instance, chosen};
        return AssembleVmOptions(platform, sources, nullptr, vmStart);
    }
};

TEST_F(Assembly, ClassPathEntriesAreExpandedAgainstTheExecutable) {
    Set(L"Class Path", L"Class Path", L"app.jar;lib\\*.jar;;missing.jar;D:\\abs\\x.jar;%LIBS%\\*.jar");
    Set(L"Application", L"Embedded Jar", L"yes");
    platform.SetEnv(L"LIBS", L"E:\\libs");
    platform.listings[L"C:\\app\\app.jar"] = {L"app.jar"};
    platform.listings[L"C:\\app\\lib\\*.jar"] = {L"a.jar", L"b.jar"};
    platform.listings[L"E:\\libs\\*.jar"] = {L"z.jar"};
    ASSERT_TRUE(Assemble().Proceeds());
    EXPECT_EQ(vmStart.options.front(), "-Djava.class.path=C:\\app\\app.exe;C:\\app\\app.jar;C:\\app\\lib\\a.jar;"
                                          "C:\\app\\lib\\b.jar;D:\\abs\\x.jar;E:\\libs\\z.jar;");
}

TEST_F(Assembly, EmptyClassPathStopsBeforeAnythingElseIsRead) {
    Set(L"Java Runtime Environment", L"Virtual Machine Parameters", L"-Xmx1g");
    Set(L"Application", L"Output File", L"out.txt");
    Set(L"Application", L"Cmd", L"extra");
    platform.commandLine = L"app.exe given";
    EXPECT_EQ(Assemble(), StageOutcome::Proceed()) << "the VM starts without one and finds no main class";
    EXPECT_EQ(platform.boxes, (Strings{L"Java Class Path was not specified in INI file."}));
    EXPECT_TRUE(vmStart.options.empty());
    EXPECT_TRUE(vmStart.output.outputFile.empty());
    EXPECT_EQ(vmStart.arguments, Strings{L"given"}) << "main still gets the command line's";

    Set(L"Application", L"Embedded Jar", L"Yes");
    platform.boxes.clear();
    ASSERT_TRUE(Assemble().Proceeds());
    EXPECT_TRUE(platform.boxes.empty());
    EXPECT_EQ(vmStart.options.front(), "-Djava.class.path=C:\\app\\app.exe;");
}

TEST_F(Assembly, ParametersInOrderWithQuotesMemoryAndEnvironment) {
    Set(L"Class Path", L"Class Path", L"D:\\app.jar");
    Set(L"Java Runtime Environment", L"Virtual Machine Parameters",
        L"-Xmx50p \"-Dtitle=My App\" -Dsun.java2d.dpiaware=TRUE -Dtmp=%TEMP% -Du=%UNDEFINED% %EMPTY% -Xss2m -Xmx%HEAP%");
    platform.SetEnv(L"TEMP", L"C:\\Temp");
    platform.SetEnv(L"HEAP", L"50p");
    platform.SetEnv(L"EMPTY", L"");
    platform.commandLine = L"app.exe %TEMP% \"two words\"";
    ASSERT_TRUE(Assemble().Proceeds());
    EXPECT_EQ(vmStart.options,
              (Narrow{"-Djava.class.path=D:\\app.jar;", "-Dsun.java.launcher=SUN_STANDARD",
                      "-Dsun.java.command=com.example.App %TEMP% two words", "-Xmx4194304K", "-Dtitle=My App",
                      "-Dsun.java2d.dpiaware=TRUE", "-Dtmp=C:\\Temp", "-Du=%UNDEFINED%", "-Xss2m", "-Xmx50p"}));
    EXPECT_EQ(vmStart.threadStackSize, 2097152u);
    EXPECT_FALSE(platform.dpiAware);
}

TEST_F(Assembly, DpiAwarenessAndTheLastStackSizeWins) {
    Set(L"Class Path", L"Class Path", L"D:\\app.jar");
    Set(L"Java Runtime Environment", L"Virtual Machine Parameters", L"-Dsun.java2d.dpiaware=true -Xss1m -Xss");
    ASSERT_TRUE(Assemble().Proceeds());
    EXPECT_TRUE(platform.dpiAware);
    EXPECT_EQ(vmStart.options.back(), "-Xss");
    EXPECT_EQ(vmStart.threadStackSize, 0u);
}

TEST_F(Assembly, AnOptionOfTheJavaCommandStopsTheStartWithTheSettingToUse) {
    Set(L"Class Path", L"Class Path", L"D:\\app.jar");
    Set(L"Java Runtime Environment", L"Virtual Machine Parameters", L"-Xmx1g -cp lib");
    Set(L"Application", L"Cmd", L"extra");
    EXPECT_EQ(Assemble(), StageOutcome::EndWithCode(kStartFailed));
    EXPECT_EQ(platform.boxes, (Strings{L"Virtual Machine Parameters: -cp is an option of the java command, not of the "
                                       L"VM; use \"Class Path\" in [Class Path] instead.\n"}));
    EXPECT_TRUE(vmStart.options.empty());
}

TEST_F(Assembly, ModularApplicationWithoutClassPath) {
    Set(L"Class Path", L"Module Path", L"mods;D:\\fx\\*.jar");
    platform.listings[L"C:\\app\\mods"] = {L"mods"};
    platform.listings[L"D:\\fx\\*.jar"] = {L"javafx.base.jar", L".", L".."};
    Set(L"Java Runtime Environment", L"Main Module", L"app.mods/app.Main");
    ASSERT_TRUE(Assemble().Proceeds());
    EXPECT_TRUE(platform.boxes.empty());
    EXPECT_EQ(vmStart.options,
              (Narrow{"-Djava.class.path=", "--module-path=C:\\app\\mods;D:\\fx\\javafx.base.jar",
                      "-Djdk.module.main=app.mods", "-Dsun.java.launcher=SUN_STANDARD",
                      "-Dsun.java.command=app.mods/app.Main"}));
}

TEST_F(Assembly, RedirectionSettingsAndCmd) {
    Set(L"Class Path", L"Class Path", L"D:\\app.jar");
    Set(L"Application", L"Output File", L"%LOGS%\\out.txt");
    Set(L"Application", L"Output Append", L"Yes");
    Set(L"Application", L"Error File", L"err.txt");
    Set(L"Application", L"Error Append", L"yes");
    Set(L"Application", L"Cmd", L"-x \"two words\" %USERNAME%  \"\" b");
    platform.SetEnv(L"LOGS", L"C:\\logs");
    platform.SetEnv(L"USERNAME", L"ann");
    platform.commandLine = L"app.exe first";
    ASSERT_TRUE(Assemble().Proceeds());
    EXPECT_EQ(vmStart.output.outputFile, L"C:\\logs\\out.txt");
    EXPECT_FALSE(vmStart.output.appendOutput);
    EXPECT_EQ(vmStart.output.errorFile, L"err.txt");
    EXPECT_TRUE(vmStart.output.appendErrors);
    EXPECT_EQ(vmStart.arguments, (Strings{L"first", L"-x", L"two words", L"ann", L"b"}));
    EXPECT_EQ(settings.start.arguments, Strings{L"first"}) << "a second start hands over the command line's alone";
}

TEST_F(Assembly, LibraryPathAndEnvironment) {
    platform.SetEnv(L"Path", L"P");
    settings.vm.libraryPath = L"natives;";
    settings.vm.systemPath = L"C:\\tools";
    PrepareLibraryPath(platform, settings.vm, files.executable, L"C:\\jre\\bin\\server\\jvm.dll", vmStart.options);
    EXPECT_EQ(vmStart.options, (Narrow{"-Djava.library.path=natives;C:\\app\\;.;P;C:\\jre\\lib"}));
    std::wstring value;
    ASSERT_TRUE(platform.environment().GetEnvironment(L"PATH", value));
    EXPECT_EQ(value, L"C:\\tools;C:\\jre\\bin;P");
    platform.environment().GetEnvironment(L"ZORV_JVM_HOME", value);
    EXPECT_EQ(value, L"C:\\jre");
    platform.environment().GetEnvironment(L"ZORV_JVM_PATH", value);
    EXPECT_EQ(value, L"C:\\jre\\bin\\server\\jvm.dll");
}

TEST_F(Assembly, NoLibraryPathMeansNoOptionButPathStillGrows) {
    platform.SetEnv(L"Path", L"P");
    settings.vm.systemPath = L"C:\\tools;";
    PrepareLibraryPath(platform, settings.vm, files.executable, L"C:\\jre\\bin\\server\\jvm.dll", vmStart.options);
    EXPECT_TRUE(vmStart.options.empty());
    std::wstring value;
    platform.environment().GetEnvironment(L"Path", value);
    EXPECT_EQ(value, L"C:\\tools;C:\\jre\\bin;P");
    // The value as people write it gets its separator; one that ends with
    // one (what stored files hold) gives exactly the option it always gave.
    const wchar_t jvm[] = L"C:\\jre\\bin\\server\\jvm.dll";
    EXPECT_EQ(LibraryPathTemplate(L"natives", L"C:\\app\\", jvm, kWindowsConventions),
              L"natives;C:\\app\\;.;%Path%;C:\\jre\\lib");
    EXPECT_EQ(LibraryPathTemplate(L"natives;", L"C:\\app\\", jvm, kWindowsConventions),
              L"natives;C:\\app\\;.;%Path%;C:\\jre\\lib");
    EXPECT_EQ(LibraryPathTemplate(L"D:", L"C:\\app\\", jvm, kWindowsConventions), L"D:;C:\\app\\;.;%Path%;C:\\jre\\lib");
    const wchar_t so[] = L"\\jdk\\lib\\server\\libjvm.so";
    EXPECT_EQ(LibraryPathTemplate(L"/usr/lib/jni:", L"\\app\\", so, kLinuxConventions),
              L"/usr/lib/jni:\\app\\;.;%PATH%;\\jdk\\lib");
    EXPECT_EQ(LibraryPathTemplate(L"/usr/lib/jni", L"\\app\\", so, kLinuxConventions),
              L"/usr/lib/jni;\\app\\;.;%PATH%;\\jdk\\lib");
}

TEST(ClassPath, PatternsAndListingFolders) {
    EXPECT_EQ(ClassPathSearchPattern(L"lib\\*.jar", L"C:\\app\\app.exe", kWindowsConventions), L"C:\\app\\lib\\*.jar");
    EXPECT_EQ(ClassPathSearchPattern(L"C:\\libs\\*.jar", L"C:\\app\\app.exe", kWindowsConventions), L"C:\\libs\\*.jar");
    EXPECT_EQ(ClassPathSearchPattern(L"", L"C:\\app\\app.exe", kWindowsConventions), L"C:\\app\\");
    // A rooted path is the executable folder's on Windows, the system's root on Linux.
    EXPECT_EQ(ClassPathSearchPattern(L"\\lib\\*.jar", L"C:\\app\\app.exe", kWindowsConventions), L"C:\\app\\\\lib\\*.jar");
    EXPECT_EQ(ClassPathSearchPattern(L"\\usr\\share\\java\\*.jar", L"\\app\\viewer", kLinuxConventions),
              L"\\usr\\share\\java\\*.jar");
    EXPECT_EQ(ClassPathSearchPattern(L"/opt/lib/*.jar", L"\\app\\viewer", kLinuxConventions), L"/opt/lib/*.jar");
    EXPECT_EQ(ClassPathSearchPattern(L"lib\\*.jar", L"\\app\\viewer", kLinuxConventions), L"\\app\\lib\\*.jar");
    FakePlatform platform;
    platform.listings[L"C:\\app\\*"] = {L".", L"..", L"lib"};
    std::wstring classPath;
    ExpandClassPathEntry(platform, L"*", L"C:\\app\\app.exe", classPath);
    EXPECT_EQ(classPath, L"C:\\app\\.;C:\\app\\..;C:\\app\\lib;");
}

}  // namespace
}  // namespace zorv
