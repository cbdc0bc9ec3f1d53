#include "launcher/ini_document.h"

#include "launcher/text.h"

namespace zorv {
namespace {

bool IsControlOrSpace(wchar_t c) { return static_cast<unsigned>(c) <= 0x20; }

// Only CR LF ends a line: a lone CR or LF belongs to the line's text.
std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace

const std::wstring* IniDocument::Section::Find(const std::wstring& key) const {
    for (const auto& entry : entries_) {
        if (entry.first == key) return &entry.second;
    }
    return nullptr;
}

void IniDocument::Section::Add(std::wstring key, std::wstring value) {
    entries_.emplace_back(std::move(key), std::move(value));
}

IniDocument::Section* IniDocument::FindSection(const std::wstring& name) {
    for (auto& section : sections_) {
        if (section.Name() == name) return &section;
    }
    return nullptr;
}

const IniDocument::Section* IniDocument::FindSection(const std::wstring& name) const {
    return const_cast<IniDocument*>(this)->FindSection(name);
}

IniDocument::Section& IniDocument::AddSection(std::wstring name) {
    sections_.emplace_back(std::move(name));
    return sections_.back();
}

void IniDocument::Parse(const std::wstring& text) {
    sections_.clear();
    std::vector<std::wstring> lines = SplitLines(text);
    if (!lines.empty() && !lines.front().empty() && lines.front()[0] == L'\xFEFF') lines.front().erase(0, 1);

    // Index rather than pointer: AddSection may move the sections.
    std::size_t current = static_cast<std::size_t>(-1);
    for (const std::wstring& line : lines) {
        std::size_t begin = 0;
        while (begin < line.size() && IsControlOrSpace(line[begin])) ++begin;
        if (begin == line.size()) continue;
        std::size_t last = line.size();
        while (last > begin && IsControlOrSpace(line[last - 1])) --last;
        if (line[begin] == L'[' && line[last - 1] == L']' && last - 1 > begin) {
            AddSection(line.substr(begin + 1, last - 1 - begin - 1));
            current = sections_.size() - 1;
            continue;
        }
        std::size_t equals = line.find(L'=', begin);
        if (current == static_cast<std::size_t>(-1) || equals == std::wstring::npos) continue;
        sections_[current].Add(TrimWhiteSpace(line.substr(begin, equals - begin)),
                               TrimWhiteSpace(line.substr(equals + 1)));
    }
}

}  // namespace zorv
