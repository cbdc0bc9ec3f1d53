#include "launcher/environment.h"

namespace zorv {

std::wstring ExpandReferences(const std::wstring& text, const EnvironmentLookup& lookup) {
    std::wstring result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t open = text.find(L'%', pos);
        if (open == std::wstring::npos) break;
        std::size_t close = text.find(L'%', open + 1);
        if (close == std::wstring::npos) break;
        result.append(text, pos, open - pos);
        std::wstring value;
        if (close > open + 1 && lookup(text.substr(open + 1, close - open - 1), value)) {
            result += value;
            pos = close + 1;
        } else {
            result.append(text, open, close - open);
            pos = close;
        }
    }
    result.append(text, pos, std::wstring::npos);
    return result;
}

std::wstring VariableNameProblem(const std::wstring& name) {
    if (name.empty()) return L"is empty";
    for (wchar_t c : name) {
        if (c == L'=') return L"holds \"=\"";
        if (c < 0x20 || c == 0x7F) return L"holds a control character";
    }
    return std::wstring();
}

}  // namespace zorv
