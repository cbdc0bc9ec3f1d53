#include "vm/ahead_of_time_cache.h"

#include <memory>

#include "launcher/text.h"
#include "launcher/trace.h"

namespace zorv {

const wchar_t kCacheAssemblyVariable[] = L"ZORV_AOT_ASSEMBLY";

namespace {

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

void TraceLine(Platform& platform, const std::wstring& line) {
    if (platform.trace) platform.trace->Line(L"vm: " + line);
}
void TraceLine(Platform& platform, const wchar_t* before, const std::wstring& text, const wchar_t* after = L"") {
    if (platform.trace) platform.trace->Line(L"vm: " + (before + text) + after);
}

void AddOption(std::vector<std::wstring>& options, const wchar_t* name, const std::wstring& value = std::wstring()) {
    options.push_back(name + value);
}

// ";" where the VM takes Windows paths, ":" on Linux.
wchar_t VmPathSeparator(Platform& platform) {
    const std::wstring two = platform.files().VmPathList(L"a;b");
    return two.size() == 3 ? two[1] : L';';
}

// A runtime that cannot use its cache says so at warning and error level on
// standard output, under "cds" (24) or "aot" (25 on); a recording runtime
// warns there of classes it leaves out. An -Xlog of the parameters, which come
// later, still has the last word.
void AddQuietLogs(int featureRelease, std::vector<std::wstring>& options) {
    options.push_back(L"-Xlog:cds=off");
    if (featureRelease >= 25) options.push_back(L"-Xlog:aot=off");
}

// The other identities' files of this program and runtime, and its
// class-data archives from before: the folder keeps one identity's.
void RemoveOtherIdentities(Platform& platform, const CacheFiles& files) {
    const std::wstring own = files.stem + L"-" + files.identity + L".";
    for (const std::wstring& name : platform.files().FindFiles(files.folder + L"\\" + files.stem + L"*")) {
        if (!StartsWith(name, own) && platform.files().RemoveFile(files.folder + L"\\" + name))
            TraceLine(platform, L"removed the older " + name);
    }
}

bool IsHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); }

}  // namespace

std::wstring HeapShapeOptionsIdentity(const std::vector<std::wstring>& options) {
    static const wchar_t* const kSized[] = {L"-Xmx", L"-XX:MaxHeapSize=", L"-XX:MaxRAM", L"-XX:HeapBaseMinAddress=",
                                            L"-XX:ObjectAlignmentInBytes="};
    static const wchar_t* const kFlags[] = {L"UseCompressedOops", L"UseCompressedClassPointers", L"UseCompactObjectHeaders"};
    std::wstring identity;
    for (const std::wstring& option : options) {
        bool counts = false;
        for (const wchar_t* prefix : kSized) counts = counts || StartsWith(option, prefix);
        if (StartsWith(option, L"-XX:+") || StartsWith(option, L"-XX:-")) {
            const std::wstring flag = option.substr(5);
            for (const wchar_t* name : kFlags) counts = counts || flag == name;
            // UseG1GC, UseZGC, UseSerialGC, UseParallelGC, UseShenandoahGC, ...
            counts = counts || (StartsWith(flag, L"Use") && flag.size() > 5 && flag.compare(flag.size() - 2, 2, L"GC") == 0);
        }
        if (counts) identity += option + L"\n";
    }
    return identity;
}

std::wstring ClassPathIdentity(Platform& platform, const std::vector<std::wstring>& options) {
    const wchar_t separator = VmPathSeparator(platform);
    std::wstring identity;
    for (const std::wstring& option : options) {
        std::size_t start = 0;
        if (StartsWith(option, L"-Djava.class.path=")) start = 18;
        else if (StartsWith(option, L"--module-path=")) start = 14;
        else continue;
        identity += option.substr(0, start) + L"\n";
        while (start < option.size()) {
            std::size_t end = option.find(separator, start);
            if (end == std::wstring::npos) end = option.size();
            const std::wstring entry = option.substr(start, end - start);
            std::uint64_t size = 0, modified = 0;
            if (!entry.empty()) {
                identity += entry;
                if (platform.files().FileStamp(entry, size, modified))
                    identity += L" " + DecimalText(size) + L" " + DecimalText(modified);
                identity += L"\n";
            }
            start = end + 1;
        }
    }
    return identity;
}

std::wstring SharingOptionAmong(const std::vector<std::wstring>& options) {
    static const wchar_t* const kOwn[] = {L"-Xshare:", L"-XX:SharedArchiveFile=", L"-XX:ArchiveClassesAtExit=",
                                          L"-XX:+AutoCreateSharedArchive", L"-XX:AOT", L"-XX:SharedClassListFile=",
                                          L"-XX:DumpLoadedClassList="};
    for (const std::wstring& option : options) {
        for (const wchar_t* prefix : kOwn) {
            if (StartsWith(option, prefix)) return option;
        }
    }
    return {};
}

int AssemblyRecording(const std::wstring& marker, const std::wstring& identity) {
    const bool vm = marker.size() == 13 && marker.compare(10, 3, kAssemblyVmSuffix) == 0;
    if (identity.size() != 8 || (marker.size() != 10 && !vm) || marker.compare(0, 8, identity) != 0 || marker[8] != L'.')
        return 0;
    for (wchar_t c : identity) {
        if (!IsHexDigit(c)) return 0;
    }
    const int n = marker[9] - L'0';
    return n >= 1 && n <= kCacheRecordings ? n : 0;
}

AssemblyRole CacheAssemblyRole(Platform& platform) {
    std::wstring marker;
    if (!platform.environment().GetEnvironment(kCacheAssemblyVariable, marker)) return AssemblyRole::none;
    const std::wstring suffix = kAssemblyVmSuffix;
    return marker.size() > suffix.size() && marker.compare(marker.size() - suffix.size(), suffix.size(), suffix) == 0
               ? AssemblyRole::vm
               : AssemblyRole::supervisor;
}

bool StartedToAssembleCache(Platform& platform) { return CacheAssemblyRole(platform) != AssemblyRole::none; }

std::wstring CacheFiles::File(int n, const wchar_t* ending) const {
    std::wstring path = folder + L"\\" + stem + L"-" + identity;
    if (n != 0) path += L"." + DecimalText(n);
    return path + ending;
}

std::vector<std::wstring> CacheOptions(Platform& platform, const CacheFiles& files, int featureRelease,
                                       const std::wstring& programPath, ClassDataRecording& recording) {
    const std::wstring cache = files.Cache();
    std::vector<std::wstring> options;
    std::wstring marker;
    if (platform.environment().GetEnvironment(kCacheAssemblyVariable, marker)) {
        const int n = AssemblyRecording(marker, files.identity);
        if (n == 0 || !platform.files().FileExists(files.Configuration(n))) {
            TraceLine(platform, L"nothing to assemble for ", marker);
            return {};
        }
        TraceLine(platform, L"assembling the ahead-of-time cache ", cache);
        recording.mappedCache = cache;
        recording.assemblyProgram = programPath;
        recording.assemblyMarker = marker;
        recording.cacheRecording = files.Configuration(n);
        recording.assembling = files.Assembling(n);
        AddOption(options, L"-XX:AOTMode=create");
        AddOption(options, L"-XX:AOTConfiguration=", platform.files().VmPath(recording.cacheRecording));
        AddOption(options, L"-XX:AOTCache=", platform.files().VmPath(recording.assembling));
    } else if (platform.files().FileExists(cache)) {
        TraceLine(platform, L"using the ahead-of-time cache ", cache);
        recording.mappedCache = cache;
        for (int n = 1; n <= kCacheRecordings; ++n) {
            recording.recordingFiles.push_back(files.Ticket(n));
            recording.recordingFiles.push_back(files.Configuration(n));
            recording.recordingFiles.push_back(files.Assembling(n));
        }
        AddOption(options, L"-XX:AOTCache=", platform.files().VmPath(cache));
    } else {
        if (!platform.files().CanWriteIn(files.folder)) {
            TraceLine(platform, L"no ahead-of-time cache, cannot write in ", files.folder);
            return {};
        }
        int n = 1;
        while (n <= kCacheRecordings && !platform.files().CreateNewFile(files.Ticket(n))) ++n;
        if (n > kCacheRecordings) {
            TraceLine(platform, L"no ahead-of-time cache, its recordings made none; remove ", files.Ticket(1),
                      L" to record again");
            return {};
        }
        RemoveOtherIdentities(platform, files);
        TraceLine(platform, L"recording for the ahead-of-time cache ", cache, (L", ticket " + DecimalText(n)).c_str());
        recording.cacheRecording = files.Configuration(n);
        recording.assemblyProgram = programPath;
        recording.assemblyMarker = files.identity + L"." + DecimalText(n);
        AddOption(options, L"-XX:AOTMode=record");
        AddOption(options, L"-XX:AOTConfiguration=", platform.files().VmPath(recording.cacheRecording));
        // The runtime tells on standard output, outside its log, that it has
        // recorded; only the diagnostic DisplayVMOutput keeps that line back.
        AddOption(options, L"-XX:+UnlockDiagnosticVMOptions");
        AddOption(options, L"-XX:-DisplayVMOutput");
    }
    AddQuietLogs(featureRelease, options);
    return options;
}

void ConfirmMappedCache(Platform& platform, JNIEnv* env, const ClassDataRecording& recording) {
    if (recording.mappedCache.empty() || !recording.assembling.empty() || env == nullptr) return;
    jclass sharing = env->FindClass("jdk/internal/misc/CDS");
    jmethodID isUsingArchive = sharing == nullptr ? nullptr : env->GetStaticMethodID(sharing, "isUsingArchive", "()Z");
    bool mapped = true;  // by a runtime that does not say
    if (isUsingArchive != nullptr) mapped = env->CallStaticBooleanMethod(sharing, isUsingArchive) == JNI_TRUE;
    if (env->ExceptionCheck()) {
        env->ExceptionClear();
        mapped = true;
    }
    if (sharing != nullptr) env->DeleteLocalRef(sharing);
    if (!mapped) {
        platform.files().RemoveFile(recording.mappedCache);
        TraceLine(platform, L"the runtime did not map " + recording.mappedCache + L": removed, the next start records again");
        return;
    }
    for (const std::wstring& file : recording.recordingFiles) {
        if (platform.files().FileExists(file)) platform.files().RemoveFile(file);
    }
}

void StartCacheAssembly(Platform& platform, ClassDataRecording& recording) {
    if (recording.cacheRecording.empty() || !recording.assembling.empty()) return;
    const std::wstring configuration = recording.cacheRecording;
    recording.cacheRecording.clear();
    if (!platform.files().FileExists(configuration)) {
        TraceLine(platform, L"the runtime recorded nothing in " + configuration + L", no cache assembled");
        return;
    }
    std::uint32_t exitCode = 0;
    SystemError error;
    if (platform.processes().StartBackgroundProcess(recording.assemblyProgram, platform.environment().CommandLine(),
                                                    kCacheAssemblyVariable, recording.assemblyMarker, false, exitCode,
                                                    error)) {
        TraceLine(platform, L"assembling the cache from " + configuration + L" in the background");
        return;
    }
    TraceLine(platform, L"the assembly process could not be started (error " + DecimalText(ErrorNumber(error)) + L")");
    platform.files().RemoveFile(configuration);
}

std::uint32_t SuperviseCacheAssembly(Platform& platform, const ClassDataRecording& recording) {
    if (recording.assembling.empty()) return 0;
    platform.files().RemoveFile(recording.assembling);
    std::uint32_t exitCode = 1;
    SystemError error;
    const bool started = platform.processes().StartBackgroundProcess(
        recording.assemblyProgram, platform.environment().CommandLine(), kCacheAssemblyVariable,
        recording.assemblyMarker + kAssemblyVmSuffix, true, exitCode, error);
    const bool written = started && exitCode == 0 && platform.files().FileExists(recording.assembling);
    if (written && platform.files().RenameFile(recording.assembling, recording.mappedCache)) {
        TraceLine(platform, L"ahead-of-time cache assembled: " + recording.mappedCache);
    } else {
        TraceLine(platform,
                  started ? L"the assembly VM ended with " + DecimalText(exitCode) + L", no cache"
                          : L"the assembly VM could not be started (error " + DecimalText(ErrorNumber(error)) + L")");
        platform.files().RemoveFile(recording.assembling);
    }
    platform.files().RemoveFile(recording.cacheRecording);
    return 0;
}

std::uint32_t AssembleCache(Platform& platform, CreateJavaVmFunction createJavaVm, const VmStart& start) {
    const ClassDataRecording& recording = start.classData;
    if (recording.assembling.empty() || createJavaVm == nullptr) return 1;
    std::unique_ptr<JavaVMOption[]> options(new JavaVMOption[start.options.size()]);
    jint count = 0;
    for (const std::string& option : start.options) {
        // The log files of the parameters are the application's: this VM
        // would write over the recording start's.
        if (option.compare(0, 5, "-Xlog") == 0) continue;
        // JNI declares the strings modifiable; the VM only reads them.
        options[count++] = JavaVMOption{const_cast<char*>(option.c_str()), nullptr};
        TraceLine(platform, L"option " + platform.environment().FromAnsi(option));
    }
    JavaVMInitArgs args;
    args.version = JNI_VERSION_1_2;
    args.nOptions = count;
    args.options = options.get();
    args.ignoreUnrecognized = JNI_FALSE;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    const jint result = createJavaVm(&vm, reinterpret_cast<void**>(&env), &args);
    // The runtime ends the process with 0 once the cache is written: back here, it was not.
    TraceLine(platform, L"the assembly VM came back with " + DecimalText(result));
    return 1;
}

}  // namespace zorv
