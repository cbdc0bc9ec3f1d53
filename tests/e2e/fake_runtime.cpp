#include "fake_runtime.h"

#include <algorithm>
#include <sstream>

#include "launcher/win32_api.h"

namespace e2e {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> WithPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
    }
    return found;
}

std::vector<std::string> VmOptionLines(const std::vector<std::string>& lines) {
    std::vector<std::string> options;
    for (const std::string& option : WithPrefix(lines, "option ")) {
        if (option.rfind("option -Dsun.java.command=", 0) != 0 && option != "option -Dsun.java.launcher=SUN_STANDARD")
            options.push_back(option);
    }
    return options;
}

std::vector<std::string> Faults(const std::vector<std::string>& lines) {
    std::vector<std::string> faults;
    for (const std::string& line : lines) {
        std::size_t end = line.find(' ');
        std::string word = line.substr(0, end);
        bool upper = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || c == '_' || (c >= '0' && c <= '9');
        });
        if (upper) faults.push_back(line);
    }
    return faults;
}

WatchedPicture::WatchedPicture() {
    static std::atomic<int> made{0};
    path_ = L"\\\\.\\pipe\\zorv-e2e-picture-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++made);
    pipe_ = CreateNamedPipeW(path_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                             4096, 4096, 0, nullptr);
    connected_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(pipe_, INVALID_HANDLE_VALUE) << "no pipe for the picture: error " << GetLastError();
    if (pipe_ != INVALID_HANDLE_VALUE) server_ = std::thread([this] { Serve(); });
}

WatchedPicture::~WatchedPicture() {
    SetEvent(stop_);
    if (server_.joinable()) server_.join();
    if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
    CloseHandle(connected_);
    CloseHandle(stop_);
}

void WatchedPicture::Serve() {
    for (;;) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = connected_;
        ResetEvent(connected_);
        const DWORD error = ConnectNamedPipe(pipe_, &overlapped) != FALSE ? ERROR_SUCCESS : GetLastError();
        // Connected, or connected and gone again before the call.
        bool opened = error == ERROR_SUCCESS || error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA;
        if (error == ERROR_IO_PENDING) {
            HANDLE either[] = {connected_, stop_};
            if (WaitForMultipleObjects(2, either, FALSE, INFINITE) != WAIT_OBJECT_0) {
                CancelIo(pipe_);
                DWORD ignored = 0;
                GetOverlappedResult(pipe_, &overlapped, &ignored, TRUE);
                return;
            }
            DWORD ignored = 0;
            opened = GetOverlappedResult(pipe_, &overlapped, &ignored, FALSE) != FALSE;
        }
        if (opened) ++opens_;
        DisconnectNamedPipe(pipe_);
        // A pipe that fails otherwise is not asked again at once.
        if (WaitForSingleObject(stop_, opened ? 0 : 50) == WAIT_OBJECT_0) return;
    }
}

void FakeRuntime::SetUp() {
    if (FakeJvm64().empty() || !FileExists(FakeJvm64())) GTEST_SKIP() << "the jvm.dll double was not built";
    exe_ = sandbox_.CopyLauncher(L"app.exe");
    log_ = sandbox_.Path(L"fake.log");
    sandbox_.WriteBytes(L"lib\\app.jar", "not really a jar");
    environment_ = {{L"FAKEJVM_LOG", log_}, {L"FAKEJVM_CLASSES", L"com/example/App"}};
}

std::wstring FakeRuntime::InstallRuntime(const std::wstring& home, const std::wstring& library, bool javaHome,
                                         const std::wstring& dll) {
    std::wstring prefix = home.empty() ? std::wstring() : home + L"\\";
    std::wstring installed = sandbox_.CopyIn(dll, prefix + library);
    if (javaHome) sandbox_.WriteBytes(prefix + L"bin\\java.dll", "marker");
    return installed;
}

Ini FakeRuntime::Settings(const std::vector<std::pair<std::wstring, std::wstring>>& runtime,
                          const std::vector<std::pair<std::wstring, std::wstring>>& application) {
    Ini ini;
    ini.Section(L"Class Path").Set(L"Class Path", L"lib\\app.jar");
    ini.Section(L"Java Runtime Environment").Set(L"Main Class", kMainClass);
    for (const auto& entry : runtime) ini.Set(entry.first, entry.second);
    ini.Section(L"Application");
    for (const auto& entry : application) ini.Set(entry.first, entry.second);
    return ini;
}

uiauto::RunResult FakeRuntime::Start(const std::wstring& arguments,
                                     const std::vector<std::pair<std::wstring, std::wstring>>& extra) {
    Launch launch;
    launch.exe = exe_;
    launch.arguments = arguments;
    launch.environment = environment_;
    launch.workingDirectory = workingDirectory_;
    launch.desktop = desktop_;
    launch.onWindow = onWindow_;
    launch.standardInput = standardInput_;
    launch.standardOutput = standardOutput_;
    launch.standardError = standardError_;
    for (const auto& entry : extra) launch.environment.push_back(entry);
    DeleteFileW(log_.c_str());
    uiauto::RunResult result = RunLauncher(launch);
    lines_ = SplitLines(ReadFileBytes(log_));
    return result;
}

std::uint64_t FakeRuntime::StackReserved() const {
    const std::string prefix = "thread_stack reserved=";
    std::vector<std::string> found = WithPrefix(lines_, prefix);
    return found.size() == 1 ? std::stoull(found[0].substr(prefix.size())) : 0;
}

void FakeRuntime::ExpectLoaded(const std::wstring& library) const {
    EXPECT_EQ(WithPrefix(lines_, "load "), std::vector<std::string>{"load " + Utf8(library)}) << LogText();
}

std::string FakeRuntime::LogText() const {
    std::string text = "log:\n";
    for (const std::string& line : lines_) text += "  " + line + "\n";
    return text;
}

}  // namespace e2e
