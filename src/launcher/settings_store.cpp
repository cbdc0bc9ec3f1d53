#include "launcher/settings_store.h"

#include "launcher/platform.h"
#include "launcher/text.h"
#include "launcher/trace.h"

#include <algorithm>

namespace zorv {
namespace {

// Letters folded as every code page folds them; false for a name with any
// other character, whose case the profile functions may fold differently.
bool FoldAscii(std::wstring& name) {
    for (wchar_t& c : name) {
        if (c > 0x7F) return false;
        c = AsciiLower(c);
    }
    return true;
}

}  // namespace

std::int32_t IniFileStore::Probe(unsigned char (&buffer)[4]) {
    return static_cast<std::int32_t>(platform_.ProbeFile(path_, buffer));
}

void IniFileStore::TraceRead(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                             ReadSource source) const {
    Trace* trace = platform_.trace;
    if (trace == nullptr) return;
    std::wstring text = L"settings: " + key + L" = " + value + L" (";
    switch (source) {
        case ReadSource::none: text += L"not set"; break;
        case ReadSource::file: text += L"from " + path_; break;
        case ReadSource::embedded: text += L"embedded"; break;
        case ReadSource::addition: text += L"from " + path_ + L" [" + section + L"+]"; break;
        case ReadSource::embeddedAndAddition: text += L"embedded, then " + path_ + L" [" + section + L"+]"; break;
    }
    trace->Line(text + L")");
}

std::wstring IniFileStore::ReadFile(const std::wstring& section, const std::wstring& key) {
    return MayHold(section, key) ? platform_.ReadProfileValue(section, key, path_) : std::wstring();
}

std::vector<std::wstring> IniFileStore::ReadKeyNames(const std::wstring& section) {
    return platform_.ReadProfileKeyNames(section, path_);
}

IniFileStore::Names IniFileStore::Listed(std::vector<std::wstring> names) {
    Names listed;
    for (std::wstring& name : names) {
        if (!FoldAscii(name)) listed.settled = false;
    }
    listed.folded = std::move(names);
    return listed;
}

bool IniFileStore::MayHold(const std::wstring& section, const std::wstring& key) {
    if (!sectionsListed_) {
        sections_ = Listed(platform_.ReadProfileSectionNames(path_));
        sectionsListed_ = true;
    }
    std::wstring foldedSection = section;
    if (!sections_.settled || !FoldAscii(foldedSection)) return true;
    const auto copies = std::count(sections_.folded.begin(), sections_.folded.end(), foldedSection);
    if (copies == 0) return false;
    if (copies > 1) return true;
    auto found = std::find_if(keys_.begin(), keys_.end(),
                              [&](const SectionKeys& listed) { return listed.foldedSection == foldedSection; });
    if (found == keys_.end()) {
        keys_.push_back(SectionKeys{foldedSection, Listed(platform_.ReadProfileKeyNames(section, path_))});
        found = keys_.end() - 1;
    }
    std::wstring foldedKey = key;
    if (!found->keys.settled || !FoldAscii(foldedKey)) return true;
    const std::vector<std::wstring>& names = found->keys.folded;
    return std::find(names.begin(), names.end(), foldedKey) != names.end();
}

void IniFileStore::ForgetNames() {
    sectionsListed_ = false;
    sections_ = Names();
    keys_.clear();
}

void IniFileStore::GetSectionNames(std::vector<std::wstring>& names) {
    names.clear();
    for (std::wstring& name : platform_.ReadProfileSectionNames(path_)) {
        if (!name.empty()) names.push_back(std::move(name));
    }
}

std::int32_t IniFileStore::SetValue(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& value) {
    ForgetNames();
    return platform_.WriteProfileValue(section, key, value, path_) ? 1 : 0;
}

std::int32_t IniFileStore::Delete() {
    ForgetNames();
    return platform_.RemoveFile(path_) ? 1 : 0;
}

std::int32_t IniDocumentStore::Probe(unsigned char (&buffer)[4]) {
    for (unsigned char& byte : buffer) byte = 0;
    return 1;
}

void IniDocumentStore::GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) {
    const IniDocument::Section* found = document_.FindSection(section);
    if (found == nullptr) return;
    if (const std::wstring* entry = found->Find(key)) value = *entry;
}

void IniDocumentStore::GetSectionNames(std::vector<std::wstring>& names) {
    names.clear();
    for (const auto& section : document_.Sections()) names.push_back(section.Name());
}

std::int32_t IniDocumentStore::SetValue(const std::wstring& section, const std::wstring& key,
                                        const std::wstring& value) {
    IniDocument::Section* found = document_.FindSection(section);
    if (found == nullptr) found = &document_.AddSection(section);
    found->Add(key, value);
    return 1;
}

std::vector<std::pair<std::wstring, std::wstring>> LayeredSettingsStore::NamedEntries(const std::wstring& section) {
    struct Named {
        std::wstring name, folded, value;
        ReadSource source;
    };
    std::vector<Named> entries;
    auto fold = [](std::wstring name) {
        for (wchar_t& c : name) c = AsciiLower(c);
        return name;
    };
    auto take = [&](const std::wstring& name, const std::wstring& value, ReadSource source) {
        const std::wstring folded = fold(name);
        auto found = std::find_if(entries.begin(), entries.end(), [&](const Named& entry) { return entry.folded == folded; });
        if (found == entries.end()) {
            entries.push_back({name, folded, value, source});
        } else {
            found->value = value;
            found->source = source;
        }
    };
    if (const IniDocument::Section* embedded = Document().FindSection(section)) {
        for (const auto& entry : embedded->Entries()) {
            // The first of a name wins in the embedded document, as for every lookup there.
            const std::wstring folded = fold(entry.first);
            if (std::none_of(entries.begin(), entries.end(), [&](const Named& named) { return named.folded == folded; }))
                take(entry.first, entry.second, ReadSource::embedded);
        }
    }
    for (const std::wstring& name : ReadKeyNames(section)) take(name, ReadFile(section, name), ReadSource::file);
    const std::wstring added = section + L"+";
    for (const std::wstring& name : ReadKeyNames(added)) take(name, ReadFile(added, name), ReadSource::addition);
    std::vector<std::pair<std::wstring, std::wstring>> result;
    for (const Named& entry : entries) {
        TraceRead(section, entry.name, entry.value, entry.source);
        result.emplace_back(entry.name, entry.value);
    }
    return result;
}

void LayeredSettingsStore::GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) {
    value.clear();
    IniDocumentStore::GetValue(section, key, value);
    std::wstring fromFile = ReadFile(section, key);
    if (!fromFile.empty()) {
        value = fromFile;
        TraceRead(section, key, value, ReadSource::file);
        return;
    }
    bool embedded = !value.empty();
    std::wstring addition = ReadFile(section + L"+", key);
    if (addition.empty()) {
        TraceRead(section, key, value, embedded ? ReadSource::embedded : ReadSource::none);
        return;
    }
    if (addition[0] != L' ') value += L' ';
    value += addition;
    TraceRead(section, key, value, embedded ? ReadSource::embeddedAndAddition : ReadSource::addition);
}

}  // namespace zorv
