// Icon files (.ico) and the icon group of an executable: one RT_GROUP_ICON
// directory naming RT_ICON resources, one per image.
#pragma once

#include <cstdint>
#include <vector>

#include "tool/resource_tree.h"

namespace zorv::tool {

struct IconImage {
    unsigned char width = 0, height = 0, colours = 0;
    std::uint16_t planes = 0, bitCount = 0;
    Bytes data;
};

// False when the bytes are not an icon file with at least one image, or
// its images claim more bytes than the file holds.
bool ParseIconFile(const Bytes& file, std::vector<IconImage>& images);

// Replaces the icon group the shell shows (the first in resource order) and
// the icons that only it used with these images, keeping the group's name and
// language; adds group 1 when there is none. False, with the resources in an
// unspecified state, when too few icon numbers are free for the images.
bool ReplaceIconGroup(std::vector<Resource>& resources, const std::vector<IconImage>& images);

// The icon numbers a group directory names.
std::vector<std::uint16_t> GroupIconIds(const Bytes& group);

}  // namespace zorv::tool
