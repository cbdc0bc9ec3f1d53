#include "launcher/text.h"

#include <cwctype>

namespace zorv {

std::wstring Replaced(std::wstring text, wchar_t from, wchar_t to) {
    for (wchar_t& c : text) {
        if (c == from) c = to;
    }
    return text;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

std::wstring TrimWhiteSpace(const std::wstring& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::iswspace(static_cast<std::wint_t>(text[begin]))) ++begin;
    while (end > begin && std::iswspace(static_cast<std::wint_t>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

}  // namespace zorv
