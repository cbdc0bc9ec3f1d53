#include "child_cases.h"

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "instance/single_instance.h"
#include "instance/single_instance_block.h"
#include "launcher/launcher.h"
#include "runtime/jvm_library.h"
#include "vm/class_data_sharing.h"
#include "host_files.h"
#include "posix_platform.h"

namespace zorv::testing {

const char* const kTestClassFolder = ZORV_TEST_CLASS_FOLDER;
const char* const kJvmLibrary = ZORV_TEST_JVM_LIBRARY;
const char* const kJdk25JvmLibrary = ZORV_TEST_JDK25_JVM_LIBRARY;
const char* const kJdk25ClassFolder = ZORV_TEST_JDK25_CLASS_FOLDER;
const char* const kTestClassJar = ZORV_TEST_CLASS_JAR;

namespace {

class Report {
public:
    explicit Report(const std::string& path) : path_(path) {}
    void Put(const std::string& key, const std::string& value) {
        std::ofstream out(path_, std::ios::app);
        out << key << '=' << value << '\n';
    }
    void Put(const std::string& key, long long value) { Put(key, std::to_string(value)); }

private:
    std::string path_;
};

// The first instance's side of the channel as a request thread sees it: main
// has been called, and replies land in the report as reply_<thread>=<value>.
class ReportingChannel : public InstanceChannel {
public:
    explicit ReportingChannel(Report& report) : report_(report) {}
    unsigned char* OpenBlock(const std::wstring&, std::size_t, bool&) override { return nullptr; }
    bool CreateStartEvent(const std::wstring&) override { return false; }
    void SetStartEvent() override {}
    std::uint32_t RegisterMessage(const std::wstring&) override { return 0; }
    std::uint32_t CurrentProcessId() override { return 0; }
    std::uint32_t StartListener(std::uint32_t, RequestRoutine, void*) override { return 0; }
    bool WaitForStartEvent() override { return true; }
    bool PostReply(std::uint32_t threadId, std::uint32_t message, std::int32_t value, ReplyKind kind) override {
        report_.Put("reply_" + std::to_string(threadId), message == kMessage ? value : -999999);
        report_.Put("kind_" + std::to_string(threadId), static_cast<long long>(kind));
        return true;
    }
    void Withdraw(std::int32_t) override {}
    bool OpenFirstProcess(std::uint32_t) override { return false; }
    bool LockRequests(const std::wstring&) override { return false; }
    bool PostRequest(std::uint32_t, std::uint32_t) override { return false; }
    std::int32_t WaitForReply(std::uint32_t, ReplyKind&) override { return 0; }

    static constexpr std::uint32_t kMessage = 0xC1A5;

private:
    Report& report_;
};

struct Context {
    Launcher& launcher;
    PosixPlatform& platform;
    Report& report;
    std::string folder;
};

struct ChildCase {
    // Sets the launcher up; runs before the VM library is loaded.
    std::function<void(Context&)> configure;
    // Runs once the VM library is loaded, before the VM thread starts.
    std::function<void(Context&)> afterLoad;
    // Leave the main class to JNI FindClass, as with a runtime lacking the helper.
    bool withoutHelper = false;
    // On the JDK 25 VM, with its classes on the class path too.
    bool onJdk25 = false;
    // Through Launcher::Run, settings file and all, instead of the VM thread alone.
    bool wholeRun = false;
    // Runs once the VM thread has returned, before the launcher is destroyed.
    std::function<void(Context&)> afterThread;
    // Runs after the launcher, and with it the VM, is gone.
    std::function<void(Report&, const std::string& folder)> afterLauncher;
};

// The real helper takes a slashed class name as readily as a dotted one, so
// only the call itself shows what the launcher hands it: the VM's function
// table of the launcher's thread is swapped for one that reports the
// arguments of CallStaticObjectMethodV, the helper's only caller here.
struct HelperCallRecorder {
    static inline Report* report = nullptr;
    static inline CreateJavaVmFunction realCreate = nullptr;
    static inline JNINativeInterface_ functions{};
    static inline jobject(JNICALL* realCall)(JNIEnv*, jclass, jmethodID, va_list) = nullptr;

    static void Install(Context& c) {
        report = &c.report;
        realCreate = c.launcher.vm.entries.createJavaVm;
        c.launcher.vm.entries.createJavaVm = Create;
    }
    static jint JNICALL Create(JavaVM** vm, void** penv, void* args) {
        jint result = realCreate(vm, penv, args);
        if (result != JNI_OK) return result;
        JNIEnv* env = static_cast<JNIEnv*>(*penv);
        functions = *env->functions;
        realCall = functions.CallStaticObjectMethodV;
        functions.CallStaticObjectMethodV = Call;
        env->functions = &functions;
        return result;
    }
    static jobject JNICALL Call(JNIEnv* env, jclass cls, jmethodID method, va_list args) {
        va_list copy;
        va_copy(copy, args);
        int printToStandardError = va_arg(copy, int);
        jint mode = va_arg(copy, jint);
        jstring what = va_arg(copy, jstring);
        va_end(copy);
        const char* name = env->GetStringUTFChars(what, nullptr);
        report->Put("helper_call", std::to_string(printToStandardError) + " " + std::to_string(mode) + " " +
                                       (name != nullptr ? name : "(no text)"));
        if (name != nullptr) env->ReleaseStringUTFChars(what, name);
        return realCall(env, cls, method, args);
    }
};

// Settings for a whole run, with the CR LF line ends the settings reader
// insists on. The class path entry is a Windows path the VM cannot use; the
// real one comes later among the VM parameters and wins.
std::string WholeRunSettings(const std::string& mainClass, const std::string& extraParameters) {
    return "[Class Path]\r\nClass Path=C:\\unused\r\n"
           "[Java Runtime Environment]\r\nMain Class=" + mainClass + "\r\nVirtual Machine Parameters=-Xcheck:jni -Djava.class.path=" +
           std::string(kTestClassFolder) + " -Dzorv.out=%ZORV_CASE_FOLDER%/main.txt -Dzorv.depth=200000" +
           extraParameters + "\r\n";
}

std::map<std::string, ChildCase> Cases() {
    std::map<std::string, ChildCase> cases;
    cases["arguments"].configure = [](Context& c) {
        c.launcher.vmStart.arguments = {L"plain",         L"caf\u00e9",  L"\u65e5\u672c", L"\U0001F600",
                                           L"",              L"two words", L"\"quoted\"",    std::wstring(L"a\0b", 3)};
    };
    cases["no_arguments_without_helper"].withoutHelper = true;
    cases["packaged_with_helper"].configure = [](Context& c) { c.launcher.settings.start.mainClass = L"com/example/App"; };
    cases["packaged_without_helper"] = cases["packaged_with_helper"];
    cases["packaged_without_helper"].withoutHelper = true;
    cases["packaged_with_helper"].afterLoad = HelperCallRecorder::Install;
    cases["many_arguments"].configure = [](Context& c) {
        for (int i = 0; i < 300; ++i) c.launcher.vmStart.arguments.push_back(L"a" + std::to_wstring(i));
    };
    // main returns at once; which rule keeps the VM thread from detaching.
    cases["ibm_allowed_and_preferred"].configure = [](Context& c) {
        c.launcher.settings.runtime.ibmAllowed = true;
        c.launcher.settings.runtime.ibmPreferred = true;
    };
    cases["ibm_allowed_only"].configure = [](Context& c) { c.launcher.settings.runtime.ibmAllowed = true; };
    cases["ibm_preferred_only"].configure = [](Context& c) { c.launcher.settings.runtime.ibmPreferred = true; };
    cases["no_main_with_helper"].configure = [](Context& c) { c.launcher.settings.start.mainClass = L"NoMain"; };
    cases["no_main_without_helper"] = cases["no_main_with_helper"];
    cases["no_main_without_helper"].withoutHelper = true;
    cases["missing_class_with_helper"].configure = [](Context& c) { c.launcher.settings.start.mainClass = L"com/example/Missing"; };
    cases["missing_class_without_helper"] = cases["missing_class_with_helper"];
    cases["missing_class_without_helper"].withoutHelper = true;

    cases["redirect_replace_out_append_err"].configure = [](Context& c) {
        c.launcher.settings.start.mainClass = L"Printer";
        c.launcher.vmStart.output.outputFile = FromUtf8(c.folder + "/out.txt");
        c.launcher.vmStart.output.errorFile = FromUtf8(c.folder + "/err.txt");
        c.launcher.vmStart.output.appendErrors = true;
    };
    cases["redirect_append_out_replace_err"].configure = [](Context& c) {
        c.launcher.settings.start.mainClass = L"Printer";
        c.launcher.vmStart.output.outputFile = FromUtf8(c.folder + "/out.txt");
        c.launcher.vmStart.output.appendOutput = true;
        c.launcher.vmStart.output.errorFile = FromUtf8(c.folder + "/err-%yyyyMMdd%.txt");
    };
    cases["redirect_unopenable"].configure = [](Context& c) {
        c.launcher.settings.start.mainClass = L"Printer";
        // Neither the folder nor the file can be made inside /proc.
        c.launcher.vmStart.output.outputFile = L"/proc/zorv-none\\out.txt";
        c.launcher.vmStart.output.errorFile = FromUtf8(c.folder + "/err.txt");
    };
    cases["redirect_then_missing_class"].configure = [](Context& c) {
        c.launcher.settings.start.mainClass = L"com/example/Missing";
        c.launcher.vmStart.output.outputFile = FromUtf8(c.folder + "/out.txt");
        c.launcher.vmStart.output.errorFile = FromUtf8(c.folder + "/err.txt");
    };

    cases["main_throws"].configure = [](Context& c) { c.launcher.settings.start.mainClass = L"Throws"; };
    cases["system_exit"].configure = [](Context& c) { c.launcher.settings.start.mainClass = L"ExitSeven"; };

    // A default charset that cannot hold the trace's characters: they must
    // come through all the same.
    auto traceThrows = [](const char* kind, int answer) {
        return [kind, answer](Context& c) {
            c.launcher.settings.start.mainClass = L"TraceThrows";
            c.launcher.settings.presentation.failureCheck = true;
            c.launcher.vmStart.options.push_back(std::string("-Dzorv.trace=") + kind);
            c.launcher.vmStart.options.push_back("-Dfile.encoding=ISO-8859-1");
            c.platform.exceptionAnswer = answer;
        };
    };
    cases["trace_ignore"].configure = traceThrows("rich", kDialogIgnore);
    cases["trace_stop"].configure = traceThrows("large", kDialogStop);
    cases["trace_bad_to_string"].configure = traceThrows("bad_to_string", kDialogIgnore);
    cases["trace_bad_print"].configure = traceThrows("bad_print", kDialogIgnore);

    auto lingering = [](Context& c) {
        c.launcher.settings.start.mainClass = L"Lingering";
        c.launcher.vmStart.options.back() = "-Dzorv.out=" + c.folder + "/late.txt";
    };
    auto reportLateFile = [](const char* key) {
        return [key](Context& c) {
            c.report.Put(key, Exists(c.folder + "/late.txt") ? 1 : 0);
            c.report.Put(std::string(key) + "_vm_left", c.launcher.vm.javaVm != nullptr ? 1 : 0);
        };
    };
    cases["service_lingering"].configure = [lingering](Context& c) {
        lingering(c);
        c.launcher.settings.instance.isService = true;
    };
    cases["service_lingering"].afterThread = reportLateFile("late_file_after_thread");
    // The lingering thread writes only once the VM thread has ended and the
    // release file exists: then the VM must still be there, unended.
    cases["application_lingering"].configure = [lingering](Context& c) {
        lingering(c);
        c.launcher.vmStart.options.push_back("-Dzorv.release=" + c.folder + "/release");
    };
    cases["application_lingering"].afterThread = [reportLateFile](Context& c) {
        reportLateFile("late_file_after_thread")(c);
        JavaVM* vm = c.launcher.vm.javaVm;
        JNIEnv* env = nullptr;
        const bool attached = vm != nullptr && vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) == JNI_OK;
        c.report.Put("attached_after_thread", attached ? 1 : 0);
        if (attached) vm->DetachCurrentThread();
        WriteAll(c.folder + "/release", "");
    };
    cases["application_lingering"].afterLauncher = [](Report& report, const std::string& folder) {
        report.Put("late_file_after_launcher", Exists(folder + "/late.txt") ? 1 : 0);
    };

    cases["run_default_stack"].wholeRun = true;
    cases["run_default_stack"].configure = [](Context& c) {
        WriteAll(c.folder + "/app.ini", WholeRunSettings("DeepRecursion", ""));
    };
    cases["run_large_stack"].wholeRun = true;
    cases["run_large_stack"].configure = [](Context& c) {
        WriteAll(c.folder + "/app.ini", WholeRunSettings("DeepRecursion", " -Xss64m"));
    };

    cases["run_without_thread"].wholeRun = true;
    cases["run_without_thread"].configure = [](Context& c) {
        WriteAll(c.folder + "/app.ini", WholeRunSettings("ArgsWriter", ""));
        c.platform.refuseThreads = true;
    };

    // Requests served one after another on threads of their own, as the
    // listener would start them, while the VM lives on after main.
    cases["secondary_requests"].configure = [](Context& c) { c.launcher.settings.start.mainClass = L"SecondaryVoid"; };
    cases["secondary_requests"].afterThread = [](Context& c) {
        unsigned char block[kInstanceBlockSize] = {};
        WriteBlockField(block, kMessageIdOffset, ReportingChannel::kMessage);
        c.launcher.singleInstance.block = block;
        c.launcher.singleInstance.channel = std::make_unique<ReportingChannel>(c.report);
        SecondaryRequests requests{c.platform, c.launcher.singleInstance, c.launcher.vm, c.launcher.settings.runtime};
        auto serve = [&](std::uint32_t requester, const wchar_t* mainClass, const std::vector<std::wstring>& arguments) {
            c.launcher.vm.mainClass.Set(mainClass);
            WriteArgumentBlock(block, arguments);
            std::thread([&] { c.report.Put("served_" + std::to_string(requester), ServeSecondaryRequest(requests, requester)); })
                .join();
        };
        serve(1, L"SecondaryVoid", {L"a", L"\u65e5\U0001F600"});
        serve(2, L"SecondaryInt", {L"bcd", L""});
        serve(3, L"ArgsWriter", {L"x"});
        serve(4, L"com/example/Missing", {L"x"});
        c.launcher.singleInstance.channel.reset();
        c.launcher.singleInstance.block = nullptr;
    };

    // main as JDK 25 allows it; each class records every construction and call.
    const std::pair<const char*, const wchar_t*> jdk25Mains[] = {
        {"jdk25_instance_main", L"InstanceMain"},
        {"jdk25_instance_main_without_arguments", L"InstanceNoArgMain"},
        {"jdk25_static_main_without_arguments", L"StaticNoArgMain"},
        {"jdk25_static_main", L"ArgsWriter"},
    };
    for (const auto& [name, mainClass] : jdk25Mains) {
        cases[name].onJdk25 = true;
        cases[name].configure = [mainClass = mainClass](Context& c) {
            c.launcher.settings.start.mainClass = mainClass;
            c.launcher.vmStart.arguments = {L"a", L"b"};
        };
    }

    cases["create_vm_unrecognised_option"].configure = [](Context& c) { c.launcher.vmStart.options.push_back("-Xbogus"); };
    cases["create_vm_unrecognised_flag"].configure = [](Context& c) {
        c.launcher.vmStart.options.push_back("-XX:+ZorvNoSuchFlag");
    };

    // The archive options the launcher makes for the runtime of the case, in
    // the per-user folder under the case's folder, from its paths in its own
    // form: the runtime's home is the launcher's to find, and the options
    // reach the VM as the launcher made them. The classes every VM loads are
    // logged to classes.txt.
    auto classDataSharing = [](Context& c, const std::string& libraryPath) {
        setenv("XDG_CACHE_HOME", c.folder.c_str(), 1);
        c.platform.modulePath = LauncherPath(c.folder + "/app.exe");
        c.launcher.settings.instance.productName = L"Demo";
        c.launcher.settings.instance.productCode = L"X";
        c.launcher.files.executable = c.platform.modulePath;
        c.launcher.runtime.jvmLibraryPath = LauncherPath(libraryPath);
        c.launcher.vmStart.options[1] = std::string("-Djava.class.path=") + kTestClassJar;
        std::vector<std::wstring> working = {FromUtf8(c.launcher.vmStart.options[1])};
        const VmOptionSources sources{c.launcher.files,           c.launcher.settings.start,
                                      c.launcher.settings.vm,     c.launcher.settings.output,
                                      c.launcher.settings.instance, c.launcher.runtime};
        AddClassDataSharingOptions(c.platform, sources, working, 0, c.launcher.vmStart);
        std::string options;
        for (std::size_t i = 0; i + 1 < working.size(); ++i) {
            c.launcher.vmStart.options.push_back(c.platform.environment().ToAnsi(working[i]));
            options += (options.empty() ? "" : " ") + c.platform.environment().ToAnsi(working[i]);
        }
        c.report.Put("cds_options", options);
        c.launcher.vmStart.options.push_back("-Xlog:class+load=info:file=" + c.folder + "/classes.txt");
    };
    cases["cds_jdk17"].configure = [classDataSharing](Context& c) { classDataSharing(c, kJvmLibrary); };
    cases["cds_jdk25"].onJdk25 = true;
    cases["cds_jdk25"].configure = [classDataSharing](Context& c) { classDataSharing(c, kJdk25JvmLibrary); };
    return cases;
}

}  // namespace

int RunChildCase(const std::string& name, const std::string& folder) {
    std::map<std::string, ChildCase> cases = Cases();
    auto found = cases.find(name);
    if (found == cases.end()) {
        std::fprintf(stderr, "no child case %s\n", name.c_str());
        return 90;
    }
    const ChildCase& childCase = found->second;
    PosixPlatform platform;
    platform.boxLogPath = folder + "/boxes.txt";
    platform.traceLogPath = folder + "/trace.txt";
    Report report(folder + "/report.txt");
    setenv("ZORV_CASE_FOLDER", folder.c_str(), 1);

    int result = 0;
    {
        Launcher launcher(platform);
        Context context{launcher, platform, report, folder};
        launcher.settings.start.mainClass = L"ArgsWriter";
        launcher.vmStart.options = {"-Xcheck:jni", std::string("-Djava.class.path=") + kTestClassFolder,
                              "-Dzorv.out=" + folder + "/main.txt"};
        if (childCase.onJdk25) launcher.vmStart.options[1] += std::string(":") + kJdk25ClassFolder;
        if (childCase.configure) childCase.configure(context);
        if (childCase.wholeRun) {
            launcher.vmStart.options.clear();
            platform.modulePath = FromUtf8(folder + "/app.exe");
            if (!ReadLauncherSettings(platform, launcher.files, launcher.settings)) return 93;
            launcher.runtime.jvmLibraryPath = FromUtf8(kJvmLibrary);
            result = launcher.Run();
        } else {
            if (!LoadJvmLibrary(platform, FromUtf8(childCase.onJdk25 ? kJdk25JvmLibrary : kJvmLibrary), nullptr,
                                launcher.vm.entries)
                     .Proceeds())
                return 91;
            if (childCase.withoutHelper) launcher.vm.entries.findClassFromBootLoader = nullptr;
            if (childCase.afterLoad) childCase.afterLoad(context);
            std::uint32_t code = 0;
            if (!platform.processes().RunThread(launcher.vmStart.threadStackSize, VmThreadMain, &launcher, code))
                return 92;
            result = static_cast<int>(code);
        }
        report.Put("result", result);
        report.Put("thread_stack_size", static_cast<long long>(platform.lastThreadStackSize));
        if (childCase.afterThread) childCase.afterThread(context);
    }
    report.Put("launcher_gone", 1);
    if (childCase.afterLauncher) childCase.afterLauncher(report, folder);
    return result;
}

}  // namespace zorv::testing
