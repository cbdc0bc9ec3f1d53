// Icon files from someone else, put into an executable whose icon groups
// come from the same bytes. A replaced group names one distinct icon per
// image, each present with that image's bytes.
#include <cstdlib>
#include <set>

#include "tool/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorv::tool;
    const Bytes file(data, data + size);
    std::vector<IconImage> images;
    if (!ParseIconFile(file, images)) return 0;
    std::vector<Resource> resources = {{IdKey(kTypeGroupIcon), IdKey(2), kLanguageUsEnglish, 0, file},
                                       {IdKey(kTypeGroupIcon), IdKey(5), kLanguageUsEnglish, 0, Bytes(file.rbegin(), file.rend())}};
    for (std::uint16_t id : GroupIconIds(file)) resources.push_back({IdKey(kTypeIcon), IdKey(id), kLanguageUsEnglish, 0, {}});
    if (!ReplaceIconGroup(resources, images)) return 0;
    const Resource* group = FindResource(resources, IdKey(kTypeGroupIcon), IdKey(2), kLanguageUsEnglish);
    if (group == nullptr) std::abort();
    const std::vector<std::uint16_t> ids = GroupIconIds(group->data);
    if (ids.size() != images.size() || std::set<std::uint16_t>(ids.begin(), ids.end()).size() != ids.size()) std::abort();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const Resource* icon = FindResource(resources, IdKey(kTypeIcon), IdKey(ids[i]), kLanguageUsEnglish);
        if (icon == nullptr || icon->data != images[i].data) std::abort();
    }
    return 0;
}
