#include "launcher/launcher_settings.h"

#include <cwctype>

#include "launcher/file_locations.h"
#include "launcher/ini_document.h"
#include "launcher/launcher.h"
#include "launcher/settings_store.h"
#include "launcher/text.h"
#include "resources/string_table.h"
#include "runtime/error_reporting.h"

namespace zorv {
namespace {

const wchar_t kProductSection[] = L"Product Information";
const wchar_t kRuntimeSection[] = L"Java Runtime Environment";
const wchar_t kApplicationSection[] = L"Application";

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != L'\0'; ++i) {
        if (std::towlower(static_cast<std::wint_t>(a[i])) != std::towlower(static_cast<std::wint_t>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == L'\0';
}

constexpr int kNoVendor = -1;

struct ProviderRow {
    const wchar_t* value;
    bool jrockitAllowed, jrockitPreferred, sunAllowed, sunPreferred, ibmAllowed, ibmPreferred;
    bool vendorsAllowed = false;
    int favouredVendor = kNoVendor;
};

// The vendor keywords come after the older ones and leave JRockit and IBM
// out. "openjdk" favours nobody, so its runtimes rank by version alone; each
// "favor_<vendor>" ranks that vendor's registrations first.
const ProviderRow kProviderRows[] = {
    {L"jrockit", true, true, false, false, false, false},
    {L"ibm", false, false, false, false, true, true},
    {L"favor_sun", true, false, true, true, true, false},
    {L"favor_jrockit", true, true, true, false, true, false},
    {L"favor_ibm", true, false, true, false, true, true},
    {L"any", true, false, true, false, true, false},
    {L"openjdk", false, false, true, false, false, false, true},
    {L"favor_adoptium", false, false, true, false, false, false, true, static_cast<int>(Vendor::adoptium)},
    {L"favor_zulu", false, false, true, false, false, false, true, static_cast<int>(Vendor::zulu)},
    {L"favor_microsoft", false, false, true, false, false, false, true, static_cast<int>(Vendor::microsoft)},
    {L"favor_liberica", false, false, true, false, false, false, true, static_cast<int>(Vendor::liberica)},
};

JvmType JvmTypeFrom(const std::wstring& value) {
    if (value == L"server") return serverOnly;
    if (value == L"favor_server") return serverFirst;
    return clientFirst;
}

}  // namespace

bool IsYesFlag(const std::wstring& value) { return EqualsIgnoringCase(value, L"yes"); }

bool IsExactYesFlag(const std::wstring& value) { return value == L"yes"; }

std::vector<std::wstring> SplitAtSemicolons(const std::wstring& value) {
    std::vector<std::wstring> pieces;
    std::size_t start = 0;
    while (start < value.size()) {
        std::size_t end = value.find(L';', start);
        if (end == std::wstring::npos) end = value.size();
        pieces.push_back(value.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

void ApplyJvmSource(Launcher& launcher, const std::wstring& value) {
    if (value.empty()) {
        launcher.sourceJdk = true;
        launcher.sourceJre = true;
        return;
    }
    launcher.sourceEither = value == L"favor_JRE" || value == L"favor_JDK";
    launcher.sourceJdk = value == L"favor_JDK" || value == L"only_JDK";
    launcher.sourceJre = value == L"favor_JRE" || value == L"only_JRE";
}

void ApplyVmProvider(Launcher& launcher, const std::wstring& value) {
    if (value.empty()) return;
    for (const ProviderRow& row : kProviderRows) {
        if (!EqualsIgnoringCase(value, row.value)) continue;
        launcher.jrockitAllowed = row.jrockitAllowed;
        launcher.jrockitPreferred = row.jrockitPreferred;
        launcher.sunAllowed = row.sunAllowed;
        launcher.sunPreferred = row.sunPreferred;
        launcher.ibmAllowed = row.ibmAllowed;
        launcher.ibmPreferred = row.ibmPreferred;
        launcher.vendors = VendorChoice();
        launcher.vendors.allowed.fill(row.vendorsAllowed);
        if (row.favouredVendor != kNoVendor) launcher.vendors.preferred[row.favouredVendor] = true;
        return;
    }
}

namespace {

void ReadVersionBounds(Launcher& launcher, LayeredSettingsStore& settings) {
    std::wstring minimum = settings.Get(kRuntimeSection, L"Minimum Version");
    if (minimum == L"any") launcher.minimumVersion = VersionNumber();
    else launcher.minimumVersion.Parse(minimum, 0);
    std::wstring maximum = settings.Get(kRuntimeSection, L"Maximum Version");
    if (maximum == L"any") launcher.maximumVersion = VersionNumber::Open();
    else launcher.maximumVersion.Parse(maximum, VersionNumber::kOpenPart);
}

// A normal application takes "JRE Path" from the user's copy once there is
// one (the runtime-not-found dialog writes it there); a service never does.
std::wstring ConfiguredRuntimeFolder(Launcher& launcher, LayeredSettingsStore& settings) {
    std::wstring runtimeFolder;
    std::wstring userPath;
    if (!launcher.isService) launcher.GetUserSettingsPath(userPath, false);
    if (!userPath.empty() && launcher.platform.FileExists(userPath)) {
        IniFileStore(launcher.platform, userPath).GetValue(kRuntimeSection, L"JRE Path", runtimeFolder);
    } else {
        runtimeFolder = settings.Get(kRuntimeSection, L"JRE Path");
    }
    if (!runtimeFolder.empty() && !IsAbsolutePath(runtimeFolder, launcher.platform.Conventions())) {
        std::wstring modulePath;
        launcher.GetModulePath(modulePath);
        runtimeFolder = FolderOf(modulePath) + L"\\" + runtimeFolder;
    }
    return runtimeFolder;
}

}  // namespace

bool Launcher::ReadLaunchTarget(LayeredSettingsStore& settings) {
    mainModule = settings.Get(kRuntimeSection, L"Main Module");
    std::wstring jar = settings.Get(kRuntimeSection, L"Main Jar");
    std::wstring className = settings.Get(kRuntimeSection, L"Main Class");
    if (!mainModule.empty()) {
        launchMode = LaunchMode::mainModule;
        launchTarget = mainModule;
        std::size_t slash = mainModule.find(L'/');
        mainClass = slash == std::wstring::npos ? std::wstring() : Replaced(mainModule.substr(slash + 1), L'.', L'/');
        return true;
    }
    if (!jar.empty()) {
        jar = platform.ExpandEnvironment(jar);
        if (!IsAbsolutePath(jar, platform.Conventions())) {
            std::wstring modulePath;
            GetModulePath(modulePath);
            jar = FolderOf(modulePath) + L"\\" + jar;
        }
        launchMode = LaunchMode::mainJar;
        mainJar = jar;
        launchTarget = platform.VmPath(jar);
        return true;
    }
    mainClass = Replaced(className, L'.', L'/');
    launchTarget = Replaced(className, L'/', L'.');
    return !className.empty();
}

bool Launcher::ReadSettings() {
    std::wstring settingsPath;
    if (!GetSettingsFilePath(settingsPath)) return false;

    IniFileStore file(platform, settingsPath);
    file.GetValue(kProductSection, L"Product Code", productCode);
    file.GetValue(kProductSection, L"Upgrade Code", upgradeCode);
    file.GetValue(kProductSection, L"Product Name", productName);

    LayeredSettingsStore settings(platform, settingsPath, EmbeddedSettings());
    ReadVersionBounds(*this, settings);
    isService = settings.Get(kApplicationSection, L"Application Type") == L"service";
    preferredVersions = SplitAtSemicolons(settings.Get(kRuntimeSection, L"Preferred versions"));
    configuredRuntimeFolder = ConfiguredRuntimeFolder(*this, settings);

    jvmType = JvmTypeFrom(settings.Get(kRuntimeSection, L"JVM Type"));
    ApplyJvmSource(*this, settings.Get(kRuntimeSection, L"JVM Source"));
    ApplyVmProvider(*this, settings.Get(kRuntimeSection, L"VM Provider"));

    if (!ReadLaunchTarget(settings)) {
        ShowError(platform, splashWindow, IDS_NO_MAIN_CLASS);
        return false;
    }

    failureCheck = IsYesFlag(settings.Get(kApplicationSection, L"Failure Check"));
    overrideWorkingDirectory = IsYesFlag(settings.Get(kApplicationSection, L"Override WorkingDir"));
    systemPath = settings.Get(kRuntimeSection, L"System Path");
    libraryPath = settings.Get(kRuntimeSection, L"Library Path");
    pairProduct = settings.Get(kApplicationSection, L"Pair Product");
    waitForPair = IsYesFlag(settings.Get(kApplicationSection, L"Pair Return Code"));
    return true;
}

}  // namespace zorv
