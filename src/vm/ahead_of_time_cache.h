// The ahead-of-time cache that runtimes from JDK 24 on keep of an
// application's classes, loaded and linked, with their lambda and string
// concatenation call sites resolved: what "Class Data Sharing=auto" keeps
// there instead of a class-data archive.
//
// The first start records what the application loads; when it has ended,
// a background copy of this program starts another, whose VM assembles the
// cache from that recording under a temporary name and ends the process;
// once that ended well the first renames the cache into place. Later starts
// map it. The
// runtime checks a cache against itself, the class path, the module options
// and the heap's shape, and ignores one that does not fit: so each such
// identity has a name of its own, and one the runtime still refuses is
// removed, to be recorded again.
#pragma once

#include <jni.h>

#include <cstdint>
#include <string>
#include <vector>

#include "launcher/platform.h"
#include "runtime/jvm_library.h"
#include "vm/vm_options.h"

namespace zorv {

constexpr int kFirstCacheRelease = 24;
// Recordings one identity gets without a cache mapped in between: each
// recording start takes the next numbered ticket file, a start that maps the
// cache gives them all back, and with every ticket taken nothing is recorded.
constexpr int kCacheRecordings = 3;
// The environment variable that makes this program an assembly process:
// "<identity>.<recording number>" the one that waits for the VM and gives the
// cache its name, that and kAssemblyVmSuffix the one whose VM writes it.
extern const wchar_t kCacheAssemblyVariable[];
constexpr wchar_t kAssemblyVmSuffix[] = L".vm";

// The options among a VM's that decide how objects are laid out in the heap
// and which collector it has: a cache made under others is refused.
std::wstring HeapShapeOptionsIdentity(const std::vector<std::wstring>& options);

// Each entry of every class path among the options, with its size and time
// of last change: the runtime refuses a cache whose jars have changed.
std::wstring ClassPathIdentity(Platform& platform, const std::vector<std::wstring>& options);

// The first option that chooses class data sharing itself (-Xshare:...,
// an archive or a cache of its own), or empty.
std::wstring SharingOptionAmong(const std::vector<std::wstring>& options);

// One identity's files in the cache folder: "<stem>-<identity>.aot" the cache,
// ".<n>.aotconf" recording n, ".<n>.aot.part" its cache being assembled,
// ".<n>.ticket" the ticket it took.
struct CacheFiles {
    std::wstring folder;    // without trailing "\"
    std::wstring stem;      // "<program>-<version>-<runtime folder hash>", shared by the program's other identities
    std::wstring identity;  // ClassDataHash of what the runtime checks beyond itself

    std::wstring Cache() const { return File(0, L".aot"); }
    std::wstring Configuration(int n) const { return File(n, L".aotconf"); }
    std::wstring Assembling(int n) const { return File(n, L".aot.part"); }
    std::wstring Ticket(int n) const { return File(n, L".ticket"); }

private:
    // Recording n's file with this ending; the identity's own for 0.
    std::wstring File(int n, const wchar_t* ending) const;
};

// The recording an assembly process was started for: its number, or 0 when
// the variable's value is anything but this identity and a number in range.
int AssemblyRecording(const std::wstring& marker, const std::wstring& identity);
enum class AssemblyRole { none, supervisor, vm };
AssemblyRole CacheAssemblyRole(Platform& platform);
// Whether this process was started to assemble a cache.
bool StartedToAssembleCache(Platform& platform);

// The options for this start, and what it does in `recording`: map the
// cache, assemble it (in the assembly process), or record for it, taking a
// ticket and removing the files of the program's other identities; none
// when every ticket is taken or the folder cannot be written.
std::vector<std::wstring> CacheOptions(Platform& platform, const CacheFiles& files, int featureRelease,
                                       const std::wstring& programPath, ClassDataRecording& recording);

// After the VM's creation: a cache it was given but does not use is removed,
// so that the next start records again; one it maps gives the tickets back.
void ConfirmMappedCache(Platform& platform, JNIEnv* env, const ClassDataRecording& recording);

// Once the recording VM has ended: starts the assembly process, when the
// runtime wrote the recording. Nothing waits for it.
void StartCacheAssembly(Platform& platform, ClassDataRecording& recording);

// The first assembly process: starts the second, waits for it, and gives the
// cache it wrote its name when it ended with 0; its exit code.
std::uint32_t SuperviseCacheAssembly(Platform& platform, const ClassDataRecording& recording);
// The second one's VM creation, which the runtime ends with the process once
// the cache is written; returns only when that did not happen, with 1.
std::uint32_t AssembleCache(Platform& platform, CreateJavaVmFunction createJavaVm, const VmStart& start);

}  // namespace zorv
