#include "tool/class_file.h"

#include <cstdint>
#include <vector>

namespace zorv::tool {
namespace {

constexpr std::uint32_t kMagic = 0xCAFEBABE;
constexpr std::uint16_t kStatic = 0x0008;
enum Tag : unsigned char {
    kUtf8 = 1, kInteger = 3, kFloat = 4, kLong = 5, kDouble = 6, kClass = 7, kString = 8, kFieldRef = 9,
    kMethodRef = 10, kInterfaceMethodRef = 11, kNameAndType = 12, kMethodHandle = 15, kMethodType = 16,
    kDynamic = 17, kInvokeDynamic = 18, kModule = 19, kPackage = 20
};

// A cursor that fails, and stays failed, at the first read past the end.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    std::uint32_t Take(int width) {
        if (!Skip(static_cast<std::size_t>(width))) return 0;
        std::uint32_t value = 0;
        for (int i = 0; i < width; ++i) value = value << 8 | static_cast<unsigned char>(bytes_[at_ - width + i]);
        return value;
    }
    bool Skip(std::size_t count) {
        if (!ok_ || count > bytes_.size() - at_) return ok_ = false;
        at_ += count;
        return true;
    }
    std::string Text(std::size_t count) {
        std::size_t start = at_;
        return Skip(count) ? bytes_.substr(start, count) : std::string();
    }

private:
    const std::string& bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

// The constant pool's UTF-8 entries by index; other entries stay empty.
bool ReadConstantPool(Reader& in, std::vector<std::string>& texts) {
    const std::uint32_t count = in.Take(2);
    texts.assign(count, std::string());
    for (std::uint32_t index = 1; index < count && in.ok(); ++index) {
        switch (in.Take(1)) {
            case kUtf8: texts[index] = in.Text(in.Take(2)); break;
            case kClass: case kString: case kMethodType: case kModule: case kPackage: in.Skip(2); break;
            case kMethodHandle: in.Skip(3); break;
            case kInteger: case kFloat: case kFieldRef: case kMethodRef: case kInterfaceMethodRef:
            case kNameAndType: case kDynamic: case kInvokeDynamic: in.Skip(4); break;
            // Eight bytes take two slots.
            case kLong: case kDouble: in.Skip(8); ++index; break;
            default: return false;
        }
    }
    return in.ok();
}

void SkipAttributes(Reader& in) {
    for (std::uint32_t count = in.Take(2); count > 0 && in.ok(); --count) {
        in.Skip(2);
        in.Skip(in.Take(4));
    }
}

const std::string& TextAt(const std::vector<std::string>& texts, std::uint32_t index) {
    static const std::string none;
    return index < texts.size() ? texts[index] : none;
}

}  // namespace

MethodLookup FindStaticMethod(const std::string& classBytes, const std::string& name, const std::string& descriptor) {
    Reader in(classBytes);
    std::vector<std::string> texts;
    if (in.Take(4) != kMagic || !in.Skip(4) || !ReadConstantPool(in, texts)) return MethodLookup::unreadable;
    in.Skip(6);  // access flags, this class, super class
    in.Skip(2 * static_cast<std::size_t>(in.Take(2)));
    for (std::uint32_t fields = in.Take(2); fields > 0 && in.ok(); --fields) {
        in.Skip(6);
        SkipAttributes(in);
    }
    for (std::uint32_t methods = in.Take(2); methods > 0 && in.ok(); --methods) {
        const std::uint32_t flags = in.Take(2);
        const std::uint32_t nameIndex = in.Take(2);
        const std::uint32_t descriptorIndex = in.Take(2);
        if (in.ok() && (flags & kStatic) != 0 && TextAt(texts, nameIndex) == name &&
            TextAt(texts, descriptorIndex) == descriptor) {
            return MethodLookup::found;
        }
        SkipAttributes(in);
    }
    return in.ok() ? MethodLookup::absent : MethodLookup::unreadable;
}

}  // namespace zorv::tool
