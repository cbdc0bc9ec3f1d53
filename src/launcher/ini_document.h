// An INI text parsed into memory: the form of the settings text embedded in
// the executable. Names are compared exactly, and repeated sections and keys
// are kept, the first one winning every lookup.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zorv {

class IniDocument {
public:
    class Section {
    public:
        explicit Section(std::wstring name) : name_(std::move(name)) {}
        const std::wstring& Name() const { return name_; }
        // The first entry with this key, or null.
        const std::wstring* Find(const std::wstring& key) const;
        void Add(std::wstring key, std::wstring value);
        const std::vector<std::pair<std::wstring, std::wstring>>& Entries() const { return entries_; }

    private:
        std::wstring name_;
        std::vector<std::pair<std::wstring, std::wstring>> entries_;
    };

    void Parse(const std::wstring& text);
    Section* FindSection(const std::wstring& name);
    const Section* FindSection(const std::wstring& name) const;
    Section& AddSection(std::wstring name);
    const std::vector<Section>& Sections() const { return sections_; }

private:
    std::vector<Section> sections_;
};

}  // namespace zorv
