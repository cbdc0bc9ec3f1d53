// The runtime search against the real registry of the Wine prefix, with
// runtime folders made of empty library files in temporary folders.
#include <gtest/gtest.h>

#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "launcher/file_locations.h"
#include "launcher/launcher_settings.h"
#include "runtime/runtime_search.h"
#include "launcher/unique_handle.h"
#include "launcher/win32_api.h"
#include "win32_test_support.h"

namespace zorv {
namespace {

using wintest::RecordingPlatform;
using wintest::Utf8;
using wintest::ScopedEnvironment;
using wintest::TempFolder;
using wintest::WriteBytes;

enum Row { jdk, jre, javaDevelopmentKit, javaRuntimeEnvironment, jrockitJre, jrockitJdk, ibmJre, rowCount };

const wchar_t* const kRowKeys[rowCount] = {
    L"Software\\JavaSoft\\JDK\\",
    L"Software\\JavaSoft\\JRE\\",
    L"Software\\JavaSoft\\Java Development Kit\\",
    L"Software\\JavaSoft\\Java Runtime Environment\\",
    L"Software\\JRockit\\Java Runtime Environment\\",
    L"Software\\JRockit\\Java Development Kit\\",
    L"Software\\IBM\\Java2 Runtime Environment\\",
};

// The vendors' own keys, spelt out here rather than taken from the product's
// table, so that a misspelt key or value name there fails.
struct VendorKey {
    const wchar_t* key;
    const wchar_t* below;  // between the registration's name and its values
    const wchar_t* value;
    const wchar_t* name;   // of one registration, as the vendor's installer names it
};
const VendorKey kVendorKeys[] = {
    {L"Software\\Eclipse Adoptium\\JDK\\", L"\\hotspot\\MSI", L"Path", L"17.0.9.9"},
    {L"Software\\Eclipse Adoptium\\JRE\\", L"\\hotspot\\MSI", L"Path", L"17.0.9.9"},
    {L"Software\\Azul Systems\\Zulu\\", L"", L"InstallationPath", L"zulu-17"},
    {L"Software\\Microsoft\\JDK\\", L"\\hotspot\\MSI", L"Path", L"17.0.9.8"},
    {L"Software\\BellSoft\\Liberica\\", L"", L"InstallationPath", L"Liberica JDK 17"},
};
enum VendorRow { adoptiumJdk, adoptiumJre, zulu, microsoft, liberica };

const wchar_t kClient[] = L"bin\\client\\jvm.dll";
const wchar_t kServer[] = L"bin\\server\\jvm.dll";
const wchar_t kJrockit[] = L"bin\\jrockit\\jvm.dll";
const wchar_t kHotspot[] = L"bin\\hotspot\\jvm.dll";
const wchar_t kJavaDll[] = L"bin\\java.dll";

REGSAM ViewFlag(RegistryView view) { return view == RegistryView::wow32 ? KEY_WOW64_32KEY : 0; }


VersionNumber Version(const wchar_t* text, std::int32_t fill) {
    VersionNumber version;
    version.Parse(text, fill);
    return version;
}

class RegisteredRuntimes : public ::testing::Test {
protected:
    RecordingPlatform platform;
    ProgramFiles files;
    LauncherSettings settings;
    ChosenRuntime chosen;
    TempFolder beside;  // the executable's folder, empty unless a test fills it
    TempFolder homes;
    ScopedEnvironment javaHome{L"JAVA_HOME", nullptr};

    void SetUp() override {
        ClearRegistrations();
        platform.modulePath = beside / L"app.exe";
        settings.runtime.maximumVersion = VersionNumber::Open();
    }
    void TearDown() override {
        ClearRegistrations();
        EXPECT_TRUE(platform.boxes.empty());
    }

    // Everything under the seven keys and the vendors' own, in both views, so
    // only this test's registrations are seen.
    static void ClearRegistrations() {
        for (RegistryView view : {RegistryView::native, RegistryView::wow32}) {
            std::vector<const wchar_t*> keys(std::begin(kRowKeys), std::end(kRowKeys));
            for (const VendorKey& vendorKey : kVendorKeys) keys.push_back(vendorKey.key);
            for (const wchar_t* rowKey : keys) {
                std::wstring path(rowKey);
                path.pop_back();
                HKEY opened = nullptr;
                if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | ViewFlag(view), &opened) !=
                    ERROR_SUCCESS)
                    continue;
                ScopedRegistryKey key(opened);
                ASSERT_EQ(RegDeleteTreeW(key.get(), nullptr), ERROR_SUCCESS);
            }
        }
    }

    // A runtime folder holding the given files, all empty.
    std::wstring Home(const std::wstring& name, std::initializer_list<const wchar_t*> files) {
        std::wstring home = homes / name;
        EXPECT_TRUE(wintest::CreateFolders(home));
        for (const wchar_t* file : files) WriteBytes(home + L"\\" + file, "");
        return home;
    }

    ScopedRegistryKey CreateKey(Row row, const std::wstring& version, RegistryView view) {
        HKEY created = nullptr;
        LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kRowKeys[row] + version).c_str(), 0, nullptr, 0,
                                      KEY_ALL_ACCESS | ViewFlag(view), nullptr, &created, nullptr);
        EXPECT_EQ(result, ERROR_SUCCESS) << Utf8(version);
        return ScopedRegistryKey(created);
    }

    void RegisterRaw(Row row, const std::wstring& version, DWORD type, const void* data, DWORD bytes,
                     RegistryView view = RegistryView::native) {
        ScopedRegistryKey key = CreateKey(row, version, view);
        ASSERT_EQ(RegSetValueExW(key.get(), L"JavaHome", 0, type, static_cast<const BYTE*>(data), bytes),
                  ERROR_SUCCESS);
    }

    void Register(Row row, const std::wstring& version, const std::wstring& home,
                  RegistryView view = RegistryView::native) {
        RegisterRaw(row, version, REG_SZ, home.c_str(), static_cast<DWORD>((home.size() + 1) * sizeof(wchar_t)),
                    view);
    }

    // The library the runtime stage settles on, empty when it finds none.
    std::wstring Located() {
        chosen.jvmLibraryPath = L"<stale>";
        chosen.handOverToPair = false;  // as in a process, which searches once
        bool found = Locate();
        EXPECT_EQ(found, !chosen.jvmLibraryPath.empty()) << Utf8(chosen.jvmLibraryPath);
        return chosen.jvmLibraryPath;
    }
    // The runtime stage for the executable at platform.modulePath.
    bool Locate() {
        files.executable = platform.modulePath;
        SettingsFilePath(kWindowsConventions, files.executable, files.settingsFile);
        return ChooseRuntime(platform, files, settings.runtime, settings.instance, kBuildArchitecture, chosen)
            .Proceeds();
    }
};

TEST_F(RegisteredRuntimes, EachOfTheSevenKeysIsSearched) {
    ApplyVmProvider(settings.runtime, L"any");
    for (int row = 0; row < rowCount; ++row) {
        ClearRegistrations();
        std::wstring home = Home(L"row" + std::to_wstring(row), {kClient, L"jre\\bin\\client\\jvm.dll"});
        Register(static_cast<Row>(row), L"1.8.0_151", home);
        bool appendsJre = row == javaDevelopmentKit || row == jrockitJdk;
        EXPECT_EQ(Located(), home + (appendsJre ? L"\\jre\\" : L"\\") + kClient) << Utf8(kRowKeys[row]);
        EXPECT_FALSE(chosen.handOverToPair);
    }
}

TEST_F(RegisteredRuntimes, DevelopmentKitKeysOnlyOfferTheirJreFolder) {
    ApplyVmProvider(settings.runtime, L"any");
    Register(javaDevelopmentKit, L"1.8", Home(L"jdk", {kClient}));
    Register(jrockitJdk, L"1.8", Home(L"jrockit", {kClient}));
    EXPECT_EQ(Located(), L"");
}

TEST_F(RegisteredRuntimes, VendorFlagsChooseTheKeysThatAreSearched) {
    std::wstring sun = Home(L"sun", {kClient});
    std::wstring jrockit = Home(L"jrockit", {kClient});
    std::wstring ibm = Home(L"ibm", {kClient});
    Register(jre, L"1.6", sun);
    Register(jrockitJre, L"1.7", jrockit);
    Register(ibmJre, L"1.8", ibm);

    EXPECT_EQ(Located(), sun + L"\\" + kClient);  // the default: Sun alone
    ApplyVmProvider(settings.runtime, L"jrockit");
    EXPECT_EQ(Located(), jrockit + L"\\" + kClient);
    ApplyVmProvider(settings.runtime, L"IBM");
    EXPECT_EQ(Located(), ibm + L"\\" + kClient);
    ApplyVmProvider(settings.runtime, L"any");
    EXPECT_EQ(Located(), ibm + L"\\" + kClient);
    ApplyVmProvider(settings.runtime, L"unknown");  // ignored: the flags stay as they were
    EXPECT_EQ(Located(), ibm + L"\\" + kClient);

    // Favouring a vendor ranks its runtimes of the favoured kind first,
    // whatever their versions.
    ApplyJvmSource(settings.runtime, L"favor_JRE");
    ApplyVmProvider(settings.runtime, L"favor_jrockit");
    EXPECT_EQ(Located(), jrockit + L"\\" + kClient);
    ApplyVmProvider(settings.runtime, L"favor_ibm");
    EXPECT_EQ(Located(), ibm + L"\\" + kClient);
    ApplyVmProvider(settings.runtime, L"favor_sun");
    EXPECT_EQ(Located(), sun + L"\\" + kClient);

    // A vendor allowed but not favoured is still searched.
    ClearRegistrations();
    Register(jrockitJre, L"1.6", jrockit);
    ApplyVmProvider(settings.runtime, L"favor_sun");
    EXPECT_EQ(Located(), jrockit + L"\\" + kClient);
}

TEST_F(RegisteredRuntimes, FavouredVendorOfTheOtherKindIsNotPreferred) {
    std::wstring sunJre = Home(L"sun", {kClient});
    std::wstring jrockitJdkHome = Home(L"jrockit", {L"jre\\bin\\client\\jvm.dll"});
    Register(jre, L"1.8", sunJre);
    Register(jrockitJdk, L"1.6", jrockitJdkHome);
    ApplyJvmSource(settings.runtime, L"favor_JRE");
    ApplyVmProvider(settings.runtime, L"favor_jrockit");
    // The JRockit runtime is a development kit, so the JRE preference does
    // not reach it, and the newer Sun JRE is not favoured either.
    EXPECT_EQ(Located(), sunJre + L"\\" + kClient);
}

TEST_F(RegisteredRuntimes, JdkAndJreSources) {
    std::wstring jdkHome = Home(L"jdk", {kClient});
    std::wstring jreHome = Home(L"jre", {kClient});
    Register(jdk, L"11.0.2", jdkHome);
    Register(jre, L"1.8.0_202", jreHome);
    const std::wstring newest = jdkHome + L"\\" + kClient;
    const std::wstring older = jreHome + L"\\" + kClient;

    EXPECT_EQ(Located(), newest);
    ApplyJvmSource(settings.runtime, L"");  // both kinds favoured: versions decide
    EXPECT_EQ(Located(), newest);
    ApplyJvmSource(settings.runtime, L"only_JRE");
    EXPECT_EQ(Located(), older);
    ApplyJvmSource(settings.runtime, L"favor_JRE");
    EXPECT_EQ(Located(), older);
    ApplyJvmSource(settings.runtime, L"only_JDK");
    EXPECT_EQ(Located(), newest);
    ApplyJvmSource(settings.runtime, L"favor_JDK");
    EXPECT_EQ(Located(), newest);
    ApplyJvmSource(settings.runtime, L"jdk");  // not a keyword: neither kind is searched
    EXPECT_EQ(Located(), L"");
}

TEST_F(RegisteredRuntimes, PreferenceCountsOnlyWhenEitherSourceIsAllowed) {
    std::wstring sun = Home(L"sun", {kClient});
    std::wstring jrockit = Home(L"jrockit", {kClient});
    Register(jre, L"1.8", sun);
    Register(jrockitJre, L"1.9", jrockit);
    ApplyVmProvider(settings.runtime, L"favor_sun");
    ApplyJvmSource(settings.runtime, L"favor_JRE");
    EXPECT_EQ(Located(), sun + L"\\" + kClient);
    ApplyJvmSource(settings.runtime, L"only_JRE");
    EXPECT_EQ(Located(), jrockit + L"\\" + kClient);
}

TEST_F(RegisteredRuntimes, VersionBoundsAreInclusive) {
    std::wstring below = Home(L"below", {kClient});
    std::wstring atMinimum = Home(L"min", {kClient});
    std::wstring inside = Home(L"inside", {kClient});
    std::wstring above = Home(L"above", {kClient});
    std::wstring farAbove = Home(L"far", {kClient});
    Register(jre, L"1.5.0_22", below);
    Register(jre, L"1.6", atMinimum);
    Register(jre, L"1.8.0_151", inside);
    Register(jre, L"1.9.0", above);
    Register(jre, L"9.0.4", farAbove);

    settings.runtime.minimumVersion = Version(L"1.6", 0);
    settings.runtime.maximumVersion = Version(L"1.8", VersionNumber::kOpenPart);
    EXPECT_EQ(Located(), inside + L"\\" + kClient);
    settings.runtime.maximumVersion = Version(L"1.8.0_151", VersionNumber::kOpenPart);
    EXPECT_EQ(Located(), inside + L"\\" + kClient);
    settings.runtime.maximumVersion = Version(L"1.8.0_150", VersionNumber::kOpenPart);
    EXPECT_EQ(Located(), atMinimum + L"\\" + kClient);
    settings.runtime.maximumVersion = VersionNumber::Open();
    EXPECT_EQ(Located(), farAbove + L"\\" + kClient);
    settings.runtime.minimumVersion = Version(L"10", 0);
    EXPECT_EQ(Located(), L"");
    // The launcher's untouched maximum, 0.0.0.0, admits nothing.
    settings.runtime.minimumVersion = VersionNumber();
    settings.runtime.maximumVersion = VersionNumber();
    EXPECT_EQ(Located(), L"");
}

TEST_F(RegisteredRuntimes, PreferredVersionsPickAmongTheRanked) {
    std::wstring eight = Home(L"8", {kClient});
    std::wstring seven = Home(L"7", {kClient});
    std::wstring eleven = Home(L"11", {kClient});
    Register(jre, L"1.8.0_151", eight);
    Register(jre, L"1.7.0_80", seven);
    Register(jre, L"11.0.1", eleven);

    settings.runtime.preferredVersions = {L"1.7"};
    EXPECT_EQ(Located(), seven + L"\\" + kClient);
    settings.runtime.preferredVersions = {L"1.6", L"1.8.0_151", L"1.7"};  // entry order, not version order
    EXPECT_EQ(Located(), eight + L"\\" + kClient);
    settings.runtime.preferredVersions = {L"1.8.0_152"};
    EXPECT_EQ(Located(), eleven + L"\\" + kClient);
    settings.runtime.preferredVersions = {L"1.7"};
    settings.runtime.minimumVersion = Version(L"1.8", 0);  // a preference cannot bring back what the bounds removed
    EXPECT_EQ(Located(), eleven + L"\\" + kClient);
}

TEST_F(RegisteredRuntimes, UnusableJavaHomeValuesAreSkipped) {
    std::wstring good = Home(L"good", {kClient});
    Register(jre, L"1.5", good);
    CreateKey(jre, L"1.9.1", RegistryView::native);  // no JavaHome at all
    Register(jre, L"1.9.2", L"");
    const wchar_t leadingNul[] = L"\0C:\\";
    RegisterRaw(jre, L"1.9.3", REG_SZ, leadingNul, sizeof leadingNul);
    const DWORD number = 1;
    RegisterRaw(jre, L"1.9.4", REG_DWORD, &number, sizeof number);
    RegisterRaw(jre, L"1.9.5", REG_SZ, nullptr, 0);
    Register(jre, L"1.9.6", homes / L"missing");
    EXPECT_EQ(Located(), good + L"\\" + kClient);
}

TEST_F(RegisteredRuntimes, JavaHomeTextIsTakenAsItIsUpToItsFirstNul) {
    std::wstring home = Home(L"home", {kClient});
    const std::wstring expected = home + L"\\" + kClient;
    auto registerBytes = [&](DWORD type, const std::wstring& text, int extraBytes) {
        ClearRegistrations();
        RegisterRaw(jre, L"1.8", type, text.data(),
                    static_cast<DWORD>(static_cast<int>(text.size() * sizeof(wchar_t)) + extraBytes));
    };

    registerBytes(REG_SZ, home + L"\\", 0);  // a trailing backslash is not doubled
    EXPECT_EQ(Located(), expected);
    registerBytes(REG_SZ, home, 0);  // no terminating NUL stored
    EXPECT_EQ(Located(), expected);
    registerBytes(REG_SZ, home + L"Z", -1);  // an odd byte count: the half character goes
    EXPECT_EQ(Located(), expected);
    registerBytes(REG_SZ, home + std::wstring(1, L'\0') + L"\\elsewhere", 0);
    EXPECT_EQ(Located(), expected);
    // The type is not looked at.
    registerBytes(REG_EXPAND_SZ, home, 0);
    EXPECT_EQ(Located(), expected);
    registerBytes(REG_BINARY, home, 0);
    EXPECT_EQ(Located(), expected);
    registerBytes(REG_MULTI_SZ, home + std::wstring(1, L'\0') + L"second" + std::wstring(2, L'\0'), 0);
    EXPECT_EQ(Located(), expected);

    // Nor are references expanded.
    ScopedEnvironment reference(L"ZORV_TEST_HOME", home.c_str());
    registerBytes(REG_EXPAND_SZ, L"%ZORV_TEST_HOME%", sizeof(wchar_t));
    EXPECT_EQ(Located(), L"");
}

TEST_F(RegisteredRuntimes, NumberForAJavaHomeReadsAsItsCharacters) {
    // 'X' and 'Y' as one REG_DWORD: the text "XY", a folder relative to the
    // current one.
    wintest::ScopedCurrentFolder restore;
    Home(L"XY", {kClient});
    ASSERT_TRUE(SetCurrentDirectoryW(homes.Path().c_str()));
    const DWORD characters = L'X' | (static_cast<DWORD>(L'Y') << 16);
    RegisterRaw(jre, L"1.8", REG_DWORD, &characters, sizeof characters);
    EXPECT_EQ(Located(), std::wstring(L"XY\\") + kClient);
}

TEST_F(RegisteredRuntimes, LongJavaHomeIsReadWhole) {
    // A home of exactly 300 characters, past MAX_PATH with its library. Wine
    // resolves such paths as they are; Windows would need long-path support.
    std::wstring home = homes.Path();
    while (home.size() + 11 <= 297) home += L"\\" + std::wstring(10, L'h');
    home += L"\\" + std::wstring(300 - home.size() - 1, L'x');
    ASSERT_EQ(home.size(), 300u);
    ASSERT_TRUE(wintest::CreateFolders(home));
    WriteBytes(home + L"\\" + kClient, "");
    ASSERT_TRUE(wintest::FileExists(home + L"\\" + kClient));
    Register(jre, L"1.8", home);
    EXPECT_EQ(Located(), home + L"\\" + kClient);
}

TEST_F(RegisteredRuntimes, SubkeyNamesOfAnyShape) {
    std::wstring longName = Home(L"long", {kClient});
    std::wstring noDigits = Home(L"latest", {kClient});
    const std::wstring name255 = L"1.8.0_" + std::wstring(249, L'x');
    Register(jre, name255, longName);
    EXPECT_EQ(Located(), longName + L"\\" + kClient);

    // No digits reads as 0.0.0.0: inside an open minimum, below any other.
    ClearRegistrations();
    Register(jre, L"latest", noDigits);
    EXPECT_EQ(Located(), noDigits + L"\\" + kClient);
    settings.runtime.minimumVersion = Version(L"1.6", 0);
    EXPECT_EQ(Located(), L"");
    settings.runtime.minimumVersion = VersionNumber();
    Register(jre, L"jre-1.7-beta", longName);
    EXPECT_EQ(Located(), longName + L"\\" + kClient);

    // An overflowing part makes the whole name read as 0.0.0.0 too.
    ClearRegistrations();
    Register(jre, L"99999999999.1", noDigits);
    Register(jre, L"0.0.0.1", longName);
    EXPECT_EQ(Located(), longName + L"\\" + kClient);
}

TEST_F(RegisteredRuntimes, JvmTypeDecidesWhichRuntimesQualifyAndWhichRankFirst) {
    std::wstring client = Home(L"client", {kClient});
    std::wstring server = Home(L"server", {kServer});
    std::wstring jrockit = Home(L"jrockit", {kJrockit});
    std::wstring both = Home(L"both", {kClient, kServer});
    Register(jre, L"1.8", client);
    Register(jre, L"1.7", server);
    Register(jre, L"1.6", jrockit);
    Register(jre, L"1.5", both);

    settings.runtime.jvmType = clientFirst;
    EXPECT_EQ(Located(), client + L"\\" + kClient);
    settings.runtime.jvmType = serverOnly;
    EXPECT_EQ(Located(), server + L"\\" + kServer);
    settings.runtime.jvmType = serverFirst;  // a server VM beats a newer client one
    EXPECT_EQ(Located(), server + L"\\" + kServer);

    ClearRegistrations();
    Register(jre, L"1.6", jrockit);
    Register(jre, L"1.5", both);
    settings.runtime.jvmType = clientFirst;
    EXPECT_EQ(Located(), jrockit + L"\\" + kJrockit);
    settings.runtime.jvmType = serverOnly;
    EXPECT_EQ(Located(), both + L"\\" + kServer);
    settings.runtime.jvmType = serverFirst;
    EXPECT_EQ(Located(), both + L"\\" + kServer);

    // Within one runtime folder, the client-first order of libraries.
    ClearRegistrations();
    std::wstring many = Home(L"many", {kServer, kJrockit, kHotspot});
    Register(jre, L"1.8", many);
    settings.runtime.jvmType = clientFirst;
    EXPECT_EQ(Located(), many + L"\\" + kHotspot);
    settings.runtime.jvmType = serverOnly;
    EXPECT_EQ(Located(), many + L"\\" + kServer);

    ClearRegistrations();
    Register(jre, L"1.8", jrockit);
    settings.runtime.jvmType = serverOnly;
    EXPECT_EQ(Located(), L"");
}

TEST_F(RegisteredRuntimes, OldJreKeyIsJudgedAsClientButLoadsTheConfiguredType) {
    std::wstring both = Home(L"both", {kClient, kServer});
    std::wstring server = Home(L"server", {kServer});
    settings.runtime.jvmType = serverFirst;

    Register(javaRuntimeEnvironment, L"1.8", both);
    Register(jre, L"1.7", server);
    EXPECT_EQ(Located(), server + L"\\" + kServer);

    // The same folder under another key ranks as the server VM it holds.
    ClearRegistrations();
    Register(jre, L"1.8", both);
    Register(jre, L"1.7", server);
    EXPECT_EQ(Located(), both + L"\\" + kServer);

    // Found as a client VM, loaded as the server VM.
    ClearRegistrations();
    Register(javaRuntimeEnvironment, L"1.8", both);
    EXPECT_EQ(Located(), both + L"\\" + kServer);

    // Server only is not relaxed for that key.
    settings.runtime.jvmType = serverOnly;
    ClearRegistrations();
    Register(javaRuntimeEnvironment, L"1.8", Home(L"client", {kClient}));
    EXPECT_EQ(Located(), L"");
}

TEST_F(RegisteredRuntimes, ThirtyTwoBitViewIsSearchedOnlyForAPairProduct) {
    std::wstring home32 = Home(L"x86", {kClient});
    Register(jre, L"1.8", home32, RegistryView::wow32);

    EXPECT_EQ(Located(), L"");  // the native view does not see it
    EXPECT_FALSE(chosen.handOverToPair);

    settings.instance.pairProduct = beside / L"x86\\app32.exe";
    EXPECT_EQ(Located(), home32 + L"\\" + kClient);
    EXPECT_TRUE(chosen.handOverToPair);

    // Any native registration comes first, even an older one.
    std::wstring home64 = Home(L"x64", {kClient});
    Register(jre, L"1.6", home64);
    EXPECT_EQ(Located(), home64 + L"\\" + kClient);
    EXPECT_FALSE(chosen.handOverToPair);
}

TEST_F(RegisteredRuntimes, NothingFoundAnywhereAsksTheUserWithoutAMessageBox) {
    EXPECT_FALSE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"");
    EXPECT_FALSE(chosen.handOverToPair);
    EXPECT_EQ(platform.runtimeDialogMessages.size(), 1u);
    EXPECT_EQ(platform.boxes, std::vector<std::wstring>{});
}

TEST_F(RegisteredRuntimes, JavaHomeVariableIsTheLastSource) {
    std::wstring home = Home(L"env", {kJavaDll, kServer});
    std::wstring noJvm = Home(L"nojvm", {kJavaDll});
    std::wstring noJavaDll = Home(L"nojava", {kClient});
    const std::wstring expected = home + L"\\" + kServer;
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"", L""},
        {L"<>|?*\"garbage", L""},
        {L"%JAVA_HOME%", L""},
        {L"Q:\\nowhere", L""},
        {noJvm.c_str(), L""},
        {noJavaDll.c_str(), L""},
        {home.c_str(), expected},
    };
    for (const auto& c : cases) {
        ScopedEnvironment value(L"JAVA_HOME", c.first);
        EXPECT_EQ(Located(), c.second) << Utf8(c.first);
    }
    std::wstring withBackslash = home + L"\\";
    ScopedEnvironment value(L"JAVA_HOME", withBackslash.c_str());
    EXPECT_EQ(Located(), expected);

    // A registration wins over the variable.
    std::wstring registered = Home(L"registered", {kClient});
    Register(jre, L"1.1", registered);
    EXPECT_EQ(Located(), registered + L"\\" + kClient);
}

TEST_F(RegisteredRuntimes, ConfiguredFolderWithoutALibraryFallsThrough) {
    std::wstring registered = Home(L"registered", {kClient});
    Register(jre, L"1.8", registered);
    const std::wstring fallback = registered + L"\\" + kClient;

    WriteBytes(homes / L"file.txt", "not a folder");
    DWORD drives = GetLogicalDrives();
    wchar_t missingDrive = L'Q';
    while (missingDrive > L'D' && (drives & (1u << (missingDrive - L'A')))) --missingDrive;
    ASSERT_FALSE(drives & (1u << (missingDrive - L'A')));

    for (const std::wstring& folder :
         {homes / L"file.txt", std::wstring(1, missingDrive) + L":\\jre", Home(L"empty", {kJavaDll}),
          homes / L"not there", std::wstring(L"\\\\nohost\\share\\jre")}) {
        settings.runtime.configuredRuntimeFolder = folder;
        EXPECT_EQ(Located(), fallback) << Utf8(folder);
    }

    std::wstring configured = Home(L"configured", {kClient});  // no java.dll needed here
    for (const std::wstring& folder : {configured, configured + L"\\"}) {
        settings.runtime.configuredRuntimeFolder = folder;
        EXPECT_EQ(Located(), configured + L"\\" + kClient);
    }
}

TEST_F(RegisteredRuntimes, FolderBesideTheExecutable) {
    std::wstring registered = Home(L"registered", {kClient});
    Register(jre, L"1.8", registered);
    const std::wstring fallback = registered + L"\\" + kClient;

    // jre64 counts as a runtime only with its java.dll, and then only with a
    // library of the configured type.
    WriteBytes(beside / L"jre64\\bin\\client\\jvm.dll", "");
    EXPECT_EQ(Located(), fallback);
    WriteBytes(beside / L"jre64\\bin\\java.dll", "");
    EXPECT_EQ(Located(), beside / L"jre64\\bin\\client\\jvm.dll");
    settings.runtime.jvmType = serverOnly;
    EXPECT_EQ(Located(), L"");  // the registered runtime has no server VM either
    settings.runtime.jvmType = clientFirst;

    // The executable's folder as a runtime itself hides jre64, even without a library.
    WriteBytes(beside / L"bin\\java.dll", "");
    EXPECT_EQ(Located(), fallback);
    WriteBytes(beside / L"bin\\server\\jvm.dll", "");
    EXPECT_EQ(Located(), beside / L"bin\\server\\jvm.dll");
    EXPECT_FALSE(chosen.handOverToPair);
}

class VendorRegistrations : public RegisteredRuntimes {
protected:
    void RegisterVendorRaw(VendorRow row, const std::wstring& name, DWORD type, const void* data, DWORD bytes,
                           RegistryView view = RegistryView::native) {
        const VendorKey& vendor = kVendorKeys[row];
        HKEY created = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (vendor.key + name + vendor.below).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS | ViewFlag(view), nullptr, &created, nullptr),
                  ERROR_SUCCESS);
        ScopedRegistryKey key(created);
        if (data != nullptr) {
            ASSERT_EQ(RegSetValueExW(key.get(), vendor.value, 0, type, static_cast<const BYTE*>(data), bytes),
                      ERROR_SUCCESS);
        }
    }
    void RegisterVendor(VendorRow row, const std::wstring& name, const std::wstring& home,
                        RegistryView view = RegistryView::native) {
        RegisterVendorRaw(row, name, REG_SZ, home.c_str(), static_cast<DWORD>((home.size() + 1) * sizeof(wchar_t)),
                          view);
    }
};

TEST_F(VendorRegistrations, EachVendorKeyIsFoundOnlyWithAVendorKeyword) {
    for (int row = adoptiumJdk; row <= liberica; ++row) {
        ClearRegistrations();
        std::wstring home = Home(L"vendor" + std::to_wstring(row), {kClient});
        RegisterVendor(static_cast<VendorRow>(row), kVendorKeys[row].name, home);
        const std::string key = Utf8(kVendorKeys[row].key);
        ApplyVmProvider(settings.runtime, L"any");
        EXPECT_EQ(Located(), L"") << key;
        ApplyVmProvider(settings.runtime, L"OPENJDK");
        EXPECT_EQ(Located(), home + L"\\" + kClient) << key;
        settings.runtime.minimumVersion = Version(L"17.0.10", 0);
        EXPECT_EQ(Located(), L"") << key;
        settings.runtime.minimumVersion = VersionNumber();
    }
}

TEST_F(VendorRegistrations, RankedWithTheJavaSoftKeysAndReadInTheThirtyTwoBitView) {
    ApplyJvmSource(settings.runtime, L"");  // as the settings give it when "JVM Source" is absent
    std::wstring javaSoft = Home(L"javasoft21", {kClient});
    Register(jdk, L"21", javaSoft);
    std::wstring adoptium = Home(L"adoptium17", {kClient});
    RegisterVendor(adoptiumJdk, L"17.0.9.9", adoptium);
    ApplyVmProvider(settings.runtime, L"openjdk");
    EXPECT_EQ(Located(), javaSoft + L"\\" + kClient);
    ApplyVmProvider(settings.runtime, L"favor_adoptium");
    EXPECT_EQ(Located(), adoptium + L"\\" + kClient);
    settings.runtime.preferredVersions = {L"21"};
    EXPECT_EQ(Located(), javaSoft + L"\\" + kClient);
    settings.runtime.preferredVersions.clear();

    ClearRegistrations();
    std::wstring zulu32 = Home(L"zulu32", {kClient});
    RegisterVendor(zulu, L"zulu-11", zulu32, RegistryView::wow32);
    EXPECT_EQ(Located(), L"");
    settings.instance.pairProduct = beside / L"x86\\app32.exe";
    EXPECT_EQ(Located(), zulu32 + L"\\" + kClient);
    EXPECT_TRUE(chosen.handOverToPair);
}

TEST_F(VendorRegistrations, BrokenValuesAreSkipped) {
    ApplyVmProvider(settings.runtime, L"openjdk");
    std::wstring good = Home(L"good", {kClient});
    RegisterVendor(adoptiumJdk, L"11.0.21.9", good);
    // Newer registrations whose value is missing, empty or of another type
    // than text, though the data would name a usable runtime.
    std::wstring usable = Home(L"usable", {kClient});
    RegisterVendorRaw(adoptiumJdk, L"21.0.1.12", REG_SZ, nullptr, 0);
    RegisterVendor(adoptiumJdk, L"20.0.2.9", L"");
    const DWORD usableBytes = static_cast<DWORD>((usable.size() + 1) * sizeof(wchar_t));
    RegisterVendorRaw(adoptiumJdk, L"19.0.2.7", REG_EXPAND_SZ, usable.c_str(), usableBytes);
    RegisterVendorRaw(adoptiumJdk, L"18.0.2.9", REG_BINARY, usable.c_str(), usableBytes);
    const DWORD number = 0x00590058;
    RegisterVendorRaw(adoptiumJdk, L"17.0.9.9", REG_DWORD, &number, sizeof number);
    // 300 characters that lead to a usable runtime all the same: the JavaSoft
    // keys take it (LongJavaHomeIsReadWhole), the vendors' do not.
    std::wstring longHome = usable;
    while (longHome.size() + 2 <= 300) longHome += L"\\.";
    if (longHome.size() < 300) longHome += L"\\";
    ASSERT_EQ(longHome.size(), 300u);
    ASSERT_TRUE(wintest::FileExists(longHome + L"\\" + kClient));
    RegisterVendor(adoptiumJdk, L"16.0.2.7", longHome);
    EXPECT_EQ(Located(), good + L"\\" + kClient);
    // The same values do count under the JavaSoft keys.
    RegisterRaw(jdk, L"25", REG_BINARY, usable.c_str(), usableBytes);
    EXPECT_EQ(Located(), usable + L"\\" + kClient);
}

}  // namespace
}  // namespace zorv
