// Version information from someone else: read, written back, read again to
// the same tree; and branded as the version command does.
#include <cstdlib>

#include "fuzz_input.h"
#include "tool/version_resource.h"

namespace {

bool Same(const zorv::tool::VersionNode& left, const zorv::tool::VersionNode& right) {
    if (left.key != right.key || left.isText != right.isText || left.text != right.text ||
        (!left.isText && left.binary != right.binary) || left.children.size() != right.children.size()) {
        return false;
    }
    for (std::size_t i = 0; i < left.children.size(); ++i) {
        if (!Same(left.children[i], right.children[i])) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorv::tool;
    const Bytes bytes(data, data + size);
    VersionNode root;
    if (ParseVersionNode(bytes, root)) {
        VersionTexts(root);
        Bytes written;
        VersionNode again;
        if (BuildVersionNode(root, written) && (!ParseVersionNode(written, again) || !Same(again, root))) std::abort();
    }
    zorv::fuzz::Input input(data, size);
    VersionFields fields;
    fields.version = VersionNumbers{1, 2, 3, static_cast<std::uint16_t>(input.Number(2))};
    fields.versionText = "1.2.3.4";
    // Mostly short, now and then past the 64 KiB a version resource holds.
    const std::uint64_t length = input.Number(1);
    fields.description = std::u16string(length == 0xFF ? 33000 : length, u'd');
    Bytes branded;
    if (BrandedVersion(&bytes, fields, branded) && (!ParseVersionNode(branded, root) || branded.size() > 0xFFFF)) {
        std::abort();
    }
    return 0;
}
