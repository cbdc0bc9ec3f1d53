#include "tool/zip_directory.h"

#include <cstdint>
#include <utility>

#include "tool/inflate.h"

namespace zorv::tool {
namespace {

enum Signature : std::uint32_t { kEndSignature = 0x06054b50, kEntrySignature = 0x02014b50, kLocalSignature = 0x04034b50 };
enum Method : std::uint32_t { kStored = 0, kDeflated = 8 };
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kEntryHeaderSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
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

// Calls visit(name, entry offset) for each central directory entry, in
// order, and gives the archive's shift: where it starts in bytes minus where
// the directory says it starts. False when the directory is broken.
template <typename Visit>
bool ForEachEntry(const std::string& bytes, std::int64_t& shift, Visit visit) {
    std::size_t end = 0;
    if (!FindEndRecord(bytes, end)) return false;
    const std::uint32_t count = Little(bytes, end + 10, 2);
    const std::uint32_t size = Little(bytes, end + 12, 4);
    if (size > end) return false;
    // The recorded offset counts from the archive's start; an archive appended
    // to other data starts later, and the directory always ends at the record.
    std::size_t at = end - size;
    shift = static_cast<std::int64_t>(at) - static_cast<std::int64_t>(Little(bytes, end + 16, 4));
    for (std::uint32_t i = 0; i < count; ++i) {
        if (at + kEntryHeaderSize > end || Little(bytes, at, 4) != kEntrySignature) return false;
        const std::size_t nameLength = Little(bytes, at + 28, 2);
        const std::size_t extraLength = Little(bytes, at + 30, 2);
        const std::size_t commentLength = Little(bytes, at + 32, 2);
        if (at + kEntryHeaderSize + nameLength > end) return false;
        if (!visit(bytes.substr(at + kEntryHeaderSize, nameLength), at)) return true;
        at += kEntryHeaderSize + nameLength + extraLength + commentLength;
    }
    return true;
}

// The bytes of the entry whose directory record is at `entry`, stored or deflated.
bool ReadEntryData(const std::string& bytes, std::size_t entry, std::int64_t shift, std::size_t limit,
                   std::string& data) {
    const std::uint32_t method = Little(bytes, entry + 10, 2);
    const std::uint64_t packed = Little(bytes, entry + 20, 4);
    const std::uint64_t unpacked = Little(bytes, entry + 24, 4);
    const std::int64_t local = static_cast<std::int64_t>(Little(bytes, entry + 42, 4)) + shift;
    if (local < 0 || static_cast<std::uint64_t>(local) + kLocalHeaderSize > bytes.size() ||
        Little(bytes, static_cast<std::size_t>(local), 4) != kLocalSignature || unpacked > limit) {
        return false;
    }
    const std::uint64_t start = static_cast<std::uint64_t>(local) + kLocalHeaderSize +
                                Little(bytes, static_cast<std::size_t>(local) + 26, 2) +
                                Little(bytes, static_cast<std::size_t>(local) + 28, 2);
    if (start > bytes.size() || packed > bytes.size() - start) return false;
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(bytes.data()) + start;
    if (method == kStored) {
        data.assign(reinterpret_cast<const char*>(raw), static_cast<std::size_t>(packed));
        return packed == unpacked;
    }
    return method == kDeflated && Inflate(raw, static_cast<std::size_t>(packed), static_cast<std::size_t>(unpacked), data) &&
           data.size() == unpacked;
}

}  // namespace

bool ReadZipEntryNames(const std::string& bytes, std::vector<std::string>& names) {
    names.clear();
    std::int64_t shift = 0;
    return ForEachEntry(bytes, shift, [&](std::string name, std::size_t) {
        names.push_back(std::move(name));
        return true;
    });
}

bool ReadZipEntry(const std::string& bytes, const std::string& name, std::size_t limit, std::string& data) {
    data.clear();
    std::int64_t shift = 0;
    std::size_t found = 0;
    bool seen = false;
    if (!ForEachEntry(bytes, shift, [&](const std::string& entryName, std::size_t at) {
            if (entryName != name) return true;
            found = at;
            seen = true;
            return false;
        })) {
        return false;
    }
    return seen && ReadEntryData(bytes, found, shift, limit, data);
}

}  // namespace zorv::tool
