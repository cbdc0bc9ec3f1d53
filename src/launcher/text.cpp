#include "launcher/text.h"

#include <cwctype>

namespace zorv {

std::wstring Replaced(std::wstring text, wchar_t from, wchar_t to) {
    for (wchar_t& c : text) {
        if (c == from) c = to;
    }
    return text;
}

std::wstring AsciiFolded(std::wstring text) {
    for (wchar_t& c : text) c = AsciiLower(c);
    return text;
}

bool SameIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

std::wstring TrimWhiteSpace(const std::wstring& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::iswspace(static_cast<std::wint_t>(text[begin]))) ++begin;
    while (end > begin && std::iswspace(static_cast<std::wint_t>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

bool ReadWholeNumber(const std::wstring& text, std::uint32_t most, std::uint32_t& value) {
    const std::wstring trimmed = TrimWhiteSpace(text);
    if (trimmed.empty()) return false;
    std::uint64_t number = 0;
    for (wchar_t c : trimmed) {
        if (c < L'0' || c > L'9') return false;
        number = number * 10 + static_cast<std::uint64_t>(c - L'0');
        if (number > most) return false;
    }
    value = static_cast<std::uint32_t>(number);
    return true;
}

}  // namespace zorv
