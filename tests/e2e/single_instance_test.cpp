// Second starts of one executable against a running first instance: real
// launcher processes, the first one running the jvm.dll double with
// secondaryMain scripted (fake_runtime.h), replies read from exit codes and
// the double's log, the shared block read from outside.
#include <gtest/gtest.h>

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

    uiauto::RunResult Second(const std::wstring& arguments, const std::wstring& exe = L"") {
        Launch launch;
        launch.exe = exe.empty() ? exe_ : exe;
        launch.arguments = arguments;
        launch.environment = environment_;
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

// The shared block of the launcher at this path, mapped into the test; made
// here when `create` says so, else null when there is none.
class SharedBlock {
public:
    SharedBlock(const std::wstring& exe, bool create) : base_(zorv::InstanceBaseName(exe)) {
        mapping_ = create ? CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
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

TEST_F(SingleInstance, WithoutAReplyTheSecondStartEndsWithTheFirstsExitCode) {
    // No secondaryMain: the first instance ends with System.exit(9).
    StartFirst({{L"FAKEJVM_MAIN", L"exit:9"}});
    auto second = std::async(std::launch::async, [this] { return Second(L"a"); });
    ASSERT_TRUE(uiauto::WaitUntil([&] { return ReadFileBytes(log_).find("exception_describe") != std::string::npos; }, 30000));
    EXPECT_TRUE(Ended(EndFirst(), 9, {}));
    EXPECT_TRUE(Ended(second.get(), 9, {}));
    EXPECT_EQ(Count(lines_, "get_static_method com/example/App secondaryMain"), 2u) << LogText();
    EXPECT_EQ(Count(lines_, "exception_describe java/lang/NoSuchMethodError"), 1u);
    ExpectNoFaults();

    // Never reaching main: the runtime's helper finds no main class and ends the process with 1.
    environment_ = {{L"FAKEJVM_LOG", log_}, {L"FAKEJVM_CLASSES", L"com/example/Other"}};
    StartFirst({{L"FAKEJVM_SECONDARY", L"int"}, {L"FAKEJVM_PAUSE_AT", L"create"}, {L"FAKEJVM_HELPER", L"exit"}},
               "pause create");
    second = std::async(std::launch::async, [this] { return Second(L"a"); });
    ASSERT_TRUE(SecondIsWaiting());
    EXPECT_TRUE(Ended(EndFirst(), 1, {}));
    EXPECT_TRUE(Ended(second.get(), 1, {}));
    EXPECT_EQ(Count(lines_, "attach"), 0u) << LogText();
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
TEST_F(SingleInstance, SecondStartWaitsBrieflyForAHeaderAndRefusesAStaleOne) {
    SharedBlock shared(exe_, true);
    unsigned char* block = shared.bytes();
    ASSERT_NE(block, nullptr);

    // Never finishing the set-up: the wait for the header ends.
    uiauto::RunResult unfinished = Second(L"a");
    EXPECT_TRUE(Ended(unfinished, kFailed, {}));

    // Finishing it while the second start waits.
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const std::uint32_t message = RegisterWindowMessageW(shared.base().c_str());
    auto late = std::async(std::launch::async, [this] { return Second(L"late"); });
    Sleep(1000);
    zorv::WriteBlockField(block, zorv::kMessageIdOffset, message);
    zorv::WriteBlockField(block, zorv::kPrimaryProcessIdOffset, GetCurrentProcessId());
    zorv::PublishListenerThreadId(block, GetCurrentThreadId());
    ASSERT_TRUE(uiauto::WaitUntil([&] { return PeekMessageW(&msg, nullptr, message, message, PM_REMOVE) != FALSE; }, 30000));
    EXPECT_EQ(zorv::ReadArgumentBlock(block), std::vector<std::wstring>{L"late"});
    PostThreadMessageW(static_cast<DWORD>(msg.wParam), message, 42, 0);
    EXPECT_TRUE(Ended(late.get(), 42, {}));

    // Naming a process and a thread that have ended.
    HANDLE thread = CreateThread(nullptr, 0, [](void*) -> DWORD { return 0; }, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    zorv::WriteBlockField(block, zorv::kPrimaryProcessIdOffset, unfinished.processId);
    zorv::WriteBlockField(block, zorv::kListenerThreadIdOffset, GetThreadId(thread));
    CloseHandle(thread);
    EXPECT_TRUE(Ended(Second(L"a"), kFailed, {}));
    EXPECT_FALSE(FileExists(log_)) << "no start ran the application";
}

}  // namespace
}  // namespace e2e
