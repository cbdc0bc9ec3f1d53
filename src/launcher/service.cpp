#include "launcher/service.h"

#include "launcher/launcher_settings.h"
#include "launcher/platform.h"
#include "launcher/text.h"
#include "runtime/error_reporting.h"

namespace zorv {

const wchar_t kInstallServiceSwitch[] = L"--install-service";
const wchar_t kRemoveServiceSwitch[] = L"--remove-service";

namespace {

// A day in seconds: the largest delay and period that still mean something
// to a service manager, and far from overflowing milliseconds.
constexpr std::uint32_t kLongestSeconds = 86400;
constexpr std::uint32_t kMostRestarts = 1000;

// An unset key gives `fallback`; a set one must be a number.
bool ReadSetting(const wchar_t* key, const std::wstring& text, std::uint32_t most, std::uint32_t fallback,
                 std::uint32_t& value, std::wstring& problem) {
    if (text.empty()) {
        value = fallback;
        return true;
    }
    if (ReadWholeNumber(text, most, value)) return true;
    problem = FormatPrintf(L"\"%s=%s\" in [Service] is not a whole number from 0 to %d", {key, text, most});
    return false;
}

bool ReadStartType(const std::wstring& text, ServiceStartType& type) {
    if (text.empty() || SameIgnoringAsciiCase(text, L"automatic")) type = ServiceStartType::automatic;
    else if (SameIgnoringAsciiCase(text, L"delayed automatic")) type = ServiceStartType::delayedAutomatic;
    else if (SameIgnoringAsciiCase(text, L"manual")) type = ServiceStartType::manual;
    else return false;
    return true;
}

bool ReadAccount(const std::wstring& text, const std::wstring& serviceName, std::wstring& account) {
    if (text.empty() || SameIgnoringAsciiCase(text, L"LocalSystem")) account.clear();
    else if (SameIgnoringAsciiCase(text, L"LocalService")) account = L"NT AUTHORITY\\LocalService";
    else if (SameIgnoringAsciiCase(text, L"NetworkService")) account = L"NT AUTHORITY\\NetworkService";
    else if (SameIgnoringAsciiCase(text, L"Virtual")) account = L"NT SERVICE\\" + serviceName;
    else return false;
    return true;
}

// The service manager takes up to 256 characters and neither "\" nor "/".
bool IsServiceName(const std::wstring& name) {
    if (name.empty() || name.size() > 256) return false;
    for (wchar_t c : name) {
        if (c == L'\\' || c == L'/' || c < 0x20) return false;
    }
    return true;
}

}  // namespace

ServiceCommand ServiceCommandFrom(const std::vector<std::wstring>& arguments) {
    if (arguments.empty()) return ServiceCommand::none;
    ServiceCommand command = ServiceCommand::none;
    if (arguments[0] == kInstallServiceSwitch) command = ServiceCommand::install;
    else if (arguments[0] == kRemoveServiceSwitch) command = ServiceCommand::remove;
    if (command != ServiceCommand::none && arguments.size() > 1) return ServiceCommand::misused;
    return command;
}

std::uint32_t StopTimeoutMs(const ServiceSettings& settings) {
    std::uint32_t seconds = 0;
    if (!ReadWholeNumber(settings.stopTimeout, kLongestSeconds, seconds)) return kDefaultStopTimeoutMs;
    return seconds * 1000;
}

bool BuildServicePlan(const ServiceSettings& settings, const std::wstring& executable, ServicePlan& plan,
                      std::wstring& problem) {
    plan = ServicePlan();
    if (!IsServiceName(settings.name)) {
        problem = FormatPrintf(L"\"Service Name=%s\" in [Service] is no service name: 1 to 256 characters, without "
                               L"\"\\\" and \"/\"",
                               {settings.name});
        return false;
    }
    plan.name = settings.name;
    plan.displayName = settings.displayName.empty() ? settings.name : settings.displayName;
    plan.description = settings.description;
    plan.commandLine = L"\"" + executable + L"\"";
    if (!ReadStartType(settings.startType, plan.startType)) {
        problem = FormatPrintf(L"\"Start Type=%s\" in [Service] is none of \"automatic\", \"delayed automatic\" and "
                               L"\"manual\"",
                               {settings.startType});
        return false;
    }
    if (!ReadAccount(settings.account, settings.name, plan.account)) {
        problem = FormatPrintf(L"\"Account=%s\" in [Service] is none of \"LocalSystem\", \"LocalService\", "
                               L"\"NetworkService\" and \"Virtual\"",
                               {settings.account});
        return false;
    }
    for (const std::wstring& piece : SplitAtSemicolons(settings.dependencies)) {
        std::wstring dependency = TrimWhiteSpace(piece);
        if (!dependency.empty()) plan.dependencies.push_back(dependency);
    }
    std::uint32_t seconds = 0;
    if (!ReadSetting(L"Stop Timeout", settings.stopTimeout, kLongestSeconds, kDefaultStopTimeoutMs / 1000, seconds,
                     problem))
        return false;
    plan.stopTimeoutMs = seconds * 1000;
    plan.restarts = !settings.restartDelay.empty();
    if (!ReadSetting(L"Restart Delay", settings.restartDelay, kLongestSeconds, 0, seconds, problem)) return false;
    plan.restartDelayMs = seconds * 1000;
    if (!ReadSetting(L"Restart Count", settings.restartCount, kMostRestarts, 3, plan.restartCount, problem) ||
        !ReadSetting(L"Restart Reset", settings.restartReset, kLongestSeconds, kLongestSeconds, plan.resetSeconds,
                     problem))
        return false;
    if (!plan.restarts && (!settings.restartCount.empty() || !settings.restartReset.empty())) {
        problem = L"\"Restart Count\" and \"Restart Reset\" in [Service] need \"Restart Delay\", the seconds "
                  L"before each restart";
        return false;
    }
    return true;
}

}  // namespace zorv

namespace zorv {

// Where the system has no service manager of its own, or this build does not
// speak to it, the start goes on as any other.
bool Processes::RunAsService(const ServiceRun&, std::int32_t&) { return false; }

std::int32_t RefuseServiceCommand(Desktop& desktop) {
    desktop.ShowErrorBox(
        nullptr, L"This system has no service manager the launcher installs services with; nothing was changed.");
    return kServiceCommandFailed;
}

}  // namespace zorv
