#include "tool/resource_tree.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <tuple>

#include "launcher/byte_order.h"
#include "tool/byte_range.h"

namespace zorv::tool {
namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint16_t kResMemoryFlags = 0x1030;  // moveable, pure, discardable: what rc writes

class DirectoryReader {
public:
    DirectoryReader(const RvaReader& read, std::uint32_t root, std::vector<Resource>& out, std::string& problem)
        : read_(read), root_(root), out_(out), problem_(problem) {}

    bool Level(int level, std::uint32_t offset, Resource path) {
        // A directory reached again would be read again, and fan-out through
        // shared directories multiplies a few kilobytes into billions of
        // resources.
        if (!visited_.insert(offset).second) return Fail("one resource directory is reached twice");
        const unsigned char* header = At(offset, 16);
        if (header == nullptr) return Fail("a resource directory lies outside the image");
        const std::uint32_t count = Get16(header + 12) + Get16(header + 14);
        for (std::uint32_t i = 0; i < count; ++i) {
            const unsigned char* entry = At(offset + 16 + 8 * i, 8);
            if (entry == nullptr) return Fail("a resource directory lies outside the image");
            ResourceKey key;
            if (!Key(Get32(entry), key)) return false;
            const std::uint32_t target = Get32(entry + 4);
            const bool isDirectory = (target & kHighBit) != 0;
            if (isDirectory != (level < 2)) return Fail("its resource directory is not three levels deep");
            if (level == 0) path.type = key;
            if (level == 1) path.name = key;
            if (level < 2) {
                if (!Level(level + 1, target & ~kHighBit, path)) return false;
                continue;
            }
            if (key.IsName()) return Fail("a resource language is a name");
            if (!Datum(target, key.id, path)) return false;
        }
        return true;
    }

private:
    const unsigned char* At(std::uint32_t offset, std::uint32_t size) const {
        if (offset > 0xFFFFFFFFu - root_) return nullptr;
        return read_(root_ + offset, size);
    }

    bool Key(std::uint32_t field, ResourceKey& key) {
        if ((field & kHighBit) == 0) {
            if (field > 0xFFFF) return Fail("a resource number is out of range");
            key.id = static_cast<std::uint16_t>(field);
            return true;
        }
        const unsigned char* length = At(field & ~kHighBit, 2);
        if (length == nullptr) return Fail("a resource name lies outside the image");
        // An empty name would read as a number, and its units would start
        // where the section may already have ended.
        if (Get16(length) == 0) return Fail("a resource name is empty");
        const unsigned char* units = At((field & ~kHighBit) + 2, 2u * Get16(length));
        if (units == nullptr) return Fail("a resource name lies outside the image");
        for (std::uint32_t i = 0; i < Get16(length); ++i) key.name.push_back(static_cast<char16_t>(Get16(units + 2 * i)));
        return true;
    }

    bool Datum(std::uint32_t offset, std::uint16_t language, Resource resource) {
        // Each resource is copied: data that many entries share would be
        // copied once for each of them, a megabyte 265 times over.
        if (!visitedData_.insert(offset).second) return Fail("one resource data entry is reached twice");
        const unsigned char* entry = At(offset, 16);
        if (entry == nullptr) return Fail("a resource data entry lies outside the image");
        const std::uint32_t size = Get32(entry + 4);
        if (size != 0 && !Claim(Get32(entry), size)) return Fail("the data of two resources overlap");
        if (out_.size() == kMostResources) return Fail("it holds more than 65536 resources");
        bytes_ += size;
        if (bytes_ > kMostResourceBytes) return Fail("its resources hold more than 256 MiB");
        const unsigned char* data = size == 0 ? nullptr : read_(Get32(entry), size);
        if (size != 0 && data == nullptr) return Fail("resource data lies outside the image");
        resource.language = language;
        resource.codePage = Get32(entry + 8);
        if (size != 0) resource.data.assign(data, data + size);
        out_.push_back(std::move(resource));
        return true;
    }

    // Marks the data at [rva, rva + size) as one resource's; false when part
    // of it is another's already.
    bool Claim(std::uint32_t rva, std::uint32_t size) {
        const std::uint64_t end = std::uint64_t{rva} + size;
        auto after = claimed_.lower_bound(rva);
        if (after != claimed_.end() && after->first < end) return false;
        if (after != claimed_.begin() && std::prev(after)->second > rva) return false;
        claimed_.emplace_hint(after, rva, end);
        return true;
    }

    bool Fail(const char* why) {
        problem_ = why;
        return false;
    }

    const RvaReader& read_;
    std::uint32_t root_;
    std::vector<Resource>& out_;
    std::string& problem_;
    std::set<std::uint32_t> visited_;
    std::set<std::uint32_t> visitedData_;
    // The data ranges read so far, by their first RVA, to their end.
    std::map<std::uint64_t, std::uint64_t> claimed_;
    std::uint64_t bytes_ = 0;
};

struct NameGroup {
    ResourceKey key;
    std::vector<const Resource*> languages;
};

struct TypeGroup {
    ResourceKey key;
    std::vector<NameGroup> names;
};

std::vector<TypeGroup> Grouped(const std::vector<Resource>& sorted) {
    std::vector<TypeGroup> types;
    for (const Resource& resource : sorted) {
        if (types.empty() || types.back().key != resource.type) types.push_back({resource.type, {}});
        std::vector<NameGroup>& names = types.back().names;
        if (names.empty() || names.back().key != resource.name) names.push_back({resource.name, {}});
        names.back().languages.push_back(&resource);
    }
    return types;
}

void WriteDirectory(Bytes& out, std::uint32_t offset, const std::vector<std::pair<const ResourceKey*, std::uint32_t>>& entries,
                    const std::map<std::u16string, std::uint32_t>& strings) {
    std::uint32_t named = 0;
    for (const auto& entry : entries) named += entry.first->IsName() ? 1 : 0;
    Set16(&out[offset + 12], named);
    Set16(&out[offset + 14], static_cast<std::uint32_t>(entries.size()) - named);
    std::uint32_t at = offset + 16;
    for (const auto& entry : entries) {
        const ResourceKey& key = *entry.first;
        Set32(&out[at], key.IsName() ? kHighBit | strings.at(key.name) : key.id);
        Set32(&out[at + 4], entry.second);
        at += 8;
    }
}

void PutKey(Bytes& out, const ResourceKey& key) {
    if (!key.IsName()) {
        Put16(out, 0xFFFF);
        Put16(out, key.id);
        return;
    }
    for (char16_t unit : key.name) Put16(out, unit);
    Put16(out, 0);
}

// A .res key at offset: an ordinal or a NUL-terminated string; false when it
// runs past the end.
bool TakeKey(const Bytes& file, std::size_t& offset, std::size_t end, ResourceKey& key) {
    if (offset + 4 <= end && Get16(&file[offset]) == 0xFFFF) {
        key.id = Get16(&file[offset + 2]);
        offset += 4;
        return true;
    }
    for (; offset + 2 <= end && key.name.size() <= kLongestResourceName; offset += 2) {
        const std::uint16_t unit = Get16(&file[offset]);
        if (unit == 0) {
            offset += 2;
            return !key.name.empty();
        }
        key.name.push_back(static_cast<char16_t>(unit));
    }
    return false;
}

const char* TypeName(std::uint16_t id) {
    static const char* const kNames[] = {nullptr,   "CURSOR",       "BITMAP", "ICON",       "MENU",     "DIALOG",
                                         "STRING",  "FONTDIR",      "FONT",   "ACCELERATOR", "RCDATA",  "MESSAGETABLE",
                                         "GROUP_CURSOR", nullptr,   "GROUP_ICON", nullptr,  "VERSION",  "DLGINCLUDE",
                                         nullptr,   "PLUGPLAY",     "VXD",    "ANICURSOR",  "ANIICON",  "HTML",
                                         "MANIFEST"};
    return id < sizeof kNames / sizeof kNames[0] ? kNames[id] : nullptr;
}

}  // namespace

bool operator<(const ResourceKey& left, const ResourceKey& right) {
    if (left.IsName() != right.IsName()) return left.IsName();
    return left.IsName() ? left.name < right.name : left.id < right.id;
}

std::string DescribeKey(const ResourceKey& key, bool isType) {
    if (key.IsName()) {
        std::string text = "\"";
        for (char16_t unit : key.name) text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        return text + "\"";
    }
    const char* name = isType ? TypeName(key.id) : nullptr;
    return name != nullptr ? name : (isType ? "#" : "") + std::to_string(key.id);
}

const Resource* FindResource(const std::vector<Resource>& resources, const ResourceKey& type, const ResourceKey& name,
                             std::uint16_t language) {
    for (const Resource& resource : resources) {
        if (resource.type == type && resource.name == name && resource.language == language) return &resource;
    }
    return nullptr;
}

void PutResource(std::vector<Resource>& resources, Resource resource) {
    for (Resource& existing : resources) {
        if (existing.type == resource.type && existing.name == resource.name && existing.language == resource.language) {
            existing = std::move(resource);
            return;
        }
    }
    resources.push_back(std::move(resource));
}

bool ParseResourceDirectory(const RvaReader& read, std::uint32_t rootRva, std::vector<Resource>& resources,
                            std::string& problem) {
    resources.clear();
    return DirectoryReader(read, rootRva, resources, problem).Level(0, 0, Resource());
}

bool BuildResourceSection(std::vector<Resource> resources, std::uint32_t sectionRva, Bytes& section,
                          std::string& problem) {
    if (resources.size() > kMostResources) {
        problem = "would hold more than 65536 resources";
        return false;
    }
    // Stable, so that resources a file lists twice keep their order and a
    // rewrite of a rewrite gives the same bytes.
    std::stable_sort(resources.begin(), resources.end(), [](const Resource& left, const Resource& right) {
        return std::tie(left.type, left.name, left.language) < std::tie(right.type, right.name, right.language);
    });
    const std::vector<TypeGroup> types = Grouped(resources);

    // Offsets of every directory, breadth first, then of everything after
    // them; summed in 64 bits and held to the cap before any is written.
    std::uint64_t next = 16 + 8 * std::uint64_t{types.size()};
    std::vector<std::uint32_t> typeDirectories;
    for (const TypeGroup& type : types) {
        typeDirectories.push_back(static_cast<std::uint32_t>(next));
        next += 16 + 8 * std::uint64_t{type.names.size()};
    }
    std::vector<std::vector<std::uint32_t>> nameDirectories(types.size());
    for (std::size_t t = 0; t < types.size(); ++t) {
        for (const NameGroup& name : types[t].names) {
            nameDirectories[t].push_back(static_cast<std::uint32_t>(next));
            next += 16 + 8 * std::uint64_t{name.languages.size()};
        }
    }
    const std::uint32_t dataEntries = static_cast<std::uint32_t>(next);
    next += 16 * std::uint64_t{resources.size()};
    std::map<std::u16string, std::uint32_t> strings;
    for (const Resource& resource : resources) {
        for (const ResourceKey* key : {&resource.type, &resource.name}) {
            if (!key->IsName() || strings.count(key->name) != 0) continue;
            if (key->name.size() > kLongestResourceName) {
                problem = "would have a resource name longer than 65535 units";
                return false;
            }
            strings[key->name] = static_cast<std::uint32_t>(next);
            next += 2 + 2 * std::uint64_t{key->name.size()};
        }
    }
    std::vector<std::uint32_t> dataOffsets;
    for (const Resource& resource : resources) {
        next = RoundUp(next, 8);
        if (next > kMostResourceBytes) break;
        dataOffsets.push_back(static_cast<std::uint32_t>(next));
        next += resource.data.size();
    }
    if (next > kMostResourceBytes) {
        problem = "would have resources over 256 MiB";
        return false;
    }

    Bytes out(next, 0);
    for (const auto& string : strings) {
        Set16(&out[string.second], static_cast<std::uint32_t>(string.first.size()));
        for (std::size_t i = 0; i < string.first.size(); ++i) Set16(&out[string.second + 2 + 2 * i], string.first[i]);
    }
    std::vector<std::pair<const ResourceKey*, std::uint32_t>> rootEntries;
    std::uint32_t datum = 0;
    for (std::size_t t = 0; t < types.size(); ++t) {
        rootEntries.push_back({&types[t].key, kHighBit | typeDirectories[t]});
        std::vector<std::pair<const ResourceKey*, std::uint32_t>> nameEntries;
        for (std::size_t n = 0; n < types[t].names.size(); ++n) {
            const NameGroup& name = types[t].names[n];
            nameEntries.push_back({&name.key, kHighBit | nameDirectories[t][n]});
            std::vector<ResourceKey> languageKeys;
            for (const Resource* resource : name.languages) languageKeys.push_back(IdKey(resource->language));
            std::vector<std::pair<const ResourceKey*, std::uint32_t>> languageEntries;
            for (std::size_t l = 0; l < name.languages.size(); ++l, ++datum) {
                const std::uint32_t entry = dataEntries + 16 * datum;
                languageEntries.push_back({&languageKeys[l], entry});
                Set32(&out[entry], sectionRva + dataOffsets[datum]);
                Set32(&out[entry + 4], static_cast<std::uint32_t>(name.languages[l]->data.size()));
                Set32(&out[entry + 8], name.languages[l]->codePage);
                std::copy(name.languages[l]->data.begin(), name.languages[l]->data.end(), out.begin() + dataOffsets[datum]);
            }
            WriteDirectory(out, nameDirectories[t][n], languageEntries, strings);
        }
        WriteDirectory(out, typeDirectories[t], nameEntries, strings);
    }
    WriteDirectory(out, 0, rootEntries, strings);
    section = std::move(out);
    return true;
}

Bytes BuildResFile(const std::vector<Resource>& resources) {
    // The empty first entry marks the file as 32-bit.
    Bytes out = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
    out.resize(32, 0);
    for (const Resource& resource : resources) {
        Bytes header;
        PutKey(header, resource.type);
        PutKey(header, resource.name);
        PadTo(header, 4);
        Put32(header, 0);
        Put16(header, kResMemoryFlags);
        Put16(header, resource.language);
        Put32(header, 0);
        Put32(header, 0);
        Put32(out, static_cast<std::uint32_t>(resource.data.size()));
        Put32(out, static_cast<std::uint32_t>(header.size() + 8));
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), resource.data.begin(), resource.data.end());
        PadTo(out, 4);
    }
    return out;
}

bool LooksLikeResFile(const Bytes& file) {
    static const unsigned char kStart[] = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
    return file.size() >= 32 && std::equal(std::begin(kStart), std::end(kStart), file.begin());
}

bool ParseResFile(const Bytes& file, std::vector<Resource>& resources) {
    resources.clear();
    if (!LooksLikeResFile(file)) return false;
    std::uint64_t offset = 32;
    std::uint64_t bytes = 0;
    while (offset + 8 <= file.size()) {
        const std::uint64_t dataSize = Get32(&file[offset]);
        const std::uint64_t headerSize = Get32(&file[offset + 4]);
        const std::uint64_t end = offset + headerSize;
        bytes += dataSize;
        if (headerSize < 8 + 16 || !Fits(end, dataSize, file.size())) return false;
        if (resources.size() == kMostResources || bytes > kMostResourceBytes) return false;
        Resource resource;
        std::size_t at = offset + 8;
        if (!TakeKey(file, at, end, resource.type) || !TakeKey(file, at, end, resource.name)) return false;
        at = RoundUp(at, 4);
        if (at + 16 > end) return false;
        resource.language = Get16(&file[at + 6]);
        resource.data.assign(file.begin() + end, file.begin() + end + dataSize);
        resources.push_back(std::move(resource));
        offset = RoundUp(end + dataSize, 4);
    }
    return offset == file.size();
}

}  // namespace zorv::tool
