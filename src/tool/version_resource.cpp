#include "tool/version_resource.h"

#include <cstdlib>

#include "launcher/byte_order.h"

namespace zorv::tool {
namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::size_t kFixedSize = 52;

// Real version information nests four levels deep (the root, the string
// block, a table, a text); the data could ask for thousands.
constexpr int kDeepestNode = 16;
constexpr std::size_t kLargestNode = 0xFFFF;

bool ParseAt(const Bytes& bytes, std::size_t start, std::size_t limit, int depth, VersionNode& node) {
    if (start + 6 > limit || depth > kDeepestNode) return false;
    const std::size_t end = start + Get16(&bytes[start]);
    const std::size_t valueLength = Get16(&bytes[start + 2]);
    node.isText = Get16(&bytes[start + 4]) == 1;
    if (end > limit || end < start + 6) return false;
    std::size_t at = start + 6;
    for (; at + 2 <= end && Get16(&bytes[at]) != 0; at += 2) node.key.push_back(static_cast<char16_t>(Get16(&bytes[at])));
    if (at + 2 > end) return false;
    at = start + AlignUp(static_cast<std::uint32_t>(at + 2 - start), 4);
    // Some compilers count a text value in bytes, some in characters: the
    // terminating NUL ends it either way.
    const std::size_t valueEnd = std::min(end, at + (node.isText ? 2 * valueLength : valueLength));
    if (node.isText) {
        for (std::size_t i = at; i + 2 <= valueEnd && Get16(&bytes[i]) != 0; i += 2) {
            node.text.push_back(static_cast<char16_t>(Get16(&bytes[i])));
        }
    } else if (at < valueEnd) {
        node.binary.assign(bytes.begin() + at, bytes.begin() + valueEnd);
    }
    at = start + AlignUp(static_cast<std::uint32_t>(std::max(at, valueEnd) - start), 4);
    while (at + 6 <= end) {
        VersionNode child;
        if (!ParseAt(bytes, at, end, depth + 1, child)) return false;
        at = start + AlignUp(static_cast<std::uint32_t>(at + Get16(&bytes[at]) - start), 4);
        node.children.push_back(std::move(child));
    }
    return true;
}

VersionNode* Child(VersionNode& node, const std::u16string& key) {
    for (VersionNode& child : node.children) {
        if (child.key == key) return &child;
    }
    return nullptr;
}

VersionNode& ChildOrNew(VersionNode& node, const std::u16string& key, bool isText) {
    if (VersionNode* child = Child(node, key)) return *child;
    VersionNode child;
    child.key = key;
    child.isText = isText;
    node.children.push_back(std::move(child));
    return node.children.back();
}

VersionNode NewVersionInfo() {
    VersionNode root;
    root.key = u"VS_VERSION_INFO";
    ChildOrNew(ChildOrNew(root, u"StringFileInfo", true), u"040904B0", true);
    VersionNode& translation = ChildOrNew(ChildOrNew(root, u"VarFileInfo", true), u"Translation", false);
    translation.binary = {0x09, 0x04, 0xB0, 0x04};  // US English, Unicode
    return root;
}

void SetFixed(Bytes& fixed, std::size_t offset, const VersionNumbers& numbers) {
    Set32(&fixed[offset], static_cast<std::uint32_t>(numbers[0]) << 16 | numbers[1]);
    Set32(&fixed[offset + 4], static_cast<std::uint32_t>(numbers[2]) << 16 | numbers[3]);
}

std::u16string FixedText(const Bytes& fixed, std::size_t offset) {
    std::u16string text;
    for (int part = 0; part < 4; ++part) {
        const std::uint32_t half = Get32(&fixed[offset + 4 * (part / 2)]);
        const std::string number = std::to_string(part % 2 == 0 ? half >> 16 : half & 0xFFFF);
        text += (part == 0 ? u"" : u".") + std::u16string(number.begin(), number.end());
    }
    return text;
}

}  // namespace

bool ParseVersionNode(const Bytes& bytes, VersionNode& root) {
    root = VersionNode();
    return ParseAt(bytes, 0, bytes.size(), 0, root);
}

bool BuildVersionNode(const VersionNode& node, Bytes& out) {
    out.assign(6, 0);
    for (char16_t unit : node.key) Put16(out, unit);
    Put16(out, 0);
    PadTo(out, 4);
    if (node.isText) {
        if (!node.text.empty()) {
            for (char16_t unit : node.text) Put16(out, unit);
            Put16(out, 0);
            Set16(&out[2], static_cast<std::uint32_t>(node.text.size() + 1));
        }
    } else {
        out.insert(out.end(), node.binary.begin(), node.binary.end());
        Set16(&out[2], static_cast<std::uint32_t>(node.binary.size()));
    }
    Set16(&out[4], node.isText ? 1 : 0);
    for (const VersionNode& child : node.children) {
        PadTo(out, 4);
        Bytes bytes;
        if (!BuildVersionNode(child, bytes)) return false;
        out.insert(out.end(), bytes.begin(), bytes.end());
        if (out.size() > kLargestNode) return false;
    }
    // Every length is a 16-bit field: more would be cut short and the rest
    // of the data lost on the next read.
    if (out.size() > kLargestNode) return false;
    Set16(&out[0], static_cast<std::uint32_t>(out.size()));
    return true;
}

bool ParseVersionNumbers(const std::string& text, VersionNumbers& numbers) {
    numbers = {0, 0, 0, 0};
    std::size_t part = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = text.find('.', start);
        const std::string digits = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part == 4 || digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        const unsigned long value = std::strtoul(digits.c_str(), nullptr, 10);
        if (value > 0xFFFF) return false;
        numbers[part++] = static_cast<std::uint16_t>(value);
        if (dot == std::string::npos) return true;
        start = dot + 1;
    }
}

bool BrandedVersion(const Bytes* existing, const VersionFields& fields, Bytes& branded) {
    VersionNode root;
    if (existing == nullptr || !ParseVersionNode(*existing, root) || root.key != u"VS_VERSION_INFO") root = NewVersionInfo();
    if (root.binary.size() < kFixedSize || Get32(root.binary.data()) != kFixedSignature) {
        root.binary.assign(kFixedSize, 0);
        Set32(&root.binary[0], kFixedSignature);
        Set32(&root.binary[4], 0x00010000);  // structure version 1.0
        Set32(&root.binary[24], 0x3F);       // every flag meaningful
        Set32(&root.binary[32], 0x00040004); // Windows NT, 32-bit API
        Set32(&root.binary[36], 1);          // an application
    }
    root.isText = false;
    VersionNode& strings = ChildOrNew(root, u"StringFileInfo", true);
    if (strings.children.empty()) ChildOrNew(strings, u"040904B0", true);
    VersionNode& table = strings.children.front();
    auto set = [&table](const std::u16string& key, const std::u16string& value) {
        VersionNode& node = ChildOrNew(table, key, true);
        node.isText = true;
        node.text = value;
    };
    if (fields.version) {
        SetFixed(root.binary, 8, *fields.version);
        SetFixed(root.binary, 16, *fields.version);
        const std::u16string text(fields.versionText.begin(), fields.versionText.end());
        set(u"FileVersion", text);
        set(u"ProductVersion", text);
    }
    if (fields.productName) set(u"ProductName", *fields.productName);
    if (fields.company) set(u"CompanyName", *fields.company);
    if (fields.description) set(u"FileDescription", *fields.description);
    return BuildVersionNode(root, branded);
}

std::vector<std::pair<std::u16string, std::u16string>> VersionTexts(const VersionNode& root) {
    std::vector<std::pair<std::u16string, std::u16string>> texts;
    for (const VersionNode& block : root.children) {
        if (block.key != u"StringFileInfo") continue;
        for (const VersionNode& table : block.children) {
            for (const VersionNode& value : table.children) texts.push_back({value.key, value.text});
        }
    }
    if (root.binary.size() >= kFixedSize && Get32(root.binary.data()) == kFixedSignature) {
        texts.push_back({u"file version", FixedText(root.binary, 8)});
        texts.push_back({u"product version", FixedText(root.binary, 16)});
    }
    return texts;
}

}  // namespace zorv::tool
