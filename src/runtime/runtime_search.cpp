#include "runtime/runtime_search.h"

#include <utility>

#include "launcher/file_locations.h"
#include "runtime/jvm_library.h"
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

bool WithinBounds(const Launcher& launcher, const VersionNumber& version) {
    return CompareVersions(launcher.minimumVersion, version) <= 0 &&
           CompareVersions(version, launcher.maximumVersion) <= 0;
}

// Keeps the registration when its home holds a JVM library of the type.
void AddIfUsable(Platform& platform, const VersionNumber& version, std::wstring home, JvmType type, bool preferred,
                 std::vector<RuntimeCandidate>& candidates) {
    RuntimeCandidate candidate;
    if (FindJvmLibrary(platform, home, type, candidate.isServer).empty()) return;
    candidate.version = version;
    candidate.home = std::move(home);
    candidate.isPreferred = preferred;
    candidates.push_back(std::move(candidate));
}

void CollectCandidates(Launcher& launcher, const RegistryRow& row, bool preferred, RegistryView view,
                       std::vector<RuntimeCandidate>& candidates) {
    Platform& platform = launcher.platform;
    for (const std::wstring& name : platform.RegistrySubkeys(row.key, view)) {
        VersionNumber version;
        version.Parse(name, 0);
        if (!WithinBounds(launcher, version)) continue;
        std::wstring home;
        if (!platform.RegistryString(row.key + name, L"JavaHome", view, home) || home.empty()) continue;
        home = WithTrailingBackslash(home);
        if (row.appendJre) home += L"jre\\";
        JvmType type = launcher.jvmType;
        if (type == serverFirst && row.clientJudged) type = clientFirst;
        AddIfUsable(platform, version, std::move(home), type, preferred, candidates);
    }
}

// Vendor keys are stricter than the JavaSoft ones: only a text value of a
// length a path can have counts, as anything else was not written by an installer.
void CollectVendorCandidates(Launcher& launcher, const VendorRow& row, RegistryView view,
                             std::vector<RuntimeCandidate>& candidates) {
    Platform& platform = launcher.platform;
    for (const std::wstring& name : platform.RegistrySubkeys(row.key, view)) {
        bool isJdk = VendorRegistrationIsJdk(row, name);
        bool kindFavoured = isJdk ? launcher.sourceJdk : launcher.sourceJre;
        if (!launcher.sourceEither && !kindFavoured) continue;
        std::wstring registration = row.key + name + row.subkeySuffix;
        std::wstring versionText;
        if (row.versionValue != nullptr) platform.RegistryText(registration, row.versionValue, view, versionText);
        VersionNumber version = VendorRegistrationVersion(name, versionText);
        if (!WithinBounds(launcher, version)) continue;
        std::wstring home;
        if (!platform.RegistryText(registration, row.homeValue, view, home) || home.empty() ||
            home.size() > kMaxVendorHomeLength)
            continue;
        AddIfUsable(platform, version, WithTrailingBackslash(home), launcher.jvmType,
                    kindFavoured && launcher.vendors.Prefers(row.vendor), candidates);
    }
}

}  // namespace

bool IsJavaHome(Platform& platform, const std::wstring& folder) {
    return platform.FileExists(folder + L"bin\\java.dll");
}

bool JavaHomeFromEnvironment(Platform& platform, std::wstring& folder) {
    const std::wstring reference = L"%JAVA_HOME%";
    std::wstring expanded = platform.ExpandEnvironment(reference);
    if (expanded == reference || expanded.empty()) return false;
    expanded = WithTrailingBackslash(expanded);
    if (!IsJavaHome(platform, expanded)) return false;
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
                                        const std::vector<std::wstring>& preferredVersions) {
    if (ranked.empty()) return nullptr;
    for (const std::wstring& entry : preferredVersions) {
        for (const RuntimeCandidate& candidate : ranked) {
            if (MatchesPreference(entry, candidate.version)) return &candidate;
        }
    }
    return &ranked.front();
}

bool Launcher::SearchRegisteredRuntimes(int pass, std::wstring& home) {
    if (pass == 2 && pairProduct.empty()) return false;
    RegistryView view = pass == 2 ? RegistryView::wow32 : RegistryView::native;
    std::vector<RuntimeCandidate> candidates;
    for (const RegistryRow& row : kRegistryRows) {
        bool kindSearched = sourceEither || (row.kind == Kind::jdk ? sourceJdk : sourceJre);
        bool kindFavoured = row.kind == Kind::jdk ? sourceJdk : sourceJre;
        bool allowed = false;
        bool favoured = false;
        switch (row.provider) {
            case Provider::sun: allowed = sunAllowed; favoured = sunPreferred; break;
            case Provider::jrockit: allowed = jrockitAllowed; favoured = jrockitPreferred; break;
            case Provider::ibm: allowed = ibmAllowed; favoured = ibmPreferred; break;
        }
        if (!kindSearched || !(allowed || favoured)) continue;
        CollectCandidates(*this, row, kindFavoured && favoured, view, candidates);
    }
    for (std::size_t i = 0; i < kVendorRowCount; ++i) {
        if (vendors.Searches(kVendorRows[i].vendor)) CollectVendorCandidates(*this, kVendorRows[i], view, candidates);
    }
    RankCandidates(candidates, sourceEither, jvmType);
    const RuntimeCandidate* chosen = SelectCandidate(candidates, preferredVersions);
    if (chosen == nullptr) return false;
    home = chosen->home;
    if (pass == 2) handOverToPair = true;
    return true;
}

bool Launcher::LocateRuntime() {
    handOverToPair = false;
    bool isServer = false;
    auto takeFrom = [&](const std::wstring& home) {
        jvmLibraryPath = FindJvmLibrary(platform, home, jvmType, isServer);
        return !jvmLibraryPath.empty();
    };

    if (!configuredRuntimeFolder.empty() && takeFrom(WithTrailingBackslash(configuredRuntimeFolder))) {
        CheckJvmArchitecture();
        return true;
    }

    std::wstring modulePath;
    if (GetModulePath(modulePath)) {
        std::wstring folder = FolderWithSeparatorOf(modulePath);
        if (!folder.empty()) {
            std::wstring home = IsJavaHome(platform, folder) ? folder : folder + L"jre64\\";
            if (IsJavaHome(platform, home) && takeFrom(home)) return true;
        }
    }

    std::wstring home;
    bool found = SearchRegisteredRuntimes(1, home) || SearchRegisteredRuntimes(2, home);
    if (found && takeFrom(home)) return true;
    // A 32-bit registration whose folder lacks the library hands nothing over.
    handOverToPair = false;

    if (JavaHomeFromEnvironment(platform, home) && takeFrom(home)) {
        CheckJvmArchitecture();
        return true;
    }

    jvmLibraryPath.clear();
    return AskForRuntime();
}

}  // namespace zorv
