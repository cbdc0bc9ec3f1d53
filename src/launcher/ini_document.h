// An INI text parsed into memory, with the line of every header and entry:
// the one reader of settings, for the launcher on every system, for the
// test double and for zorvtool. Repeated sections and keys are kept; every
// lookup answers from the first section of a name, and in it from the first
// key of a name, as the system's profile functions do.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zorv {

// The two forms settings are written in.
enum class IniSyntax {
    // The INI file beside the executable, read as Windows' profile functions
    // read it: a line ends at CR, LF or CR LF; names match whatever the letter
    // case of A..Z; a line that starts with ";" is a comment; a header runs
    // from "[" to the last "]" of its line, blanks around its name dropped;
    // one pair of like quotes around a value goes; a name or value ends at a
    // NUL, as the functions' C strings do.
    settingsFile,
    // The launcher's own embedded text: only CR LF ends a line, names match
    // exactly, a header's "]" ends its line and a line needs "=" to count.
    embedded,
};

struct IniEntry {
    std::wstring key;
    std::wstring value;
    int line = 0;           // 1-based; 0 for an entry added in memory
    bool hasEquals = true;  // false for a line of the INI file with a name and no "="
};

class IniDocument {
public:
    class Section {
    public:
        Section(std::wstring name, int line, IniSyntax syntax) : name_(std::move(name)), line_(line), syntax_(syntax) {}
        const std::wstring& Name() const { return name_; }
        int Line() const { return line_; }
        // The first entry with this key, or null.
        const IniEntry* FindEntry(const std::wstring& key) const;
        void Add(std::wstring key, std::wstring value, int line = 0, bool hasEquals = true);
        const std::vector<IniEntry>& Entries() const { return entries_; }

    private:
        std::wstring name_;
        int line_;
        IniSyntax syntax_;
        std::vector<IniEntry> entries_;
    };

    explicit IniDocument(IniSyntax syntax = IniSyntax::embedded) : syntax_(syntax) {}

    IniSyntax Syntax() const { return syntax_; }
    // Whether two section or key names are the same name in this syntax.
    bool SameName(const std::wstring& a, const std::wstring& b) const { return SameName(syntax_, a, b); }
    static bool SameName(IniSyntax syntax, const std::wstring& a, const std::wstring& b);

    void Parse(const std::wstring& text);
    // The first section of this name, or null.
    Section* FindSection(const std::wstring& name);
    const Section* FindSection(const std::wstring& name) const;
    // The first entry of the key in the first section of the name, or null:
    // a later section of the same name is never looked into.
    const IniEntry* Find(const std::wstring& section, const std::wstring& key) const;
    Section& AddSection(std::wstring name, int line = 0);
    const std::vector<Section>& Sections() const { return sections_; }
    // The entries written before any header: the nameless section of a
    // settings file; the embedded syntax ignores them.
    const std::vector<IniEntry>& EntriesBeforeSections() const { return beforeSections_; }

private:
    void ParseLine(const std::wstring& line, int number);

    IniSyntax syntax_;
    std::vector<Section> sections_;
    std::vector<IniEntry> beforeSections_;
};

}  // namespace zorv
