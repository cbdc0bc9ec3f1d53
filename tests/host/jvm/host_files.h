// Whole files for the Linux tests: the parent writes settings before a child
// runs and reads what the child left behind.
#pragma once

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

namespace zorv::testing {

// The whole file, or empty when it cannot be read.
inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// A file or a folder.
inline bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

}  // namespace zorv::testing
