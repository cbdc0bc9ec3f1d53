// Which file of a runtime folder is its JVM library, and which architecture
// an image is built for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "launcher/launcher.h"
#include "runtime/target_architecture.h"

namespace zorv {

// The first existing library of home (with trailing "\") in the order of the
// JVM type, or empty; isServer tells whether it is the server VM.
std::wstring FindJvmLibrary(Platform& platform, const std::wstring& home, JvmType type, bool& isServer);

// The Machine field of a PE image held in memory, read with every offset
// checked against the size; 0 when the bytes are not a well-formed PE image.
std::uint16_t PeImageMachine(const unsigned char* data, std::size_t size);

}  // namespace zorv
