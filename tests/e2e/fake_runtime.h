// The launcher with a runtime to find: the jvm.dll test double stands in for
// a real runtime and logs what the launcher asked of it (its header comment
// documents the log), while the launcher's exit code and boxes are read from
// outside.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "launcher/win32_api.h"

namespace e2e {

const std::uint32_t kFailed = 0xFFFFFFFF;
const wchar_t kMainClass[] = L"com.example.App";

std::vector<std::string> SplitLines(const std::string& text);
std::vector<std::string> WithPrefix(const std::vector<std::string>& lines, const std::string& prefix);
// The "option " lines in order, without the two properties that tell the
// application how it was started (their own tests look at them).
std::vector<std::string> VmOptionLines(const std::vector<std::string>& lines);
// The faults the double reports are all upper case at the start of a line.
std::vector<std::string> Faults(const std::vector<std::string>& lines);

class FakeRuntime : public ::testing::Test {
protected:
    void SetUp() override;

    // A runtime folder: the double as its JVM library, and bin\java.dll
    // when it must pass for a Java home.
    std::wstring InstallRuntime(const std::wstring& home, const std::wstring& library, bool javaHome,
                                const std::wstring& dll = FakeJvm64());

    // The usual settings: a class path, the main class and these extras.
    Ini Settings(const std::vector<std::pair<std::wstring, std::wstring>>& runtime = {},
                 const std::vector<std::pair<std::wstring, std::wstring>>& application = {});

    void WriteSettings(const Ini& ini) { sandbox_.WriteBytes(L"app.ini", ini.Encoded()); }

    uiauto::RunResult Start(const std::wstring& arguments = L"",
                            const std::vector<std::pair<std::wstring, std::wstring>>& extra = {});

    std::vector<std::string> Options() const { return VmOptionLines(lines_); }
    // The double's single "thread_stack reserved=" reading, 0 when there is none or several.
    std::uint64_t StackReserved() const;

    void ExpectLoaded(const std::wstring& library) const;
    void ExpectNoFaults() const { EXPECT_EQ(Faults(lines_), std::vector<std::string>{}) << LogText(); }
    std::string LogText() const;

    std::string ClassPathOption() const { return "option -Djava.class.path=" + Utf8(sandbox_.Path(L"lib\\app.jar")) + ";"; }

    Sandbox sandbox_;
    std::wstring exe_;
    std::wstring log_;
    // Empty: the program's folder.
    std::wstring workingDirectory_;
    std::wstring desktop_;  // empty: the test's own
    std::vector<std::pair<std::wstring, std::wstring>> environment_;
    // Windows (no message boxes) the case drives itself during Start.
    std::function<bool(const uiauto::WindowReport&)> onWindow_;
    // Files for the standard handles of the next Start; empty: the caller's.
    std::wstring standardInput_, standardOutput_, standardError_;
    std::vector<std::string> lines_;
};

// A named pipe that stands for the splash picture: a launcher that starts
// its splash opens the picture before its window comes up, one without a
// splash never does. Each opening is counted, and the opener let go at once
// (its read fails, so the splash shows nothing). Once the launcher has
// ended, Opens() says for good whether a splash was started.
class WatchedPicture {
public:
    WatchedPicture();
    ~WatchedPicture();
    WatchedPicture(const WatchedPicture&) = delete;
    WatchedPicture& operator=(const WatchedPicture&) = delete;

    const std::wstring& Path() const { return path_; }
    int Opens() const { return opens_.load(); }

private:
    void Serve();

    std::wstring path_;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    HANDLE connected_ = nullptr;
    HANDLE stop_ = nullptr;
    std::atomic<int> opens_{0};
    std::thread server_;
};

// Removes what it created under HKLM, deepest first, and nothing that was
// there before.
class RegistryRegistration {
public:
    RegistryRegistration(const std::wstring& version, const std::wstring& home)
        : RegistryRegistration(
              {L"Software\\JavaSoft", L"Software\\JavaSoft\\JRE", L"Software\\JavaSoft\\JRE\\" + version}, L"JavaHome",
              home) {}
    // Every key of the chain, outermost first; the last one gets the value.
    RegistryRegistration(const std::vector<std::wstring>& keys, const wchar_t* valueName, const std::wstring& home) {
        key_ = keys.back();
        for (const std::wstring& part : keys) {
            HKEY key = Create(part.c_str());
            if (key == nullptr) continue;
            ok_ = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(home.c_str()),
                                 static_cast<DWORD>((home.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
    }
    ~RegistryRegistration() {
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) RegDeleteKeyW(HKEY_LOCAL_MACHINE, it->c_str());
    }
    bool ok() const { return ok_; }

private:
    HKEY Create(const wchar_t* path) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) !=
            ERROR_SUCCESS)
            return nullptr;
        if (disposition == REG_CREATED_NEW_KEY) created_.push_back(path);
        if (std::wstring(path) != key_) {
            RegCloseKey(key);
            return nullptr;
        }
        return key;
    }
    std::wstring key_;
    std::vector<std::wstring> created_;
    bool ok_ = false;
};

}  // namespace e2e
