// Offsets, sizes and counts read from someone else's file, checked in 64 bits
// so that no sum of two 32-bit fields wraps round to a small, harmless-looking
// number.
#pragma once

#include <cstdint>

namespace zorv::tool {

// Whether [offset, offset + size) lies within [0, total).
inline bool Fits(std::uint64_t offset, std::uint64_t size, std::uint64_t total) {
    return offset <= total && size <= total - offset;
}

inline std::uint64_t RoundUp(std::uint64_t value, std::uint64_t alignment) {
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

inline bool IsPowerOfTwo(std::uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

// The most zorvtool reads of one input file: far beyond any launcher, short of
// what 32-bit file offsets could address.
constexpr std::uint64_t kLargestInput = std::uint64_t{1} << 30;

}  // namespace zorv::tool
