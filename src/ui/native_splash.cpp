#include <type_traits>

#include "launcher/file_locations.h"
#include "launcher/launcher.h"

namespace zorv {
namespace {

// The runtime's splash library exports plain C functions, not JNI ones: on
// 32-bit Windows the C convention leaves the arguments for the caller to
// remove, where JNI's would have the callee remove them. It takes narrow
// strings in the ANSI code page.
using SplashInitFunction = void (*)();
using SplashLoadFileFunction = int (*)(const char* fileName);
using SplashSetFileJarNameFunction = void (*)(const char* fileName, const char* jarName);

#if defined(_WIN32)
// On x86 a stdcall pointer is a distinct type; these fail there if JNICALL creeps back.
static_assert(std::is_same<SplashLoadFileFunction, int(__cdecl*)(const char*)>::value, "C calling convention");
static_assert(std::is_same<SplashSetFileJarNameFunction, void(__cdecl*)(const char*, const char*)>::value,
              "C calling convention");
static_assert(std::is_same<CloseAction::Function, void(__cdecl*)()>::value, "C calling convention");
#endif

template <typename Function>
Function Entry(Platform& platform, ModuleHandle library, const char* name) {
    SystemError ignored;
    return reinterpret_cast<Function>(platform.libraries().LibrarySymbol(library, name, ignored));
}

}  // namespace

bool Launcher::StartNativeSplash(const std::wstring& libraryPath, const std::wstring& picturePath,
                                 const std::wstring& jvmLibraryPath) {
    // The library's own dependencies live beside it and beside the JVM library.
    if (libraryPath.find(L'\\') != std::wstring::npos) platform.libraries().AddLibraryFolder(FolderOf(libraryPath));
    if (jvmLibraryPath.find(L'\\') != std::wstring::npos)
        platform.libraries().AddLibraryFolder(FolderOf(jvmLibraryPath));
    SystemError error;
    ModuleHandle library = platform.libraries().LoadLibraryAt(libraryPath, error);
    if (library == nullptr) return false;

    auto init = Entry<SplashInitFunction>(platform, library, "SplashInit");
    auto loadFile = Entry<SplashLoadFileFunction>(platform, library, "SplashLoadFile");
    auto setFileJarName = Entry<SplashSetFileJarNameFunction>(platform, library, "SplashSetFileJarName");
    auto close = Entry<CloseAction::Function>(platform, library, "SplashClose");
    if (close != splash.nativeClose.Held()) splash.nativeClose.Replace(close);
    if (init == nullptr || loadFile == nullptr || setFileJarName == nullptr) return false;

    const std::string narrowPath = platform.environment().ToAnsi(platform.files().VmPath(picturePath));
    init();
    // A picture the library cannot load is its own business; our window stays away either way.
    loadFile(narrowPath.c_str());
    setFileJarName(narrowPath.c_str(), "");
    return true;
}

}  // namespace zorv
