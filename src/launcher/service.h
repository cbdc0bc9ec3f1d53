// A launcher with "Application Type=service": what installing it registers
// with the system's service manager, and the switches that ask for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorv {

struct ServiceSettings;

// The command-line switches only a service's executable reads; as its first
// and only argument they install or remove it instead of starting it.
extern const wchar_t kInstallServiceSwitch[];
extern const wchar_t kRemoveServiceSwitch[];
enum class ServiceCommand { none, install, remove, misused };
ServiceCommand ServiceCommandFrom(const std::vector<std::wstring>& arguments);

// Exit codes of the install and remove commands: the system's own error
// numbers, so that they read the same in %ERRORLEVEL% as in its tools.
constexpr std::int32_t kServiceCommandDone = 0;
constexpr std::int32_t kServiceAccessDenied = 5;         // not run as an administrator
constexpr std::int32_t kServiceAlreadyInstalled = 1073;  // installing twice
constexpr std::int32_t kServiceNotInstalled = 1060;      // removing what is not there
constexpr std::int32_t kServiceCommandFailed = -1;       // a setting, the folder or the system refused

// Long enough for a server to close its connections and flush what it
// keeps, well inside the 90 s systemd waits by default and the 20 s Windows
// Server gives services at shutdown.
constexpr std::uint32_t kDefaultStopTimeoutMs = 20000;

enum class ServiceStartType { automatic, delayedAutomatic, manual };

// What the service manager is told, with every setting already judged.
struct ServicePlan {
    std::wstring name;
    std::wstring displayName;
    std::wstring description;
    // The executable's path in double quotes: unquoted, a path with spaces
    // would let C:\Program.exe run as the service.
    std::wstring commandLine;
    ServiceStartType startType = ServiceStartType::automatic;
    std::vector<std::wstring> dependencies;
    // The account as the service manager names it; empty for LocalSystem.
    std::wstring account;
    // After a failure the service is started again restartCount times,
    // restartDelayMs after each, until resetSeconds pass without one.
    bool restarts = false;
    std::uint32_t restartDelayMs = 0;
    std::uint32_t restartCount = 0;
    std::uint32_t resetSeconds = 0;
    std::uint32_t stopTimeoutMs = kDefaultStopTimeoutMs;
};

// False, with a sentence that names the setting, when one of them does not
// say what to register.
bool BuildServicePlan(const ServiceSettings& settings, const std::wstring& executable, ServicePlan& plan,
                      std::wstring& problem);

// "Stop Timeout" in milliseconds; the default when it is not a whole number of seconds.
std::uint32_t StopTimeoutMs(const ServiceSettings& settings);

}  // namespace zorv
