// The runtimes that a Linux system's packages put under /usr/lib/jvm, judged
// by their release file as the registry's are judged by their key names.
#include "launcher/text.h"
#include "launcher/trace.h"
#include "runtime/runtime_search.h"

namespace zorv {

bool RuntimeSearch::SearchInstalled(std::wstring& home) {
    Platform& platform = platform_;
    const RuntimeRequest& request = request_;
    Trace* trace = platform.trace;
    std::vector<std::wstring> folders = platform.files().InstalledRuntimeFolders();
    if (trace) trace->Line(L"runtime: source the installed runtimes, " + DecimalText(folders.size()) + L" folders");
    std::vector<RuntimeCandidate> candidates;
    for (const std::wstring& folder : folders) {
        const VersionNumber version = RuntimeReleaseVersion(platform, folder);
        std::wstring skipped;
        bool isJdk = platform.files().FileExists(folder + L"bin\\javac");
        bool kindFavoured = isJdk ? request.sourceJdk : request.sourceJre;
        if (version.IsOpen()) skipped = L"no JAVA_VERSION in its release file";
        else if (!WithinBounds(request, version)) skipped = OutOfBoundsReason(request, version);
        else if (!request.sourceEither && !kindFavoured) skipped = isJdk ? L"a JDK, left out by JVM Source" : L"a JRE, left out by JVM Source";
        std::wstring candidateHome = folder;
        if (skipped.empty() && AddIfUsable(platform, version, candidateHome, request.jvmType, kindFavoured, candidates) == nullptr)
            skipped = std::wstring(L"no JVM library for ") + JvmTypeName(request.jvmType);
        if (trace && !skipped.empty()) trace->Line(L"runtime: installed candidate " + folder + L": skipped, " + skipped);
    }
    RankCandidates(candidates, request.sourceEither, request.jvmType);
    const std::wstring* matchedEntry = nullptr;
    const RuntimeCandidate* chosen = SelectCandidate(candidates, request.preferredVersions, &matchedEntry);
    if (trace) {
        for (const RuntimeCandidate& candidate : candidates) {
            trace->Line(L"runtime: installed candidate " + candidate.home + L" version " + candidate.version.Format() +
                        L" server " + YesNo(candidate.isServer) + L" preferred " + YesNo(candidate.isPreferred) +
                        (&candidate != chosen        ? L": not chosen"
                         : matchedEntry != nullptr ? L": chosen, matches preferred version " + *matchedEntry
                                                   : std::wstring(L": chosen, ranks first")));
        }
    }
    if (chosen == nullptr) return false;
    home = chosen->home;
    return true;
}

}  // namespace zorv
