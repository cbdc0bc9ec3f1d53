#include "launcher/launcher_settings.h"

#include "launcher/file_locations.h"
#include "launcher/ini_document.h"
#include "launcher/command_line.h"
#include "launcher/embedded_settings.h"
#include "launcher/platform.h"
#include "launcher/settings_keys.h"
#include "launcher/settings_store.h"
#include "launcher/text.h"
#include "resources/string_table.h"
#include "runtime/error_reporting.h"
#include "ui/splash_window.h"

namespace zorv {
namespace {

// A whole number from 1 up; anything else asks for no restart (the checker says why).
std::int32_t RestartExitCodeFrom(const std::wstring& text) {
    std::uint32_t code = 0;
    return ReadWholeNumber(text, 999999999, code) ? static_cast<std::int32_t>(code) : 0;
}

const wchar_t kProductSection[] = L"Product Information";
const wchar_t kRuntimeSection[] = L"Java Runtime Environment";
const wchar_t kApplicationSection[] = L"Application";

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

struct PriorityRow {
    const wchar_t* value;
    ProcessPriority priority;
};

const PriorityRow kPriorityRows[] = {
    {L"idle", ProcessPriority::idle},     {L"below normal", ProcessPriority::belowNormal},
    {L"normal", ProcessPriority::normal}, {L"above normal", ProcessPriority::aboveNormal},
    {L"high", ProcessPriority::high},
};

JvmType JvmTypeFrom(const std::wstring& value) {
    if (value == L"server") return serverOnly;
    if (value == L"favor_server") return serverFirst;
    return clientFirst;
}

}  // namespace

bool IsYesFlag(const std::wstring& value) { return SameIgnoringAsciiCase(value, L"yes"); }

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

ProcessPriority ProcessPriorityFrom(const std::wstring& value) {
    for (const PriorityRow& row : kPriorityRows) {
        if (SameIgnoringAsciiCase(value, row.value)) return row.priority;
    }
    return ProcessPriority::unchanged;
}

void ApplyJvmSource(RuntimeRequest& request, const std::wstring& value) {
    if (value.empty()) {
        request.sourceJdk = true;
        request.sourceJre = true;
        return;
    }
    request.sourceEither = value == L"favor_JRE" || value == L"favor_JDK";
    request.sourceJdk = value == L"favor_JDK" || value == L"only_JDK";
    request.sourceJre = value == L"favor_JRE" || value == L"only_JRE";
}

void ApplyVmProvider(RuntimeRequest& request, const std::wstring& value) {
    if (value.empty()) return;
    for (const ProviderRow& row : kProviderRows) {
        if (!SameIgnoringAsciiCase(value, row.value)) continue;
        request.jrockitAllowed = row.jrockitAllowed;
        request.jrockitPreferred = row.jrockitPreferred;
        request.sunAllowed = row.sunAllowed;
        request.sunPreferred = row.sunPreferred;
        request.ibmAllowed = row.ibmAllowed;
        request.ibmPreferred = row.ibmPreferred;
        request.vendors = VendorChoice();
        request.vendors.allowed.fill(row.vendorsAllowed);
        if (row.favouredVendor != kNoVendor) request.vendors.preferred[row.favouredVendor] = true;
        return;
    }
}

namespace {

void ReadVersionBounds(RuntimeRequest& request, LayeredSettingsStore& settings) {
    std::wstring minimum = settings.Get(kRuntimeSection, L"Minimum Version");
    if (minimum == L"any") request.minimumVersion = VersionNumber();
    else request.minimumVersion.Parse(minimum, 0);
    std::wstring maximum = settings.Get(kRuntimeSection, L"Maximum Version");
    if (maximum == L"any") request.maximumVersion = VersionNumber::Open();
    else request.maximumVersion.Parse(maximum, VersionNumber::kOpenPart);
}

// A normal application takes "JRE Path" from the user's copy once there is
// one (the runtime-not-found dialog writes it there); a service never does.
std::wstring ConfiguredRuntimeFolder(Platform& platform, const ProgramFiles& files, const InstanceSettings& instance,
                                     LayeredSettingsStore& settings) {
    std::wstring runtimeFolder;
    std::wstring userPath;
    if (!instance.isService) userPath = UserSettingsPath(platform, instance, files.executable, false);
    if (!userPath.empty() && platform.files().FileExists(userPath)) {
        IniFileStore(platform, userPath).GetValue(kRuntimeSection, L"JRE Path", runtimeFolder);
    } else {
        runtimeFolder = settings.Get(kRuntimeSection, L"JRE Path");
    }
    if (!runtimeFolder.empty() && !IsAbsolutePath(runtimeFolder, platform.Conventions()))
        runtimeFolder = FolderOf(files.executable) + L"\\" + runtimeFolder;
    return runtimeFolder;
}

// "Main Module", else "Main Jar", else "Main Class": false when none is set.
bool ReadLaunchTarget(Platform& platform, const ProgramFiles& files, LayeredSettingsStore& settings,
                      StartSettings& start) {
    start.mainModule = settings.Get(kRuntimeSection, L"Main Module");
    std::wstring jar = settings.Get(kRuntimeSection, L"Main Jar");
    std::wstring className = settings.Get(kRuntimeSection, L"Main Class");
    if (!start.mainModule.empty()) {
        start.launchMode = LaunchMode::mainModule;
        start.launchTarget = start.mainModule;
        std::size_t slash = start.mainModule.find(L'/');
        start.mainClass =
            slash == std::wstring::npos ? std::wstring() : Replaced(start.mainModule.substr(slash + 1), L'.', L'/');
        return true;
    }
    if (!jar.empty()) {
        jar = platform.environment().ExpandEnvironment(jar);
        if (!IsAbsolutePath(jar, platform.Conventions())) jar = FolderOf(files.executable) + L"\\" + jar;
        start.launchMode = LaunchMode::mainJar;
        start.mainJar = jar;
        start.launchTarget = platform.files().VmPath(jar);
        return true;
    }
    start.mainClass = Replaced(className, L'.', L'/');
    start.launchTarget = Replaced(className, L'/', L'.');
    return !className.empty();
}

// The settings file alone: the embedded settings have no say in the splash.
void ReadPresentation(Platform& platform, const ProgramFiles& files, PresentationSettings& presentation) {
    IniFileStore file(platform, files.settingsFile);
    std::wstring value;
    file.GetValue(L"Display", L"Splash Screen", presentation.splashPicture);
    file.GetValue(L"Display", L"Splash Screen Shadow", value);
    presentation.splashShadow = SplashShadowRequested(value);
    file.GetValue(L"Display", L"Preffer Native Splash Screen", value);
    presentation.preferNativeSplash = IsYesFlag(value);
}

// In the order the later stages use them, which is the order of their trace lines.
void ReadClassesAndVm(LayeredSettingsStore& settings, StartSettings& start, VmSettings& vm) {
    start.classPath = settings.Get(L"Class Path", L"Class Path");
    start.embeddedJar = IsYesFlag(settings.Get(kApplicationSection, L"Embedded Jar"));
    start.modulePath = settings.Get(L"Class Path", L"Module Path");
    vm.parameters = settings.Get(kRuntimeSection, L"Virtual Machine Parameters");
    vm.classDataSharing = settings.Get(kRuntimeSection, L"Class Data Sharing") == L"auto";
}

void ReadService(const ProgramFiles& files, LayeredSettingsStore& settings, ServiceSettings& service) {
    const wchar_t section[] = L"Service";
    service.name = settings.Get(section, L"Service Name");
    if (service.name.empty()) service.name = ProgramBaseName(files.executable);
    service.displayName = settings.Get(section, L"Display Name");
    if (service.displayName.empty()) service.displayName = service.name;
    service.description = settings.Get(section, L"Description");
    service.startType = settings.Get(section, L"Start Type");
    service.dependencies = settings.Get(section, L"Dependencies");
    service.account = settings.Get(section, L"Account");
    service.restartDelay = settings.Get(section, L"Restart Delay");
    service.restartCount = settings.Get(section, L"Restart Count");
    service.restartReset = settings.Get(section, L"Restart Reset");
    service.stopTimeout = settings.Get(section, L"Stop Timeout");
    service.stopClass = Replaced(settings.Get(section, L"Stop Class"), L'.', L'/');
    service.stopArguments = SplitArguments(settings.Get(section, L"Stop Arguments"));
}

void ReadProcess(LayeredSettingsStore& settings, ProcessSettings& process) {
    process.priority = ProcessPriorityFrom(settings.Get(kApplicationSection, L"Process Priority"));
    process.appUserModelId = settings.Get(kApplicationSection, L"App User Model ID");
    for (auto& entry : settings.NamedEntries(kEnvironmentSection))
        process.environment.push_back({std::move(entry.first), std::move(entry.second)});
}

void ReadOutput(LayeredSettingsStore& settings, OutputSettings& output) {
    output.outputFile = settings.Get(kApplicationSection, L"Output File");
    output.appendOutput = IsExactYesFlag(settings.Get(kApplicationSection, L"Output Append"));
    output.errorFile = settings.Get(kApplicationSection, L"Error File");
    output.appendErrors = IsExactYesFlag(settings.Get(kApplicationSection, L"Error Append"));
}

}  // namespace

bool ReadLauncherSettings(Platform& platform, ProgramFiles& files, LauncherSettings& settings) {
    settings.start.arguments = ApplicationArgumentsFrom(platform.environment().CommandLine());
    if (!ExecutablePath(platform, files.executable)) return false;
    if (!SettingsFilePath(platform.Conventions(), files.executable, files.settingsFile)) return false;

    InstanceSettings& instance = settings.instance;
    IniFileStore file(platform, files.settingsFile);
    file.GetValue(kProductSection, L"Product Code", instance.productCode);
    file.GetValue(kProductSection, L"Upgrade Code", instance.upgradeCode);
    file.GetValue(kProductSection, L"Product Name", instance.productName);

    LayeredSettingsStore layered(platform, files.settingsFile, EmbeddedSettings(platform, instance.upgradeCode));
    RuntimeRequest& runtime = settings.runtime;
    ReadVersionBounds(runtime, layered);
    instance.isService = layered.Get(kApplicationSection, L"Application Type") == L"service";
    runtime.preferredVersions = SplitAtSemicolons(layered.Get(kRuntimeSection, L"Preferred versions"));
    runtime.configuredRuntimeFolder = ConfiguredRuntimeFolder(platform, files, instance, layered);

    runtime.jvmType = JvmTypeFrom(layered.Get(kRuntimeSection, L"JVM Type"));
    ApplyJvmSource(runtime, layered.Get(kRuntimeSection, L"JVM Source"));
    ApplyVmProvider(runtime, layered.Get(kRuntimeSection, L"VM Provider"));

    StartSettings& start = settings.start;
    if (!ReadLaunchTarget(platform, files, layered, start)) {
        ShowError(platform, nullptr, IDS_NO_MAIN_CLASS);
        return false;
    }

    settings.presentation.failureCheck = IsYesFlag(layered.Get(kApplicationSection, L"Failure Check"));
    start.overrideWorkingDirectory = IsYesFlag(layered.Get(kApplicationSection, L"Override WorkingDir"));
    start.restartExitCode = RestartExitCodeFrom(layered.Get(kApplicationSection, L"Restart Exit Code"));
    settings.vm.systemPath = layered.Get(kRuntimeSection, L"System Path");
    settings.vm.libraryPath = layered.Get(kRuntimeSection, L"Library Path");
    instance.pairProduct = layered.Get(kApplicationSection, L"Pair Product");
    instance.waitForPair = IsYesFlag(layered.Get(kApplicationSection, L"Pair Return Code"));
    // A service is never a single instance.
    instance.singleInstance =
        !instance.isService && IsExactYesFlag(layered.Get(kApplicationSection, L"Single Instance"));
    ReadClassesAndVm(layered, start, settings.vm);
    ReadOutput(layered, settings.output);
    start.extraArgumentsText = layered.Get(kApplicationSection, L"Cmd");
    ReadPresentation(platform, files, settings.presentation);
    ReadProcess(layered, settings.process);
    if (instance.isService) ReadService(files, layered, settings.service);
    return true;
}

}  // namespace zorv
