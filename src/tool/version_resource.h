// The version-information resource (VS_VERSIONINFO): a tree of keyed nodes
// whose root holds the fixed file information and whose "StringFileInfo"
// tables hold the texts Explorer shows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tool/resource_tree.h"

namespace zorv::tool {

struct VersionNode {
    std::u16string key;
    bool isText = false;
    std::u16string text;  // the value when isText, without its terminating NUL
    Bytes binary;         // the value otherwise
    std::vector<VersionNode> children;
};

// False when the bytes do not hold a well-formed node, or one nested deeper
// than any real version information.
bool ParseVersionNode(const Bytes& bytes, VersionNode& root);
// False when the node would exceed 64 KiB, which its 16-bit length cannot
// tell.
bool BuildVersionNode(const VersionNode& node, Bytes& out);

using VersionNumbers = std::array<std::uint16_t, 4>;

// "1", "1.2", "1.2.3" or "1.2.3.4", each part 0 to 65535; missing parts are 0.
bool ParseVersionNumbers(const std::string& text, VersionNumbers& numbers);

struct VersionFields {
    std::optional<VersionNumbers> version;
    std::string versionText;
    std::optional<std::u16string> productName, company, description;
};

// The existing resource (null for none) with the given fields replaced and
// every other value kept; FileVersion and ProductVersion follow the version.
// False when the result would exceed 64 KiB.
bool BrandedVersion(const Bytes* existing, const VersionFields& fields, Bytes& branded);

// The texts of every string table, then "file version" and "product version"
// from the fixed information, for showing.
std::vector<std::pair<std::u16string, std::u16string>> VersionTexts(const VersionNode& root);

}  // namespace zorv::tool
