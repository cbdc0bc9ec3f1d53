// The choice of one JVM library from the configured folder, the folder beside
// the executable, the registry and JAVA_HOME.
#pragma once

#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "runtime/version_number.h"

namespace zorv {

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

// The JAVA_VERSION of a runtime's release file; an open (unset) version when
// the file names none.
VersionNumber ReleaseFileVersion(const std::string& text);

// Shared by the registry search and the search of installed runtimes.
bool WithinBounds(const Launcher& launcher, const VersionNumber& version);
std::wstring OutOfBoundsReason(const Launcher& launcher, const VersionNumber& version);
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

}  // namespace zorv
