#include "launcher/command_line.h"

#include "launcher/text.h"

namespace zorv {
namespace {

std::size_t SkipSpaces(const std::wstring& text, std::size_t pos) {
    while (pos < text.size() && text[pos] == L' ') ++pos;
    return pos;
}

}  // namespace

std::vector<std::wstring> SplitArguments(const std::wstring& text) {
    std::vector<std::wstring> pieces;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == L'"') {
            ++pos;
            if (pos == text.size()) {
                pieces.emplace_back();
                break;
            }
            std::size_t close = text.find(L'"', pos);
            if (close == std::wstring::npos) {
                pieces.push_back(text.substr(pos));
                break;
            }
            pieces.push_back(text.substr(pos, close - pos));
            pos = SkipSpaces(text, close + 1);
        } else {
            std::size_t space = text.find(L' ', pos);
            if (space == std::wstring::npos) {
                pieces.push_back(text.substr(pos));
                break;
            }
            pieces.push_back(text.substr(pos, space - pos));
            pos = SkipSpaces(text, space);
        }
    }
    return pieces;
}

std::vector<std::wstring> ApplicationArgumentsFrom(const std::wstring& commandLine) {
    std::vector<std::wstring> pieces = SplitArguments(TrimWhiteSpace(commandLine));
    if (!pieces.empty()) pieces.erase(pieces.begin());
    return pieces;
}

}  // namespace zorv
