#include "tool/tool_text.h"

#include <fstream>
#include <iterator>

namespace zorv::tool {
namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;
constexpr bool kSlashSeparates = std::filesystem::path::preferred_separator == '/';

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendWide(std::wstring& out, char32_t c) {
    if (kWideIsUtf16 && c >= 0x10000) {
        c -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (c >> 10));
        out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
        out += static_cast<wchar_t>(c);
    }
}

// False at the first malformed sequence.
bool DecodeUtf8(const std::string& bytes, std::size_t from, std::wstring& text) {
    for (std::size_t i = from; i < bytes.size();) {
        unsigned char lead = static_cast<unsigned char>(bytes[i]);
        int extra = lead < 0x80 ? 0 : lead >> 5 == 6 ? 1 : lead >> 4 == 14 ? 2 : lead >> 3 == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= bytes.size()) return false;
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if (next >> 6 != 2) return false;
            c = c << 6 | (next & 0x3F);
        }
        AppendWide(text, c);
        i += 1 + extra;
    }
    return true;
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (kWideIsUtf16 && c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            char32_t low = static_cast<char32_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::wstring FromUtf8(const std::string& bytes) {
    std::wstring text;
    if (DecodeUtf8(bytes, 0, text)) return text;
    text.clear();
    for (char byte : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    return text;
}

std::wstring DecodeSettingsText(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            char32_t unit = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
            if (!kWideIsUtf16 && unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
                char32_t low = static_cast<unsigned char>(bytes[i + 2]) | static_cast<unsigned char>(bytes[i + 3]) << 8;
                if (low >= 0xDC00 && low < 0xE000) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            text += static_cast<wchar_t>(unit);
        }
        return text;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return FromUtf8(bytes.substr(3));
    return FromUtf8(bytes);
}

std::filesystem::path FileSystemPath(const std::wstring& path) {
    if (kWideIsUtf16) return std::filesystem::path(path);
    return std::filesystem::u8path(ToUtf8(path));
}

std::wstring WidePath(const std::filesystem::path& path) {
    if (kWideIsUtf16) return path.wstring();
    return FromUtf8(path.u8string());
}

namespace {
std::wstring WithSeparator(std::wstring path, wchar_t from, wchar_t to) {
    if (!kSlashSeparates) return path;
    for (wchar_t& c : path) {
        if (c == from) c = to;
    }
    return path;
}
}  // namespace

std::wstring LauncherPathOf(const std::wstring& nativePath) { return WithSeparator(nativePath, L'/', L'\\'); }

std::wstring NativePathOf(const std::wstring& launcherPath) { return WithSeparator(launcherPath, L'\\', L'/'); }

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace zorv::tool
