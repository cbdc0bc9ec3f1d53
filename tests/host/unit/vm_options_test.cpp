#include <gtest/gtest.h>

#include "fake_platform.h"
#include "launcher/environment.h"
#include "launcher/file_locations.h"
#include "launcher/launcher.h"
#include "runtime/error_reporting.h"
#include "vm/class_path.h"
#include "vm/library_path.h"
#include "vm/memory_options.h"
#include "vm/output_redirection.h"
#include "vm/vm_host.h"
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

TEST(MemoryOptions, ScanSizeNumbers) {
    SizeNumbers scan = ScanSizeNumbers(L"-Xmx50:256:1024p");
    EXPECT_EQ(scan.prefixLength, 4u);
    EXPECT_EQ(scan.numbers, (std::vector<std::uint64_t>{50, 256, 1024}));
    EXPECT_EQ(ScanSizeNumbers(L"-Xmx:512t").numbers, (std::vector<std::uint64_t>{0, 512}));
    EXPECT_EQ(ScanSizeNumbers(L"-Xss1048576").numbers, (std::vector<std::uint64_t>{1048576}));
    EXPECT_TRUE(ScanSizeNumbers(L"-Xmxp").numbers.empty());
}

TEST(MemoryOptions, PercentagesOfAnEightGigabyteMachine) {
    MemoryStatus memory;
    memory.totalPhysical = 8589934592ull;
    auto rewrite = [&](std::wstring option) {
        EXPECT_TRUE(IsPercentMemoryOption(option)) << option;
        RewritePercentMemoryOption(option, memory);
        return option;
    };
    EXPECT_EQ(rewrite(L"-Xmx50p"), L"-Xmx4194304K");
    EXPECT_EQ(rewrite(L"-Xmx50P"), L"-Xmx4194304K");
    EXPECT_EQ(rewrite(L"-Xmx50:256:1024p"), L"-Xmx1048576K");
    EXPECT_EQ(rewrite(L"-Xms1:512p"), L"-Xms524288K");
    EXPECT_EQ(rewrite(L"-Xmx25:2048:1024p"), L"-Xmx2097152K");
    EXPECT_EQ(rewrite(L"-Xss10p"), L"-Xss838860K");
    EXPECT_EQ(rewrite(L"-Xmx0p"), L"-Xmx0K");
    EXPECT_EQ(rewrite(L"-Xmxp"), L"-Xmxp0K");
    EXPECT_FALSE(IsPercentMemoryOption(L"-XMX50p"));
    EXPECT_FALSE(IsPercentMemoryOption(L"-Xmx512m"));
    EXPECT_FALSE(IsPercentMemoryOption(L"-Xmx1g"));
}

TEST(MemoryOptions, LargeSizesStayPositive) {
    MemoryStatus memory;
    memory.availableVirtual = 128ull << 40;  // the 128 TiB address space of a 64-bit process
    std::wstring option = L"-Xmx50t";
    RewritePercentMemoryOption(option, memory);
    EXPECT_EQ(option, L"-Xmx68719476736K");
    option = L"-Xmx100000p";
    memory.totalPhysical = 1ull << 40;
    RewritePercentMemoryOption(option, memory);
    EXPECT_EQ(option, L"-Xmx1073741824000K");
    memory.totalPhysical = 1000 * 1024 + 1023;  // the remainder below a kilobyte is dropped first
    option = L"-Xmx50p";
    RewritePercentMemoryOption(option, memory);
    EXPECT_EQ(option, L"-Xmx500K");
}

TEST(MemoryOptions, StackSizeUnits) {
    EXPECT_EQ(StackSizeFromOption(L"-Xss512k"), 524288u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss2m"), 2097152u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss1g"), 1073741824u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss1048576"), 1048576u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss838860K"), 858992640u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss"), 0u);
    EXPECT_EQ(StackSizeFromOption(L"-Xssgarbage"), 0u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss1:2m"), 0u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss%SS%"), 0u);
}

TEST(LibraryPath, RemovePathComponents) {
    EXPECT_EQ(RemovePathComponents(L"C:\\rt\\bin\\server\\jvm.dll", 2), L"C:\\rt\\bin");
    EXPECT_EQ(RemovePathComponents(L"C:\\rt\\bin\\server\\jvm.dll", 3), L"C:\\rt");
    EXPECT_EQ(RemovePathComponents(L"jvm.dll", 3), L"jvm.dll");
    EXPECT_EQ(RemovePathComponents(L"a\\b", 5), L"a");
}

class Assembly : public ::testing::Test {
protected:
    FakePlatform platform;
    Launcher launcher{platform};
    const std::wstring ini = L"C:\\app\\app.ini";

    void SetUp() override {
        platform.modulePath = L"C:\\app\\app.exe";
        platform.memory.totalPhysical = 8589934592ull;
        launcher.jvmLibraryPath = L"C:\\jre\\bin\\server\\jvm.dll";
    }
    void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
        platform.SetProfile(ini, section, key, value);
    }
};

TEST_F(Assembly, ClassPathEntriesAreExpandedAgainstTheExecutable) {
    Set(L"Class Path", L"Class Path", L"app.jar;lib\\*.jar;;missing.jar;D:\\abs\\x.jar;%LIBS%\\*.jar");
    Set(L"Application", L"Embedded Jar", L"yes");
    platform.SetEnv(L"LIBS", L"E:\\libs");
    platform.listings[L"C:\\app\\app.jar"] = {L"app.jar"};
    platform.listings[L"C:\\app\\lib\\*.jar"] = {L"a.jar", L"b.jar"};
    platform.listings[L"E:\\libs\\*.jar"] = {L"z.jar"};
    ASSERT_TRUE(launcher.AssembleVmOptions());
    EXPECT_EQ(launcher.vmOptions, (Narrow{"-Djava.class.path=C:\\app\\app.exe;C:\\app\\app.jar;C:\\app\\lib\\a.jar;"
                                          "C:\\app\\lib\\b.jar;D:\\abs\\x.jar;E:\\libs\\z.jar;"}));
}

TEST_F(Assembly, EmptyClassPathStopsBeforeAnythingElseIsRead) {
    Set(L"Java Runtime Environment", L"Virtual Machine Parameters", L"-Xmx1g");
    Set(L"Application", L"Output File", L"out.txt");
    Set(L"Application", L"Cmd", L"extra");
    EXPECT_FALSE(launcher.AssembleVmOptions());
    EXPECT_EQ(platform.boxes, (Strings{L"Java Class Path was not specified in INI file."}));
    EXPECT_TRUE(launcher.vmOptions.empty());
    EXPECT_TRUE(launcher.outputFile.empty());
    EXPECT_TRUE(launcher.applicationArguments.empty());

    Set(L"Application", L"Embedded Jar", L"Yes");
    platform.boxes.clear();
    ASSERT_TRUE(launcher.AssembleVmOptions());
    EXPECT_TRUE(platform.boxes.empty());
    EXPECT_EQ(launcher.vmOptions.front(), "-Djava.class.path=C:\\app\\app.exe;");
}

TEST_F(Assembly, ParametersInOrderWithQuotesMemoryAndEnvironment) {
    Set(L"Class Path", L"Class Path", L"D:\\app.jar");
    Set(L"Java Runtime Environment", L"Virtual Machine Parameters",
        L"-Xmx50p \"-Dtitle=My App\" -Dsun.java2d.dpiaware=TRUE -Dtmp=%TEMP% -Du=%UNDEFINED% -Xss2m -Xmx%HEAP%");
    platform.SetEnv(L"TEMP", L"C:\\Temp");
    platform.SetEnv(L"HEAP", L"50p");
    ASSERT_TRUE(launcher.AssembleVmOptions());
    EXPECT_EQ(launcher.vmOptions,
              (Narrow{"-Djava.class.path=D:\\app.jar;", "-Xmx4194304K", "-Dtitle=My App", "-Dsun.java2d.dpiaware=TRUE",
                      "-Dtmp=C:\\Temp", "-Du=%UNDEFINED%", "-Xss2m", "-Xmx50p"}));
    EXPECT_EQ(launcher.vmThreadStackSize, 2097152u);
    EXPECT_FALSE(platform.dpiAware);
}

TEST_F(Assembly, DpiAwarenessAndTheLastStackSizeWins) {
    Set(L"Class Path", L"Class Path", L"D:\\app.jar");
    Set(L"Java Runtime Environment", L"Virtual Machine Parameters", L"-Dsun.java2d.dpiaware=true -Xss1m -Xss");
    ASSERT_TRUE(launcher.AssembleVmOptions());
    EXPECT_TRUE(platform.dpiAware);
    EXPECT_EQ(launcher.vmOptions.back(), "-Xss");
    EXPECT_EQ(launcher.vmThreadStackSize, 0u);
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
    launcher.applicationArguments = {L"first"};
    ASSERT_TRUE(launcher.AssembleVmOptions());
    EXPECT_EQ(launcher.outputFile, L"C:\\logs\\out.txt");
    EXPECT_FALSE(launcher.appendOutput);
    EXPECT_EQ(launcher.errorFile, L"err.txt");
    EXPECT_TRUE(launcher.appendErrors);
    EXPECT_EQ(launcher.applicationArguments, (Strings{L"first", L"-x", L"two words", L"ann", L"b"}));
}

TEST_F(Assembly, LibraryPathAndEnvironment) {
    platform.SetEnv(L"Path", L"P");
    launcher.libraryPath = L"natives;";
    launcher.systemPath = L"C:\\tools";
    launcher.PrepareLibraryPath();
    EXPECT_EQ(launcher.vmOptions, (Narrow{"-Djava.library.path=natives;C:\\app\\;.;P;C:\\jre\\lib"}));
    std::wstring value;
    ASSERT_TRUE(platform.GetEnvironment(L"PATH", value));
    EXPECT_EQ(value, L"C:\\tools;C:\\jre\\bin;P");
    platform.GetEnvironment(L"ZORV_JVM_HOME", value);
    EXPECT_EQ(value, L"C:\\jre");
    platform.GetEnvironment(L"ZORV_JVM_PATH", value);
    EXPECT_EQ(value, L"C:\\jre\\bin\\server\\jvm.dll");
}

TEST_F(Assembly, NoLibraryPathMeansNoOptionButPathStillGrows) {
    platform.SetEnv(L"Path", L"P");
    launcher.systemPath = L"C:\\tools;";
    launcher.PrepareLibraryPath();
    EXPECT_TRUE(launcher.vmOptions.empty());
    std::wstring value;
    platform.GetEnvironment(L"Path", value);
    EXPECT_EQ(value, L"C:\\tools;C:\\jre\\bin;P");
    EXPECT_EQ(LibraryPathTemplate(L"natives", L"C:\\app\\", L"C:\\jre\\bin\\server\\jvm.dll"),
              L"nativesC:\\app\\;.;%Path%;C:\\jre\\lib");
}

TEST(ClassPath, PatternsAndListingFolders) {
    EXPECT_EQ(ClassPathSearchPattern(L"lib\\*.jar", L"C:\\app\\app.exe"), L"C:\\app\\lib\\*.jar");
    EXPECT_EQ(ClassPathSearchPattern(L"C:\\libs\\*.jar", L"C:\\app\\app.exe"), L"C:\\libs\\*.jar");
    EXPECT_EQ(ClassPathSearchPattern(L"", L"C:\\app\\app.exe"), L"C:\\app\\");
    FakePlatform platform;
    platform.listings[L"C:\\app\\*"] = {L".", L"..", L"lib"};
    std::wstring classPath;
    ExpandClassPathEntry(platform, L"*", L"C:\\app\\app.exe", classPath);
    EXPECT_EQ(classPath, L"C:\\app\\.;C:\\app\\..;C:\\app\\lib;");
}

TEST(Environment, ExpansionKeepsUndefinedReferences) {
    auto lookup = [](const std::wstring& name, std::wstring& value) {
        if (name != L"A") return false;
        value = L"1";
        return true;
    };
    EXPECT_EQ(ExpandReferences(L"%A%-%B%-%A%", lookup), L"1-%B%-1");
    EXPECT_EQ(ExpandReferences(L"%B%A%", lookup), L"%B1");
    EXPECT_EQ(ExpandReferences(L"100% sure", lookup), L"100% sure");
    EXPECT_EQ(ExpandReferences(L"%%", lookup), L"%%");
    EXPECT_EQ(ExpandReferences(std::wstring(200000, L'x') + L"%A%", lookup), std::wstring(200000, L'x') + L"1");
}

TEST(Redirection, TimePictureSpansFirstToLastPercent) {
    FakePlatform platform;
    LocalTime time;
    time.milliseconds = 45;
    std::wstring name = L"C:\\logs\\out_%HH-mm-ss.L%.txt";
    ApplyTimePicture(platform, name, time);
    EXPECT_EQ(name, L"C:\\logs\\out_HH-mm-ss.45.txt");
    name = L"a%b";
    ApplyTimePicture(platform, name, time);
    EXPECT_EQ(name, L"ab");
    name = L"%yyyy%_x_%MM%";
    ApplyTimePicture(platform, name, time);
    EXPECT_EQ(name, L"yyyy%_x_%MM");
}

TEST(Redirection, EnsureFoldersCreatesEachMissingLevel) {
    FakePlatform platform;
    EXPECT_TRUE(EnsureFolders(platform, L"C:\\logs\\2026\\out.txt"));
    EXPECT_EQ(platform.createdFolders, (Strings{L"C:\\logs", L"C:\\logs\\2026"}));
    platform.createdFolders.clear();
    platform.files.insert(L"C:\\exists\\out.txt");
    EXPECT_TRUE(EnsureFolders(platform, L"C:\\exists\\out.txt"));
    EXPECT_TRUE(platform.createdFolders.empty());
    EXPECT_TRUE(EnsureFolders(platform, L"logs\\out.txt"));
    EXPECT_EQ(platform.createdFolders, (Strings{L"logs"}));
    // The server and share of a UNC path cannot be created (nor, without
    // rights, other levels); creation goes on below them all the same.
    platform.createdFolders.clear();
    const std::uint32_t kBadNetPath = 53, kAccessDenied = 5;
    for (const wchar_t* unreachable : {L"\\", L"\\\\server", L"\\\\server\\share"})
        platform.folderErrors[unreachable] = kBadNetPath;
    platform.folderErrors[L"\\\\server\\share\\locked"] = kAccessDenied;
    EXPECT_TRUE(EnsureFolders(platform, L"\\\\server\\share\\locked\\logs\\out.txt"));
    EXPECT_EQ(platform.createdFolders, (Strings{L"\\\\server\\share\\locked\\logs"}));
    // On a drive the first failure ends it.
    platform.createdFolders.clear();
    platform.folderErrors[L"D:\\locked"] = kAccessDenied;
    EXPECT_FALSE(EnsureFolders(platform, L"D:\\locked\\logs\\out.txt"));
    EXPECT_TRUE(platform.createdFolders.empty());
}

TEST(Messages, FramesAndReasons) {
    FakePlatform platform;
    EXPECT_EQ(FormatMessageText(platform, 203, {FormatMessageText(platform, 213, {}), JniReasonText(platform, -4)}),
              L"JNI exception: failed to create the Java VM\nReason: not enough memory.\n");
    EXPECT_EQ(FormatMessageText(platform, 203, {L"x", JniReasonText(platform, -7)}), L"JNI exception: x\nReason: .\n");
    EXPECT_EQ(FormatMessageText(platform, 222, {L"C:\\rt\\bin\\server\\jvm.dll", 193}),
              L"Failed to load Java VM library: C:\\rt\\bin\\server\\jvm.dll (errno = 193).\n");
    const wchar_t* reasons[] = {L"unknown", L"thread detached from VM", L"JNI version error", L"not enough memory",
                                L"VM already created", L"invalid arguments"};
    for (int code = -1; code >= -6; --code) EXPECT_EQ(JniReasonText(platform, code), reasons[-code - 1]);
    EXPECT_EQ(JniReasonText(platform, 0), L"");
    EXPECT_EQ(FormatPrintf(L"100%% %s", {L"sure"}), L"100% sure");
}

TEST(JavaStrings, Utf16UnitsAndModifiedUtf8) {
    std::wstring text = L"a\u00e9\u65e5";
    text += static_cast<wchar_t>(sizeof(wchar_t) > 2 ? 0x1F600 : 0xD83D);
    if (sizeof(wchar_t) == 2) text += static_cast<wchar_t>(0xDE00);
    EXPECT_EQ(ToUtf16(text), (std::u16string{u'a', u'\u00e9', u'\u65e5', char16_t(0xD83D), char16_t(0xDE00)}));
    // Modified UTF-8 writes a surrogate pair as two three-byte sequences.
    EXPECT_EQ(FromModifiedUtf8("a\xc3\xa9\xe6\x97\xa5\xed\xa0\xbd\xed\xb8\x80"), text);
    EXPECT_EQ(FromModifiedUtf8("\xc0\x80"), std::wstring(1, L'\0'));
}

}  // namespace
}  // namespace zorv
