// An in-memory OS for the launcher's logic: files, INI profiles, environment
// and registry are plain maps that a test fills and then inspects.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "launcher/embedded_settings.h"
#include "launcher/environment.h"
#include "launcher/ini_document.h"
#include "launcher/platform.h"
#include "runtime/runtime_not_found.h"
#include "resources/string_table_text.h"

namespace zorv::testing {

class FakePlatform : public Platform {
public:
    std::wstring commandLine;
    std::wstring modulePath = L"C:\\app\\app.exe";
    bool moduleFails = false;
    std::vector<std::wstring> boxes;
    std::set<std::wstring> existingFiles;              // exact paths that exist
    std::map<std::wstring, std::string> fileContents;  // what ReadFileStart finds
    std::vector<std::wstring> filesRead;               // every path ReadFileStart was asked for
    std::map<std::wstring, std::pair<std::uint64_t, std::uint64_t>> stamps;  // path -> size, time of change
    std::vector<std::wstring> backgroundStarts;  // "application | command line | variable=value"
    std::uint32_t backgroundExitCode = 0;  // of each one waited for
    std::wstring backgroundWrites;         // a file each one makes
    std::map<std::wstring, std::vector<std::wstring>> listings;  // pattern -> names
    std::vector<std::wstring> createdFolders;
    std::map<std::wstring, std::uint32_t> folderErrors;  // folders whose creation fails with this code
    std::set<std::wstring> readOnlyFolders;              // where CanWriteIn says no
    std::wstring currentFolder;
    std::map<std::wstring, std::uint16_t> machines;
    std::vector<std::wstring> installedRuntimes;  // folders with trailing "\"
    // path -> the text of a settings file, read by the launcher's own reader
    std::map<std::wstring, std::wstring> settingsFiles;
    std::map<std::wstring, std::wstring> variables;  // names folded to lower case
    struct RegistryKey {
        std::vector<std::wstring> subkeys;
        std::map<std::wstring, std::wstring> values;
        std::set<std::wstring> notText;  // values stored as another type than REG_SZ
    };
    std::map<std::wstring, RegistryKey> registryKeys[3];  // [native, wow32, wow64], paths without trailing "\"
    MemoryStatus memory;
    bool dpiAware = false;
    WindowHandle activeWindow = nullptr;
    std::vector<WindowHandle> dialogOwners;
    std::vector<std::wstring> dialogMessages;  // the runtime-not-found texts shown
    std::vector<std::wstring> browsedFolders;
    int runtimeDialogAnswer = kDialogCancel;
    std::vector<std::wstring> exceptionTraces;
    int exceptionAnswer = kDialogIgnore;
    bool refuseThreads = false;
    int threadsStarted = 0;
    std::vector<std::uint32_t> threadsEnded;
    // What each splash window was asked to show: the picture path, then "shadow" or "flat".
    std::vector<std::vector<std::wstring>> splashesServed;
    std::map<unsigned, std::vector<unsigned char>> resources;  // RCDATA by number
    // The provider, when there is one, deciphers as the portable code does and
    // keeps the pass phrases it was given.
    ProviderResult provider = ProviderResult::unavailable;
    std::vector<std::string> providerPassPhrases;

    std::vector<std::wstring> settingsReads;  // the path, each time a settings file is read
    // What the process was given, in order: "priority N" (the enum's value), "aumid ID".
    std::vector<std::wstring> processCalls;
    bool refusePriority = false;  // as a system refuses a raise

    static std::wstring Fold(std::wstring text) {
        for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
        return text;
    }
    // Writes the value into the file's text as a profile writer does: over
    // the key's line, else after its section's last line, else in a new
    // section at the end, the value as given.
    void SetProfile(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value) {
        std::wstring& text = settingsFiles[path];
        IniDocument document(IniSyntax::settingsFile);
        document.Parse(text);
        const std::wstring line = key + L"=" + value;
        std::vector<std::wstring> lines = Lines(text);
        const IniDocument::Section* found = document.FindSection(section);
        if (found == nullptr) {
            lines.push_back(L"[" + section + L"]");
            lines.push_back(line);
        } else if (const IniEntry* entry = found->FindEntry(key)) {
            lines[static_cast<std::size_t>(entry->line - 1)] = line;
        } else {
            const int after = found->Entries().empty() ? found->Line() : found->Entries().back().line;
            lines.insert(lines.begin() + after, line);
        }
        text.clear();
        for (const std::wstring& each : lines) text += each + L"\r\n";
    }
    // A value of a settings file, as the launcher reads it; empty when missing.
    std::wstring ProfileValue(const std::wstring& path, const std::wstring& section, const std::wstring& key) const {
        auto file = settingsFiles.find(path);
        if (file == settingsFiles.end()) return std::wstring();
        IniDocument document(IniSyntax::settingsFile);
        document.Parse(file->second);
        const IniEntry* entry = document.Find(section, key);
        return entry == nullptr ? std::wstring() : entry->value;
    }
    void SetEnv(const std::wstring& name, const std::wstring& value) { variables[Fold(name)] = value; }
    void Register(RegistryView view, const std::wstring& key, const std::wstring& subkey, const std::wstring& home) {
        std::wstring parent = Trim(key);
        registryKeys[Index(view)][parent].subkeys.push_back(subkey);
        registryKeys[Index(view)][parent + L"\\" + subkey].values[L"JavaHome"] = home;
    }

    // A registration of the vendors' shape: the value lies in "below" under the subkey.
    void RegisterValue(RegistryView view, const std::wstring& key, const std::wstring& subkey, const std::wstring& below,
                       const std::wstring& valueName, const std::wstring& value, bool asText = true) {
        std::vector<std::wstring>& names = registryKeys[Index(view)][Trim(key)].subkeys;
        if (std::find(names.begin(), names.end(), subkey) == names.end()) names.push_back(subkey);
        RegistryKey& holder = registryKeys[Index(view)][Trim(key) + L"\\" + subkey + below];
        holder.values[valueName] = value;
        if (!asText) holder.notText.insert(valueName);
    }

    // The roles, each over the state above; a test that needs another
    // behaviour derives from one and puts it in place with Use.
    template <typename Role>
    class Over : public Role {
    public:
        explicit Over(FakePlatform& fake) : fake_(fake) {}

    protected:
        FakePlatform& fake_;
    };
    class Files : public Over<zorv::FileSystem> {
    public:
        using Over::Over;
        bool FileExists(const std::wstring& path) override { return fake_.existingFiles.count(path) != 0; }
        std::vector<std::wstring> InstalledRuntimeFolders() override { return fake_.installedRuntimes; }
        std::vector<std::wstring> FindFiles(const std::wstring& pattern) override {
            auto found = fake_.listings.find(pattern);
            return found == fake_.listings.end() ? std::vector<std::wstring>() : found->second;
        }
        SystemError CreateFolder(const std::wstring& path) override {
            auto failing = fake_.folderErrors.find(path);
            if (failing != fake_.folderErrors.end()) return FromWin32Code(failing->second);
            if (std::find(fake_.createdFolders.begin(), fake_.createdFolders.end(), path) != fake_.createdFolders.end())
                return SystemError{ErrorKind::alreadyExists};
            fake_.createdFolders.push_back(path);
            return SystemError();
        }
        bool CanWriteIn(const std::wstring& folder) override { return fake_.readOnlyFolders.count(folder) == 0; }
        void SetCurrentFolder(const std::wstring& path) override { fake_.currentFolder = path; }
        std::uint16_t ImageMachine(const std::wstring& path) override {
            auto found = fake_.machines.find(path);
            return found == fake_.machines.end() ? 0 : found->second;
        }
        bool ReadSettingsText(const std::wstring& path, std::wstring& text) override {
            fake_.settingsReads.push_back(path);
            auto found = fake_.settingsFiles.find(path);
            if (found == fake_.settingsFiles.end()) return false;
            text = found->second;
            return true;
        }
        bool WriteProfileValue(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                               const std::wstring& path) override {
            fake_.SetProfile(path, section, key, value);
            return true;
        }
        bool RemoveFile(const std::wstring& path) override {
            const bool profile = fake_.settingsFiles.erase(path) != 0;
            return fake_.existingFiles.erase(path) != 0 || profile;
        }
        bool ReadFileStart(const std::wstring& path, std::size_t maxBytes, std::string& bytes) override {
            fake_.filesRead.push_back(path);
            auto found = fake_.fileContents.find(path);
            if (found == fake_.fileContents.end()) return false;
            bytes = found->second.substr(0, maxBytes);
            return true;
        }
        bool RenameFile(const std::wstring& from, const std::wstring& to) override {
            if (fake_.existingFiles.erase(from) == 0) return false;
            fake_.existingFiles.insert(to);
            return true;
        }
        SystemError ProbeFile(const std::wstring& path, unsigned char (&buffer)[4]) override {
            for (unsigned char& byte : buffer) byte = 0;
            return fake_.settingsFiles.count(path) != 0 ? SystemError() : SystemError{ErrorKind::notFound};
        }
        bool FileStamp(const std::wstring& path, std::uint64_t& size, std::uint64_t& modified) override {
            auto found = fake_.stamps.find(path);
            if (found == fake_.stamps.end()) return false;
            size = found->second.first;
            modified = found->second.second;
            return true;
        }
        bool CreateNewFile(const std::wstring& path) override { return fake_.existingFiles.insert(path).second; }
    };
    class Environment : public Over<zorv::Environment> {
    public:
        using Over::Over;

        std::wstring CommandLine() override { return fake_.commandLine; }
        bool ModuleFileName(std::wstring& path, SystemError& error) override {
            if (fake_.moduleFails) {
                error = SystemError{ErrorKind::accessDenied};
                return false;
            }
            path = fake_.modulePath;
            return true;
        }
        bool GetEnvironment(const std::wstring& name, std::wstring& value) override {
            auto found = fake_.variables.find(Fold(name));
            if (found == fake_.variables.end()) return false;
            value = found->second;
            return true;
        }
        std::wstring ExpandEnvironment(const std::wstring& text) override {
            return ExpandReferences(
                text, [this](const std::wstring& name, std::wstring& value) { return GetEnvironment(name, value); });
        }
        void SetEnvironment(const std::wstring& name, const std::wstring& value) override { fake_.SetEnv(name, value); }
        void RemoveEnvironment(const std::wstring& name) override { fake_.variables.erase(Fold(name)); }
        std::string ToAnsi(const std::wstring& text) override {
            std::string narrow;
            for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
            return narrow;
        }
    };
    class Registry : public Over<zorv::Registry> {
    public:
        using Over::Over;
        std::vector<std::wstring> RegistrySubkeys(const std::wstring& keyPath, RegistryView view) override {
            auto found = fake_.registryKeys[Index(view)].find(Trim(keyPath));
            return found == fake_.registryKeys[Index(view)].end() ? std::vector<std::wstring>() : found->second.subkeys;
        }
        bool RegistryString(const std::wstring& keyPath, const std::wstring& valueName, RegistryView view,
                            std::wstring& value) override {
            auto key = fake_.registryKeys[Index(view)].find(Trim(keyPath));
            if (key == fake_.registryKeys[Index(view)].end()) return false;
            auto found = key->second.values.find(valueName);
            if (found == key->second.values.end()) return false;
            value = found->second;
            return !value.empty();
        }
        bool RegistryText(const std::wstring& keyPath, const std::wstring& valueName, RegistryView view,
                          std::wstring& value) override {
            auto key = fake_.registryKeys[Index(view)].find(Trim(keyPath));
            if (key != fake_.registryKeys[Index(view)].end() && key->second.notText.count(valueName) != 0) return false;
            return RegistryString(keyPath, valueName, view, value);
        }
    };
    class Libraries : public Over<zorv::Libraries> {
    public:
        using Over::Over;
        void AddLibraryFolder(const std::wstring&) override {}
        ModuleHandle LoadLibraryAt(const std::wstring&, SystemError& error) override {
            error = SystemError{ErrorKind::libraryNotLoaded};
            return nullptr;
        }
        void* LibrarySymbol(ModuleHandle, const char*, SystemError& error) override {
            error = SystemError{ErrorKind::symbolMissing};
            return nullptr;
        }
        std::vector<unsigned char> ReadResourceData(unsigned id) override {
            auto found = fake_.resources.find(id);
            return found == fake_.resources.end() ? std::vector<unsigned char>() : found->second;
        }
        ProviderResult DecipherWithProvider(const std::string& passPhrase, std::vector<unsigned char>& bytes) override {
            if (fake_.provider == ProviderResult::unavailable) return fake_.provider;
            fake_.providerPassPhrases.push_back(passPhrase);
            if (fake_.provider == ProviderResult::deciphered) DecipherPortably(passPhrase, bytes);
            return fake_.provider;
        }
    };
    class Processes : public Over<zorv::Processes> {
    public:
        using Over::Over;
        bool SetProcessPriority(ProcessPriority priority, SystemError& error) override {
            fake_.processCalls.push_back(L"priority " + std::to_wstring(static_cast<int>(priority)));
            error = SystemError{ErrorKind::accessDenied};
            return !fake_.refusePriority;
        }
        bool SetAppUserModelId(const std::wstring& id, SystemError&) override {
            fake_.processCalls.push_back(L"aumid " + id);
            return true;
        }
        MemoryStatus QueryMemory() override { return fake_.memory; }
        LocalTime CurrentLocalTime() override { return LocalTime(); }
        std::wstring FormatTimePicture(const std::wstring& picture, const LocalTime&) override { return picture; }
        std::wstring FormatDatePicture(const std::wstring& picture, const LocalTime&) override { return picture; }
        bool RunThread(std::uint64_t, ThreadRoutine, void*, std::uint32_t&) override { return false; }
        void SleepForever() override {}
        // Threads run to their end inside StartThread, so a splash window's Serve
        // has recorded what it was given by the time StartSplash returns.
        MessageLoopThread StartThread(ThreadRoutine routine, void* argument) override {
            if (fake_.refuseThreads) return MessageLoopThread();
            routine(argument);
            ++fake_.threadsStarted;
            return MessageLoopThread(*this,
                                     reinterpret_cast<ThreadHandle>(static_cast<std::uintptr_t>(fake_.threadsStarted)),
                                     static_cast<std::uint32_t>(fake_.threadsStarted));
        }
        void EndThread(ThreadHandle thread, std::uint32_t threadId) override {
            if (thread != nullptr) fake_.threadsEnded.push_back(threadId);
        }
        std::int32_t InstallService(const ServicePlan&, const std::wstring&) override {
            return RefuseServiceCommand(fake_.desktop());
        }
        std::int32_t RemoveService(const std::wstring&) override { return RefuseServiceCommand(fake_.desktop()); }
        bool StartProcess(const std::wstring&, const std::wstring&, bool, std::uint32_t&, SystemError& error) override {
            error = SystemError{ErrorKind::notFound};
            return false;
        }
        bool StartBackgroundProcess(const std::wstring& application, const std::wstring& line,
                                    const std::wstring& variable, const std::wstring& value, bool wait,
                                    std::uint32_t& exitCode, SystemError&) override {
            fake_.backgroundStarts.push_back(application + L" | " + line + L" | " + variable + L"=" + value);
            if (wait) exitCode = fake_.backgroundExitCode;
            if (!fake_.backgroundWrites.empty()) fake_.existingFiles.insert(fake_.backgroundWrites);
            return true;
        }
    };
    class Desktop : public Over<zorv::Desktop> {
    public:
        using Over::Over;
        std::wstring LoadResourceString(unsigned id) override { return StringTableText(id); }
        void ShowErrorBox(WindowHandle, const std::wstring& text) override { fake_.boxes.push_back(text); }
        WindowHandle ActiveWindow() override { return fake_.activeWindow; }
        // The user's part in the "JRE Not Found" dialog: the folders browsed to, in
        // order, then OK or Cancel.
        int ShowRuntimeNotFoundDialog(WindowHandle owner, RuntimeNotFoundDialog& dialog) override;
        int ShowExceptionDialog(WindowHandle owner, const std::wstring& traceText) override {
            fake_.dialogOwners.push_back(owner);
            fake_.exceptionTraces.push_back(traceText);
            return fake_.exceptionAnswer;
        }
        std::unique_ptr<SplashScreenWindow> NewSplashScreenWindow() override;
        std::unique_ptr<InstanceChannel> NewInstanceChannel() override { return nullptr; }
        void MakeProcessDpiAware() override { fake_.dpiAware = true; }
    };

    FakePlatform() {
        Use(filesRole_, environmentRole_, registryRole_, librariesRole_, processesRole_, desktopRole_);
    }

private:
    // The lines of a text, cut where the settings reader cuts them.
    static std::vector<std::wstring> Lines(const std::wstring& text) {
        std::vector<std::wstring> lines;
        for (std::size_t start = 0; start < text.size();) {
            std::size_t end = text.find_first_of(L"\r\n", start);
            if (end == std::wstring::npos) end = text.size();
            lines.push_back(text.substr(start, end - start));
            start = end + (text.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
        }
        return lines;
    }
    static int Index(RegistryView view) { return static_cast<int>(view); }
    static std::wstring Trim(std::wstring key) {
        while (!key.empty() && key.back() == L'\\') key.pop_back();
        return key;
    }
    Files filesRole_{*this};
    Environment environmentRole_{*this};
    Registry registryRole_{*this};
    Libraries librariesRole_{*this};
    Processes processesRole_{*this};
    Desktop desktopRole_{*this};
};

class FakeSplashScreenWindow : public SplashScreenWindow {
public:
    explicit FakeSplashScreenWindow(FakePlatform& platform) : platform_(platform) {}
    void Serve(const std::wstring& picturePath, bool shadow, std::atomic<WindowHandle>&) override {
        platform_.splashesServed.push_back({picturePath, shadow ? L"shadow" : L"flat"});
    }

private:
    FakePlatform& platform_;
};

inline std::unique_ptr<SplashScreenWindow> FakePlatform::Desktop::NewSplashScreenWindow() {
    return std::make_unique<FakeSplashScreenWindow>(fake_);
}

// The dialog's Browse steps as a user takes them; OK counts only while the
// last folder held a library, as the real dialog's button is disabled otherwise.
inline int FakePlatform::Desktop::ShowRuntimeNotFoundDialog(WindowHandle owner, RuntimeNotFoundDialog& dialog) {
    fake_.dialogOwners.push_back(owner);
    fake_.dialogMessages.push_back(dialog.message);
    // Whether OK could be pressed is the dialog's own business: the answer is
    // given as scripted, so that the caller's check of the choice is what counts.
    for (const std::wstring& folder : fake_.browsedFolders) dialog.TakeFolder(folder);
    return fake_.runtimeDialogAnswer;
}

}  // namespace zorv::testing
