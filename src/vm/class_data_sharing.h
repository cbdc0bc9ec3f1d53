// A class-data archive per application and runtime, kept so that later starts
// map the application's classes instead of loading and verifying them again.
#pragma once

#include <string>
#include <vector>

#include "runtime/version_number.h"
#include "vm/vm_options.h"

namespace zorv {

// The feature release of a runtime version: 8 for 1.8.0_151, 17 for 17.0.2;
// 0 when the version says nothing.
int FeatureRelease(const VersionNumber& version);

enum class ClassDataArchiveUse {
    none,                 // the runtime cannot keep an archive for the application
    createAutomatically,  // the runtime writes, checks and rewrites the archive itself
    recordAtExit,         // no archive yet: the runtime writes one when it ends
    useRecorded,          // map the archive an earlier start wrote
};

ClassDataArchiveUse ChooseClassDataArchiveUse(int featureRelease, bool archiveExists);

// The options among a VM's that decide its module graph, which an archive must
// be used with as it was made with: empty when there are none.
std::wstring ModuleOptionsIdentity(const std::vector<std::wstring>& options);

// 8 hex digits over the text, for names.
std::wstring ClassDataHash(const std::wstring& text);

// "<program>-<version>-<runtime>": what every archive and cache of this
// program and runtime is named by.
std::wstring ClassDataStem(const std::wstring& programPath, const std::wstring& runtimeVersion,
                           const std::wstring& runtimeHome);

// "<program>-<version>-<runtime>[-<modules>].jsa": the program's file name
// without its extension, the runtime version, a hash of the runtime's folder
// and one of the module options when there are any, so that neither two
// programs, two runtimes of one version nor two module configurations share
// an archive. Anything but ASCII letters, digits, "." and "-" becomes "_".
std::wstring ClassDataArchiveName(const std::wstring& programPath, const std::wstring& runtimeVersion,
                                  const std::wstring& runtimeHome, const std::wstring& moduleOptions = {});

// Runtimes refuse to archive classes from a directory that holds files, and
// end the process with an error when asked to; so every entry must be a
// ".jar" or ".zip" file or the program itself (an embedded jar). Empty
// entries do no harm.
bool ClassPathAllowsArchive(const std::wstring& classPath, const std::wstring& programPath);

// The VM options for the archive at archivePath.
std::vector<std::wstring> ClassDataArchiveOptions(ClassDataArchiveUse use, const std::wstring& archivePath);

// The options that keep a class-data archive, or from JDK 24 on an
// ahead-of-time cache, for this program and the runtime in runtimeHome (with
// trailing "\") started with the `working` options; none when its version is
// unknown or too old, or the archive's folder cannot be written. What is
// recorded at the VM's end is named in `recording`.
std::vector<std::wstring> ClassDataSharingOptions(Platform& platform, const VmOptionSources& sources,
                                                  const std::wstring& runtimeHome,
                                                  const std::vector<std::wstring>& working,
                                                  ClassDataRecording& recording);
// Puts those options at `position` among the working options, when every
// class path among them can be archived.
void AddClassDataSharingOptions(Platform& platform, const VmOptionSources& sources,
                                std::vector<std::wstring>& working, std::size_t position, VmStart& vmStart);
// Gives the archive the runtime recorded at its end its proper name, or
// starts the assembly of the cache it recorded for; only call once the VM
// has ended without failing.
void KeepRecordedClassDataArchive(Platform& platform, ClassDataRecording& recording);

}  // namespace zorv
