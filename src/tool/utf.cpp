#include "tool/utf.h"

#include "launcher/utf8.h"

namespace zorv::tool {

std::u16string Utf16FromUtf8(const std::string& text, bool* valid) {
    std::u16string out;
    if (valid != nullptr) *valid = true;
    for (std::size_t i = 0; i < text.size();) {
        char32_t point = 0;
        std::size_t length = DecodeUtf8Point(text, i, point);
        if (length == 0) {
            if (valid != nullptr) *valid = false;
            point = static_cast<unsigned char>(text[i]);
            length = 1;
        }
        if (point >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(point));
        }
        i += length;
    }
    return out;
}

std::string Utf8FromUtf16(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t point = text[i];
        if (point >= 0xD800 && point < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            point = 0x10000 + ((point - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (point >= 0xD800 && point < 0xE000) {
            point = 0xFFFD;
        }
        AppendUtf8(out, point);
    }
    return out;
}

}  // namespace zorv::tool
