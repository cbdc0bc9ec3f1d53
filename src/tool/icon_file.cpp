#include "tool/icon_file.h"

#include <algorithm>
#include <set>

#include "launcher/byte_order.h"
#include "tool/byte_range.h"

namespace zorv::tool {
namespace {

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kFileEntrySize = 16;
constexpr std::size_t kGroupEntrySize = 14;
constexpr std::uint32_t kLastIconId = 0xFFFF;

bool IsGroup(const Resource& resource) { return resource.type == IdKey(kTypeGroupIcon); }

}  // namespace

bool ParseIconFile(const Bytes& file, std::vector<IconImage>& images) {
    images.clear();
    if (file.size() < kDirectorySize || Get16(&file[0]) != 0 || Get16(&file[2]) != 1) return false;
    const std::size_t count = Get16(&file[4]);
    if (count == 0 || file.size() < kDirectorySize + count * kFileEntrySize) return false;
    // Images that share their bytes would multiply the file in memory.
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* entry = &file[kDirectorySize + i * kFileEntrySize];
        const std::size_t size = Get32(entry + 8);
        const std::size_t offset = Get32(entry + 12);
        total += size;
        if (size == 0 || !Fits(offset, size, file.size()) || total > file.size()) return false;
        IconImage image;
        image.width = entry[0];
        image.height = entry[1];
        image.colours = entry[2];
        image.planes = Get16(entry + 4);
        image.bitCount = Get16(entry + 6);
        image.data.assign(file.begin() + offset, file.begin() + offset + size);
        images.push_back(std::move(image));
    }
    return true;
}

std::vector<std::uint16_t> GroupIconIds(const Bytes& group) {
    std::vector<std::uint16_t> ids;
    if (group.size() < kDirectorySize) return ids;
    const std::size_t count = Get16(&group[4]);
    for (std::size_t i = 0; i < count && kDirectorySize + (i + 1) * kGroupEntrySize <= group.size(); ++i) {
        ids.push_back(Get16(&group[kDirectorySize + i * kGroupEntrySize + 12]));
    }
    return ids;
}

bool ReplaceIconGroup(std::vector<Resource>& resources, const std::vector<IconImage>& images) {
    ResourceKey groupName = IdKey(1);
    std::uint16_t language = kLanguageUsEnglish;
    const Resource* first = nullptr;
    for (const Resource& resource : resources) {
        if (IsGroup(resource) && (first == nullptr || resource.name < first->name ||
                                  (resource.name == first->name && resource.language < first->language))) {
            first = &resource;
        }
    }
    if (first != nullptr) {
        groupName = first->name;
        language = first->language;
    }

    // Icons the old group used go, unless another group still names them.
    std::set<std::uint16_t> oldIcons, keptIcons;
    for (const Resource& resource : resources) {
        if (!IsGroup(resource)) continue;
        for (std::uint16_t id : GroupIconIds(resource.data)) (resource.name == groupName ? oldIcons : keptIcons).insert(id);
    }
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [&](const Resource& resource) {
                                       if (IsGroup(resource)) return resource.name == groupName;
                                       return resource.type == IdKey(kTypeIcon) && !resource.name.IsName() &&
                                              oldIcons.count(resource.name.id) != 0 &&
                                              keptIcons.count(resource.name.id) == 0;
                                   }),
                    resources.end());
    std::set<std::uint16_t> usedIcons;
    for (const Resource& resource : resources) {
        if (resource.type == IdKey(kTypeIcon) && !resource.name.IsName()) usedIcons.insert(resource.name.id);
    }

    Resource group{IdKey(kTypeGroupIcon), groupName, language, 0, {}};
    Put16(group.data, 0);
    Put16(group.data, 1);
    Put16(group.data, static_cast<std::uint32_t>(images.size()));
    std::uint32_t next = 1;
    for (const IconImage& image : images) {
        while (next <= kLastIconId && usedIcons.count(static_cast<std::uint16_t>(next)) != 0) ++next;
        if (next > kLastIconId) return false;
        usedIcons.insert(static_cast<std::uint16_t>(next));
        group.data.insert(group.data.end(), {image.width, image.height, image.colours, 0});
        Put16(group.data, image.planes);
        Put16(group.data, image.bitCount);
        Put32(group.data, static_cast<std::uint32_t>(image.data.size()));
        Put16(group.data, next);
        resources.push_back(Resource{IdKey(kTypeIcon), IdKey(static_cast<std::uint16_t>(next)), language, 0, image.data});
    }
    resources.push_back(std::move(group));
    return true;
}

}  // namespace zorv::tool
