#include "launcher/utf8.h"

namespace zorv {
namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

void AppendWide(std::wstring& out, char32_t c) {
    if (kWideIsUtf16 && c >= 0x10000) {
        c -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (c >> 10));
        out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
        out += static_cast<wchar_t>(c);
    }
}

}  // namespace

std::size_t DecodeUtf8Point(const std::string& text, std::size_t i, char32_t& point) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                         : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        point = point << 6 | (next & 0x3F);
    }
    static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000)) return 0;
    return length;
}

void AppendUtf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | point >> 6));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | point >> 12));
        out.push_back(static_cast<char>(0x80 | (point >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | point >> 18));
        out.push_back(static_cast<char>(0x80 | (point >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
}

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
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t point = 0;
        std::size_t length = DecodeUtf8Point(bytes, i, point);
        if (length == 0) {
            text.clear();
            for (char byte : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(byte));
            return text;
        }
        AppendWide(text, point);
        i += length;
    }
    return text;
}

SettingsEncoding SettingsFileEncoding(const std::string& bytes, std::size_t& markLength) {
    markLength = 2;
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) return SettingsEncoding::utf16le;
    if (bytes.compare(0, 2, "\xFE\xFF") == 0) return SettingsEncoding::utf16be;
    markLength = 3;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return SettingsEncoding::utf8;
    markLength = 0;
    return SettingsEncoding::unmarked;
}

std::wstring FromUtf16Bytes(const std::string& bytes, std::size_t offset, bool bigEndian) {
    auto unitAt = [&](std::size_t i) -> char32_t {
        const char32_t first = static_cast<unsigned char>(bytes[i]);
        const char32_t second = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? first << 8 | second : second << 8 | first;
    };
    std::wstring text;
    for (std::size_t i = offset; i + 1 < bytes.size(); i += 2) {
        char32_t unit = unitAt(i);
        if (!kWideIsUtf16 && unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        text += static_cast<wchar_t>(unit);
    }
    return text;
}

std::wstring DecodeSettingsText(const std::string& bytes) {
    std::size_t mark = 0;
    switch (SettingsFileEncoding(bytes, mark)) {
        case SettingsEncoding::utf16le: return FromUtf16Bytes(bytes, mark, false);
        case SettingsEncoding::utf16be: return FromUtf16Bytes(bytes, mark, true);
        default: return FromUtf8(bytes.substr(mark));
    }
}

}  // namespace zorv
