// How zorvtool writes its results: through a temporary file of a fresh name
// beside the target, created exclusively (so neither a file nor a link that
// someone planted there is opened), read back and compared, then renamed
// over the target. The target is either the old file or the whole new one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "tool/resource_tree.h"

namespace zorv::tool {

bool WriteAtomically(const std::filesystem::path& path, const Bytes& bytes);
// The same with the temporary names' suffixes drawn from `nextSalt`, so that
// a test can plant a file or a link at the very names the tool will try.
bool WriteAtomically(const std::filesystem::path& path, const Bytes& bytes, const std::function<std::uint32_t()>& nextSalt);
// "<path>.<salt in 8 hex digits>.tmp"
std::filesystem::path TemporaryBeside(const std::filesystem::path& path, std::uint32_t salt);

// A file that did not exist before: the system half of the above.
class NewFile {
public:
    enum Created { created, nameTaken, failed };

    NewFile() = default;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile() { Close(); }

    // Creates the file for reading and writing; never follows a link.
    Created Create(const std::filesystem::path& path);
    bool Write(const Bytes& bytes);
    // The file's whole content, read again from the start.
    bool ReadBack(Bytes& bytes);
    // Flushed to the disk before closing, so that a rename after it cannot
    // leave an empty target after a crash.
    bool Close();

private:
    int descriptor_ = -1;
};

}  // namespace zorv::tool
