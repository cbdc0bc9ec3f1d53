#include "tool/zip_directory.h"

#include <cstdint>

namespace zorv::tool {
namespace {

enum Signature : std::uint32_t { kEndSignature = 0x06054b50, kEntrySignature = 0x02014b50 };
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kEntryHeaderSize = 46;
constexpr std::size_t kLongestComment = 0xFFFF;

std::uint32_t Little(const std::string& bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The last end record whose comment length reaches exactly to the end, so a
// signature inside the comment is not taken for the record.
bool FindEndRecord(const std::string& bytes, std::size_t& at) {
    if (bytes.size() < kEndRecordSize) return false;
    std::size_t lowest =
        bytes.size() - kEndRecordSize > kLongestComment ? bytes.size() - kEndRecordSize - kLongestComment : 0;
    for (std::size_t candidate = bytes.size() - kEndRecordSize + 1; candidate-- > lowest;) {
        if (Little(bytes, candidate, 4) != kEndSignature) continue;
        if (candidate + kEndRecordSize + Little(bytes, candidate + 20, 2) != bytes.size()) continue;
        at = candidate;
        return true;
    }
    return false;
}

}  // namespace

bool ReadZipEntryNames(const std::string& bytes, std::vector<std::string>& names) {
    names.clear();
    std::size_t end = 0;
    if (!FindEndRecord(bytes, end)) return false;
    const std::uint32_t count = Little(bytes, end + 10, 2);
    const std::uint32_t size = Little(bytes, end + 12, 4);
    if (size > end) return false;
    // The recorded offset counts from the archive's start; an archive appended
    // to other data starts later, and the directory always ends at the record.
    std::size_t at = end - size;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (at + kEntryHeaderSize > end || Little(bytes, at, 4) != kEntrySignature) return false;
        const std::size_t nameLength = Little(bytes, at + 28, 2);
        const std::size_t extraLength = Little(bytes, at + 30, 2);
        const std::size_t commentLength = Little(bytes, at + 32, 2);
        if (at + kEntryHeaderSize + nameLength > end) return false;
        names.push_back(bytes.substr(at + kEntryHeaderSize, nameLength));
        at += kEntryHeaderSize + nameLength + extraLength + commentLength;
    }
    return true;
}

}  // namespace zorv::tool
