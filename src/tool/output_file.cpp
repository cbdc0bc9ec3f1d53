#include "tool/output_file.h"

#include <cstdio>
#include <random>
#include <string>

namespace zorv::tool {
namespace {

constexpr int kAttempts = 16;

bool WriteAndCompare(NewFile& file, const Bytes& bytes) {
    Bytes written;
    return file.Write(bytes) && file.ReadBack(written) && written == bytes && file.Close();
}

}  // namespace

std::filesystem::path TemporaryBeside(const std::filesystem::path& path, std::uint32_t salt) {
    static const char kDigits[] = "0123456789abcdef";
    std::string suffix = ".";
    for (int shift = 28; shift >= 0; shift -= 4) suffix.push_back(kDigits[(salt >> shift) & 0xF]);
    std::filesystem::path temporary = path;
    temporary += suffix + ".tmp";
    return temporary;
}

bool WriteAtomically(const std::filesystem::path& path, const Bytes& bytes) {
    std::random_device random;
    std::uint32_t attempt = 0;
    return WriteAtomically(path, bytes, [&] { return static_cast<std::uint32_t>(random()) ^ attempt++; });
}

bool WriteAtomically(const std::filesystem::path& path, const Bytes& bytes, const std::function<std::uint32_t()>& nextSalt) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::filesystem::path temporary = TemporaryBeside(path, nextSalt());
        NewFile file;
        const NewFile::Created created = file.Create(temporary);
        if (created == NewFile::nameTaken) continue;
        if (created == NewFile::failed) return false;
        std::error_code error;
        if (WriteAndCompare(file, bytes)) {
            std::filesystem::rename(temporary, path, error);
            if (!error) return true;
        }
        file.Close();
        std::filesystem::remove(temporary, error);
        return false;
    }
    return false;
}

}  // namespace zorv::tool
