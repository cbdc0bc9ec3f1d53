// Which file of a runtime folder is its JVM library, and which architecture
// an image is built for.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "launcher/launcher_settings.h"
#include "launcher/stage_outcome.h"
#include "runtime/target_architecture.h"

namespace zorv {

using CreateJavaVmFunction = jint(JNICALL*)(JavaVM** vm, void** env, void* args);
using GetDefaultJavaVmInitArgsFunction = jint(JNICALL*)(void* args);
using FindClassFromBootLoaderFunction = jclass(JNICALL*)(JNIEnv* env, const char* name);

// The functions of a loaded JVM library the launcher calls.
struct JvmEntryPoints {
    CreateJavaVmFunction createJavaVm = nullptr;
    GetDefaultJavaVmInitArgsFunction getDefaultJavaVmInitArgs = nullptr;
    FindClassFromBootLoaderFunction findClassFromBootLoader = nullptr;  // null in runtimes without it
};

// The processors whose JVM libraries a start can take: the launcher's own,
// and the pair's when a Pair Product is there to start them.
struct StartableMachines {
    TargetArchitecture architecture = kBuildArchitecture;
    bool pairProduct = false;
};

// The first existing library of home (with trailing "\") in the order of the
// JVM type, or empty; isServer tells whether it is the server VM.
std::wstring FindJvmLibrary(Platform& platform, const std::wstring& home, JvmType type, bool& isServer);

// The Machine field of a PE image held in memory, read with every offset
// checked against the size; 0 when the bytes are not a well-formed PE image.
std::uint16_t PeImageMachine(const unsigned char* data, std::size_t size);

// False when the library is an image for a processor this launcher cannot
// load and no Pair Product takes; `machine` receives the image's (0 when
// unknown, which loading will judge).
bool CanRunJvmLibrary(Platform& platform, const StartableMachines& machines, const std::wstring& path,
                      std::uint16_t& machine);
// Whether the library is the pair's to load: true only with a Pair Product
// and an image of the pair's processor. The verdict goes to the trace.
bool HandsOverToPair(Platform& platform, const StartableMachines& machines, const std::wstring& jvmLibraryPath);
// Loads the library with its folder's neighbours and finds its entry
// points. When either fails the user is told, in a box owned by `owner`, and
// the start ends.
StageOutcome LoadJvmLibrary(Platform& platform, const std::wstring& path, WindowHandle owner, JvmEntryPoints& entries);

}  // namespace zorv
