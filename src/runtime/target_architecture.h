// What the build's own architecture decides: which JVM library images this
// process can load, which belong to the paired executable, and in which
// registry view the pair's runtimes are registered. The x64 launcher and its
// x86 pair are the same source; only these facts differ.
#pragma once

#include <cstdint>

#include "launcher/platform.h"

namespace zorv {

constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

struct TargetArchitecture {
    std::uint16_t ownMachine;   // PE Machine of the libraries this process loads
    std::uint16_t pairMachine;  // PE Machine of the libraries the pair loads
    RegistryView pairView;      // where the registry search's second pass looks
    const wchar_t* pairBits;    // "32-bit" or "64-bit", for the trace and the dialog
    const wchar_t* ownBits;
};

constexpr TargetArchitecture kX64Architecture = {kMachineAmd64, kMachineI386, RegistryView::wow32, L"32-bit",
                                                 L"64-bit"};
constexpr TargetArchitecture kX86Architecture = {kMachineI386, kMachineAmd64, RegistryView::wow64, L"64-bit",
                                                 L"32-bit"};

// The pointer width is the one target fact every compiler states the same
// way, so neither MSVC nor mingw-w64 needs a macro test here.
constexpr TargetArchitecture kBuildArchitecture = sizeof(void*) == 4 ? kX86Architecture : kX64Architecture;

}  // namespace zorv
