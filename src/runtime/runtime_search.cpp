#include "runtime/runtime_search.h"

#include <utility>

#include "launcher/file_locations.h"
#include "launcher/text.h"
#include "launcher/trace.h"
#include "runtime/jvm_library.h"
#include "runtime/runtime_not_found.h"
#include "runtime/vendor_registrations.h"

namespace zorv {
namespace {

enum class Kind { jdk, jre };
enum class Provider { sun, jrockit, ibm };

struct RegistryRow {
    const wchar_t* key;
    Kind kind;
    Provider provider;
    bool appendJre;
    // Judges its runtimes as client VMs when server ones are favoured.
    bool clientJudged;
};

const RegistryRow kRegistryRows[] = {
    {L"Software\\JavaSoft\\JDK\\", Kind::jdk, Provider::sun, false, false},
    {L"Software\\JavaSoft\\JRE\\", Kind::jre, Provider::sun, false, false},
    {L"Software\\JavaSoft\\Java Development Kit\\", Kind::jdk, Provider::sun, true, false},
    {L"Software\\JavaSoft\\Java Runtime Environment\\", Kind::jre, Provider::sun, false, true},
    {L"Software\\JRockit\\Java Runtime Environment\\", Kind::jre, Provider::jrockit, false, false},
    {L"Software\\JRockit\\Java Development Kit\\", Kind::jdk, Provider::jrockit, true, false},
    {L"Software\\IBM\\Java2 Runtime Environment\\", Kind::jre, Provider::ibm, false, false},
};

bool RanksBefore(const RuntimeCandidate& x, const RuntimeCandidate& y, bool sourceEither, JvmType type) {
    if (sourceEither && x.isPreferred != y.isPreferred) return x.isPreferred;
    if (type == serverFirst && x.isServer != y.isServer) return x.isServer;
    return CompareVersions(x.version, y.version) > 0;
}



// `version` is null when the registration was judged before its version was read.
void TraceSkipped(Trace& trace, const std::wstring& registration, const VersionNumber* version,
                  const std::wstring& reason) {
    std::wstring line = L"runtime: registry candidate HKLM\\" + registration;
    if (version != nullptr) line += L" version " + version->Format();
    trace.Line(line + L": skipped, " + reason);
}

// The registrations under a key, in the order the registry gives them.
std::vector<std::wstring> RegistrationsUnder(Platform& platform, const wchar_t* key, RegistryView view) {
    std::vector<std::wstring> names = platform.registry().RegistrySubkeys(key, view);
    if (platform.trace) {
        platform.trace->Line(std::wstring(L"runtime: registry key HKLM\\") + key + L" searched, " +
                             DecimalText(names.size()) + L" registrations");
    }
    return names;
}



// The judgement on a registration that had a home: kept for ranking, or skipped.
void TraceUsable(Trace& trace, RuntimeCandidate* added, std::wstring registration, const VersionNumber& version,
                 const std::wstring& home, JvmType type) {
    if (added != nullptr) {
        added->registration = std::move(registration);
        return;
    }
    TraceSkipped(trace, registration, &version,
                 std::wstring(L"no JVM library for ") + JvmTypeName(type) + L" in " + home);
}

void CollectCandidates(Platform& platform, const RuntimeRequest& request, const RegistryRow& row, bool preferred,
                       RegistryView view, std::vector<RuntimeCandidate>& candidates) {
    Trace* trace = platform.trace;
    for (const std::wstring& name : RegistrationsUnder(platform, row.key, view)) {
        VersionNumber version;
        version.Parse(name, 0);
        if (!WithinBounds(request, version)) {
            if (trace) TraceSkipped(*trace, row.key + name, &version, OutOfBoundsReason(request, version));
            continue;
        }
        std::wstring home;
        if (!platform.registry().RegistryString(row.key + name, L"JavaHome", view, home) || home.empty()) {
            if (trace) TraceSkipped(*trace, row.key + name, &version, L"no \"JavaHome\" value");
            continue;
        }
        home = WithTrailingBackslash(home);
        if (row.appendJre) home += L"jre\\";
        JvmType type = request.jvmType;
        if (type == serverFirst && row.clientJudged) type = clientFirst;
        RuntimeCandidate* added = AddIfUsable(platform, version, home, type, preferred, candidates);
        if (trace) TraceUsable(*trace, added, row.key + name, version, home, type);
    }
}

// Vendor keys are stricter than the JavaSoft ones: only a text value of a
// length a path can have counts, as anything else was not written by an installer.
void CollectVendorCandidates(Platform& platform, const RuntimeRequest& request, const VendorRow& row,
                             RegistryView view, std::vector<RuntimeCandidate>& candidates) {
    Trace* trace = platform.trace;
    for (const std::wstring& name : RegistrationsUnder(platform, row.key, view)) {
        bool isJdk = VendorRegistrationIsJdk(row, name);
        bool kindFavoured = isJdk ? request.sourceJdk : request.sourceJre;
        std::wstring registration = row.key + name + row.subkeySuffix;
        if (!request.sourceEither && !kindFavoured) {
            if (trace) {
                TraceSkipped(*trace, registration, nullptr,
                             isJdk ? L"a JDK, left out by JVM Source" : L"a JRE, left out by JVM Source");
            }
            continue;
        }
        std::wstring versionText;
        if (row.versionValue != nullptr)
            platform.registry().RegistryText(registration, row.versionValue, view, versionText);
        VersionNumber version = VendorRegistrationVersion(name, versionText);
        if (!WithinBounds(request, version)) {
            if (trace) TraceSkipped(*trace, registration, &version, OutOfBoundsReason(request, version));
            continue;
        }
        std::wstring home;
        if (!platform.registry().RegistryText(registration, row.homeValue, view, home) || home.empty() ||
            home.size() > kMaxVendorHomeLength) {
            if (trace) {
                TraceSkipped(*trace, registration, &version,
                             std::wstring(L"no usable \"") + row.homeValue + L"\" text value");
            }
            continue;
        }
        home = WithTrailingBackslash(home);
        RuntimeCandidate* added = AddIfUsable(platform, version, home, request.jvmType,
                                              kindFavoured && request.vendors.Prefers(row.vendor), candidates);
        if (trace) TraceUsable(*trace, added, std::move(registration), version, home, request.jvmType);
    }
}

void TraceSearchSettings(const RuntimeRequest& request, Trace& trace) {
    std::wstring line = L"runtime: versions " + request.minimumVersion.Format() + L" to " +
                        request.maximumVersion.Format() + L", JVM type " + JvmTypeName(request.jvmType) +
                        L", JVM Source" + (request.sourceEither ? L" either" : L"") +
                        (request.sourceJdk ? L" JDK" : L"") + (request.sourceJre ? L" JRE" : L"") +
                        L", Preferred versions";
    for (const std::wstring& entry : request.preferredVersions) line += L" " + entry;
    if (request.preferredVersions.empty()) line += L" none";
    trace.Line(line);
}

void TraceLibraryLookup(Trace& trace, const wchar_t* source, const std::wstring& home, JvmType type,
                        const std::wstring& library, bool isServer) {
    if (library.empty()) {
        trace.Line(std::wstring(L"runtime: source ") + source + L" " + home + L": no JVM library for " +
                   JvmTypeName(type));
        return;
    }
    trace.Line(L"runtime: chosen " + library + L" (server " + YesNo(isServer) + L") because " + source + L" " +
               home + L" holds it");
}

}  // namespace

bool WithinBounds(const RuntimeRequest& request, const VersionNumber& version) {
    return CompareVersions(request.minimumVersion, version) <= 0 &&
           CompareVersions(version, request.maximumVersion) <= 0;
}

const wchar_t* JvmTypeName(JvmType type) {
    switch (type) {
        case serverOnly: return L"serverOnly";
        case serverFirst: return L"serverFirst";
        default: return L"clientFirst";
    }
}

std::wstring OutOfBoundsReason(const RuntimeRequest& request, const VersionNumber& version) {
    if (CompareVersions(version, request.minimumVersion) < 0)
        return L"below Minimum Version " + request.minimumVersion.Format();
    return L"above Maximum Version " + request.maximumVersion.Format();
}

RuntimeCandidate* AddIfUsable(Platform& platform, const VersionNumber& version, std::wstring& home, JvmType type,
                              bool preferred, std::vector<RuntimeCandidate>& candidates) {
    RuntimeCandidate candidate;
    if (FindJvmLibrary(platform, home, type, candidate.isServer).empty()) return nullptr;
    candidate.version = version;
    candidate.home = std::move(home);
    candidate.isPreferred = preferred;
    candidates.push_back(std::move(candidate));
    return &candidates.back();
}

bool IsJavaHome(Platform& platform, const std::wstring& folder) {
    return platform.files().FileExists(folder + platform.Conventions().javaHomeMarker);
}

std::wstring ReleaseFileJavaVersion(const std::string& text) {
    const std::string key = "JAVA_VERSION=";
    std::size_t line = 0;
    while (line < text.size()) {
        std::size_t end = text.find('\n', line);
        if (end == std::string::npos) end = text.size();
        if (text.compare(line, key.size(), key) == 0) {
            std::string value = text.substr(line + key.size(), end - line - key.size());
            if (!value.empty() && value.back() == '\r') value.pop_back();
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            std::wstring wide;
            for (char c : value) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
            return wide;
        }
        line = end + 1;
    }
    return std::wstring();
}

// Any non-digit separates parts: "1.8.0_392" is 1.8.0.392.
VersionNumber ReleaseFileVersion(const std::string& text) {
    VersionNumber version;
    if (version.Parse(ReleaseFileJavaVersion(text), 0)) return version;
    return VersionNumber();
}

namespace {

// Release files are a few hundred bytes; more than this is no release file.
constexpr std::size_t kReleaseFileLimit = 64 * 1024;

std::string ReleaseFileOf(Platform& platform, const std::wstring& home) {
    std::string release;
    if (!platform.files().ReadFileStart(home + L"release", kReleaseFileLimit, release)) release.clear();
    return release;
}

}  // namespace

std::wstring RuntimeJavaVersion(Platform& platform, const std::wstring& home) {
    return ReleaseFileJavaVersion(ReleaseFileOf(platform, home));
}

VersionNumber RuntimeReleaseVersion(Platform& platform, const std::wstring& home) {
    return ReleaseFileVersion(ReleaseFileOf(platform, home));
}

bool JavaHomeFromEnvironment(Platform& platform, std::wstring& folder) {
    const std::wstring reference = L"%JAVA_HOME%";
    std::wstring expanded = platform.environment().ExpandEnvironment(reference);
    Trace* trace = platform.trace;
    if (expanded == reference || expanded.empty()) {
        if (trace) trace->Line(L"runtime: source JAVA_HOME: not set");
        return false;
    }
    expanded = WithTrailingBackslash(expanded);
    if (!IsJavaHome(platform, expanded)) {
        if (trace) trace->Line(L"runtime: source JAVA_HOME " + expanded + L": not a Java home, no bin\\java.dll");
        return false;
    }
    folder = expanded;
    return true;
}

void RankCandidates(std::vector<RuntimeCandidate>& candidates, bool sourceEither, JvmType type) {
    // Adjacent exchanges only where the second ranks strictly first: stable.
    for (std::size_t pass = 0; pass < candidates.size(); ++pass) {
        for (std::size_t i = 0; i + 1 < candidates.size(); ++i) {
            if (RanksBefore(candidates[i + 1], candidates[i], sourceEither, type))
                std::swap(candidates[i], candidates[i + 1]);
        }
    }
}

const RuntimeCandidate* SelectCandidate(const std::vector<RuntimeCandidate>& ranked,
                                        const std::vector<std::wstring>& preferredVersions,
                                        const std::wstring** matchedEntry) {
    if (matchedEntry != nullptr) *matchedEntry = nullptr;
    if (ranked.empty()) return nullptr;
    for (const std::wstring& entry : preferredVersions) {
        for (const RuntimeCandidate& candidate : ranked) {
            if (!MatchesPreference(entry, candidate.version)) continue;
            if (matchedEntry != nullptr) *matchedEntry = &entry;
            return &candidate;
        }
    }
    return &ranked.front();
}

namespace {

void TraceRanking(const RuntimeRequest& request, Trace& trace, const std::vector<RuntimeCandidate>& ranked,
                  const RuntimeCandidate* chosen, const std::wstring* matchedEntry) {
    std::wstring rules = L"runtime: ranked by ";
    if (request.sourceEither) rules += L"preferred mark, ";
    if (request.jvmType == serverFirst) rules += L"server mark, ";
    rules += L"higher version";
    if (!request.preferredVersions.empty()) rules += L"; Preferred versions select first";
    trace.Line(rules);
    std::wstring chosenRank = DecimalText(chosen - ranked.data() + 1);
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        const RuntimeCandidate& candidate = ranked[i];
        std::wstring verdict;
        if (&candidate == chosen) {
            verdict = matchedEntry != nullptr ? L"chosen, matches preferred version " + *matchedEntry
                                              : std::wstring(L"chosen, ranks first");
        } else {
            verdict = matchedEntry != nullptr
                          ? L"not chosen, preferred version " + *matchedEntry + L" selects rank " + chosenRank
                          : L"not chosen, rank " + chosenRank + L" comes first";
        }
        trace.Line(L"runtime: registry candidate HKLM\\" + candidate.registration + L" version " +
                   candidate.version.Format() + L" server " + YesNo(candidate.isServer) + L" preferred " +
                   YesNo(candidate.isPreferred) + L" rank " + DecimalText(i + 1) + L": " + verdict + L", home " +
                   candidate.home);
    }
}

}  // namespace

bool RuntimeSearch::SearchRegistered(int pass, std::wstring& home, ChosenRuntime& chosenRuntime) {
    Platform& platform = platform_;
    const RuntimeRequest& request = request_;
    const TargetArchitecture& architecture = machines_.architecture;
    Trace* trace = platform.trace;
    const std::wstring viewName =
        pass == 2 ? L"registry, " + std::wstring(architecture.pairBits) + L" view" : L"registry, native view";
    if (pass == 2 && !machines_.pairProduct) {
        if (trace) trace->Line(L"runtime: source " + viewName + L": not tried without a Pair Product");
        return false;
    }
    if (trace) trace->Line(L"runtime: source " + viewName);
    RegistryView view = pass == 2 ? architecture.pairView : RegistryView::native;
    std::vector<RuntimeCandidate> candidates;
    for (const RegistryRow& row : kRegistryRows) {
        bool kindSearched = request.sourceEither || (row.kind == Kind::jdk ? request.sourceJdk : request.sourceJre);
        bool kindFavoured = row.kind == Kind::jdk ? request.sourceJdk : request.sourceJre;
        bool allowed = false;
        bool favoured = false;
        switch (row.provider) {
            case Provider::sun: allowed = request.sunAllowed; favoured = request.sunPreferred; break;
            case Provider::jrockit: allowed = request.jrockitAllowed; favoured = request.jrockitPreferred; break;
            case Provider::ibm: allowed = request.ibmAllowed; favoured = request.ibmPreferred; break;
        }
        if (!kindSearched || !(allowed || favoured)) {
            if (trace) {
                trace->Line(std::wstring(L"runtime: registry key HKLM\\") + row.key + L" not searched: left out by " +
                            (kindSearched ? L"VM Provider" : L"JVM Source"));
            }
            continue;
        }
        CollectCandidates(platform, request, row, kindFavoured && favoured, view, candidates);
    }
    for (std::size_t i = 0; i < kVendorRowCount; ++i) {
        if (request.vendors.Searches(kVendorRows[i].vendor)) {
            CollectVendorCandidates(platform, request, kVendorRows[i], view, candidates);
        } else if (trace) {
            trace->Line(std::wstring(L"runtime: registry key HKLM\\") + kVendorRows[i].key +
                        L" not searched: left out by VM Provider");
        }
    }
    RankCandidates(candidates, request.sourceEither, request.jvmType);
    const std::wstring* matchedEntry = nullptr;
    const RuntimeCandidate* chosen = SelectCandidate(candidates, request.preferredVersions, &matchedEntry);
    if (chosen == nullptr) {
        if (trace) trace->Line(L"runtime: source " + viewName + L": no usable registration");
        return false;
    }
    if (trace) TraceRanking(request, *trace, candidates, chosen, matchedEntry);
    home = chosen->home;
    chosenRuntime.registeredVersion = chosen->version;
    if (pass == 2) chosenRuntime.handOverToPair = true;
    return true;
}

bool RuntimeSearch::Locate(ChosenRuntime& chosen) {
    Platform& platform = platform_;
    const RuntimeRequest& request = request_;
    chosen = ChosenRuntime();
    bool isServer = false;
    Trace* trace = platform.trace;
    if (trace) TraceSearchSettings(request, *trace);
    auto takeFrom = [&](const std::wstring& home, const wchar_t* source) {
        chosen.jvmLibraryPath = FindJvmLibrary(platform, home, request.jvmType, isServer);
        if (trace) TraceLibraryLookup(*trace, source, home, request.jvmType, chosen.jvmLibraryPath, isServer);
        return !chosen.jvmLibraryPath.empty();
    };

    const std::wstring& configured = request.configuredRuntimeFolder;
    if (configured.empty() && trace) trace->Line(L"runtime: source JRE Path: not set");
    if (!configured.empty() && takeFrom(WithTrailingBackslash(configured), L"JRE Path")) {
        std::uint16_t machine = 0;
        if (CanRunJvmLibrary(platform, machines_, chosen.jvmLibraryPath, machine)) {
            chosen.handOverToPair = HandsOverToPair(platform, machines_, chosen.jvmLibraryPath);
            return true;
        }
        // A runtime remembered from a wrong choice would otherwise fail every
        // start without offering the dialog again.
        if (trace) {
            trace->Line(L"runtime: source JRE Path " + chosen.jvmLibraryPath + L": ignored, machine " +
                        HexText(machine) + L" is neither this launcher's nor a Pair Product's");
        }
        chosen.jvmLibraryPath.clear();
    }

    std::wstring folder = FolderWithSeparatorOf(executable_);
    if (!folder.empty()) {
        std::wstring home = IsJavaHome(platform, folder) ? folder : folder + platform.Conventions().besideRuntimeFolder;
        if (IsJavaHome(platform, home) && takeFrom(home, L"the executable's folder")) return true;
        if (trace && !IsJavaHome(platform, home)) {
            trace->Line(L"runtime: source the executable's folder: neither " + folder + L" nor " + home + L" holds " +
                        platform.Conventions().javaHomeMarker);
        }
    }

    std::wstring home;
    bool found = platform.Conventions().registry &&
                 (SearchRegistered(1, home, chosen) || SearchRegistered(2, home, chosen));
    if (found && takeFrom(home, L"the chosen registration's home")) return true;
    // A 32-bit registration whose folder lacks the library hands nothing over.
    chosen.handOverToPair = false;
    chosen.registeredVersion = VersionNumber();
    if (SearchInstalled(home) && takeFrom(home, L"the installed runtimes")) return true;

    if (JavaHomeFromEnvironment(platform, home) && takeFrom(home, L"JAVA_HOME")) {
        chosen.handOverToPair = HandsOverToPair(platform, machines_, chosen.jvmLibraryPath);
        return true;
    }
    chosen.jvmLibraryPath.clear();
    return false;
}

StageOutcome ChooseRuntime(Platform& platform, const ProgramFiles& files, const RuntimeRequest& request,
                           const InstanceSettings& instance, const TargetArchitecture& architecture,
                           ChosenRuntime& chosen) {
    const StartableMachines machines{architecture, !instance.pairProduct.empty()};
    if (RuntimeSearch(platform, request, machines, files.executable).Locate(chosen)) return StageOutcome::Proceed();
    Trace* trace = platform.trace;
    if (trace) trace->Line(L"runtime: no source had a runtime, the runtime-not-found dialog asks the user");
    std::wstring folder;
    const bool picked = AskForRuntime(platform, request, machines, chosen, folder);
    if (picked) RememberRuntimeFolder(platform, files, instance, folder);
    if (trace) {
        trace->Line(picked ? L"runtime: chosen " + chosen.jvmLibraryPath + L" because the user picked its folder"
                           : std::wstring(L"runtime: none chosen, the user cancelled"));
    }
    return picked ? StageOutcome::Proceed() : StageOutcome::EndQuietly();
}

}  // namespace zorv
