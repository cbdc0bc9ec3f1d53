// The settings of one start, read once into a record per concern, and the
// interpretation of the keys whose values are keywords or flags.
//
// Each record is read by the stages of its concern and written by nobody
// after ReadLauncherSettings: what the stages decide goes into records of
// their own (the chosen runtime, the assembled VM start).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "launcher/platform.h"
#include "runtime/vendor_registrations.h"
#include "runtime/version_number.h"

namespace zorv {

enum JvmType : std::int32_t { clientFirst = 0, serverOnly = 1, serverFirst = 2 };

// What names the application, as the runtime's LauncherHelper numbers it.
enum class LaunchMode : std::int32_t { mainClass = 1, mainJar = 2, mainModule = 3 };

// Where the program's own files are; found before anything is read.
struct ProgramFiles {
    std::wstring executable;    // the running executable's full path
    std::wstring settingsFile;  // the settings file named after it
};

// What to start, from where, and with which arguments.
struct StartSettings {
    LaunchMode launchMode = LaunchMode::mainClass;
    std::wstring mainClass;   // "Main Class" (or a "Main Module"'s class) in the JNI form with "/"
    std::wstring mainJar;     // "Main Jar", absolute
    std::wstring mainModule;  // "Main Module": module or module/class
    // What LauncherHelper loads the main class from: the dotted class name,
    // the jar's path or the module, as the java command names them.
    std::wstring launchTarget;
    std::wstring classPath;   // "Class Path" of [Class Path], as written
    std::wstring modulePath;  // "Module Path" of [Class Path], as written
    bool embeddedJar = false;          // "Embedded Jar"
    std::wstring extraArgumentsText;   // "Cmd", as written
    std::vector<std::wstring> arguments;  // the command line's, without the program
    bool overrideWorkingDirectory = false;  // "Override WorkingDir"
    std::int32_t restartExitCode = 0;       // "Restart Exit Code"; 0: no restart
};

// The runtime wanted: what the search and the runtime-not-found dialog judge by.
struct RuntimeRequest {
    VersionNumber minimumVersion;
    VersionNumber maximumVersion;
    std::vector<std::wstring> preferredVersions;  // "Preferred versions"
    JvmType jvmType = clientFirst;                // "JVM Type"
    // "JVM Source"
    bool sourceJdk = false;
    bool sourceJre = false;
    bool sourceEither = true;
    // "VM Provider": the older registry keys' providers...
    bool jrockitAllowed = false;
    bool sunAllowed = true;
    bool ibmAllowed = false;
    bool jrockitPreferred = false;
    bool sunPreferred = true;
    bool ibmPreferred = false;
    VendorChoice vendors;  // ...and the vendors' own keys, none unless asked for
    std::wstring configuredRuntimeFolder;  // "JRE Path", absolute

    // IBM's VMs want the thread that called main kept attached until the
    // process ends.
    bool KeepsMainThreadAttached() const { return ibmAllowed && ibmPreferred; }
};

// How the VM is started, beside what the runtime search decided.
struct VmSettings {
    std::wstring parameters;        // "Virtual Machine Parameters", as written
    bool classDataSharing = false;  // "Class Data Sharing=auto"
    std::wstring libraryPath;       // "Library Path", as written
    std::wstring systemPath;        // "System Path", as written
};

// Where the application's standard streams go.
struct OutputSettings {
    std::wstring outputFile;  // "Output File", as written
    std::wstring errorFile;   // "Error File", as written
    bool appendOutput = false;
    bool appendErrors = false;
};

// What the user sees besides the application.
struct PresentationSettings {
    std::wstring splashPicture;       // "Splash Screen": from the settings file alone
    bool splashShadow = false;        // "Splash Screen Shadow"
    bool preferNativeSplash = false;  // "Preffer Native Splash Screen"
    bool failureCheck = false;        // "Failure Check"
};

// This start among others: the product it belongs to, a running first
// instance, the paired executable, a service.
struct InstanceSettings {
    std::wstring productName;
    std::wstring productCode;
    std::wstring upgradeCode;
    bool isService = false;       // "Application Type=service"
    bool singleInstance = false;  // "Single Instance"
    std::wstring pairProduct;     // "Pair Product"
    bool waitForPair = false;     // "Pair Return Code"
};

// How the application runs as a service: what installing it registers, and
// how a stop request ends it. Read only for "Application Type=service".
struct ServiceSettings {
    std::wstring name;          // "Service Name", else the executable's name without its extension
    std::wstring displayName;   // "Display Name", else the service name
    std::wstring description;   // "Description"
    std::wstring startType;     // "Start Type", as written
    std::wstring dependencies;  // "Dependencies": services separated by ";"
    std::wstring account;       // "Account", as written
    std::wstring restartDelay;  // "Restart Delay", "Restart Count", "Restart Reset": as written
    std::wstring restartCount;
    std::wstring restartReset;
    std::wstring stopTimeout;   // "Stop Timeout", as written
    std::wstring stopClass;     // "Stop Class" in the JNI form with "/"
    std::vector<std::wstring> stopArguments;  // "Stop Arguments", split like the command line
};

// A key of [Environment]: the variable's name and its value as written, to
// be expanded when it is set. An empty value removes the variable.
struct EnvironmentVariable {
    std::wstring name;
    std::wstring value;
};

// The process itself, set up before the runtime search: what the
// application inherits and how the system treats it.
struct ProcessSettings {
    std::vector<EnvironmentVariable> environment;  // [Environment], in order
    ProcessPriority priority = ProcessPriority::unchanged;  // "Process Priority"
    std::wstring appUserModelId;                            // "App User Model ID"
};

struct LauncherSettings {
    StartSettings start;
    ProcessSettings process;
    RuntimeRequest runtime;
    VmSettings vm;
    OutputSettings output;
    PresentationSettings presentation;
    InstanceSettings instance;
    ServiceSettings service;
};

// Finds the program's files and reads the settings, each value written to
// the trace with where it came from. False, after telling the user when
// there is something to tell, when the start cannot go on: the executable's
// path is unknown, there is no settings file to name, or nothing names the
// application.
bool ReadLauncherSettings(Platform& platform, ProgramFiles& files, LauncherSettings& settings);

// "Yes" in any letter case.
bool IsYesFlag(const std::wstring& value);
// Exactly "yes".
bool IsExactYesFlag(const std::wstring& value);
// Pieces between ";"; a trailing ";" adds no empty piece, "" gives none.
std::vector<std::wstring> SplitAtSemicolons(const std::wstring& value);

// "Process Priority": unchanged for an empty or unknown value.
ProcessPriority ProcessPriorityFrom(const std::wstring& value);

void ApplyJvmSource(RuntimeRequest& request, const std::wstring& value);
void ApplyVmProvider(RuntimeRequest& request, const std::wstring& value);

}  // namespace zorv
