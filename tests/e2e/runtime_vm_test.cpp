// Finding and loading the runtime, and the VM's first steps, with the jvm.dll
// double standing in for a real runtime (fake_runtime.h).
#include <gtest/gtest.h>

#include "fake_runtime.h"
#include "launcher/win32_api.h"

namespace e2e {
namespace {

// Cyrillic and a letter with a diaeresis: the arguments must reach main as
// UTF-16, not through the ANSI code page.
const wchar_t kUnicodeArgument[] = L"\u041f\u0440\u0438\u0432\u0435\u0442-\u00fc";

using RuntimeSearch = FakeRuntime;

TEST_F(RuntimeSearch, ConfiguredFolderHandsTheVmItsOptionsAndMainItsArguments) {
    std::wstring library = InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    WriteSettings(Settings({{L"JRE Path", L"rt"}, {L"Virtual Machine Parameters", L"-Xmx64m \"-Dzorv.words=a b\" -Dzorv.last=1"}}));
    uiauto::RunResult result = Start(L"one \"two words\" " + std::wstring(kUnicodeArgument));
    EXPECT_TRUE(Ended(result, 0, {}));
    ExpectLoaded(library);
    EXPECT_EQ(Options(), (std::vector<std::string>{ClassPathOption(), "option -Xmx64m", "option -Dzorv.words=a b",
                                                   "option -Dzorv.last=1", "option abort hook=set",
                                                   "option exit hook=set"}))
        << LogText();
    EXPECT_EQ(WithPrefix(lines_, "arg["),
              (std::vector<std::string>{"arg[0]=one", "arg[1]=two words", "arg[2]=" + Utf8(kUnicodeArgument)}))
        << LogText();
    // The settings' dotted name goes to the helper as it is, printing to
    // standard error, in the mode of a class name.
    EXPECT_EQ(WithPrefix(lines_, "call_static_object "),
              std::vector<std::string>{"call_static_object sun/launcher/LauncherHelper.checkAndLoadMain 1 1 " +
                                       Utf8(kMainClass)})
        << LogText();
    ExpectNoFaults();
}

TEST_F(RuntimeSearch, AbsoluteConfiguredFolderWinsOverTheOneBesideTheProgram) {
    std::wstring configured = InstallRuntime(L"elsewhere", L"bin\\client\\jvm.dll", false);
    InstallRuntime(L"", L"bin\\client\\jvm.dll", true);
    WriteSettings(Settings({{L"JRE Path", sandbox_.Path(L"elsewhere")}}));
    EXPECT_TRUE(Ended(Start(), 0, {}));
    ExpectLoaded(configured);
}

TEST_F(RuntimeSearch, RuntimeBesideTheProgram) {
    std::wstring library = InstallRuntime(L"", L"bin\\client\\jvm.dll", true);
    WriteSettings(Settings());
    EXPECT_TRUE(Ended(Start(), 0, {}));
    ExpectLoaded(library);
}

TEST_F(RuntimeSearch, RuntimeInJre64BesideTheProgram) {
    std::wstring library = InstallRuntime(L"jre64", L"bin\\client\\jvm.dll", true);
    WriteSettings(Settings());
    EXPECT_TRUE(Ended(Start(), 0, {}));
    ExpectLoaded(library);
}

TEST_F(RuntimeSearch, FolderWithoutJavaDllBesideTheProgramIsNoRuntime) {
    InstallRuntime(L"jre64", L"bin\\client\\jvm.dll", false);
    WriteSettings(Settings());
    EXPECT_TRUE(EndedWithoutRuntime(Start()));
    EXPECT_EQ(lines_, std::vector<std::string>{});
}

TEST_F(RuntimeSearch, JavaHomeVariableElseNoRuntimeAnywhereEndsAtTheDialog) {
    WriteSettings(Settings());
    // A JAVA_HOME that is no Java home changes nothing.
    EXPECT_TRUE(EndedWithoutRuntime(Start(L"", {{L"JAVA_HOME", sandbox_.Path(L"lib")}})));
    EXPECT_EQ(lines_, std::vector<std::string>{});

    std::wstring library = InstallRuntime(L"jdk", L"bin\\server\\jvm.dll", true);
    EXPECT_TRUE(Ended(Start(L"", {{L"JAVA_HOME", sandbox_.Path(L"jdk")}}), 0, {}));
    ExpectLoaded(library);
}

TEST_F(RuntimeSearch, RegisteredRuntimeWithinTheVersionBounds) {
    std::wstring library = InstallRuntime(L"registered", L"bin\\server\\jvm.dll", false);
    RegistryRegistration registration(L"17", sandbox_.Path(L"registered"));
    ASSERT_TRUE(registration.ok());

    WriteSettings(Settings({{L"Minimum Version", L"11"}, {L"Maximum Version", L"any"}}));
    EXPECT_TRUE(Ended(Start(), 0, {}));
    ExpectLoaded(library);

    WriteSettings(Settings({{L"Minimum Version", L"18"}, {L"Maximum Version", L"any"}}));
    EXPECT_TRUE(EndedWithoutRuntime(Start())) << "a runtime below the minimum was taken";

    // An empty maximum admits no registered runtime at all.
    WriteSettings(Settings());
    EXPECT_TRUE(EndedWithoutRuntime(Start()));
    EXPECT_EQ(lines_, std::vector<std::string>{});
}

// A runtime that only its vendor's key knows is found once "VM Provider" asks
// for the vendors, and a JDK 25 runtime's instance main then runs on an object.
TEST_F(RuntimeSearch, VendorRegistrationWithAVendorKeywordRunsAnInstanceMain) {
    std::wstring library = InstallRuntime(L"temurin", L"bin\\server\\jvm.dll", false);
    const std::wstring key = L"Software\\Eclipse Adoptium";
    RegistryRegistration registration({key, key + L"\\JDK", key + L"\\JDK\\25.0.1.8", key + L"\\JDK\\25.0.1.8\\hotspot",
                                       key + L"\\JDK\\25.0.1.8\\hotspot\\MSI"},
                                      L"Path", sandbox_.Path(L"temurin"));
    ASSERT_TRUE(registration.ok());

    WriteSettings(Settings({{L"Maximum Version", L"any"}}));
    EXPECT_TRUE(EndedWithoutRuntime(Start()));
    WriteSettings(Settings({{L"Maximum Version", L"any"}, {L"VM Provider", L"Favor_Adoptium"}}));
    EXPECT_TRUE(Ended(Start(L"x", {{L"FAKEJVM_MAIN_FORM", L"instance"}}), 0, {}));
    ExpectLoaded(library);
    EXPECT_EQ(WithPrefix(lines_, "get_static_boolean "),
              (std::vector<std::string>{"get_static_boolean sun/launcher/LauncherHelper.isStaticMain=0",
                                        "get_static_boolean sun/launcher/LauncherHelper.noArgMain=0"}))
        << LogText();
    EXPECT_EQ(WithPrefix(lines_, "new_object "), std::vector<std::string>{"new_object com/example/App"}) << LogText();
    EXPECT_EQ(WithPrefix(lines_, "call_void "), std::vector<std::string>{"call_void com/example/App.main"})
        << LogText();
    EXPECT_EQ(WithPrefix(lines_, "arg["), std::vector<std::string>{"arg[0]=x"}) << LogText();
    ExpectNoFaults();
}

// A 32-bit runtime cannot be loaded into the 64-bit launcher: with a pair
// product the launcher hands the whole command line over to it.
class PairProduct : public FakeRuntime {
protected:
    void SetUp() override {
        FakeRuntime::SetUp();
        if (IsSkipped()) return;
        if (FakeJvm32().empty() || !FileExists(FakeJvm32())) GTEST_SKIP() << "the 32-bit jvm.dll double was not built";
        InstallRuntime(L"rt32", L"bin\\server\\jvm.dll", false, FakeJvm32());
        pair_ = sandbox_.CopyIn(PairStubExe(), L"pair\\app32.exe");
        pairLog_ = sandbox_.Path(L"pair.log");
        environment_.emplace_back(L"PAIR_STUB_LOG", pairLog_);
        environment_.emplace_back(L"PAIR_STUB_EXIT", L"5");
    }
    std::wstring pair_;
    std::wstring pairLog_;
};

TEST_F(PairProduct, WaitedForItsExitCodeIsTheLaunchers) {
    WriteSettings(Settings({{L"JRE Path", L"rt32"}}, {{L"Pair Product", pair_}, {L"Pair Return Code", L"Yes"}}));
    std::wstring arguments = L"one \"two words\" " + std::wstring(kUnicodeArgument);
    EXPECT_TRUE(Ended(Start(arguments), 5, {}));
    EXPECT_EQ(ReadFileBytes(pairLog_), Utf8(L"\"" + exe_ + L"\" " + arguments));
    EXPECT_EQ(WithPrefix(lines_, "load "), std::vector<std::string>{}) << "the 32-bit library was loaded";
}

TEST_F(PairProduct, NotWaitedForTheLauncherSucceeds) {
    WriteSettings(Settings({{L"JRE Path", L"rt32"}}, {{L"Pair Product", pair_}}));
    EXPECT_TRUE(Ended(Start(L"x"), 0, {}));
    EXPECT_EQ(WaitForFile(pairLog_, 10000), Utf8(L"\"" + exe_ + L"\" x"));
}

TEST_F(PairProduct, MissingPairProductIsReported) {
    std::wstring missing = sandbox_.Path(L"pair\\missing.exe");
    WriteSettings(Settings({{L"JRE Path", L"rt32"}}, {{L"Pair Product", missing}, {L"Pair Return Code", L"Yes"}}));
    EXPECT_TRUE(Ended(Start(), kFailed, {"Windows exception: " + Utf8(missing) + " (errno = 2).\n"}));
}

TEST_F(PairProduct, WithoutPairProductThe32BitRuntimeIsPassedOverAndTheUserAsked) {
    WriteSettings(Settings({{L"JRE Path", L"rt32"}}));
    EXPECT_TRUE(EndedWithoutRuntime(Start()));
    EXPECT_EQ(WithPrefix(lines_, "load "), std::vector<std::string>{}) << "the 32-bit library was loaded";
}

using VmLibrary = FakeRuntime;

TEST_F(VmLibrary, FileThatIsNoDllFailsToLoad) {
    std::wstring library = sandbox_.WriteBytes(L"rt\\bin\\server\\jvm.dll", "This is a text file, not a library.\r\n");
    WriteSettings(Settings({{L"JRE Path", L"rt"}}));
    EXPECT_TRUE(Ended(Start(), kFailed, {"Failed to load Java VM library: " + Utf8(library) + " (errno = 193).\n"}));
}

TEST_F(VmLibrary, CreateFailureShowsTheReason) {
    InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    WriteSettings(Settings({{L"JRE Path", L"rt"}}));
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_CREATE_RESULT", L"-4"}}), kFailed,
                      {"JNI exception: failed to create the Java VM\nReason: not enough memory.\n"}));
    // A code without a reason of its own leaves the reason empty.
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_CREATE_RESULT", L"-7"}}), kFailed,
                      {"JNI exception: failed to create the Java VM\nReason: .\n"}));
}

TEST_F(VmLibrary, MissingMainClass) {
    InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    sandbox_.WriteBytes(L"app.ini", Ini()
                                        .Section(L"Class Path")
                                        .Set(L"Class Path", L"lib\\app.jar")
                                        .Section(L"Java Runtime Environment")
                                        .Set(L"Main Class", L"com.example.Missing")
                                        .Set(L"JRE Path", L"rt")
                                        .Encoded());
    const std::string box = "Could not find the main class com/example/Missing.\n";
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_HELPER", L"no"}}), kFailed, {box}));
    ExpectNoFaults();
    // With the helper, its failure is described and the plain lookup still runs.
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_HELPER", L"yes"}}), kFailed, {box}));
    ExpectNoFaults();
}

TEST_F(VmLibrary, MainWithoutMainMethod) {
    InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    WriteSettings(Settings({{L"JRE Path", L"rt"}}));
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_MAIN", L"nomain_nopending"}}), kFailed,
                      {"No main method found in specified class.\n"}));
    ExpectNoFaults();
}

// main without parameters is called once and without arguments, on an object
// only when it is an instance method; a JDK 17 helper (no form scripted) keeps
// the static main(String[]).
TEST_F(VmLibrary, EachFormOfMainIsCalledOnceAsTheHelperReportsIt) {
    InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    WriteSettings(Settings({{L"JRE Path", L"rt"}}));
    struct Form {
        const wchar_t* script;
        std::vector<std::string> calls;
        std::string arguments;
    };
    const Form forms[] = {
        {L"instance_noargs", {"new_object com/example/App", "call_void com/example/App.main"}, "main_args none"},
        {L"static_noargs", {"call_static_void com/example/App.main"}, "main_args none"},
        {L"static", {"call_static_void com/example/App.main"}, "main_args count=1"},
        {L"", {"call_static_void com/example/App.main"}, "main_args count=1"},
    };
    for (const Form& form : forms) {
        EXPECT_TRUE(Ended(Start(L"x", {{L"FAKEJVM_MAIN_FORM", form.script}}), 0, {}));
        std::vector<std::string> calls = WithPrefix(lines_, "new_object ");
        for (const std::string& line : lines_) {
            if (line.find("App.main") != std::string::npos) calls.push_back(line);
        }
        EXPECT_EQ(calls, form.calls) << Utf8(form.script) << "\n" << LogText();
        EXPECT_EQ(WithPrefix(lines_, "main_args "), std::vector<std::string>{form.arguments}) << LogText();
        ExpectNoFaults();
    }
}

TEST_F(VmLibrary, SystemExitCodeIsTheProcessExitCode) {
    InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    WriteSettings(Settings({{L"JRE Path", L"rt"}}));
    EXPECT_TRUE(Ended(Start(L"", {{L"FAKEJVM_MAIN", L"exit:7"}}), 7, {}));
    EXPECT_EQ(WithPrefix(lines_, "exit_hook "), std::vector<std::string>{"exit_hook 7"}) << LogText();
}

TEST_F(VmLibrary, EmptyClassPathIsReportedAndTheVmStillStarts) {
    InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    sandbox_.WriteBytes(L"app.ini", Ini()
                                        .Section(L"Java Runtime Environment")
                                        .Set(L"Main Class", kMainClass)
                                        .Set(L"JRE Path", L"rt")
                                        .Set(L"Virtual Machine Parameters", L"-Xmx64m")
                                        .Encoded());
    EXPECT_TRUE(Ended(Start(), 0, {"Java Class Path was not specified in INI file."}));
    EXPECT_EQ(Options(), (std::vector<std::string>{"option abort hook=set", "option exit hook=set"})) << LogText();
    EXPECT_EQ(WithPrefix(lines_, "main_args "), std::vector<std::string>{"main_args count=0"}) << LogText();
}

}  // namespace
}  // namespace e2e
