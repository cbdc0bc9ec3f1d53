#include "vm/class_data_sharing.h"

#include <cstdint>

#include "launcher/file_locations.h"
#include "launcher/platform.h"
#include "launcher/text.h"
#include "launcher/trace.h"
#include "runtime/runtime_search.h"
#include "vm/ahead_of_time_cache.h"

namespace zorv {
namespace {

// Runtimes before 13 cannot archive an application's classes; from 19 on they
// create, validate and renew the archive on their own.
constexpr int kFirstRecordingRelease = 13;
constexpr int kFirstAutomaticRelease = 19;

bool IsNameCharacter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'.' ||
           c == L'-';
}

std::wstring SafeNamePart(const std::wstring& text) {
    std::wstring safe = text;
    for (wchar_t& c : safe) {
        if (!IsNameCharacter(c)) c = L'_';
    }
    return safe;
}

std::uint32_t Fnv1aHash(const std::wstring& text, bool foldCase) {
    std::uint32_t hash = 2166136261u;
    for (wchar_t c : text) {
        std::uint32_t unit = static_cast<std::uint32_t>(foldCase ? AsciiLower(c) : c);
        for (int shift = 0; shift < 32; shift += 8) {
            hash ^= (unit >> shift) & 0xFF;
            hash *= 16777619u;
        }
    }
    return hash;
}

// Over the folder's characters, letter case folded as the file system folds
// it, and without a trailing "\", so that every spelling of one folder names
// one archive.
std::uint32_t FolderHash(const std::wstring& folder) { return Fnv1aHash(WithoutTrailingBackslash(folder), true); }

std::wstring HexText(std::uint32_t value) {
    const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text(8, L'0');
    for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = digits[value & 0xF];
    return text;
}

}  // namespace

int FeatureRelease(const VersionNumber& version) {
    if (version.parts[0] == 1) return version.parts[1];
    return version.parts[0];
}

ClassDataArchiveUse ChooseClassDataArchiveUse(int featureRelease, bool archiveExists) {
    if (featureRelease >= kFirstAutomaticRelease) return ClassDataArchiveUse::createAutomatically;
    if (featureRelease < kFirstRecordingRelease) return ClassDataArchiveUse::none;
    return archiveExists ? ClassDataArchiveUse::useRecorded : ClassDataArchiveUse::recordAtExit;
}

std::wstring ModuleOptionsIdentity(const std::vector<std::wstring>& options) {
    std::wstring identity;
    for (const std::wstring& option : options) {
        if (option.compare(0, 2, L"--") == 0 || option.compare(0, 13, L"-Djdk.module.") == 0) identity += option + L"\n";
    }
    return identity;
}

std::wstring ClassDataHash(const std::wstring& text) { return HexText(Fnv1aHash(text, false)); }

std::wstring ClassDataStem(const std::wstring& programPath, const std::wstring& runtimeVersion,
                           const std::wstring& runtimeHome) {
    std::size_t slash = programPath.rfind(L'\\');
    std::wstring program = slash == std::wstring::npos ? programPath : programPath.substr(slash + 1);
    std::size_t dot = program.rfind(L'.');
    if (dot != std::wstring::npos) program.erase(dot);
    return SafeNamePart(program) + L"-" + SafeNamePart(runtimeVersion) + L"-" + HexText(FolderHash(runtimeHome));
}

std::wstring ClassDataArchiveName(const std::wstring& programPath, const std::wstring& runtimeVersion,
                                  const std::wstring& runtimeHome, const std::wstring& moduleOptions) {
    std::wstring options = moduleOptions.empty() ? std::wstring() : L"-" + ClassDataHash(moduleOptions);
    return ClassDataStem(programPath, runtimeVersion, runtimeHome) + options + L".jsa";
}

bool ClassPathAllowsArchive(const std::wstring& classPath, const std::wstring& programPath) {
    std::size_t start = 0;
    while (start <= classPath.size()) {
        std::size_t end = classPath.find(L';', start);
        if (end == std::wstring::npos) end = classPath.size();
        std::wstring entry = classPath.substr(start, end - start);
        std::wstring extension = entry.size() >= 4 ? entry.substr(entry.size() - 4) : std::wstring();
        for (wchar_t& c : extension) c = AsciiLower(c);
        if (!entry.empty() && extension != L".jar" && extension != L".zip" && entry != programPath) return false;
        start = end + 1;
    }
    return true;
}

std::vector<std::wstring> ClassDataArchiveOptions(ClassDataArchiveUse use, const std::wstring& archivePath) {
    switch (use) {
        case ClassDataArchiveUse::createAutomatically:
            return {L"-XX:+AutoCreateSharedArchive", L"-XX:SharedArchiveFile=" + archivePath};
        case ClassDataArchiveUse::recordAtExit: return {L"-XX:ArchiveClassesAtExit=" + archivePath};
        case ClassDataArchiveUse::useRecorded: return {L"-XX:SharedArchiveFile=" + archivePath};
        case ClassDataArchiveUse::none: break;
    }
    return {};
}

std::vector<std::wstring> ClassDataSharingOptions(Platform& platform, const VmOptionSources& sources,
                                                  const std::wstring& runtimeHome,
                                                  const std::vector<std::wstring>& working,
                                                  ClassDataRecording& recording) {
    std::wstring versionText = RuntimeJavaVersion(platform, runtimeHome);
    VersionNumber version;
    const VersionNumber& registered = sources.runtime.registeredVersion;
    if (!version.Parse(versionText, 0) && FeatureRelease(registered) != 0) {
        version = registered;
        versionText = version.Format();
    }
    const int feature = FeatureRelease(version);
    if (feature < kFirstRecordingRelease) return {};

    const std::wstring& programPath = sources.files.executable;
    // A service may run under an account without a profile of its own.
    std::wstring folder;
    if (sources.instance.isService) {
        folder = FolderOf(programPath);
    } else if (!UserFolder(platform, sources.instance, UserFolderKind::cache, true, folder)) {
        return {};
    }
    const std::wstring moduleOptions = ModuleOptionsIdentity(working);
    if (feature >= kFirstCacheRelease) {
        // These runtimes refuse to start with a cache and -Xshare or an
        // archive of the user's own.
        const std::wstring own = SharingOptionAmong(working);
        if (!own.empty()) {
            if (platform.trace) platform.trace->Line(L"vm: no ahead-of-time cache, the parameters have " + own);
            return {};
        }
        // The stem names the runtime; what else the runtime checks a cache
        // against is the identity.
        const std::wstring identity =
            ClassPathIdentity(platform, working) + moduleOptions + HeapShapeOptionsIdentity(working);
        const CacheFiles files{folder, ClassDataStem(programPath, versionText, runtimeHome), ClassDataHash(identity)};
        return CacheOptions(platform, files, feature, programPath, recording);
    }
    std::wstring archive = folder + L"\\" + ClassDataArchiveName(programPath, versionText, runtimeHome, moduleOptions);
    ClassDataArchiveUse use =
        ChooseClassDataArchiveUse(feature, feature < kFirstAutomaticRelease && platform.files().FileExists(archive));
    // A runtime that cannot write the archive it was asked for ends the
    // application with its own exit code and message.
    if (use != ClassDataArchiveUse::useRecorded && !platform.files().CanWriteIn(folder)) {
        if (platform.trace) platform.trace->Line(L"vm: no class-data archive, cannot write in " + folder);
        return {};
    }
    if (use == ClassDataArchiveUse::createAutomatically && !moduleOptions.empty()) {
        // These runtimes report at error level, on every start that maps the
        // archive, that module options keep them from optimising the module
        // graph; the archive serves all the same. A -Xlog among the VM
        // parameters, which come later, still has the last word.
        std::vector<std::wstring> options = ClassDataArchiveOptions(use, platform.files().VmPath(archive));
        options.push_back(L"-Xlog:cds=off");
        return options;
    }
    if (use != ClassDataArchiveUse::recordAtExit) return ClassDataArchiveOptions(use, platform.files().VmPath(archive));
    // These runtimes crash on a cut-off archive rather than ignore it, and a
    // start ended during the recording leaves one: the archive gets its name
    // only once the runtime has ended normally.
    recording.archive = archive;
    recording.beingRecorded = archive + L".part";
    return ClassDataArchiveOptions(use, platform.files().VmPath(recording.beingRecorded));
}

void AddClassDataSharingOptions(Platform& platform, const VmOptionSources& sources,
                                std::vector<std::wstring>& working, std::size_t position, VmStart& vmStart) {
    const std::wstring classPathOption = L"-Djava.class.path=";
    for (const std::wstring& option : working) {
        if (option.compare(0, classPathOption.size(), classPathOption) == 0 &&
            !ClassPathAllowsArchive(option.substr(classPathOption.size()), sources.files.executable))
            return;
    }
    // Before the parameters, so that an option there (-Xshare:off) has the last word.
    std::vector<std::wstring> options =
        ClassDataSharingOptions(platform, sources, RemovePathComponents(sources.runtime.jvmLibraryPath, 3) + L"\\",
                                working, vmStart.classData);
    working.insert(working.begin() + static_cast<std::ptrdiff_t>(position), options.begin(), options.end());
}

void KeepRecordedClassDataArchive(Platform& platform, ClassDataRecording& recording) {
    StartCacheAssembly(platform, recording);
    if (recording.beingRecorded.empty()) return;
    if (platform.files().FileExists(recording.beingRecorded))
        platform.files().RenameFile(recording.beingRecorded, recording.archive);
    recording.beingRecorded.clear();
}

}  // namespace zorv
