// The run sequence over the fake platform, from the settings to the exit
// code: where a stage ends the start, what runs after it, and what the
// runtime's exit hook reaches.
#include <gtest/gtest.h>

#include <jni.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "launcher_fixture.h"
#include "launcher/launcher.h"
#include "launcher/trace.h"

namespace zorv::testing {
namespace {

using Strings = std::vector<std::wstring>;

class KeptLines : public TraceSink {
public:
    explicit KeptLines(Strings& lines) : lines_(lines) {}
    void Write(const std::wstring& line) override { lines_.push_back(line); }

private:
    Strings& lines_;
};

// A JVM library that loads, whose VM is never created: its creation calls
// the exit hook it was given, as System.exit in a static initialiser would,
// and then fails.
struct RefusingVm {
    static inline int creations = 0;
    static inline void(JNICALL* exitHook)(jint) = nullptr;

    static jint JNICALL Create(JavaVM**, void**, void* arguments) {
        ++creations;
        const JavaVMInitArgs& args = *static_cast<JavaVMInitArgs*>(arguments);
        for (jint i = 0; i < args.nOptions; ++i) {
            if (std::strcmp(args.options[i].optionString, "exit") == 0)
                exitHook = reinterpret_cast<void(JNICALL*)(jint)>(args.options[i].extraInfo);
        }
        if (exitHook != nullptr) exitHook(9);
        return JNI_ERR;
    }
    static jint JNICALL Defaults(void*) { return JNI_OK; }
};

class LoadingPlatform : public FakePlatform {
public:
    Strings restarts;  // "variable=value" of each new start

    LoadingPlatform() {
        Use(loadingLibraries_);
        Use(restartingProcesses_);
    }

private:
    class LoadingLibraries : public Libraries {
    public:
        using Libraries::Libraries;
        ModuleHandle LoadLibraryAt(const std::wstring&, SystemError&) override { return &fake_; }
        void* LibrarySymbol(ModuleHandle, const char* name, SystemError& error) override {
            if (std::strcmp(name, "JNI_CreateJavaVM") == 0) return reinterpret_cast<void*>(&RefusingVm::Create);
            if (std::strcmp(name, "JNI_GetDefaultJavaVMInitArgs") == 0)
                return reinterpret_cast<void*>(&RefusingVm::Defaults);
            error = SystemError{ErrorKind::symbolMissing};
            return nullptr;
        }
    };
    class RestartingProcesses : public Processes {
    public:
        RestartingProcesses(LoadingPlatform& loading) : Processes(loading), loading_(loading) {}
        bool RestartProgram(const std::wstring& variable, const std::wstring& value, SystemError&) override {
            loading_.restarts.push_back(variable + L"=" + value);
            return true;
        }
        std::int64_t WallClockSeconds() override { return 1000; }

    private:
        LoadingPlatform& loading_;
    };
    LoadingLibraries loadingLibraries_{*this};
    RestartingProcesses restartingProcesses_{*this};
};

class RunSequence : public LauncherFixture {
protected:
    LoadingPlatform loading;
    Strings lines;
    Trace trace{std::make_unique<KeptLines>(lines)};

    void SetUp() override {
        LauncherFixture::SetUp();
        RefusingVm::creations = 0;
        RefusingVm::exitHook = nullptr;
        loading.trace = &trace;
    }
    void SetOn(FakePlatform& on, const std::wstring& section, const std::wstring& key, const std::wstring& value) {
        on.SetProfile(ini, section, key, value);
    }
    std::int32_t Launch(Platform& on) {
        lines.clear();
        Launcher launcher(on);
        return launcher.Launch();
    }
    bool Traced(const std::wstring& text) const {
        for (const std::wstring& line : lines) {
            if (line.find(text) != std::wstring::npos) return true;
        }
        return false;
    }
};

TEST_F(RunSequence, AStageThatEndsTheStartEndsItWithItsCodeAndNoLaterStageRuns) {
    platform.trace = &trace;
    // The settings name no main class: their own message, then nothing.
    EXPECT_EQ(Launch(platform), kStartFailed);
    EXPECT_EQ(platform.boxes, Strings{L"Main class was not specified in INI file."});
    EXPECT_TRUE(Traced(L"stage settings took"));
    EXPECT_TRUE(Traced(L"launcher: initialisation ended the start"));
    EXPECT_FALSE(Traced(L"stage process")) << "a stage ran after the settings ended the start";

    // No runtime, and the user cancels the dialog: the start ends there, unannounced.
    SetOn(platform, L"Java Runtime Environment", L"Main Class", L"com.example.App");
    platform.boxes.clear();
    EXPECT_EQ(Launch(platform), kStartFailed);
    EXPECT_EQ(platform.dialogMessages.size(), 1u);
    EXPECT_TRUE(platform.boxes.empty());
    EXPECT_TRUE(Traced(L"stage runtime search took"));
    EXPECT_TRUE(Traced(L"launcher: initialisation ended the start"));
    EXPECT_FALSE(Traced(L"stage library path"));

    // A runtime whose library does not load: its message, and no VM options are read.
    SetOn(platform, L"Java Runtime Environment", L"JRE Path", L"D:\\rt");
    platform.existingFiles.insert(L"D:\\rt\\bin\\client\\jvm.dll");
    EXPECT_EQ(Launch(platform), kStartFailed);
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_NE(platform.boxes[0].find(L"D:\\rt\\bin\\client\\jvm.dll"), std::wstring::npos) << platform.boxes[0];
    EXPECT_TRUE(Traced(L"stage JVM library took"));
    EXPECT_FALSE(Traced(L"stage VM options"));
    EXPECT_FALSE(Traced(L"launcher: initialisation ended the start")) << "the run, not the initialisation, ended";
}

TEST_F(RunSequence, VmOptionsEndTheStartOnlyForAParameterTheVmMustNotGet) {
    SetOn(loading, L"Java Runtime Environment", L"Main Class", L"com.example.App");
    SetOn(loading, L"Java Runtime Environment", L"JRE Path", L"D:\\rt");
    SetOn(loading, L"Application", L"Restart Exit Code", L"9");
    loading.existingFiles.insert(L"D:\\rt\\bin\\client\\jvm.dll");

    SetOn(loading, L"Class Path", L"Class Path", L"D:\\app.jar");
    SetOn(loading, L"Java Runtime Environment", L"Virtual Machine Parameters", L"-cp lib");
    EXPECT_EQ(Launch(loading), kStartFailed);
    ASSERT_EQ(loading.boxes.size(), 1u);
    EXPECT_NE(loading.boxes[0].find(L"-cp is an option of the java command"), std::wstring::npos);
    EXPECT_FALSE(Traced(L"stage VM thread"));
    EXPECT_EQ(RefusingVm::creations, 0);

    // Without a class path the user is told, and the VM is created all the
    // same. Its exit hook reaches this start's restart while it is created.
    SetOn(loading, L"Class Path", L"Class Path", L"");
    SetOn(loading, L"Java Runtime Environment", L"Virtual Machine Parameters", L"");
    loading.boxes.clear();
    EXPECT_EQ(Launch(loading), kStartFailed) << "the VM was not created";
    ASSERT_EQ(loading.boxes.size(), 2u);
    EXPECT_EQ(loading.boxes[0], L"Java Class Path was not specified in INI file.");
    EXPECT_TRUE(Traced(L"stage VM thread took"));
    EXPECT_EQ(RefusingVm::creations, 1);
    EXPECT_EQ(loading.restarts, Strings{L"ZORV_RESTARTS=1@1000"});

    // The VM that was never created has no exit for the launcher to act on.
    ASSERT_NE(RefusingVm::exitHook, nullptr);
    RefusingVm::exitHook(9);
    EXPECT_EQ(loading.restarts.size(), 1u);
}

class RecordingServiceManager : public ServiceManager {
public:
    std::vector<std::int32_t> stopped;
    void Starting(std::uint32_t) override {}
    void Running(StopRoutine, void*, std::uint32_t) override {}
    void Stopped(std::int32_t exitCode) override { stopped.push_back(exitCode); }
    void Log(const std::wstring&, bool) override {}
};

// System.exit: the archive the runtime recorded takes its name, and the
// restart is the launcher's own only outside a service, whose manager hears
// of the end instead.
TEST_F(RunSequence, SystemExitKeepsTheRecordingAndRestartsOnlyOutsideAService) {
    HostedVm vm;
    ClassDataRecording recording;
    SplashScreen splash;
    SingleInstance instance;
    StartSettings start;
    start.restartExitCode = 9;
    Restarts restarts;
    RunTeardown teardown(loading, vm, recording, splash, instance);
    ServiceManager* service = nullptr;
    ProcessExit processExit(loading, teardown, restarts, start, instance, service);

    recording.beingRecorded = L"C:\\cache\\app.jsa.part";
    recording.archive = L"C:\\cache\\app.jsa";
    loading.existingFiles.insert(recording.beingRecorded);
    instance.active = true;
    processExit.VmExiting(9);
    EXPECT_EQ(loading.existingFiles.count(L"C:\\cache\\app.jsa"), 1u);
    EXPECT_EQ(loading.existingFiles.count(L"C:\\cache\\app.jsa.part"), 0u);
    EXPECT_EQ(loading.restarts, Strings{L"ZORV_RESTARTS=1@1000"});
    EXPECT_FALSE(instance.active) << "the new start must find no first instance";

    RecordingServiceManager manager;
    service = &manager;
    processExit.VmExiting(9);
    EXPECT_EQ(loading.restarts.size(), 1u);
    EXPECT_EQ(manager.stopped, std::vector<std::int32_t>{9});
}

}  // namespace
}  // namespace zorv::testing
