// What the launcher hands the VM when it starts one: the options in their
// order, the class path, sizes worked out from the machine, the VM thread's
// stack, the environment, redirected output and main's arguments. All of it
// is read from the jvm.dll double's log (fake_runtime.h), the exit code and
// the boxes from outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <regex>
#include <set>

#include "fake_runtime.h"
#include "launcher/win32_api.h"
#include "vm/class_data_sharing.h"

namespace e2e {
namespace {

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return pieces;
        start = end + 1;
    }
}

std::uint64_t TotalPhysicalKilobytes() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys >> 10 : 0;
}

// The stack every thread of the program gets unless told otherwise, from its
// PE header; 0 when the file cannot be read as a 64-bit image.
std::uint64_t StackReserveOfImage(const std::wstring& path) {
    std::string bytes = ReadFileBytes(path);
    IMAGE_DOS_HEADER dos;
    if (bytes.size() < sizeof dos) return 0;
    std::memcpy(&dos, bytes.data(), sizeof dos);
    IMAGE_NT_HEADERS64 nt;
    if (dos.e_lfanew <= 0 || bytes.size() < static_cast<std::size_t>(dos.e_lfanew) + sizeof nt) return 0;
    std::memcpy(&nt, bytes.data() + dos.e_lfanew, sizeof nt);
    if (nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return 0;
    return nt.OptionalHeader.SizeOfStackReserve;
}

std::wstring DateText(const SYSTEMTIME& when, bool dashes) {
    wchar_t text[16];
    std::swprintf(text, 16, dashes ? L"%04u-%02u-%02u" : L"%04u%02u%02u", when.wYear, when.wMonth, when.wDay);
    return text;
}

class VmStart : public FakeRuntime {
protected:
    void SetUp() override {
        FakeRuntime::SetUp();
        if (IsSkipped()) return;
        library_ = InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    }

    // The settings with this class path instead of the usual one.
    Ini WithClassPath(const std::wstring& classPath,
                      const std::vector<std::pair<std::wstring, std::wstring>>& application = {}) {
        Ini ini;
        ini.Section(L"Class Path").Set(L"Class Path", classPath);
        ini.Section(L"Java Runtime Environment").Set(L"Main Class", kMainClass).Set(L"JRE Path", L"rt");
        ini.Section(L"Application");
        for (const auto& entry : application) ini.Set(entry.first, entry.second);
        return ini;
    }

    // The runtime in rt, these VM parameters and the application extras.
    void WriteParameters(const std::wstring& parameters,
                         const std::vector<std::pair<std::wstring, std::wstring>>& application = {}) {
        WriteSettings(Settings({{L"JRE Path", L"rt"}, {L"Virtual Machine Parameters", parameters}}, application));
    }

    // The options between the class path and the hooks, the ones the
    // parameters gave.
    std::vector<std::string> ParameterOptions() const {
        std::vector<std::string> options = Options();
        if (options.size() < 3) return {"(too few options)"};
        return std::vector<std::string>(options.begin() + 1, options.end() - 2);
    }

    // The entries of the single class path option, without the empty piece
    // after its closing ";".
    std::vector<std::string> ClassPathEntries() const {
        std::vector<std::string> found = WithPrefix(lines_, "option -Djava.class.path=");
        if (found.size() != 1) return {"(no single class path option)"};
        std::string value = found[0].substr(std::strlen("option -Djava.class.path="));
        if (value.empty() || value.back() != ';') return {"(not closed by ;) " + value};
        value.pop_back();
        return SplitAt(value, ';');
    }

    std::string Entry(const std::wstring& relative) const { return Utf8(sandbox_.Path(relative)); }

    void ExpectMainRan() const {
        EXPECT_EQ(WithPrefix(lines_, "call_static_void com/example/App.main").size(), 1u) << LogText();
    }

    std::wstring library_;
};

using VmOptions = VmStart;
using VmRun = VmStart;

TEST_F(VmOptions, LibraryPathFirstThenClassPathThenParametersThenHooks) {
    std::wstring native = sandbox_.Path(L"native");
    WriteSettings(Settings({{L"JRE Path", L"rt"},
                            {L"Library Path", L"%ZORV_E2E_NATIVE%;%ZORV_JVM_HOME%\\ext;"},
                            {L"Virtual Machine Parameters", L"-Xmx64m -Dzorv.x=1 -Dzorv.home=%ZORV_JVM_HOME%"}}));
    std::wstring oldPath = EnvironmentValue(L"Path");
    // A value inherited from whoever started the program must not win over
    // the runtime chosen now.
    EXPECT_TRUE(Ended(Start(L"", {{L"ZORV_E2E_NATIVE", native}, {L"ZORV_JVM_HOME", L"C:\\stale"}}), 0, {}));
    // A value that ends with ";" is taken as it is.
    std::wstring home = sandbox_.Path(L"rt");
    std::wstring libraryPath = native + L";" + home + L"\\ext;" + sandbox_.Root() + L"\\;.;" + oldPath + L";" + home +
                               L"\\lib";
    EXPECT_EQ(Options(),
              (std::vector<std::string>{"option -Djava.library.path=" + Utf8(libraryPath), ClassPathOption(),
                                        "option -Xmx64m", "option -Dzorv.x=1", "option -Dzorv.home=" + Utf8(home),
                                        "option abort hook=set", "option exit hook=set"}))
        << LogText();
    EXPECT_EQ(WithPrefix(lines_, "create "),
              std::vector<std::string>{"create version=0x00010002 nOptions=9 ignoreUnrecognized=0"})
        << LogText();
    ExpectMainRan();
    ExpectNoFaults();
}

TEST_F(VmOptions, ClassDataSharingKeepsAnArchivePerUserOnlyWhenAsked) {
    sandbox_.WriteBytes(L"rt\\release", "IMPLEMENTOR=\"Zorv\"\r\nJAVA_VERSION=\"21.0.2\"\r\n");
    // A cache: in the local application-data folder, never in the roaming one.
    const std::wstring appData = sandbox_.MakeFolders(L"appdata");
    const std::wstring localAppData = sandbox_.MakeFolders(L"localappdata");
    const std::wstring archiveFolder = localAppData + L"\\Demo\\X";
    auto start = [&](const wchar_t* sharing, const wchar_t* runtime = L"rt") {
        Ini ini = Settings({{L"JRE Path", runtime}, {L"Virtual Machine Parameters", L"-Xmx64m"},
                            {L"Class Data Sharing", sharing}});
        ini.Section(L"Product Information").Set(L"Product Name", L"Demo").Set(L"Product Code", L"X");
        WriteSettings(ini);
        EXPECT_TRUE(Ended(Start(L"", {{L"APPDATA", appData}, {L"LOCALAPPDATA", localAppData}}), 0, {})) << sharing;
        ExpectNoFaults();
        return ParameterOptions();
    };
    EXPECT_EQ(start(L""), std::vector<std::string>{"option -Xmx64m"});
    EXPECT_EQ(start(L"on"), std::vector<std::string>{"option -Xmx64m"});
    EXPECT_FALSE(FileExists(archiveFolder)) << "nothing made without the setting";

    // The archive's path when it is a file of that folder named after the
    // program and the runtime's version, else "".
    auto archiveIn = [&](const std::string& option, const std::string& version, const std::string& ending) {
        const std::string prefix = Utf8(archiveFolder) + "\\app-" + version + "-";
        const bool named = option.compare(0, prefix.size(), prefix) == 0 && option.size() > prefix.size() + ending.size() &&
                           option.compare(option.size() - ending.size(), ending.size(), ending) == 0 &&
                           option.find('\\', prefix.size()) == std::string::npos;
        return named ? option : std::string();
    };
    std::vector<std::string> options = start(L"auto");
    ASSERT_EQ(options.size(), 3u) << LogText();
    EXPECT_EQ(options[0], "option -XX:+AutoCreateSharedArchive");
    const std::string shared = "option -XX:SharedArchiveFile=";
    ASSERT_EQ(options[1].compare(0, shared.size(), shared), 0) << options[1];
    const std::string archive = archiveIn(options[1].substr(shared.size()), "21.0.2", ".jsa");
    EXPECT_NE(archive, "") << options[1];
    EXPECT_EQ(options[2], "option -Xmx64m");
    EXPECT_TRUE(FileExists(archiveFolder));
    EXPECT_FALSE(FileExists(appData + L"\\Demo")) << "a cache must not roam";

    // Another runtime of the same version keeps an archive of its own.
    InstallRuntime(L"rt2", L"bin\\server\\jvm.dll", false);
    sandbox_.WriteBytes(L"rt2\\release", "JAVA_VERSION=\"21.0.2\"\n");
    options = start(L"auto", L"rt2");
    ASSERT_EQ(options.size(), 3u) << LogText();
    const std::string other = archiveIn(options[1].substr(shared.size()), "21.0.2", ".jsa");
    EXPECT_NE(other, "") << options[1];
    EXPECT_NE(other, archive);

    // An older runtime records its archive under a name of its own, as a part until it ends well.
    sandbox_.WriteBytes(L"rt\\release", "JAVA_VERSION=\"17.0.15\"\n");
    options = start(L"auto");
    ASSERT_EQ(options.size(), 2u) << LogText();
    const std::string recording = "option -XX:ArchiveClassesAtExit=";
    ASSERT_EQ(options[0].compare(0, recording.size(), recording), 0) << options[0];
    EXPECT_NE(archiveIn(options[0].substr(recording.size()), "17.0.15", ".jsa.part"), "") << options[0];
    EXPECT_EQ(options[1], "option -Xmx64m");
}

// On a runtime of JDK 24 and later: the first start records, the program
// started again in the background with the marker assembles the cache after
// it ended, with the same class path and options, and the next start maps it.
TEST_F(VmOptions, AheadOfTimeCacheIsRecordedAssembledInTheBackgroundThenMapped) {
    sandbox_.WriteBytes(L"rt\\release", "IMPLEMENTOR=\"Zorv\"\r\nJAVA_VERSION=\"25.0.3\"\r\n");
    const std::wstring localAppData = sandbox_.MakeFolders(L"localappdata");
    const std::wstring folder = localAppData + L"\\Demo\\X";
    Ini ini = Settings({{L"JRE Path", L"rt"}, {L"Virtual Machine Parameters", L"-Xmx64m"}, {L"Class Data Sharing", L"auto"}});
    ini.Section(L"Product Information").Set(L"Product Name", L"Demo").Set(L"Product Code", L"X");
    WriteSettings(ini);
    const std::vector<std::pair<std::wstring, std::wstring>> environment = {{L"LOCALAPPDATA", localAppData}};

    ASSERT_TRUE(Ended(Start(L"one", environment), 0, {}));
    ExpectMainRan();
    const std::vector<std::string> record = ParameterOptions();
    ASSERT_EQ(record.size(), 7u) << LogText();
    const std::string prefix = "option -XX:AOTConfiguration=" +
                               Utf8(folder + L"\\" + zorv::ClassDataStem(exe_, L"25.0.3", sandbox_.Path(L"rt"))) + "-";
    ASSERT_EQ(record[1].compare(0, prefix.size(), prefix), 0) << record[1];
    const std::string base = record[1].substr(std::strlen("option -XX:AOTConfiguration="), prefix.size() + 8 -
                                                                                            std::strlen("option -XX:AOTConfiguration="));
    EXPECT_EQ(record, (std::vector<std::string>{"option -XX:AOTMode=record", "option -XX:AOTConfiguration=" + base + ".1.aotconf",
                                                "option -XX:+UnlockDiagnosticVMOptions", "option -XX:-DisplayVMOutput",
                                                "option -Xlog:cds=off", "option -Xlog:aot=off", "option -Xmx64m"}));
    EXPECT_EQ(WithPrefix(lines_, "aot_recorded "), std::vector<std::string>{"aot_recorded " + base + ".1.aotconf"});

    // The assembly process logs into the same file; it has ended once its
    // cache has its name and the recording is gone.
    const std::wstring cache = FromUtf8(base + ".aot");
    for (int waited = 0; waited < 300 && !(FileExists(cache) && !FileExists(FromUtf8(base + ".1.aotconf"))); ++waited)
        Sleep(100);
    ASSERT_TRUE(FileExists(cache)) << Utf8(cache);
    EXPECT_FALSE(FileExists(FromUtf8(base + ".1.aot.part")));
    // After the first start's lines; no hooks, as the runtime ends this
    // process, and no -Xlog, whose files are the application's.
    std::vector<std::string> assembly = SplitLines(ReadFileBytes(log_));
    ASSERT_GT(assembly.size(), lines_.size());
    lines_.assign(assembly.begin() + static_cast<std::ptrdiff_t>(lines_.size()), assembly.end());
    EXPECT_EQ(WithPrefix(lines_, "create "), std::vector<std::string>{"create version=0x00010002 nOptions=7 ignoreUnrecognized=0"});
    EXPECT_EQ(Options(), (std::vector<std::string>{ClassPathOption(), "option -XX:AOTMode=create",
                                                   "option -XX:AOTConfiguration=" + base + ".1.aotconf",
                                                   "option -XX:AOTCache=" + base + ".1.aot.part", "option -Xmx64m"}))
        << LogText();
    EXPECT_EQ(WithPrefix(lines_, "aot_created "), std::vector<std::string>{"aot_created " + base + ".1.aot.part"});
    EXPECT_TRUE(WithPrefix(lines_, "call_static_void").empty()) << "no application in the assembly process";

    ASSERT_TRUE(Ended(Start(L"two", environment), 0, {}));
    ExpectMainRan();
    EXPECT_EQ(ParameterOptions(), (std::vector<std::string>{"option -XX:AOTCache=" + base + ".aot", "option -Xlog:cds=off",
                                                            "option -Xlog:aot=off", "option -Xmx64m"}))
        << LogText();
    EXPECT_TRUE(WithPrefix(lines_, "aot_").empty()) << LogText();
    EXPECT_FALSE(FileExists(FromUtf8(base + ".1.ticket"))) << "a start that maps the cache gives its tickets back";
    ExpectNoFaults();
}

TEST_F(VmOptions, ClassPathResolvesAgainstTheProgramFolderWhereverItIsStarted) {
    sandbox_.WriteBytes(L"lib\\ext\\one.jar", "1");
    sandbox_.WriteBytes(L"lib\\ext\\two.jar", "2");
    sandbox_.WriteBytes(L"lib\\ext\\notes.txt", "not on the class path");
    // Found only when relative entries were resolved against the current folder.
    sandbox_.WriteBytes(L"elsewhere\\lib\\decoy.jar", "d");
    workingDirectory_ = sandbox_.MakeFolders(L"elsewhere");
    std::wstring absoluteMissing = sandbox_.Path(L"Abs\\Missing.JAR");
    WriteSettings(WithClassPath(L"lib\\app.jar;lib\\missing.jar;lib\\ext\\*.jar;" + absoluteMissing +
                                    L";%ZORV_E2E_LIB%\\app.jar;lib\\decoy.jar",
                                {{L"Embedded Jar", L"yes"}}));
    EXPECT_TRUE(Ended(Start(L"", {{L"ZORV_E2E_LIB", L"lib"}}), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "cwd "), std::vector<std::string>{"cwd " + Utf8(workingDirectory_)}) << LogText();

    std::vector<std::string> entries = ClassPathEntries();
    ASSERT_EQ(entries.size(), 6u) << LogText();
    EXPECT_EQ(entries[0], Utf8(exe_)) << "an embedded jar is the program itself, first";
    EXPECT_EQ(entries[1], Entry(L"lib\\app.jar"));
    // The file search decides the order of a wildcard's matches.
    EXPECT_EQ((std::set<std::string>{entries[2], entries[3]}),
              (std::set<std::string>{Entry(L"lib\\ext\\one.jar"), Entry(L"lib\\ext\\two.jar")}));
    EXPECT_EQ(entries[4], Utf8(absoluteMissing)) << "an absolute entry is kept as written, even when missing";
    EXPECT_EQ(entries[5], Entry(L"lib\\app.jar"));
    ExpectNoFaults();
}

TEST_F(VmOptions, PercentHeapSizesAreShareOfPhysicalMemoryInKilobytes) {
    std::uint64_t kilobytes = TotalPhysicalKilobytes();
    // The cap and the floor below hold on any machine of this range.
    ASSERT_GT(kilobytes, 64ull * 1024) << "the cases need more than 64 MiB";
    ASSERT_LT(kilobytes, 8ull * 1024 * 1024 * 1024) << "the cases need less than 8 TiB";
    // A whole multiple of the memory that passes 2^32 kilobytes whatever the
    // machine's size, so that a 32-bit print shows a negative or cut number.
    std::uint64_t times = (1ull << 32) / kilobytes + 1;
    std::wstring beyond = L"-Xmx" + std::to_wstring(times * 100) + L"p";
    WriteParameters(L"-Xmx25p -Xms50:16:32P -Xmx1:100000:200000p -XMX50p -Xmx0p " + beyond);
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(ParameterOptions(),
              (std::vector<std::string>{
                  "option -Xmx" + std::to_string(kilobytes / 4) + "K",
                  // At most 32 MiB, at least 16.
                  "option -Xms32768K",
                  // At least 100000 MiB.
                  "option -Xmx102400000K",
                  "option -XMX50p",
                  "option -Xmx0K",
                  "option -Xmx" + std::to_string(kilobytes * times) + "K",
              }))
        << LogText();
    ExpectNoFaults();
}

TEST_F(VmOptions, VmThreadStackIsReservedAsLargeAsXssAsks) {
    WriteParameters(L"-Xss64m");
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_GE(StackReserved(), 64u * 1024 * 1024) << LogText();
    EXPECT_LT(StackReserved(), 65u * 1024 * 1024) << LogText();
    EXPECT_EQ(WithPrefix(lines_, "caller_thread "),
              (std::vector<std::string>{"caller_thread other", "caller_thread loader"}))
        << "the VM is created on a thread of its own and destroyed on the main one\n"
        << LogText();
    ExpectMainRan();

    // An unreadable size leaves the choice to the VM's own default.
    WriteParameters(L"-Xssabc");
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_DEFAULT_STACK", L"3145728"}}), 0, {}));
    EXPECT_GE(StackReserved(), 3u * 1024 * 1024) << LogText();
    EXPECT_LT(StackReserved(), 4u * 1024 * 1024) << LogText();
    EXPECT_EQ(ParameterOptions(), std::vector<std::string>{"option -Xssabc"}) << LogText();
    ExpectNoFaults();

    // So it does without any -Xss.
    WriteSettings(Settings({{L"JRE Path", L"rt"}}));
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_DEFAULT_STACK", L"8388608"}}), 0, {}));
    EXPECT_GE(StackReserved(), 8u * 1024 * 1024) << LogText();
    EXPECT_LT(StackReserved(), 9u * 1024 * 1024) << LogText();
    ExpectNoFaults();
}

TEST_F(VmOptions, StackTooLargeForAThreadRunsMainOnTheMainThread) {
    std::uint64_t imageReserve = StackReserveOfImage(exe_);
    ASSERT_GT(imageReserve, 0u);
    WriteParameters(L"-Xss1000000g");
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "caller_thread "),
              (std::vector<std::string>{"caller_thread loader", "caller_thread loader"}))
        << LogText();
    // The main thread's own stack, as the program's header reserves it.
    EXPECT_EQ(StackReserved(), imageReserve) << LogText();
    EXPECT_EQ(ParameterOptions(), std::vector<std::string>{"option -Xss1000000g"}) << LogText();
    ExpectMainRan();
    ExpectNoFaults();
}

TEST_F(VmOptions, QuotesSpacesAndReferencesInTheParameters) {
    WriteParameters(L"-Dname=\"a b\" -Dundefined=%UNDEFINED_ZORV% -Dtemp=%TEMP% -Dsun.java2d.dpiaware=true -Da=\"x y");
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(ParameterOptions(),
              (std::vector<std::string>{"option -Dname=a b", "option -Dundefined=%UNDEFINED_ZORV%",
                                        "option -Dtemp=" + Utf8(EnvironmentValue(L"TEMP")),
                                        "option -Dsun.java2d.dpiaware=true",
                                        // Never closed: the quote stays and the space still separates.
                                        "option -Da=\"x", "option y"}))
        << LogText();
    ExpectNoFaults();

    // A doubled closing quote leaves one; a quote that opens an option and
    // is never closed stays.
    WriteParameters(L"-Dq=\"c\"\" \"-Dlead=1 -Dz=2");
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(ParameterOptions(), (std::vector<std::string>{"option -Dq=c\"", "option \"-Dlead=1", "option -Dz=2"}))
        << LogText();
    ExpectNoFaults();

    // Quotes around whole options keep the spaces between them; a lone
    // quote is an option of its own.
    // (A value wholly in quotes would lose them to the profile functions.)
    WriteParameters(L"-Dfirst=0 \"-Dwhole=1 -Dstill=2\" \"");
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(ParameterOptions(),
              (std::vector<std::string>{"option -Dfirst=0", "option -Dwhole=1 -Dstill=2", "option \""}))
        << LogText();
    ExpectNoFaults();

    // Options are ANSI text: a letter of the code page is its byte there, one
    // outside it the conversion's stand-in.
    if (GetACP() != 1252) GTEST_SKIP() << "the bytes below are those of code page 1252, not " << GetACP();
    WriteParameters(L"-Dn=caf\u00e9 -Dm=\u65e5");
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(ParameterOptions(), (std::vector<std::string>{"option -Dn=caf\xE9", "option -Dm=?"})) << LogText();
    ExpectNoFaults();
}

TEST_F(VmOptions, ParametersOnlyInTheAddedSectionLoseTheEmptyOptionTheyStartWith) {
    Ini ini = Settings({{L"JRE Path", L"rt"}});
    ini.Section(L"Java Runtime Environment+").Set(L"Virtual Machine Parameters", L"-Dplus=1");
    WriteSettings(ini);
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(ParameterOptions(), (std::vector<std::string>{"option -Dplus=1"})) << LogText();
    ExpectNoFaults();
}

TEST_F(VmOptions, OptionsAsJavaTakesThemAndWhatTheApplicationIsToldOfItsStart) {
    WriteParameters(L"--add-opens java.base/java.lang=ALL-UNNAMED \"--add-modules\" javafx.controls "
                    L"-p \"C:\\my mods\" %ZORV_E2E_EMPTY% -server --enable-preview --add-exports=a/b=c "
                    L"--enable-native-access ALL-UNNAMED");
    EXPECT_TRUE(Ended(Start(L"one \"two words\"", {{L"ZORV_E2E_EMPTY", L""}}), 0, {}));
    EXPECT_EQ(ParameterOptions(),
              (std::vector<std::string>{"option --add-opens=java.base/java.lang=ALL-UNNAMED",
                                        "option --add-modules=javafx.controls", "option --module-path=C:\\my mods",
                                        "option --enable-preview", "option --add-exports=a/b=c",
                                        "option --enable-native-access=ALL-UNNAMED"}))
        << LogText();
    // As java forms them, before the parameters, which may still override them.
    std::vector<std::string> all = WithPrefix(lines_, "option ");
    ASSERT_GE(all.size(), 3u) << LogText();
    EXPECT_EQ(std::vector<std::string>(all.begin() + 1, all.begin() + 3),
              (std::vector<std::string>{"option -Dsun.java.launcher=SUN_STANDARD",
                                        "option -Dsun.java.command=com.example.App one two words"}))
        << LogText();
    ExpectMainRan();
    ExpectNoFaults();
}

TEST_F(VmOptions, OptionsOfTheJavaCommandStopTheStartBeforeTheVmNamingTheSetting) {
    const std::string stopped = "Virtual Machine Parameters: ";
    const struct {
        const wchar_t* parameters;
        std::string message;
    } cases[] = {
        {L"-Dx=1 -jar app.jar",
         stopped + "-jar is an option of the java command, not of the VM; use \"Main Jar\" in [Java Runtime "
                   "Environment] instead.\n"},
        {L"\"-cp\" lib", stopped + "-cp is an option of the java command, not of the VM; use \"Class Path\" in "
                                   "[Class Path] instead.\n"},
        {L"-splash:s.png", stopped + "-splash:s.png is an option of the java command, not of the VM; use \"Splash "
                                     "Screen\" in [Display] instead.\n"},
        {L"-Dx=1 --add-opens", stopped + "--add-opens needs a value after it.\n"},
    };
    for (const auto& c : cases) {
        WriteParameters(c.parameters);
        EXPECT_TRUE(Ended(Start(), 0xFFFFFFFF, {c.message})) << Utf8(c.parameters);
        EXPECT_EQ(WithPrefix(lines_, "create "), std::vector<std::string>{}) << LogText();
    }
}

TEST_F(VmRun, MainModuleAndMainJarAreHandedToTheRuntimesHelper) {
    sandbox_.WriteBytes(L"mods\\app.jar", "module");
    sandbox_.WriteBytes(L"dist\\app.jar", "jar");
    Ini ini;
    ini.Section(L"Class Path").Set(L"Module Path", L"mods\\*.jar;C:\\fx");
    ini.Section(L"Java Runtime Environment").Set(L"Main Module", L"app.mod/com.example.App").Set(L"JRE Path", L"rt");
    WriteSettings(ini);
    EXPECT_TRUE(Ended(Start(L"a"), 0, {}));
    EXPECT_EQ(Options(), (std::vector<std::string>{"option -Djava.class.path=",
                                                   "option --module-path=" + Entry(L"mods\\app.jar") + ";C:\\fx",
                                                   "option -Djdk.module.main=app.mod", "option abort hook=set",
                                                   "option exit hook=set"}))
        << LogText();
    EXPECT_EQ(WithPrefix(lines_, "option -Dsun.java.command="),
              std::vector<std::string>{"option -Dsun.java.command=app.mod/com.example.App a"});
    EXPECT_EQ(WithPrefix(lines_, "call_static_object "),
              std::vector<std::string>{
                  "call_static_object sun/launcher/LauncherHelper.checkAndLoadMain 1 3 app.mod/com.example.App"})
        << LogText();
    ExpectMainRan();
    ExpectNoFaults();

    // A jar wins over a main class; the class path follows it, and the class
    // the runtime found in the jar is asked for its name (Class.getName).
    Ini jarIni;
    jarIni.Section(L"Class Path").Set(L"Class Path", L"lib\\app.jar");
    jarIni.Section(L"Java Runtime Environment")
        .Set(L"Main Class", L"com.example.Other")
        .Set(L"Main Jar", L"dist\\app.jar")
        .Set(L"JRE Path", L"rt");
    WriteSettings(jarIni);
    EXPECT_TRUE(Ended(Start(), 0, {}));
    const std::string jar = Entry(L"dist\\app.jar");
    EXPECT_EQ(WithPrefix(lines_, "option -Djava.class.path="),
              std::vector<std::string>{"option -Djava.class.path=" + jar + ";" + Entry(L"lib\\app.jar") + ";"});
    EXPECT_EQ(WithPrefix(lines_, "option -Dsun.java.command="), std::vector<std::string>{"option -Dsun.java.command=" + jar});
    EXPECT_EQ(WithPrefix(lines_, "call_static_object "),
              std::vector<std::string>{"call_static_object sun/launcher/LauncherHelper.checkAndLoadMain 1 2 " + jar})
        << LogText();
    EXPECT_EQ(WithPrefix(lines_, "call_object ").size(), 1u) << LogText();
    ExpectMainRan();
    ExpectNoFaults();
}

TEST_F(VmRun, SystemPathLeadsThePathTheVmSees) {
    WriteSettings(Settings({{L"JRE Path", L"rt"}, {L"System Path", L"C:\\zorv\\system;%ZORV_E2E_SYS%"}}));
    std::wstring path = EnvironmentValue(L"Path");
    EXPECT_TRUE(Ended(Start(L"", {{L"ZORV_E2E_SYS", L"C:\\zorv\\expanded"},
                                  {L"FAKEJVM_LOG_ENV", L"ZORV_JVM_PATH,ZORV_JVM_HOME,Path"}}),
                      0, {}));
    EXPECT_EQ(WithPrefix(lines_, "env "),
              (std::vector<std::string>{"env ZORV_JVM_PATH=" + Utf8(library_),
                                        "env ZORV_JVM_HOME=" + Utf8(sandbox_.Path(L"rt")),
                                        "env Path=C:\\zorv\\system;C:\\zorv\\expanded;" +
                                            Utf8(sandbox_.Path(L"rt\\bin") + L";" + path)}))
        << LogText();
    ExpectNoFaults();

    // Without a system path the runtime's bin folder leads.
    WriteSettings(Settings({{L"JRE Path", L"rt"}}));
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_LOG_ENV", L"ZORV_JVM_PATH,ZORV_JVM_HOME,Path"}}), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "env "),
              (std::vector<std::string>{"env ZORV_JVM_PATH=" + Utf8(library_),
                                        "env ZORV_JVM_HOME=" + Utf8(sandbox_.Path(L"rt")),
                                        "env Path=" + Utf8(sandbox_.Path(L"rt\\bin") + L";" + path)}))
        << LogText();
    ExpectNoFaults();
}

// [Environment] is set before the runtime search, so its JAVA_HOME chooses
// the runtime; each value sees the ones before it and an empty one removes
// the variable. The priority class is the one asked for, and "Library Path"
// as people write it (no final ";") gets its separator.
TEST_F(VmRun, EnvironmentPriorityAndLibraryPathReachTheVm) {
    const std::wstring home = sandbox_.Path(L"jh");
    const std::wstring homeLibrary = InstallRuntime(L"jh", L"bin\\server\\jvm.dll", true);
    Ini ini = Settings({{L"Library Path", L"natives"}}, {{L"Process Priority", L"Below Normal"}});
    ini.Section(L"Environment")
        .Set(L"JAVA_HOME", L"%ZORV_E2E_HOME%")
        .Set(L"FIRST", L"one")
        .Set(L"SECOND", L"%FIRST%-two")
        .Set(L"DROPPED", L"")
        .Set(L"Path", L"C:\\extra;%Path%");
    WriteSettings(ini);
    const std::wstring path = EnvironmentValue(L"Path");
    const std::wstring trace = sandbox_.Path(L"trace.txt");
    EXPECT_TRUE(Ended(Start(L"", {{L"ZORV_E2E_HOME", home},
                                  {L"DROPPED", L"inherited"},
                                  {L"ZORV_LAUNCHER_DEBUG", trace},
                                  {L"FAKEJVM_LOG_PRIORITY", L"yes"},
                                  {L"FAKEJVM_LOG_ENV", L"SECOND,DROPPED,Path"}}),
                      0, {}));
    ExpectLoaded(homeLibrary);
    EXPECT_EQ(WithPrefix(lines_, "env "),
              (std::vector<std::string>{"env SECOND=one-two", "env DROPPED unset",
                                        "env Path=" + Utf8(home + L"\\bin;C:\\extra;" + path)}))
        << LogText();
    EXPECT_EQ(WithPrefix(lines_, "priority_class "), std::vector<std::string>{"priority_class 0x4000"}) << LogText();
    const std::vector<std::string> options = Options();
    ASSERT_FALSE(options.empty()) << LogText();
    EXPECT_EQ(options[0], "option -Djava.library.path=natives;" + Utf8(sandbox_.Root()) + "\\;.;" +
                              Utf8(L"C:\\extra;" + path) + ";" + Utf8(home) + "\\lib")
        << LogText();
    const std::string traced = ReadFileBytes(trace);
    for (const std::string& line : {"environment: JAVA_HOME=" + Utf8(home), std::string("environment: DROPPED removed"),
                                    std::string("process: priority below normal")}) {
        EXPECT_NE(traced.find(line), std::string::npos) << line << "\n" << traced;
    }
    ExpectMainRan();
    ExpectNoFaults();
}

// A library loaded by its name alone, as a JNI library's dependencies are,
// comes from the system, the runtime's bin folder or a "System Path" folder;
// one planted in the working folder or on Path is not loaded.
// "exit 9 to restart": each restart is a new process with the same
// arguments, at most 5 within a minute, after which 9 is the exit code. The
// console launcher waits for the new start and ends with its code; the GUI
// launcher ends at once and the restarts follow on their own.
TEST_F(VmRun, RestartExitCodeStartsTheApplicationAgainAtMostFiveTimesAMinute) {
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Restart Exit Code", L"9"}}));
    environment_.push_back({L"FAKEJVM_MAIN", L"exit:9"});
    environment_.push_back({L"FAKEJVM_LOG_ENV", L"ZORV_RESTARTS"});
    auto restarts = [&] {
        std::vector<std::string> said = WithPrefix(SplitLines(ReadFileBytes(log_)), "env ZORV_RESTARTS");
        for (std::string& line : said) line = line.substr(0, line.find('@'));
        return said;
    };
    const std::vector<std::string> chain = {"env ZORV_RESTARTS unset", "env ZORV_RESTARTS=1", "env ZORV_RESTARTS=2",
                                            "env ZORV_RESTARTS=3", "env ZORV_RESTARTS=4", "env ZORV_RESTARTS=5"};
    exe_ = sandbox_.CopyIn(ConsoleLauncherExe(), L"app.exe");
    // Each start takes a moment, so that a console launcher that did not wait would end first.
    environment_.push_back({L"FAKEJVM_PAUSE", L"zorv-e2e-restart-never-set"});
    environment_.push_back({L"FAKEJVM_MAIN_WAIT", L"300"});
    const uiauto::RunResult chained = Start(L"one \"two words\"");
    EXPECT_TRUE(Ended(chained, 9, {}));
    EXPECT_GE(chained.elapsedMs, 6 * 300.0) << "the console launcher did not wait for the new starts";
    EXPECT_EQ(restarts(), chain);
    EXPECT_EQ(WithPrefix(SplitLines(ReadFileBytes(log_)), "arg[1]=two words").size(), 6u) << ReadFileBytes(log_);

    DeleteFileW(log_.c_str());
    exe_ = sandbox_.CopyIn(LauncherExe(), L"app.exe");
    EXPECT_TRUE(Ended(Start(L"one"), 9, {}));
    for (int waited = 0; waited < 20000 && WithPrefix(SplitLines(ReadFileBytes(log_)), "unload").size() < 6;
         waited += 100)
        Sleep(100);
    Sleep(500);  // a seventh start, were there one, would have logged by now
    EXPECT_EQ(restarts(), chain);
    ExpectNoFaults();
}

TEST_F(VmRun, LibrariesByNameComeOnlyFromTheSystemAndAddedFolders) {
    for (const wchar_t* copy : {L"rt\\bin\\inbin.dll", L"sys\\insystem.dll", L"work\\planted.dll", L"onpath\\onpath.dll"}) {
        sandbox_.CopyIn(FakeJvm64(), copy);
    }
    WriteSettings(Settings({{L"JRE Path", L"rt"}, {L"System Path", sandbox_.Path(L"sys")}}));
    workingDirectory_ = sandbox_.Path(L"work");
    EXPECT_TRUE(Ended(Start(L"", {{L"Path", sandbox_.Path(L"onpath") + L";" + EnvironmentValue(L"Path")},
                                  {L"FAKEJVM_LOAD_BY_NAME", L"inbin.dll,insystem.dll,planted.dll,onpath.dll,user32.dll"}}),
                      0, {}));
    EXPECT_EQ(WithPrefix(lines_, "load_by_name "),
              (std::vector<std::string>{"load_by_name inbin.dll found", "load_by_name insystem.dll found",
                                        "load_by_name planted.dll not_found", "load_by_name onpath.dll not_found",
                                        "load_by_name user32.dll found"}))
        << LogText();
}

TEST_F(VmRun, OutputFileNameTakesTodaysDateAndGetsItsFolder) {
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Output File", L"logs\\out_%yyyyMMdd%.txt"}}));
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    uiauto::RunResult result = Start(L"", {{L"FAKEJVM_WRITE_OUT", L"dated"}});
    GetLocalTime(&after);
    EXPECT_TRUE(Ended(result, 0, {}));
    std::vector<std::string> setOut = WithPrefix(lines_, "set_out ");
    ASSERT_EQ(setOut.size(), 1u) << LogText();
    // The run may cross midnight.
    std::set<std::string> names{"set_out append=0 logs\\out_" + Utf8(DateText(before, false)) + ".txt",
                                "set_out append=0 logs\\out_" + Utf8(DateText(after, false)) + ".txt"};
    EXPECT_EQ(names.count(setOut[0]), 1u) << setOut[0];
    std::wstring written = sandbox_.Path(FromUtf8(setOut[0].substr(std::strlen("set_out append=0 "))));
    EXPECT_EQ(ReadFileBytes(written), "dated");
    ExpectNoFaults();

    // An absolute name gets every missing level of its folder.
    std::wstring output = sandbox_.Path(L"deep\\today\\out.txt");
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Output File", output}}));
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_WRITE_OUT", L"hello from main"}}), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "set_out "), std::vector<std::string>{"set_out append=0 " + Utf8(output)}) << LogText();
    EXPECT_EQ(ReadFileBytes(output), "hello from main");
    ExpectNoFaults();
}

TEST_F(VmRun, AppendKeepsWhatTheFilesHeld) {
    std::wstring out = sandbox_.Path(L"out.txt");
    std::wstring err = sandbox_.Path(L"err.txt");
    const std::vector<std::pair<std::wstring, std::wstring>> writes{{L"FAKEJVM_WRITE_OUT", L"new out"},
                                                                    {L"FAKEJVM_WRITE_ERR", L"new err"}};
    auto run = [&](const wchar_t* outputAppend, const wchar_t* errorAppend) {
        sandbox_.WriteBytes(L"out.txt", "old out|");
        sandbox_.WriteBytes(L"err.txt", "old err|");
        std::vector<std::pair<std::wstring, std::wstring>> application{{L"Output File", out}, {L"Error File", err}};
        if (outputAppend != nullptr) application.emplace_back(L"Output Append", outputAppend);
        if (errorAppend != nullptr) application.emplace_back(L"Error Append", errorAppend);
        WriteSettings(Settings({{L"JRE Path", L"rt"}}, application));
        EXPECT_TRUE(Ended(Start(L"", writes), 0, {}));
        ExpectNoFaults();
    };

    run(L"yes", nullptr);
    EXPECT_EQ(ReadFileBytes(out), "old out|new out");
    EXPECT_EQ(ReadFileBytes(err), "new err");
    EXPECT_EQ(WithPrefix(lines_, "set_"), (std::vector<std::string>{"set_out append=1 " + Utf8(out),
                                                                    "set_err append=0 " + Utf8(err)}))
        << LogText();

    run(nullptr, L"yes");
    EXPECT_EQ(ReadFileBytes(out), "new out");
    EXPECT_EQ(ReadFileBytes(err), "old err|new err");

    // Only the lower-case word appends.
    run(L"Yes", L"YES");
    EXPECT_EQ(ReadFileBytes(out), "new out");
    EXPECT_EQ(ReadFileBytes(err), "new err");
}

TEST_F(VmRun, OutputFileNamesOutOfTheOrdinary) {
    // A single "%" opens no picture and is dropped.
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Output File", sandbox_.Path(L"out%.txt")}}));
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_WRITE_OUT", L"single"}}), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "set_out "), std::vector<std::string>{"set_out append=0 " + Entry(L"out.txt")})
        << LogText();
    EXPECT_EQ(ReadFileBytes(sandbox_.Path(L"out.txt")), "single");
    ExpectNoFaults();

    // A picture far longer than MAX_PATH, with folders in it.
    std::wstring picture, expectedTail;
    SYSTEMTIME before;
    GetLocalTime(&before);
    for (int i = 0; i < 25; ++i) {
        picture += (i == 0 ? L"" : L"\\") + std::wstring(L"yyyy-MM-dd");
        expectedTail += (i == 0 ? L"" : L"\\") + DateText(before, true);
    }
    std::wstring output = sandbox_.Path(L"long\\%" + picture + L"%.txt");
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Output File", output}}));
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_WRITE_OUT", L"long"}}), 0, {}));
    std::wstring expected = sandbox_.Path(L"long\\" + expectedTail + L".txt");
    ASSERT_GT(expected.size(), 300u);
    EXPECT_EQ(WithPrefix(lines_, "set_out "), std::vector<std::string>{"set_out append=0 " + Utf8(expected)})
        << LogText();
    EXPECT_EQ(ReadFileBytes(expected), "long");
    ExpectNoFaults();

    // The system's own time formatting; milliseconds without leading zeros.
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Output File", sandbox_.Path(L"out_%HH-mm-ss.L%.txt")}}));
    SYSTEMTIME start, end;
    GetLocalTime(&start);
    EXPECT_TRUE(Ended(Start(), 0, {}));
    GetLocalTime(&end);
    std::vector<std::string> setOut = WithPrefix(lines_, "set_out append=0 " + Entry(L"out_"));
    ASSERT_EQ(setOut.size(), 1u) << LogText();
    std::smatch time;
    std::string name = setOut[0].substr(setOut[0].rfind('\\') + 1);
    bool matched = std::regex_match(name, time, std::regex(R"(out_(\d\d)-(\d\d)-(\d\d)\.(0|[1-9]\d{0,2})\.txt)"));
    EXPECT_TRUE(matched) << name;
    auto seconds = [](int h, int m, int s) { return (h * 60 + m) * 60 + s; };
    if (matched && end.wHour >= start.wHour) {  // not across midnight
        int taken = seconds(std::stoi(time[1].str()), std::stoi(time[2].str()), std::stoi(time[3].str()));
        EXPECT_GE(taken, seconds(start.wHour, start.wMinute, start.wSecond)) << name;
        EXPECT_LE(taken, seconds(end.wHour, end.wMinute, end.wSecond)) << name;
    }

    // Two pictures are one, from the first "%" to the last; the inner ones
    // stay as text that neither formatting touches.
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Output File", sandbox_.Path(L"%yyyy%_x_%MM%.txt")}}));
    GetLocalTime(&start);
    EXPECT_TRUE(Ended(Start(), 0, {}));
    wchar_t twoPictures[32];
    std::swprintf(twoPictures, 32, L"%04u%%_x_%%%02u.txt", start.wYear, start.wMonth);
    EXPECT_EQ(WithPrefix(lines_, "set_out "), std::vector<std::string>{"set_out append=0 " + Entry(twoPictures)})
        << LogText();
    ExpectNoFaults();
}

TEST_F(VmRun, OutputFolderThatCannotBeCreatedLeavesOutputAlone) {
    sandbox_.WriteBytes(L"blocker", "a file where a folder would have to be");
    std::wstring output = sandbox_.Path(L"blocker\\sub\\out.txt");
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Output File", output}}));
    const std::wstring trace = sandbox_.Path(L"trace.txt");
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_WRITE_OUT", L"to the console"}, {L"ZORV_LAUNCHER_DEBUG", trace}}), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "file_open_failed "), std::vector<std::string>{"file_open_failed " + Utf8(output)})
        << LogText();
    // One line in the trace (and on standard error) instead of the VM's stack trace.
    EXPECT_EQ(WithPrefix(lines_, "exception_describe "), std::vector<std::string>{}) << LogText();
    EXPECT_NE(ReadFileBytes(trace).find("vm: Output File \"" + Utf8(output) + "\" cannot be opened (java."),
              std::string::npos)
        << ReadFileBytes(trace);
    EXPECT_EQ(WithPrefix(lines_, "set_out "), std::vector<std::string>{}) << LogText();
    ExpectMainRan();
    ExpectNoFaults();
}

TEST_F(VmRun, CmdArgumentsFollowTheCommandLinesAndSplashSwitchesReachMain) {
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Cmd", L"--extra \"\" %ZORV_E2E_ARG% \"with space\" \"\""}}));
    EXPECT_TRUE(Ended(Start(L"-nosplash /nosplash first", {{L"ZORV_E2E_ARG", L"expanded"}}), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "arg["),
              (std::vector<std::string>{"arg[0]=-nosplash", "arg[1]=/nosplash", "arg[2]=first", "arg[3]=--extra",
                                        "arg[4]=expanded", "arg[5]=with space"}))
        << LogText();
    ExpectNoFaults();

    WriteSettings(Settings({{L"JRE Path", L"rt"}}));
    EXPECT_TRUE(Ended(Start(), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "main_args "), std::vector<std::string>{"main_args count=0"}) << LogText();
    ExpectNoFaults();

    // Far more arguments than the local references a thread is promised: one
    // kept per element shows up as a fault of the double.
    std::wstring many;
    for (int i = 0; i < 300; ++i) many += L" a" + std::to_wstring(i);
    EXPECT_TRUE(Ended(Start(many), 0, {}));
    std::vector<std::string> arguments = WithPrefix(lines_, "arg[");
    ASSERT_EQ(arguments.size(), 300u) << LogText();
    EXPECT_EQ(arguments.back(), "arg[299]=a299");
    ExpectNoFaults();
}

TEST_F(VmRun, ExceptionFromMainWithFailureCheckIsLeftToTheVm) {
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Failure Check", L"Yes"}}));
    // Without a trace to show there is no dialog, and the exception is left
    // pending as it was while the trace was asked for: nobody chose to go on,
    // so the process ends with 1, as java's does. The helper reports
    // main's form, so that main's is the only exception raised at all.
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_MAIN", L"throw"},
                                  {L"FAKEJVM_TRACE_FAULT", L"tostring_null"},
                                  {L"FAKEJVM_MAIN_FORM", L"static"}}),
                      1, {}));
    EXPECT_EQ(WithPrefix(lines_, "throw "),
              std::vector<std::string>{"throw java/lang/RuntimeException thrown by com.example.App.main"})
        << LogText();
    EXPECT_EQ(WithPrefix(lines_, "system_exit "), std::vector<std::string>{}) << LogText();
    // The real VM prints the exception when the thread detaches with it
    // pending; the double counts that as a fault of its own kind.
    EXPECT_EQ(Faults(lines_), std::vector<std::string>{"DETACH_WITH_PENDING_EXCEPTION java/lang/RuntimeException"})
        << LogText();
}

TEST_F(VmRun, ServiceDestroysTheVmOnItsOwnThread) {
    WriteSettings(Settings({{L"JRE Path", L"rt"}}, {{L"Application Type", L"service"}}));
    EXPECT_TRUE(Ended(Start(), 0, {}));
    std::vector<std::string> tail;
    for (const std::string& line : lines_) {
        if (line.rfind("main_args ", 0) == 0 || line == "detach" || line == "destroy" ||
            line.rfind("caller_thread ", 0) == 0)
            tail.push_back(line);
    }
    EXPECT_EQ(tail, (std::vector<std::string>{"caller_thread other", "main_args count=0", "detach", "destroy",
                                              "caller_thread other"}))
        << LogText();
    ExpectNoFaults();
}

}  // namespace
}  // namespace e2e
