// The VM's options assembled from the settings and the chosen runtime, and
// the splitting of "Virtual Machine Parameters" into single options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/launcher_settings.h"
#include "launcher/platform.h"
#include "launcher/stage_outcome.h"
#include "runtime/runtime_search.h"

namespace zorv {

// Where the runtime records a class-data archive at its end, and the name it
// takes once that has succeeded; both empty when nothing is recorded. For an
// ahead-of-time cache (vm/ahead_of_time_cache.h): the cache this start maps,
// or the recording it makes and what the assembly process is started with.
struct ClassDataRecording {
    std::wstring beingRecorded;
    std::wstring archive;
    std::wstring mappedCache;     // in the assembly process: the name the cache takes
    std::wstring cacheRecording;  // where the runtime records, or the recording assembled from
    std::wstring assembling;      // in the assembly process: where the runtime writes the cache
    std::wstring assemblyProgram;
    std::wstring assemblyMarker;
    std::vector<std::wstring> recordingFiles;  // the mapped cache's tickets and leftovers, removed once it serves
};

// What the VM is created with, what main receives and where its standard
// streams go: the VM host's whole input.
struct VmStart {
    std::vector<std::string> options;     // ANSI code page, as the VM takes them
    std::vector<std::wstring> arguments;  // main's: the command line's, then "Cmd"'s
    OutputSettings output;                // the file names' variables expanded
    std::uint64_t threadStackSize = 0;    // for the thread main runs on; 0: the system's default
    ClassDataRecording classData;
};

// What the VM options are assembled from.
struct VmOptionSources {
    const ProgramFiles& files;
    const StartSettings& start;
    const VmSettings& vm;
    const OutputSettings& output;
    const InstanceSettings& instance;  // where class-data archives are kept
    const ChosenRuntime& runtime;
};

// The first space at or after pos outside a double-quoted stretch, or the
// text's length.
std::size_t FindOptionSeparator(const std::wstring& text, std::size_t pos);
// Only spaces separate; leading spaces give one empty option, trailing ones
// none. `starts`, when given, receives where each option begins in the text.
std::vector<std::wstring> TokeniseVmOptions(const std::wstring& text, std::vector<std::size_t>* starts = nullptr);
// -Dtitle="My App" becomes -Dtitle=My App; a doubled closing quote leaves one.
std::wstring RemoveQuotes(std::wstring option);

// One option of "Virtual Machine Parameters" as the java command takes it,
// and what the VM is given for it.
struct VmParameter {
    enum class Fate {
        passed,        // the VM takes `passed`
        dropped,       // nothing reaches the VM
        refused,       // the java command's own: the start stops, `useInstead` says what to write
        missingValue,  // a space form at the very end: the start stops
    };
    std::wstring written;  // quotes removed; a space form's two pieces with their space
    std::wstring passed;
    Fate fate = Fate::passed;
    const wchar_t* useInstead = nullptr;
    std::size_t firstToken = 0;  // index into the tokens it came from
};

// The tokens of TokeniseVmOptions as the java command reads them: the options
// it takes with a separate value ("--add-opens X", "-p X") are joined into the
// "--opt=value" form the VM takes; the ones only its command line knows are
// refused with the setting to use instead.
std::vector<VmParameter> ReadVmParameters(const std::vector<std::wstring>& tokens);

// The ";"-separated entries of a "Class Path" or "Module Path" value as
// files, each followed by ";"; a module path lists no "." or "..".
std::wstring ExpandPathList(Platform& platform, const std::wstring& value, const std::wstring& executablePath,
                            bool ofModules);
// sun.java.command as java forms it: what names the application, then the arguments.
std::wstring JavaCommandText(const std::wstring& launchTarget, const std::vector<std::wstring>& arguments);

// Adds the options that name the application, the parameters and the
// class-data archive's options to `vmStart`, and main's arguments, and
// where the streams go. The user is told, in a box owned by `owner`, when
// there is no class path to start from: nothing more is read, and the start
// goes on to a VM that then finds no main class. A parameter the VM must not
// get ends the start, with the setting to use instead.
StageOutcome AssembleVmOptions(Platform& platform, const VmOptionSources& sources, WindowHandle owner, VmStart& vmStart);

}  // namespace zorv
