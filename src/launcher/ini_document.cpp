#include "launcher/ini_document.h"

#include "launcher/text.h"

namespace zorv {
namespace {

bool IsControlOrSpace(wchar_t c) { return static_cast<unsigned>(c) <= 0x20; }

// The blanks the profile functions drop around lines, names and values; 0x1A
// is the end-of-file mark old editors leave.
bool IsProfileSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r') || c == L'\x1A'; }

template <typename Blank>
std::wstring Trimmed(const std::wstring& text, Blank blank) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::wstring UpToNul(std::wstring text) {
    const std::size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return text;
}

std::wstring WithoutQuotes(std::wstring value) {
    if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

bool IniDocument::SameName(IniSyntax syntax, const std::wstring& a, const std::wstring& b) {
    if (syntax == IniSyntax::embedded) return a == b;
    return SameIgnoringAsciiCase(a, b);
}

const IniEntry* IniDocument::Section::FindEntry(const std::wstring& key) const {
    for (const IniEntry& entry : entries_) {
        if (IniDocument::SameName(syntax_, entry.key, key)) return &entry;
    }
    return nullptr;
}

void IniDocument::Section::Add(std::wstring key, std::wstring value, int line, bool hasEquals) {
    entries_.push_back(IniEntry{std::move(key), std::move(value), line, hasEquals});
}

IniDocument::Section* IniDocument::FindSection(const std::wstring& name) {
    for (auto& section : sections_) {
        if (SameName(section.Name(), name)) return &section;
    }
    return nullptr;
}

const IniDocument::Section* IniDocument::FindSection(const std::wstring& name) const {
    return const_cast<IniDocument*>(this)->FindSection(name);
}

const IniEntry* IniDocument::Find(const std::wstring& section, const std::wstring& key) const {
    if (syntax_ == IniSyntax::embedded) {
        const Section* found = FindSection(section);
        return found == nullptr ? nullptr : found->FindEntry(key);
    }
    // The profile functions drop the blanks around the names asked for too,
    // and the nameless section is the one of the lines before any header.
    const std::wstring sectionName = Trimmed(section, IsProfileSpace);
    const std::wstring keyName = Trimmed(key, IsProfileSpace);
    if (sectionName.empty()) {
        for (const IniEntry& entry : beforeSections_) {
            if (SameName(entry.key, keyName)) return &entry;
        }
        return nullptr;
    }
    const Section* found = FindSection(sectionName);
    return found == nullptr ? nullptr : found->FindEntry(keyName);
}

IniDocument::Section& IniDocument::AddSection(std::wstring name, int line) {
    sections_.emplace_back(std::move(name), line, syntax_);
    return sections_.back();
}

void IniDocument::ParseLine(const std::wstring& line, int number) {
    std::wstring name;
    std::wstring key;
    std::wstring value;
    bool header = false;
    bool hasEquals = true;
    if (syntax_ == IniSyntax::embedded) {
        const std::wstring text = Trimmed(line, IsControlOrSpace);
        if (text.empty()) return;
        header = text[0] == L'[' && text.back() == L']' && text.size() > 1;
        if (header) {
            name = text.substr(1, text.size() - 2);
        } else {
            const std::size_t equals = text.find(L'=');
            if (equals == std::wstring::npos) return;
            key = TrimWhiteSpace(text.substr(0, equals));
            value = TrimWhiteSpace(text.substr(equals + 1));
        }
    } else {
        const std::wstring text = Trimmed(line, IsProfileSpace);
        if (text.empty() || text[0] == L';') return;
        const std::size_t close = text[0] == L'[' ? text.rfind(L']') : std::wstring::npos;
        header = close != std::wstring::npos && close > 0;
        if (header) {
            name = UpToNul(Trimmed(text.substr(1, close - 1), IsProfileSpace));
        } else {
            const std::size_t equals = text.find(L'=');
            hasEquals = equals != std::wstring::npos;
            key = UpToNul(Trimmed(text.substr(0, equals), IsProfileSpace));
            if (hasEquals) value = WithoutQuotes(UpToNul(Trimmed(text.substr(equals + 1), IsProfileSpace)));
        }
    }
    if (header) {
        AddSection(std::move(name), number);
    } else if (sections_.empty()) {
        beforeSections_.push_back(IniEntry{std::move(key), std::move(value), number, hasEquals});
    } else {
        sections_.back().Add(std::move(key), std::move(value), number, hasEquals);
    }
}

void IniDocument::Parse(const std::wstring& text) {
    sections_.clear();
    beforeSections_.clear();
    std::size_t start = !text.empty() && text[0] == L'\xFEFF' ? 1 : 0;
    // The embedded text keeps a lone CR or LF in its line's text.
    const wchar_t* const ends = syntax_ == IniSyntax::embedded ? L"\r" : L"\r\n";
    for (int number = 1; start < text.size(); ++number) {
        std::size_t end = text.find_first_of(ends, start);
        while (syntax_ == IniSyntax::embedded && end != std::wstring::npos && text.compare(end, 2, L"\r\n") != 0)
            end = text.find(L'\r', end + 1);
        if (end == std::wstring::npos) end = text.size();
        ParseLine(text.substr(start, end - start), number);
        start = end + (text.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
    }
}

}  // namespace zorv
