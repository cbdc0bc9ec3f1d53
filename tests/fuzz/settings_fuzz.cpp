// The settings reader in both its syntaxes, the decoding of a settings
// file's bytes, the layered lookup over a file and the embedded text, and the
// command-line splitter behind the settings.
#include <cstdlib>

#include "fake_platform.h"
#include "fuzz_input.h"
#include "launcher/command_line.h"
#include "launcher/environment.h"
#include "launcher/ini_document.h"
#include "launcher/settings_store.h"
#include "launcher/utf8.h"

namespace {

// A name cut at a NUL may end in a blank, which a lookup drops from the name
// it is asked for: such a name is found by nobody, as by the profile functions.
bool EndsInBlank(const std::wstring& name) {
    auto blank = [](wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r') || c == L'\x1A'; };
    return !name.empty() && (blank(name.front()) || blank(name.back()));
}

// Every entry is found by its own name, as itself or as an earlier entry of
// that name in the first section of its section's name, and lines only grow.
void CheckDocument(const zorv::IniDocument& document) {
    int line = 0;
    for (const auto& entry : document.EntriesBeforeSections()) {
        if (entry.line <= line) std::abort();
        line = entry.line;
    }
    for (const auto& section : document.Sections()) {
        if (section.Line() <= line) std::abort();
        line = section.Line();
        const zorv::IniDocument::Section* first = document.FindSection(section.Name());
        if (first == nullptr || first > &section) std::abort();
        for (const auto& entry : section.Entries()) {
            if (entry.line <= line) std::abort();
            line = entry.line;
            const zorv::IniEntry* found = section.FindEntry(entry.key);
            if (found == nullptr || found > &entry || !document.SameName(found->key, entry.key)) std::abort();
            // In an INI file the nameless section is the lines before any header.
            const bool file = document.Syntax() == zorv::IniSyntax::settingsFile;
            const bool unreachable = file && (section.Name().empty() || EndsInBlank(section.Name()) || EndsInBlank(entry.key));
            if (!unreachable && document.Find(section.Name(), entry.key) != first->FindEntry(entry.key)) std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zorv::fuzz::Input input(data, size);
    const std::string bytes(reinterpret_cast<const char*>(input.Rest()), input.RestSize());
    std::wstring text = input.Text();
    zorv::IniDocument document;
    document.Parse(text);
    CheckDocument(document);
    zorv::IniDocument file(zorv::IniSyntax::settingsFile);
    file.Parse(zorv::DecodeSettingsText(bytes));
    CheckDocument(file);
    file.Parse(text);
    CheckDocument(file);

    zorv::testing::FakePlatform platform;
    platform.settingsFiles[L"C:\\app\\app.ini"] = text;
    platform.SetProfile(L"C:\\app\\app.ini", L"Java Runtime Environment", L"Main Class", L"a.B");
    zorv::LayeredSettingsStore store(platform, L"C:\\app\\app.ini", document);
    for (const auto& section : document.Sections()) {
        for (const auto& entry : section.Entries()) {
            std::wstring value;
            store.GetValue(section.Name(), entry.key, value);
            const zorv::LayeredValue layered = zorv::LayeredLookup(file, document, section.Name(), entry.key);
            if (layered.entry == nullptr && !layered.value.empty()) std::abort();
        }
    }
    std::wstring value;
    store.GetValue(L"Java Runtime Environment", L"Main Class", value);
    if (value != L"a.B") std::abort();  // the file wins over the embedded text

    zorv::SplitArguments(text);
    zorv::ApplicationArgumentsFrom(text);
    zorv::ExpandReferences(text, [](const std::wstring& name, std::wstring& found) {
        found = name + name;
        return name.size() % 2 == 0;
    });
    return 0;
}
