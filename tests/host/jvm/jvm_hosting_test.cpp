// The VM-hosting code against OpenJDK's real libjvm.so, -Xcheck:jni on. Each
// case is a child process (see child_cases.h); the parent checks what
// anyone outside could see: exit code, output, files and error boxes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_cases.h"
#include "host_files.h"
#include "posix_platform.h"

extern char** environ;

namespace zorv::testing {
namespace {

std::string workRoot;

std::string Unescape(const std::string& line) {
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;
            text += line[i] == 'n' ? '\n' : line[i];
        } else {
            text += line[i];
        }
    }
    return text;
}

struct ChildRun {
    std::string folder;
    int exitCode = -1;  // the signal number, negated, when one ended the child
    bool timedOut = false;
    std::string out;
    std::string err;
    std::vector<std::wstring> boxes;
    std::map<std::string, std::string> report;

    std::string File(const std::string& name) const { return ReadAll(folder + "/" + name); }
    std::string Output() const { return out + err; }
};

// A fresh, empty folder for one case, where the parent may put files first.
std::string CaseFolder(const std::string& name) {
    std::string folder = workRoot + "/" + name;
    std::string command = "rm -rf '" + folder + "'";
    if (std::system(command.c_str()) != 0 || mkdir(folder.c_str(), 0777) != 0) ADD_FAILURE() << "cannot make " << folder;
    return folder;
}

ChildRun RunChild(const std::string& name, const std::string& folder) {
    ChildRun run;
    run.folder = folder;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string outPath = folder + "/stdout.txt";
    std::string errPath = folder + "/stderr.txt";
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    std::string caseArgument = "--case=" + name;
    std::string folderArgument = "--folder=" + folder;
    char program[] = "/proc/self/exe";
    char* argv[] = {program, &caseArgument[0], &folderArgument[0], nullptr};
    pid_t child = 0;
    int spawned = posix_spawn(&child, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start the child for " << name << ": " << std::strerror(spawned);
        return run;
    }
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            run.timedOut = true;
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    run.out = ReadAll(outPath);
    run.err = ReadAll(errPath);
    std::istringstream boxes(run.File("boxes.txt"));
    for (std::string line; std::getline(boxes, line);) run.boxes.push_back(FromUtf8(Unescape(line)));
    std::istringstream report(run.File("report.txt"));
    for (std::string line; std::getline(report, line);) {
        std::size_t equals = line.find('=');
        if (equals != std::string::npos) run.report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    // Whatever else a case checks, the VM's JNI checker must have had nothing to say.
    EXPECT_FALSE(run.timedOut) << name << " did not end\n" << run.Output();
    EXPECT_EQ(run.Output().find("WARNING"), std::string::npos) << name << ":\n" << run.Output();
    return run;
}

ChildRun RunChild(const std::string& name) { return RunChild(name, CaseFolder(name)); }

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\n";
    return text;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Texts of a megabyte are compared without printing them whole.
::testing::AssertionResult SameText(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return ::testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                         << ", first different at " << at << ": \"" << actual.substr(at, 60)
                                         << "\" instead of \"" << expected.substr(at, 60) << "\"";
}

std::string Today() {
    std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d", &local);
    return text;
}

// --- Arguments and main class -------------------------------------------

TEST(JvmMain, ArgumentsReachMainAsTheSameUtf16Text) {
    ChildRun run = RunChild("arguments");
    EXPECT_EQ(run.exitCode, 0) << run.Output();
    // UTF-16 length, then code points: U+1F600 must arrive as one surrogate
    // pair, and the NUL must not end the text.
    EXPECT_EQ(run.File("main.txt"), Lines({"thread=main", "count=8", "5: 70 6c 61 69 6e", "4: 63 61 66 e9",
                                           "2: 65e5 672c", "2: 1f600", "0:", "9: 74 77 6f 20 77 6f 72 64 73",
                                           "8: 22 71 75 6f 74 65 64 22", "3: 61 0 62"}));
    EXPECT_TRUE(run.boxes.empty());

    // Far more than the local references a native frame may hold: one kept
    // per element makes -Xcheck:jni warn, which RunChild counts as a failure.
    ChildRun many = RunChild("many_arguments");
    EXPECT_EQ(many.exitCode, 0) << many.Output();
    std::string text = many.File("main.txt");
    EXPECT_TRUE(Has(text, "thread=main\ncount=300\n2: 61 30\n")) << text.substr(0, 200);
    EXPECT_TRUE(Has(text, "\n4: 61 32 39 39\n")) << "no a299";
}

TEST(JvmMain, NoArgumentsGiveAnEmptyArrayThroughFindClass) {
    ChildRun run = RunChild("no_arguments_without_helper");
    EXPECT_EQ(run.exitCode, 0) << run.Output();
    EXPECT_EQ(run.File("main.txt"), Lines({"thread=main", "count=0"}));
}

TEST(JvmMain, PackagedClassRunsWithAndWithoutTheHelper) {
    for (const char* name : {"packaged_with_helper", "packaged_without_helper"}) {
        ChildRun run = RunChild(name);
        EXPECT_EQ(run.exitCode, 0) << name << "\n" << run.Output();
        EXPECT_EQ(run.File("main.txt"), Lines({"class=com.example.App", "count=0"})) << name;
        EXPECT_TRUE(run.boxes.empty()) << name;
    }
    // The helper itself would take the slashed name too; the launcher hands
    // it the dotted one, to print to standard error, as a class name (mode 1).
    EXPECT_EQ(RunChild("packaged_with_helper").report["helper_call"], "1 1 com.example.App");
}

// JDK 25 runs an instance main and one without parameters; the launcher must
// call the one the runtime's helper chose, once, and make an object only for
// an instance main.
TEST(JvmMain, Jdk25RunsEachFormOfMainOnce) {
    if (*kJdk25JvmLibrary == '\0' || !Exists(kJdk25JvmLibrary)) GTEST_SKIP() << "no JDK 25 on this machine";
    const std::pair<const char*, std::string> expected[] = {
        {"jdk25_instance_main", Lines({"constructed", "instance main thread=main args=a,b"})},
        {"jdk25_instance_main_without_arguments", Lines({"constructed", "instance main without arguments"})},
        {"jdk25_static_main_without_arguments", Lines({"static main without arguments"})},
        {"jdk25_static_main", Lines({"thread=main", "count=2", "1: 61", "1: 62"})},
    };
    for (const auto& [name, text] : expected) {
        ChildRun run = RunChild(name);
        EXPECT_EQ(run.exitCode, 0) << name << "\n" << run.Output();
        EXPECT_EQ(run.File("main.txt"), text) << name << "\n" << run.Output();
        EXPECT_TRUE(run.boxes.empty()) << name;
    }
}

// --- Main classes that cannot run ---------------------------------------
// JDK 17's helper validates the class itself and ends the process through
// System.exit(1) after printing its own message: the launcher's boxes for a
// missing class or main method never appear on that path.

TEST(JvmMainFailure, HelperEndsTheProcessForAMissingMainMethod) {
    ChildRun run = RunChild("no_main_with_helper");
    EXPECT_EQ(run.exitCode, 1) << run.Output();
    EXPECT_TRUE(Has(run.err, "Error: Main method not found in class NoMain")) << run.err;
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.report.count("result"), 0u) << "the launcher's own path went on";
}

TEST(JvmMainFailure, FindClassPathDescribesAMissingMainMethodAndEnds) {
    ChildRun run = RunChild("no_main_without_helper");
    EXPECT_EQ(run.exitCode, 1) << run.Output();
    // HotSpot always throws NoSuchMethodError, so the box for a missing main
    // method is not shown either.
    EXPECT_TRUE(Has(run.err, "java.lang.NoSuchMethodError: static LNoMain;.main([Ljava/lang/String;)V")) << run.err;
    EXPECT_TRUE(run.boxes.empty());
    // The VM was destroyed afterwards: the failed thread did not keep it waiting.
    EXPECT_EQ(run.report["result"], "1");
    EXPECT_EQ(run.report["launcher_gone"], "1");
}

TEST(JvmMainFailure, HelperEndsTheProcessForAMissingClass) {
    ChildRun run = RunChild("missing_class_with_helper");
    EXPECT_EQ(run.exitCode, 1) << run.Output();
    EXPECT_TRUE(Has(run.err, "Error: Could not find or load main class com.example.Missing")) << run.err;
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.report.count("result"), 0u) << "the launcher's own path went on";

    // The streams are redirected before the class is looked for: the
    // helper's message, meant for standard error, is in the error file.
    ChildRun redirected = RunChild("redirect_then_missing_class");
    EXPECT_EQ(redirected.exitCode, 1) << redirected.Output();
    EXPECT_TRUE(Has(redirected.File("err.txt"), "Error: Could not find or load main class com.example.Missing"))
        << redirected.File("err.txt");
    EXPECT_EQ(redirected.File("out.txt"), "");
    EXPECT_EQ(redirected.Output(), "");
}

TEST(JvmMainFailure, FindClassPathNamesTheMissingClassInJniForm) {
    ChildRun run = RunChild("missing_class_without_helper");
    EXPECT_EQ(run.exitCode, 1) << run.Output();
    EXPECT_TRUE(Has(run.err, "java.lang.NoClassDefFoundError: com/example/Missing")) << run.err;
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0], L"Could not find the main class com/example/Missing.\n");
    EXPECT_EQ(run.report["launcher_gone"], "1");
}

TEST(JvmMainFailure, ExceptionFromMainIsPrintedOnDetachAndTheThreadSucceeds) {
    ChildRun run = RunChild("main_throws");
    EXPECT_EQ(run.exitCode, 0) << run.Output();
    EXPECT_TRUE(Has(run.err, "Exception in thread \"main\" java.lang.IllegalStateException: thrown by main")) << run.err;
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.report["launcher_gone"], "1");
}

TEST(JvmMainFailure, SystemExitEndsTheProcessWithItsCode) {
    ChildRun run = RunChild("system_exit");
    EXPECT_EQ(run.exitCode, 7) << run.Output();
    EXPECT_EQ(run.out, "before exit\n");
    EXPECT_EQ(run.report.count("result"), 0u) << "the exit hook returned into the launcher";
}

// --- Uncaught exception dialog ------------------------------------------
// TraceThrows prints its exception itself into main.txt; the launcher's trace
// lands in trace.txt; uncaught.txt says whether the VM reported the very
// exception main threw when the thread detached.

TEST(JvmExceptionDialog, IgnoreShowsJavasOwnTraceAndLeavesTheSameExceptionToTheVm) {
    ChildRun run = RunChild("trace_ignore");
    EXPECT_EQ(run.exitCode, 0) << run.Output();
    std::string own = run.File("main.txt");
    for (const char* part : {"java.lang.RuntimeException: caf\u00e9 \U0001F600\n",
                             "Suppressed: java.lang.IllegalStateException: suppressed \U0001F600\n",
                             "Caused by: java.lang.IllegalArgumentException: cause \u65e5\u672c\n"}) {
        EXPECT_TRUE(Has(own, part)) << own;
    }
    EXPECT_TRUE(SameText(run.File("trace.txt"), own));
    EXPECT_EQ(run.File("uncaught.txt"), "same\n");
    EXPECT_TRUE(Has(run.err, "Exception in thread \"main\" java.lang.RuntimeException: caf")) << run.err;
    EXPECT_EQ(run.report["result"], "0");
    EXPECT_EQ(run.report["launcher_gone"], "1");
}

TEST(JvmExceptionDialog, StopEndsTheProcessThroughSystemExitAfterAMegabyteTraceWithANul) {
    ChildRun run = RunChild("trace_stop");
    EXPECT_EQ(run.exitCode, 255) << run.err;
    EXPECT_EQ(run.report.count("result"), 0u) << "the launcher's own path went on";
    std::string own = run.File("main.txt");
    EXPECT_GT(own.size(), 1u << 20);
    EXPECT_TRUE(Has(own, std::string("nul[\0] xxx", 10)));
    EXPECT_TRUE(SameText(run.File("trace.txt"), own));
    // Stopped before the VM could report it, and not printed by the launcher.
    EXPECT_FALSE(Exists(run.folder + "/uncaught.txt"));
    EXPECT_FALSE(Has(run.err, "Exception")) << run.err;
}

// HotSpot names only the class of an exception thrown by the uncaught-exception
// handler, so these messages on standard error come from the launcher's
// description of them.
TEST(JvmExceptionDialog, ThrowingToStringOrPrintStackTraceIsDescribedAndWhatWasPrintedIsShown) {
    ChildRun empty = RunChild("trace_bad_to_string");
    EXPECT_EQ(empty.exitCode, 0) << empty.Output();
    EXPECT_FALSE(Exists(empty.folder + "/trace.txt")) << "a dialog for an empty trace";
    EXPECT_TRUE(Has(empty.err, "java.lang.IllegalStateException: toString failed\n")) << empty.err;
    EXPECT_EQ(empty.File("uncaught.txt"), "same\n");

    ChildRun partial = RunChild("trace_bad_print");
    EXPECT_EQ(partial.exitCode, 0) << partial.Output();
    EXPECT_EQ(partial.File("trace.txt"), "partial line\n");
    EXPECT_TRUE(Has(partial.err, "java.lang.IllegalStateException: printStackTrace failed\n")) << partial.err;
    EXPECT_EQ(partial.File("uncaught.txt"), "same\n");
}

// --- Creating the VM ----------------------------------------------------

TEST(JvmCreation, RejectedOptionsShowTheVmsReasonAndFailTheThread) {
    struct Expected {
        const char* name;
        const char* vmMessage;
        const wchar_t* box;
    };
    for (const Expected& expected :
         {Expected{"create_vm_unrecognised_option", "Unrecognized option: -Xbogus",
                   L"JNI exception: failed to create the Java VM\nReason: unknown.\n"},
          Expected{"create_vm_unrecognised_flag", "Unrecognized VM option 'ZorvNoSuchFlag'",
                   L"JNI exception: failed to create the Java VM\nReason: invalid arguments.\n"}}) {
        ChildRun run = RunChild(expected.name);
        EXPECT_EQ(run.exitCode, 1) << expected.name << "\n" << run.Output();
        EXPECT_TRUE(Has(run.err, expected.vmMessage)) << run.err;
        ASSERT_EQ(run.boxes.size(), 1u) << expected.name;
        EXPECT_EQ(run.boxes[0], expected.box);
        EXPECT_EQ(run.report["launcher_gone"], "1");
    }
}

TEST(JvmCreation, DefaultVmThreadStackIsTheVmsDefault) {
    ChildRun run = RunChild("run_default_stack");
    EXPECT_EQ(run.exitCode, 0) << run.Output();
    EXPECT_EQ(run.report["thread_stack_size"], "1048576");
    // The same recursion that passes on a 64 MiB stack below.
    EXPECT_EQ(run.File("main.txt"), "overflow\n");
    EXPECT_TRUE(run.boxes.empty());
}

TEST(JvmCreation, XssSizesTheThreadMainRunsOn) {
    ChildRun run = RunChild("run_large_stack");
    EXPECT_EQ(run.exitCode, 0) << run.Output();
    EXPECT_EQ(run.report["thread_stack_size"], "67108864");
    EXPECT_EQ(run.File("main.txt"), "reached 200000\n");
}

TEST(JvmCreation, RunsOnTheCallingThreadWhenNoThreadCanBeMade) {
    ChildRun run = RunChild("run_without_thread");
    EXPECT_EQ(run.exitCode, 0) << run.Output();
    EXPECT_EQ(run.File("main.txt"), Lines({"thread=main", "count=0"}));
    EXPECT_EQ(run.report["launcher_gone"], "1");
}

// --- Redirection ---------------------------------------------------------

TEST(JvmRedirection, AppendAndReplaceApplyToEachStreamAlone) {
    {
        std::string folder = CaseFolder("redirect_replace_out_append_err");
        WriteAll(folder + "/out.txt", "old out\n");
        WriteAll(folder + "/err.txt", "old err\n");
        ChildRun run = RunChild("redirect_replace_out_append_err", folder);
        EXPECT_EQ(run.exitCode, 0) << run.Output();
        EXPECT_EQ(run.File("out.txt"), "line for out\n");
        EXPECT_EQ(run.File("err.txt"), "old err\nline for err\n");
        EXPECT_EQ(run.Output(), "");
    }
    {
        std::string folder = CaseFolder("redirect_append_out_replace_err");
        WriteAll(folder + "/out.txt", "old out\n");
        std::string before = Today();
        ChildRun run = RunChild("redirect_append_out_replace_err", folder);
        std::string after = Today();
        EXPECT_EQ(run.exitCode, 0) << run.Output();
        EXPECT_EQ(run.File("out.txt"), "old out\nline for out\n");
        // The error file's name carries the date picture %yyyyMMdd%.
        std::string errName = Exists(folder + "/err-" + before + ".txt") ? "err-" + before + ".txt" : "err-" + after + ".txt";
        EXPECT_EQ(run.File(errName), "line for err\n");
    }
}

TEST(JvmRedirection, UnopenableFileIsReportedAndMainStillRuns) {
    ChildRun run = RunChild("redirect_unopenable");
    EXPECT_EQ(run.exitCode, 0) << run.Output();
    // Said once, in one line, instead of the runtime's stack trace.
    EXPECT_TRUE(Has(run.err, "Output File \"/proc/zorv-none/out.txt\" cannot be opened "
                             "(java.io.FileNotFoundException: /proc/zorv-none/out.txt"))
        << run.err;
    EXPECT_FALSE(Has(run.err, "\tat ")) << run.err;
    // System.out stays the process's own; System.err is redirected all the same.
    EXPECT_EQ(run.out, "line for out\n");
    EXPECT_EQ(run.File("err.txt"), "line for err\n");
    EXPECT_FALSE(Has(run.err, "line for err")) << run.err;
    EXPECT_TRUE(run.boxes.empty());
}

// --- Lifetime ------------------------------------------------------------

TEST(JvmLifetime, ServiceDestroysTheVmOnItsThreadOnceNonDaemonThreadsEnd) {
    ChildRun run = RunChild("service_lingering");
    EXPECT_EQ(run.exitCode, 0) << run.Output();
    EXPECT_EQ(run.report["late_file_after_thread"], "1");
    EXPECT_EQ(run.report["late_file_after_thread_vm_left"], "0");
    EXPECT_EQ(run.File("late.txt"), "late\n");
}

// Only with IBM both allowed and preferred does the VM thread sleep after
// main instead of detaching (the test platform ends the child there).
TEST(JvmLifetime, VmThreadSleepsAfterMainOnlyWhenIbmIsAllowedAndPreferred) {
    const std::pair<const char*, int> cases[] = {{"ibm_allowed_and_preferred", PosixPlatform::kSleptForeverExitCode},
                                                 {"ibm_allowed_only", 0},
                                                 {"ibm_preferred_only", 0}};
    for (const auto& [name, exitCode] : cases) {
        ChildRun run = RunChild(name);
        EXPECT_EQ(run.exitCode, exitCode) << name << "\n" << run.Output();
        EXPECT_EQ(run.File("main.txt"), Lines({"thread=main", "count=0"})) << name;
        EXPECT_EQ(run.report.count("result"), exitCode == 0 ? 1u : 0u) << name;
    }
}

TEST(JvmLifetime, ApplicationVmOutlivesMainUntilTheLauncherEnds) {
    ChildRun run = RunChild("application_lingering");
    EXPECT_EQ(run.exitCode, 0) << run.Output();
    EXPECT_EQ(run.report["late_file_after_thread"], "0") << "the VM was destroyed when main returned";
    EXPECT_EQ(run.report["late_file_after_thread_vm_left"], "1");
    EXPECT_EQ(run.report["attached_after_thread"], "1");
    EXPECT_EQ(run.report["late_file_after_launcher"], "1");
    EXPECT_EQ(run.File("late.txt"), "late\n");
}

// --- Requests of second instances ----------------------------------------

TEST(JvmSecondaryMain, RequestThreadsAttachCallEitherFormReplyAndDetach) {
    ChildRun run = RunChild("secondary_requests");
    EXPECT_EQ(run.exitCode, 0) << run.Output();
    // main's record comes first; an empty argument after another ends the list.
    EXPECT_EQ(run.File("main.txt"), Lines({"secondaryMain V daemon=false", "count=2", "1: 61", "3: 65e5 1f600",
                                           "secondaryMain I daemon=false", "count=1", "3: 62 63 64"}));
    EXPECT_EQ(run.report["reply_1"] + run.report["kind_1"], "00");
    EXPECT_EQ(run.report["reply_2"] + run.report["kind_2"], "1030");
    // Without secondaryMain the second start hears so at once, and nothing is printed here.
    EXPECT_EQ(run.report["reply_3"] + "/" + run.report["kind_3"], "-1/1");
    EXPECT_EQ(run.report.count("reply_4"), 0u) << "no main class, no reply";
    EXPECT_EQ(run.report["served_1"] + run.report["served_2"] + run.report["served_3"] + run.report["served_4"], "1100");
    EXPECT_FALSE(Has(run.err, "NoSuchMethodError")) << run.err;
    EXPECT_TRUE(Has(run.err, "java.lang.NoClassDefFoundError: com/example/Missing")) << run.err;
    // Every request thread detached: the VM could be destroyed.
    EXPECT_EQ(run.report["launcher_gone"], "1");
}

// --- Class-data archives ------------------------------------------------

// Runs the case again in its folder, with only the archive and its part left
// from earlier runs.
ChildRun RunAgain(const std::string& name, const std::string& folder) {
    for (const char* file : {"report.txt", "boxes.txt", "classes.txt", "main.txt"}) std::remove((folder + "/" + file).c_str());
    return RunChild(name, folder);
}

// Classes the VM took from the application's archive rather than loaded.
bool TookClassesFromArchive(const ChildRun& run) { return Has(run.File("classes.txt"), "source: shared objects file (top)"); }

void ExpectMainRan(const ChildRun& run, const std::string& when) {
    EXPECT_EQ(run.exitCode, 0) << when << "\n" << run.Output();
    EXPECT_EQ(run.File("main.txt"), Lines({"thread=main", "count=0"})) << when << "\n" << run.Output();
    EXPECT_TRUE(run.boxes.empty()) << when;
}

TEST(JvmClassDataSharing, Jdk17RecordsAtTheEndUsesTheArchiveLaterAndStartsWithBrokenOnes) {
    const std::string folder = CaseFolder("cds_jdk17");
    ChildRun first = RunAgain("cds_jdk17", folder);
    ExpectMainRan(first, "first start");
    const std::string prefix = "-XX:ArchiveClassesAtExit=" + folder + "/Demo/X/app-17.";
    const std::string option = first.report["cds_options"];
    ASSERT_EQ(option.compare(0, prefix.size(), prefix), 0) << option;
    ASSERT_EQ(option.substr(option.size() - 9), ".jsa.part") << option;
    const std::string partPath = option.substr(std::strlen("-XX:ArchiveClassesAtExit="));
    const std::string archive = partPath.substr(0, partPath.size() - 5);
    EXPECT_FALSE(Exists(partPath)) << "the recording keeps its part name";
    ASSERT_TRUE(Exists(archive)) << first.Output();
    EXPECT_FALSE(TookClassesFromArchive(first));

    ChildRun second = RunAgain("cds_jdk17", folder);
    ExpectMainRan(second, "second start");
    EXPECT_EQ(second.report["cds_options"], "-XX:SharedArchiveFile=" + archive);
    EXPECT_TRUE(TookClassesFromArchive(second)) << second.File("classes.txt").substr(0, 2000);

    // A start ended during the recording leaves a cut-off part, which these
    // runtimes would crash on: it is recorded again instead.
    const std::string whole = ReadAll(archive);
    std::remove(archive.c_str());
    WriteAll(partPath, whole.substr(0, whole.size() / 2));
    ChildRun afterCut = RunAgain("cds_jdk17", folder);
    ExpectMainRan(afterCut, "after an interrupted recording");
    EXPECT_EQ(afterCut.report["cds_options"], option);
    EXPECT_EQ(ReadAll(archive).size(), whole.size());

    // Whatever else lies under the archive's name, the runtime ignores it.
    WriteAll(archive, "not an archive");
    ChildRun garbage = RunAgain("cds_jdk17", folder);
    ExpectMainRan(garbage, "with garbage for an archive");
    EXPECT_FALSE(TookClassesFromArchive(garbage));
}

// The runtime records for its ahead-of-time cache through the exit the
// launcher hosts, without a word on standard output; where no assembly
// process can be started (the case's program is no launcher), the
// recording goes too.
TEST(JvmClassDataSharing, Jdk25RecordsForItsCacheQuietlyAndKeepsNoRecordingItCannotAssemble) {
    if (*kJdk25JvmLibrary == '\0' || !Exists(kJdk25JvmLibrary)) GTEST_SKIP() << "no JDK 25 on this machine";
    const std::string folder = CaseFolder("cds_jdk25");
    ChildRun first = RunAgain("cds_jdk25", folder);
    ExpectMainRan(first, "first start");
    const std::string prefix = "-XX:AOTMode=record -XX:AOTConfiguration=" + folder + "/Demo/X/app-25.";
    const std::string options = first.report["cds_options"];
    ASSERT_EQ(options.compare(0, prefix.size(), prefix), 0) << options;
    EXPECT_FALSE(Has(first.out, "AOTConfiguration")) << first.out;
    const std::string recording = options.substr(options.find('=', 15) + 1, options.find(' ', prefix.size()) - options.find('=', 15) - 1);
    ASSERT_EQ(recording.substr(recording.size() - 10), ".1.aotconf") << recording;
    EXPECT_FALSE(Exists(recording));
    EXPECT_TRUE(Exists(recording.substr(0, recording.size() - 8) + ".ticket"));
}

}  // namespace
}  // namespace zorv::testing

int main(int argc, char** argv) {
    std::string caseName;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.rfind("--case=", 0) == 0) caseName = argument.substr(7);
        if (argument.rfind("--folder=", 0) == 0) folder = argument.substr(9);
    }
    if (!caseName.empty()) return zorv::testing::RunChildCase(caseName, folder);

    ::testing::InitGoogleTest(&argc, argv);
    std::string pattern = ::testing::TempDir() + "zorv-jvm-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    zorv::testing::workRoot = pattern;
    int result = RUN_ALL_TESTS();
    // Kept after a failure: the children's files tell what happened.
    if (result == 0) {
        std::string command = "rm -rf '" + pattern + "'";
        if (std::system(command.c_str()) != 0) std::perror("rm");
    }
    return result;
}
