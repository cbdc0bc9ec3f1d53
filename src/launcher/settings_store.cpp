#include "launcher/settings_store.h"

#include "launcher/platform.h"
#include "launcher/text.h"
#include "launcher/trace.h"

#include <algorithm>

namespace zorv {

LayeredValue LayeredLookup(const IniDocument& file, const IniDocument& embedded, const std::wstring& section,
                           const std::wstring& key) {
    LayeredValue result;
    const IniEntry* fromFile = file.Find(section, key);
    if (fromFile != nullptr && !fromFile->value.empty()) return {fromFile->value, ValueSource::file, fromFile};
    const IniEntry* fromEmbedded = embedded.Find(section, key);
    if (fromEmbedded != nullptr) result = {fromEmbedded->value, ValueSource::embedded, fromEmbedded, true};
    const bool hasEmbedded = !result.value.empty();
    const IniEntry* addition = file.Find(section + L"+", key);
    if (addition != nullptr && !addition->value.empty()) {
        if (addition->value[0] != L' ') result.value += L' ';
        result.value += addition->value;
        result.source = hasEmbedded ? ValueSource::embeddedAndAddition : ValueSource::addition;
        result.entry = addition;
        result.entryIsEmbedded = false;
        return result;
    }
    if (!hasEmbedded) result.source = ValueSource::none;
    if (result.entry == nullptr) result.entry = fromFile;
    return result;
}

std::int32_t IniFileStore::Probe(unsigned char (&buffer)[4]) {
    return static_cast<std::int32_t>(ErrorNumber(platform_.files().ProbeFile(path_, buffer)));
}

void IniFileStore::TraceRead(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                             ValueSource source) const {
    Trace* trace = platform_.trace;
    if (trace == nullptr) return;
    std::wstring text = L"settings: " + key + L" = " + value + L" (";
    switch (source) {
        case ValueSource::none: text += L"not set"; break;
        case ValueSource::file: text += L"from " + path_; break;
        case ValueSource::embedded: text += L"embedded"; break;
        case ValueSource::addition: text += L"from " + path_ + L" [" + section + L"+]"; break;
        case ValueSource::embeddedAndAddition: text += L"embedded, then " + path_ + L" [" + section + L"+]"; break;
    }
    trace->Line(text + L")");
}

// Read once: the profile functions would open the file again for every key.
const IniDocument& IniFileStore::File() {
    if (!read_) {
        std::wstring text;
        if (!platform_.files().ReadSettingsText(path_, text)) text.clear();
        file_.Parse(text);
        read_ = true;
    }
    return file_;
}

std::wstring IniFileStore::ReadFile(const std::wstring& section, const std::wstring& key) {
    const IniEntry* entry = File().Find(section, key);
    return entry == nullptr ? std::wstring() : Taken(section, key, entry->value);
}

std::wstring IniFileStore::Taken(const std::wstring& section, const std::wstring& key, const std::wstring& written) {
    return platform_.files().SettingsValue(section, key, written);
}

void IniFileStore::GetSectionNames(std::vector<std::wstring>& names) {
    names.clear();
    for (const IniDocument::Section& section : File().Sections()) {
        if (!section.Name().empty()) names.push_back(section.Name());
    }
}

std::int32_t IniFileStore::SetValue(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& value) {
    read_ = false;
    return platform_.files().WriteProfileValue(section, key, value, path_) ? 1 : 0;
}

std::int32_t IniFileStore::Delete() {
    read_ = false;
    return platform_.files().RemoveFile(path_) ? 1 : 0;
}

std::int32_t IniDocumentStore::Probe(unsigned char (&buffer)[4]) {
    for (unsigned char& byte : buffer) byte = 0;
    return 1;
}

void IniDocumentStore::GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) {
    if (const IniEntry* entry = document_.Find(section, key)) value = entry->value;
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
        std::wstring name, value;
        ValueSource source;
    };
    std::vector<Named> entries;
    auto take = [&](const std::wstring& name, const std::wstring& value, ValueSource source) {
        auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const Named& entry) { return SameIgnoringAsciiCase(entry.name, name); });
        if (found == entries.end()) {
            entries.push_back({name, value, source});
        } else if (source != ValueSource::embedded) {
            // The first of a name wins in the embedded document, as for every lookup there.
            found->value = value;
            found->source = source;
        }
    };
    if (const IniDocument::Section* embedded = Document().FindSection(section)) {
        for (const IniEntry& entry : embedded->Entries()) take(entry.key, entry.value, ValueSource::embedded);
    }
    for (const std::wstring& layer : {section, section + L"+"}) {
        const IniDocument::Section* written = File().FindSection(layer);
        if (written == nullptr) continue;
        // A repeated name gives the value of its first line, as a lookup does;
        // a name without "=" is not listed.
        for (const IniEntry& entry : written->Entries()) {
            if (!entry.hasEquals) continue;
            take(entry.key, written->FindEntry(entry.key)->value,
                 layer == section ? ValueSource::file : ValueSource::addition);
        }
    }
    std::vector<std::pair<std::wstring, std::wstring>> result;
    for (const Named& entry : entries) {
        TraceRead(section, entry.name, entry.value, entry.source);
        result.emplace_back(entry.name, entry.value);
    }
    return result;
}

void LayeredSettingsStore::GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) {
    LayeredValue layered = LayeredLookup(File(), Document(), section, key);
    value = Taken(section, key, layered.value);
    TraceRead(section, key, value, layered.source);
}

}  // namespace zorv
