// The choice of one JVM library from the configured folder, the folder beside
// the executable, the registry and JAVA_HOME.
#pragma once

#include <string>
#include <vector>

#include "launcher/launcher_settings.h"
#include "launcher/stage_outcome.h"
#include "runtime/jvm_library.h"
#include "runtime/version_number.h"

namespace zorv {

// What the runtime search decided.
struct ChosenRuntime {
    std::wstring jvmLibraryPath;      // empty when none was chosen
    VersionNumber registeredVersion;  // of the registration it was found under, else 0
    bool handOverToPair = false;      // a library of the pair's processor: the Pair Product starts it
};

struct RuntimeCandidate {
    VersionNumber version;
    std::wstring home;  // with trailing "\"
    bool isServer = false;
    bool isPreferred = false;
    // The registry key it was found under; filled only for the trace.
    std::wstring registration;
};

// A folder (with trailing "\") is a Java home when it holds "bin\java.dll".
bool IsJavaHome(Platform& platform, const std::wstring& folder);
bool JavaHomeFromEnvironment(Platform& platform, std::wstring& folder);

// The value of the JAVA_VERSION line of a runtime's release file, without its
// quotes; empty when there is no such line.
std::wstring ReleaseFileJavaVersion(const std::string& text);
// That value as a version; an open (unset) version when the file names none.
VersionNumber ReleaseFileVersion(const std::string& text);
// The same, read from the release file of the runtime in home (with trailing
// "\"); nothing when it cannot be read.
std::wstring RuntimeJavaVersion(Platform& platform, const std::wstring& home);
VersionNumber RuntimeReleaseVersion(Platform& platform, const std::wstring& home);

// Shared by the registry search and the search of installed runtimes.
bool WithinBounds(const RuntimeRequest& request, const VersionNumber& version);
std::wstring OutOfBoundsReason(const RuntimeRequest& request, const VersionNumber& version);
const wchar_t* JvmTypeName(JvmType type);
// Keeps the runtime when its home holds a JVM library of the type; the home
// is taken only then. Null when it was not kept.
RuntimeCandidate* AddIfUsable(Platform& platform, const VersionNumber& version, std::wstring& home, JvmType type,
                              bool preferred, std::vector<RuntimeCandidate>& candidates);

// Stable: candidates that compare equal keep their order of discovery.
void RankCandidates(std::vector<RuntimeCandidate>& candidates, bool sourceEither, JvmType type);
// The first ranked candidate that a preferred entry selects, entry by entry;
// otherwise the first ranked. Null when there is none. `matchedEntry`, when
// given, receives the preferred entry that selected it, or null.
const RuntimeCandidate* SelectCandidate(const std::vector<RuntimeCandidate>& ranked,
                                        const std::vector<std::wstring>& preferredVersions,
                                        const std::wstring** matchedEntry = nullptr);

// The search through the configured folder, the executable's folder, the
// registry (both views), the installed runtimes and JAVA_HOME, in that order,
// each step written to the trace.
class RuntimeSearch {
public:
    RuntimeSearch(Platform& platform, const RuntimeRequest& request, const StartableMachines& machines,
                  const std::wstring& executable)
        : platform_(platform), request_(request), machines_(machines), executable_(executable) {}

    // False when no source has a runtime.
    bool Locate(ChosenRuntime& chosen);

private:
    bool SearchRegistered(int pass, std::wstring& home, ChosenRuntime& chosen);
    // The runtimes the system's packages installed, judged by their release files.
    bool SearchInstalled(std::wstring& home);

    Platform& platform_;
    const RuntimeRequest& request_;
    const StartableMachines& machines_;
    const std::wstring& executable_;
};

// The search, then, when it finds nothing, the runtime-not-found dialog; a
// folder the user picks is remembered as "JRE Path". The start ends when the
// user cancelled.
StageOutcome ChooseRuntime(Platform& platform, const ProgramFiles& files, const RuntimeRequest& request,
                   const InstanceSettings& instance, const TargetArchitecture& architecture, ChosenRuntime& chosen);

}  // namespace zorv
