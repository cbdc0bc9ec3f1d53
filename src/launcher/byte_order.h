// Little-endian fields (PE images, resource and icon files, the single-instance
// block, MD5 words), read and written byte by byte so that neither the host's
// byte order nor alignment matters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorv {

inline std::uint16_t Get16(const unsigned char* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }

inline std::uint32_t Get32(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

inline void Set16(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

inline void Set32(unsigned char* at, std::uint32_t value) {
    Set16(at, value);
    Set16(at + 2, value >> 16);
}

inline void Put16(std::vector<unsigned char>& out, std::uint32_t value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

inline void Put32(std::vector<unsigned char>& out, std::uint32_t value) {
    Put16(out, value);
    Put16(out, value >> 16);
}

inline void PadTo(std::vector<unsigned char>& out, std::size_t alignment) {
    while (out.size() % alignment != 0) out.push_back(0);
}

inline std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

}  // namespace zorv
