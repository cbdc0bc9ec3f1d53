// Second starts of one executable against a running first instance: real
// launcher processes, the first one running the jvm.dll double with
// secondaryMain scripted (fake_runtime.h), replies read from exit codes and
// the double's log, the shared block read from outside.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "fake_runtime.h"
#include "instance/single_instance_block.h"
#include "launcher/win32_api.h"

namespace e2e {
namespace {

using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

std::size_t Count(const std::vector<std::string>& lines, const std::string& prefix) {
    return WithPrefix(lines, prefix).size();
}

class SingleInstance : public FakeRuntime {
protected:
    void SetUp() override {
        FakeRuntime::SetUp();
        if (IsSkipped()) return;
        InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
        WriteSingleInstance(L"yes");
        release_ = L"zorv-si-release-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
        releaseEvent_ = CreateEventW(nullptr, FALSE, FALSE, release_.c_str());
    }
    void TearDown() override {
        if (first_.valid()) EndFirst();
        if (releaseEvent_ != nullptr) CloseHandle(releaseEvent_);
    }

    void WriteSingleInstance(const std::wstring& value, const Environment& application = {}) {
        Environment entries = application;
        entries.emplace_back(L"Single Instance", value);
        WriteSettings(Settings({{L"JRE Path", L"rt"}}, entries));
    }

    // Starts the first instance, whose main stays until EndFirst, and waits
    // until the log shows it reached `until`.
    void StartFirst(const Environment& extra, const std::string& until = "main_args") {
        Launch launch;
        launch.exe = exe_;
        launch.workingDirectory = workingDirectory_;
        launch.timeoutMs = 120000;
        launch.environment = environment_;
        launch.environment.insert(launch.environment.end(),
                                  {{L"FAKEJVM_PAUSE", release_}, {L"FAKEJVM_MAIN_WAIT", L"100000"}});
        launch.environment.insert(launch.environment.end(), extra.begin(), extra.end());
        DeleteFileW(log_.c_str());
        first_ = std::async(std::launch::async, [launch] { return RunLauncher(launch); });
        ASSERT_TRUE(uiauto::WaitUntil([&] { return ReadFileBytes(log_).find(until) != std::string::npos; }, 30000))
            << ReadFileBytes(log_);
    }

    uiauto::RunResult Second(const std::wstring& arguments, const std::wstring& exe = L"", const Environment& extra = {}) {
        Launch launch;
        launch.exe = exe.empty() ? exe_ : exe;
        launch.workingDirectory = workingDirectory_;
        launch.arguments = arguments;
        launch.environment = environment_;
        launch.environment.insert(launch.environment.end(), extra.begin(), extra.end());
        launch.timeoutMs = 120000;
        return RunLauncher(launch);
    }

    uiauto::RunResult EndFirst() {
        SetEvent(releaseEvent_);
        uiauto::RunResult result = first_.get();
        lines_ = SplitLines(ReadFileBytes(log_));
        return result;
    }

    // A second start that waits for a reply holds the request lock.
    bool SecondIsWaiting() {
        std::wstring name = zorv::RequestLockName(zorv::InstanceBaseName(exe_));
        return uiauto::WaitUntil([&] {
            HANDLE lock = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
            if (lock == nullptr) return false;
            DWORD waited = WaitForSingleObject(lock, 0);
            if (waited != WAIT_TIMEOUT) ReleaseMutex(lock);
            CloseHandle(lock);
            return waited == WAIT_TIMEOUT;
        }, 30000);
    }

    std::wstring release_;
    HANDLE releaseEvent_ = nullptr;
    std::future<uiauto::RunResult> first_;
};

// The user this process runs as.
std::vector<unsigned char> ThisUser() {
    HANDLE token = nullptr;
    std::vector<unsigned char> buffer(256);
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    BOOL read = GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size);
    CloseHandle(token);
    if (!read) return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    return std::vector<unsigned char>(static_cast<unsigned char*>(sid), static_cast<unsigned char*>(sid) + GetLengthSid(sid));
}

// The shared block of the launcher at this path, mapped into the test; made
// here, owned by this user as the launcher makes it, when `create` says so,
// else null when there is none.
class SharedBlock {
public:
    SharedBlock(const std::wstring& exe, bool create) : base_(zorv::InstanceBaseName(exe)) {
        std::vector<unsigned char> user = ThisUser();
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorOwner(&descriptor, user.data(), FALSE);
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
        mapping_ = create ? CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0,
                                               static_cast<DWORD>(zorv::kInstanceBlockSize), base_.c_str())
                          : OpenFileMappingW(FILE_MAP_WRITE, FALSE, base_.c_str());
        if (mapping_ != nullptr) {
            bytes_ = static_cast<unsigned char*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, zorv::kInstanceBlockSize));
        }
    }
    ~SharedBlock() {
        if (bytes_ != nullptr) UnmapViewOfFile(bytes_);
        if (mapping_ != nullptr) CloseHandle(mapping_);
    }
    unsigned char* bytes() const { return bytes_; }
    const std::wstring& base() const { return base_; }

private:
    std::wstring base_;
    HANDLE mapping_ = nullptr;
    unsigned char* bytes_ = nullptr;
};

// What another program might do: a request with the whole block after the
// header filled with 'x' units, never a NUL. The reply's wParam, or -1.
std::int64_t PostGarbageRequest(const std::wstring& exe) {
    SharedBlock block(exe, false);
    if (block.bytes() == nullptr) return -1;
    std::int64_t reply = -1;
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    HANDLE lock = CreateMutexW(nullptr, FALSE, zorv::RequestLockName(block.base()).c_str());
    if (WaitForSingleObject(lock, 30000) == WAIT_OBJECT_0) {
        for (std::size_t i = zorv::kArgumentsOffset; i < zorv::kInstanceBlockSize; i += 2) {
            block.bytes()[i] = 'x';
            block.bytes()[i + 1] = 0;
        }
        std::uint32_t message = zorv::ReadBlockField(block.bytes(), zorv::kMessageIdOffset);
        if (PostThreadMessageW(zorv::ReadBlockField(block.bytes(), zorv::kListenerThreadIdOffset), message,
                               GetCurrentThreadId(), 0) &&
            uiauto::WaitUntil([&] { return PeekMessageW(&msg, nullptr, message, message, PM_REMOVE) != FALSE; }, 30000)) {
            reply = static_cast<std::int64_t>(msg.wParam);
        }
        ReleaseMutex(lock);
    }
    CloseHandle(lock);
    return reply;
}

TEST_F(SingleInstance, IntFormRepliesToEachSecondStartWithItsArguments) {
    StartFirst({{L"FAKEJVM_SECONDARY", L"int"}});
    EXPECT_TRUE(Ended(Second(L"-5"), static_cast<std::uint32_t>(-5), {}));
    EXPECT_TRUE(Ended(Second(L"a bc"), 0, {}));
    std::string block;
    if (SharedBlock shared(exe_, false); shared.bytes() != nullptr)
        block.assign(reinterpret_cast<const char*>(shared.bytes()), zorv::kInstanceBlockSize);
    ASSERT_EQ(block.size(), zorv::kInstanceBlockSize);
    EXPECT_EQ(block.substr(12, 14), std::string("a\0\0\0b\0c\0\0\0\0\0\0\0", 14));
    EXPECT_EQ(block.find_first_not_of('\0', 26), std::string::npos) << "the rest, reserved part included, stays zero";
    EXPECT_TRUE(Ended(Second(L""), 0, {}));
    EXPECT_TRUE(Ended(Second(L"7 " + std::wstring(516, L'x')), 7, {})) << "1040 bytes fit";
    EXPECT_TRUE(Ended(Second(L"7 " + std::wstring(517, L'x')), kFailed, {})) << "1042 bytes do not";
    EXPECT_EQ(PostGarbageRequest(exe_), 0);

    uiauto::RunResult first = EndFirst();
    EXPECT_TRUE(Ended(first, 0, {}));
    EXPECT_EQ(zorv::ReadBlockField(reinterpret_cast<const unsigned char*>(block.data()), zorv::kPrimaryProcessIdOffset),
              first.processId);
    std::vector<std::string> arguments = WithPrefix(lines_, "secondary_arg");
    std::vector<std::string> expected = {"secondary_args count=1", "secondary_arg[0]=-5", "secondary_args count=2",
                                         "secondary_arg[0]=a", "secondary_arg[1]=bc", "secondary_args count=1",
                                         "secondary_arg[0]=", "secondary_args count=2", "secondary_arg[0]=7",
                                         "secondary_arg[1]=" + std::string(516, 'x'), "secondary_args count=0"};
    EXPECT_EQ(arguments, expected);
    EXPECT_EQ(Count(lines_, "call_static_int com/example/App.secondaryMain"), 5u);
    EXPECT_EQ(Count(lines_, "main_args"), 1u) << "no second start ran the application itself";
    EXPECT_EQ(Count(lines_, "attach"), Count(lines_, "detach") - 1) << LogText();
    ExpectNoFaults();
}

TEST_F(SingleInstance, VoidFormIsPreferredAndRepliesBeforeItReturns) {
    StartFirst({{L"FAKEJVM_SECONDARY", L"both"}, {L"FAKEJVM_SECONDARY_SLEEP", L"3000"}});
    EXPECT_TRUE(Ended(Second(L"-5"), 0, {}));
    std::vector<std::string> meanwhile = SplitLines(ReadFileBytes(log_));
    EXPECT_EQ(Count(meanwhile, "call_static_void com/example/App.secondaryMain"), 1u);
    EXPECT_EQ(Count(meanwhile, "secondary_return"), 0u) << "the reply came only after the call";
    EXPECT_TRUE(Ended(EndFirst(), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "secondary_return"), std::vector<std::string>{"secondary_return void"});
    EXPECT_EQ(Count(lines_, "call_static_int"), 0u);
    ExpectNoFaults();
}

TEST_F(SingleInstance, OffUnlessExactlyYesAndNoServiceAndOnePathSpelling) {
    struct Variant {
        const wchar_t* singleInstance;
        Environment application;
        bool otherCase;
    };
    for (const Variant& variant : {Variant{L"Yes", {}, false}, Variant{L"yes", {{L"Application Type", L"service"}}, false},
                                   Variant{L"yes", {}, true}}) {
        SCOPED_TRACE(Utf8(variant.singleInstance) + (variant.otherCase ? " other case" : ""));
        WriteSingleInstance(variant.singleInstance, variant.application);
        StartFirst({{L"FAKEJVM_SECONDARY", L"int"}});
        std::wstring exe = exe_;
        // Wine spells a started program's path as it is on disk, except in the \\?\ form.
        if (variant.otherCase) exe = LongForm(exe.substr(0, exe.size() - 7) + L"APP.EXE");
        EXPECT_TRUE(Ended(Second(L"-5", exe), 0, {})) << "it ran the application itself";
        EXPECT_TRUE(Ended(EndFirst(), 0, {}));
        EXPECT_EQ(Count(lines_, "main_args"), 2u) << LogText();
        EXPECT_EQ(Count(lines_, "secondary_args"), 0u);
    }
}

TEST_F(SingleInstance, WithoutSecondaryMainTheSecondStartHearsSoAtOnce) {
    // The first instance stays until it ends with System.exit(9); the second does not wait for that.
    StartFirst({{L"FAKEJVM_MAIN", L"exit:9"}});
    const std::wstring trace = sandbox_.Path(L"second.trace");
    EXPECT_TRUE(Ended(Second(L"a", L"", {{L"ZORV_LAUNCHER_DEBUG", trace}}), kFailed, {}));
    EXPECT_NE(ReadFileBytes(trace).find("single instance: The running instance of this application takes no arguments "
                                        "from a second start (its main class has no secondaryMain)"),
              std::string::npos)
        << ReadFileBytes(trace);
    EXPECT_TRUE(Ended(EndFirst(), 9, {}));
    EXPECT_EQ(Count(lines_, "get_static_method com/example/App secondaryMain"), 2u) << LogText();
    EXPECT_EQ(Count(lines_, "exception_describe"), 0u) << "nothing printed in the first instance";
    ExpectNoFaults();
}

TEST_F(SingleInstance, WithoutAReplyTheSecondStartEndsWithTheFirstsExitCode) {
    // Never reaching main: the runtime's helper finds no main class and ends the process with 1.
    environment_ = {{L"FAKEJVM_LOG", log_}, {L"FAKEJVM_CLASSES", L"com/example/Other"}};
    StartFirst({{L"FAKEJVM_SECONDARY", L"int"}, {L"FAKEJVM_PAUSE_AT", L"create"}, {L"FAKEJVM_HELPER", L"exit"}},
               "pause create");
    auto second = std::async(std::launch::async, [this] { return Second(L"a"); });
    ASSERT_TRUE(SecondIsWaiting());
    EXPECT_TRUE(Ended(EndFirst(), 1, {}));
    EXPECT_TRUE(Ended(second.get(), 1, {}));
    EXPECT_EQ(Count(lines_, "attach"), 0u) << LogText();
}

// secondaryMain asks for a restart: the first instance ends from within the
// VM's exit (the double runs it on the request thread itself), the start that
// asked gets the exit code at once, and the new start, a process of its own
// that waits in main as the first did, is the first instance that later
// starts reach. The console launcher outlives the new start, whose code it
// ends with, so the new start takes over a block that still exists.
TEST_F(SingleInstance, ARestartAskedForBySecondaryMainMakesTheNewStartTheFirstInstance) {
    WriteSingleInstance(L"yes", {{L"Restart Exit Code", L"9"}});
    for (bool console : {false, true}) {
        SCOPED_TRACE(console ? "console launcher" : "GUI launcher");
        if (console) exe_ = sandbox_.CopyIn(ConsoleLauncherExe(), L"app.exe");
        StartFirst({{L"FAKEJVM_SECONDARY", L"exit"}});
        EXPECT_TRUE(Ended(Second(L"9"), 9, {}));
        ASSERT_TRUE(uiauto::WaitUntil([&] { return Count(SplitLines(ReadFileBytes(log_)), "main_args") == 2; }, 30000))
            << ReadFileBytes(log_);
        EXPECT_TRUE(Ended(Second(L"5"), 5, {}));
        EXPECT_TRUE(Ended(first_.get(), console ? 5 : 9, {}));
        lines_ = SplitLines(ReadFileBytes(log_));
        EXPECT_EQ(WithPrefix(lines_, "secondary_arg["),
                  (std::vector<std::string>{"secondary_arg[0]=9", "secondary_arg[0]=5"}))
            << LogText();
        EXPECT_EQ(Count(lines_, "main_args"), 2u) << "a second start ran the application itself";
        ExpectNoFaults();
    }
}

TEST_F(SingleInstance, TwentySimultaneousSecondStartsEachGetTheirOwnReply) {
    StartFirst({{L"FAKEJVM_SECONDARY", L"int"}});
    std::vector<std::future<uiauto::RunResult>> seconds;
    for (int i = 1; i <= 20; ++i) {
        std::wstring arguments = std::to_wstring(i) + L" " + std::to_wstring(1000 * i);
        seconds.push_back(std::async(std::launch::async, [this, arguments] { return Second(arguments); }));
    }
    for (int i = 1; i <= 20; ++i) EXPECT_TRUE(Ended(seconds[i - 1].get(), 1001 * i, {})) << "start " << i;
    EXPECT_TRUE(Ended(EndFirst(), 0, {}));
    EXPECT_EQ(Count(lines_, "secondary_return"), 20u);
    ExpectNoFaults();
}

// This test plays the first instance that made the block.
TEST_F(SingleInstance, SecondStartWaitsBrieflyForAHeaderAndTalksOnlyToTheLauncher) {
    SharedBlock shared(exe_, true);
    unsigned char* block = shared.bytes();
    ASSERT_NE(block, nullptr);

    // Never finishing the set-up: the wait for the header ends.
    uiauto::RunResult unfinished = Second(L"a");
    EXPECT_TRUE(Ended(unfinished, kFailed, {}));

    // Finishing it while the second start waits, but as a program other than
    // the launcher: the second start sends it nothing.
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const std::uint32_t message = RegisterWindowMessageW(shared.base().c_str());
    const std::wstring trace = sandbox_.Path(L"late.trace");
    auto late = std::async(std::launch::async,
                           [this, trace] { return Second(L"late", L"", {{L"ZORV_LAUNCHER_DEBUG", trace}}); });
    const std::string waiting = "single instance: waiting for the first instance to finish its header";
    ASSERT_TRUE(uiauto::WaitUntil([&] { return ReadFileBytes(trace).find(waiting) != std::string::npos; }, 30000))
        << "the second start never waited for the header\n" << ReadFileBytes(trace);
    zorv::WriteBlockField(block, zorv::kMessageIdOffset, message);
    zorv::WriteBlockField(block, zorv::kPrimaryProcessIdOffset, GetCurrentProcessId());
    zorv::PublishListenerThreadId(block, GetCurrentThreadId());
    EXPECT_TRUE(Ended(late.get(), kFailed, {}));
    EXPECT_NE(ReadFileBytes(trace).find("single instance: process " + std::to_string(GetCurrentProcessId()) +
                                        " named in the shared block is not this program of this user"),
              std::string::npos)
        << "the header written during the wait was not read\n" << ReadFileBytes(trace);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, message, message, PM_REMOVE)) << "a request reached another program";
    EXPECT_EQ(zorv::ReadArgumentBlock(block), std::vector<std::wstring>{L""}) << "its arguments were written";

    // Naming a process and a thread that have ended.
    HANDLE thread = CreateThread(nullptr, 0, [](void*) -> DWORD { return 0; }, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    zorv::WriteBlockField(block, zorv::kPrimaryProcessIdOffset, unfinished.processId);
    zorv::WriteBlockField(block, zorv::kListenerThreadIdOffset, GetThreadId(thread));
    CloseHandle(thread);
    EXPECT_TRUE(Ended(Second(L"a"), kFailed, {}));
    EXPECT_FALSE(FileExists(log_)) << "no start ran the application";
}

// The launcher's own block, naming as its listener a thread of another
// process (this test's): the second start sends its request nowhere rather
// than to whoever owns that thread, and the first instance serves the next.
TEST_F(SingleInstance, ARequestGoesOnlyToAThreadOfTheFirstInstance) {
    StartFirst({{L"FAKEJVM_SECONDARY", L"int"}});
    SharedBlock shared(exe_, false);
    ASSERT_NE(shared.bytes(), nullptr);
    const std::uint32_t listener = zorv::ReadBlockField(shared.bytes(), zorv::kListenerThreadIdOffset);
    const std::uint32_t message = zorv::ReadBlockField(shared.bytes(), zorv::kMessageIdOffset);
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    zorv::PublishListenerThreadId(shared.bytes(), GetCurrentThreadId());
    auto second = std::async(std::launch::async, [this] { return Second(L"-5"); });
    bool reached = false;
    uiauto::WaitUntil([&] {
        reached = PeekMessageW(&msg, nullptr, message, message, PM_REMOVE) != FALSE;
        return reached || second.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }, 60000);
    // A second start whose request arrived here waits for a reply: it gets one.
    if (reached) PostThreadMessageW(static_cast<DWORD>(msg.wParam), message, 0, 0);
    EXPECT_FALSE(reached) << "a request reached a thread of another process";
    EXPECT_TRUE(Ended(second.get(), kFailed, {}));

    zorv::PublishListenerThreadId(shared.bytes(), listener);
    EXPECT_TRUE(Ended(Second(L"7"), 7, {}));
    EXPECT_TRUE(Ended(EndFirst(), 0, {}));
    EXPECT_EQ(WithPrefix(lines_, "secondary_arg"),
              (std::vector<std::string>{"secondary_args count=1", "secondary_arg[0]=7"}));
}

// Security attributes naming the Administrators group as owner, open to
// all: an object that someone else made first.
class AnotherOwner {
public:
    AnotherOwner() {
        DWORD size = sizeof sid_;
        CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid_, &size);
        InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorOwner(&descriptor_, sid_, FALSE);
        SetSecurityDescriptorDacl(&descriptor_, TRUE, nullptr, FALSE);
    }
    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

private:
    alignas(8) unsigned char sid_[SECURITY_MAX_SID_SIZE] = {};
    SECURITY_DESCRIPTOR descriptor_ = {};
    SECURITY_ATTRIBUTES attributes_ = {sizeof attributes_, &descriptor_, FALSE};
};

// Whether a kernel object is this user's and opens to this user alone.
::testing::AssertionResult ThisUsersAlone(HANDLE object) {
    std::vector<unsigned char> user = ThisUser();
    std::vector<unsigned char> descriptor(4096);
    DWORD size = 0;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (object == nullptr || user.empty() ||
        !GetKernelObjectSecurity(object, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor.data(),
                                 static_cast<DWORD>(descriptor.size()), &size) ||
        !GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted)) {
        return ::testing::AssertionFailure() << "no security descriptor: error " << GetLastError();
    }
    if (!EqualSid(owner, user.data())) return ::testing::AssertionFailure() << "owned by another";
    if (!present || dacl == nullptr) return ::testing::AssertionFailure() << "no DACL: open to everybody";
    void* ace = nullptr;
    if (dacl->AceCount != 1 || !GetAce(dacl, 0, &ace) ||
        static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE ||
        !EqualSid(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, user.data())) {
        return ::testing::AssertionFailure() << dacl->AceCount << " entries, not this user's alone";
    }
    return ::testing::AssertionSuccess();
}

TEST_F(SingleInstance, ObjectsOpenToThisUserAloneAndAnotherOwnersBlockIsNotUsed) {
    StartFirst({{L"FAKEJVM_SECONDARY", L"int"}});
    const std::wstring base = zorv::InstanceBaseName(exe_);
    HANDLE mapping = OpenFileMappingW(READ_CONTROL, FALSE, base.c_str());
    HANDLE event = OpenEventW(READ_CONTROL, FALSE, zorv::StartEventName(base).c_str());
    EXPECT_TRUE(ThisUsersAlone(mapping)) << "the shared block";
    EXPECT_TRUE(ThisUsersAlone(event)) << "the start event";
    for (HANDLE object : {mapping, event}) {
        if (object != nullptr) CloseHandle(object);
    }
    EXPECT_TRUE(Ended(Second(L"-5"), static_cast<std::uint32_t>(-5), {}));
    EXPECT_TRUE(Ended(EndFirst(), 0, {}));

    // A block made first by someone else, open to all: the start runs the
    // application itself rather than hand its arguments over.
    AnotherOwner other;
    HANDLE planted = CreateFileMappingW(INVALID_HANDLE_VALUE, other.Attributes(), PAGE_READWRITE, 0,
                                        static_cast<DWORD>(zorv::kInstanceBlockSize), base.c_str());
    ASSERT_NE(planted, nullptr) << GetLastError();
    EXPECT_FALSE(ThisUsersAlone(planted)) << "the test could not plant a block of another owner";
    const std::wstring trace = sandbox_.Path(L"planted.trace");
    EXPECT_TRUE(Ended(Second(L"-5", L"", {{L"ZORV_LAUNCHER_DEBUG", trace}}), 0, {}));
    CloseHandle(planted);
    EXPECT_NE(ReadFileBytes(trace).find("single instance: off: the shared block " + Utf8(base) + " belongs to another user"),
              std::string::npos)
        << ReadFileBytes(trace);
    EXPECT_EQ(WithPrefix(SplitLines(ReadFileBytes(log_)), "arg[0]"), std::vector<std::string>{"arg[0]=-5"})
        << "the start ran the application itself";
}

// A first instance whose start event is someone else's runs without the mode
// and takes its block down: the next start runs the application too, rather
// than wait for a first instance that will never answer.
TEST_F(SingleInstance, AFirstInstanceThatCannotServeLeavesNoBlock) {
    AnotherOwner other;
    HANDLE planted = CreateEventW(other.Attributes(), TRUE, FALSE, zorv::StartEventName(zorv::InstanceBaseName(exe_)).c_str());
    ASSERT_NE(planted, nullptr) << GetLastError();
    StartFirst({{L"FAKEJVM_SECONDARY", L"int"}});
    EXPECT_TRUE(Ended(Second(L"-5"), 0, {}));
    EXPECT_TRUE(Ended(EndFirst(), 0, {}));
    CloseHandle(planted);
    EXPECT_EQ(Count(lines_, "main_args"), 2u) << LogText();
    EXPECT_EQ(Count(lines_, "secondary_args"), 0u);
}

// Names derived from a path past 255 characters still fit their limits.
TEST_F(SingleInstance, ALongInstallPathKeepsTheMode) {
    std::wstring deep;
    while (sandbox_.Path(deep).size() < 300) deep += L"deep folder " + std::to_wstring(deep.size()) + L"\\";
    exe_ = sandbox_.CopyLauncher(deep + L"app.exe");
    ASSERT_TRUE(FileExists(exe_));
    // A working folder past MAX_PATH is refused by Windows.
    workingDirectory_ = sandbox_.Root();
    sandbox_.WriteBytes(deep + L"lib\\app.jar", "not really a jar");
    sandbox_.WriteBytes(deep + L"app.ini",
                        Settings({{L"JRE Path", sandbox_.Path(L"rt")}}, {{L"Single Instance", L"yes"}}).Encoded());
    StartFirst({{L"FAKEJVM_SECONDARY", L"int"}});
    EXPECT_TRUE(Ended(Second(L"-5"), static_cast<std::uint32_t>(-5), {}));
    EXPECT_TRUE(Ended(EndFirst(), 0, {}));
    EXPECT_EQ(Count(lines_, "main_args"), 1u) << LogText();
    EXPECT_EQ(WithPrefix(lines_, "secondary_arg"),
              (std::vector<std::string>{"secondary_args count=1", "secondary_arg[0]=-5"}));
}

}  // namespace
}  // namespace e2e
