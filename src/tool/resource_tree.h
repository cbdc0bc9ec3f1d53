// The resources of an image as a flat list, and the two forms they are stored
// in: the three-level directory of a PE resource section, and a .res file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zorv::tool {

using Bytes = std::vector<unsigned char>;

enum ResourceType : std::uint16_t {
    kTypeIcon = 3, kTypeRcData = 10, kTypeGroupIcon = 14, kTypeVersion = 16, kTypeManifest = 24
};

// Resource languages the tool writes: neutral for the settings, which the
// launcher asks for without a language, US English as rc and windres do.
enum ResourceLanguage : std::uint16_t { kLanguageNeutral = 0, kLanguageUsEnglish = 0x409 };

// A type or a name: a number, or (when name is not empty) a string.
struct ResourceKey {
    std::uint16_t id = 0;
    std::u16string name;

    bool IsName() const { return !name.empty(); }
    bool operator==(const ResourceKey& other) const { return id == other.id && name == other.name; }
    bool operator!=(const ResourceKey& other) const { return !(*this == other); }
};

inline ResourceKey IdKey(std::uint16_t id) { return ResourceKey{id, {}}; }

// Far above what any program carries; a file that claims more is hostile, and
// below them every offset of a rebuilt section stays well inside 31 bits.
constexpr std::size_t kMostResources = 65536;
constexpr std::uint64_t kMostResourceBytes = std::uint64_t{256} << 20;
constexpr std::size_t kLongestResourceName = 0xFFFF;

// The loader searches each directory level in halves, named entries first
// (by their units), then numbered ones: this is that order.
bool operator<(const ResourceKey& left, const ResourceKey& right);

struct Resource {
    ResourceKey type;
    ResourceKey name;
    std::uint16_t language = 0;
    std::uint32_t codePage = 0;
    Bytes data;
};

// "RCDATA 8000", "MANIFEST 1", "#5 \"NAME\"".
std::string DescribeKey(const ResourceKey& key, bool isType);

// The data of this exact resource, or null.
const Resource* FindResource(const std::vector<Resource>& resources, const ResourceKey& type,
                             const ResourceKey& name, std::uint16_t language);
// Replaces the resource of the same type, name and language, or adds it.
void PutResource(std::vector<Resource>& resources, Resource resource);

// Reads the bytes of the image at an RVA, null when the range lies outside it.
using RvaReader = std::function<const unsigned char*(std::uint32_t rva, std::uint32_t size)>;

// The resource directory whose root is at rootRva. False, with a reason, when
// it is damaged, deeper than the usual three levels, reaches a directory or a
// data entry twice, lets the data of two resources overlap or holds more than
// the caps above.
bool ParseResourceDirectory(const RvaReader& read, std::uint32_t rootRva, std::vector<Resource>& resources,
                            std::string& problem);

// A resource section for sectionRva: directories in search order, then data
// entries, names and the data, each datum on an 8-byte boundary. False, with a
// reason, when the resources exceed the caps above.
bool BuildResourceSection(std::vector<Resource> resources, std::uint32_t sectionRva, Bytes& section,
                          std::string& problem);

// A 32-bit .res file, as rc and windres write them and link them.
Bytes BuildResFile(const std::vector<Resource>& resources);
// False when the bytes are not such a file, or one beyond the caps above.
bool ParseResFile(const Bytes& file, std::vector<Resource>& resources);
bool LooksLikeResFile(const Bytes& file);

}  // namespace zorv::tool
