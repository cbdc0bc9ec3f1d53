#include "launcher/settings_store.h"

#include "launcher/platform.h"

namespace zorv {

std::int32_t IniFileStore::Probe(unsigned char (&buffer)[4]) {
    return static_cast<std::int32_t>(platform_.ProbeFile(path_, buffer));
}

std::wstring IniFileStore::ReadFile(const std::wstring& section, const std::wstring& key) {
    return platform_.ReadProfileValue(section, key, path_);
}

void IniFileStore::GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) {
    value = ReadFile(section, key);
}

void IniFileStore::GetSectionNames(std::vector<std::wstring>& names) {
    names.clear();
    for (std::wstring& name : platform_.ReadProfileSectionNames(path_)) {
        if (!name.empty()) names.push_back(std::move(name));
    }
}

std::int32_t IniFileStore::SetValue(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& value) {
    return platform_.WriteProfileValue(section, key, value, path_) ? 1 : 0;
}

std::int32_t IniFileStore::Delete() { return platform_.RemoveFile(path_) ? 1 : 0; }

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

std::int32_t IniDocumentStore::Delete() { return 0; }

void LayeredSettingsStore::GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) {
    value.clear();
    IniDocumentStore::GetValue(section, key, value);
    std::wstring fromFile = ReadFile(section, key);
    if (!fromFile.empty()) {
        value = fromFile;
        return;
    }
    std::wstring addition = ReadFile(section + L"+", key);
    if (addition.empty()) return;
    if (addition[0] != L' ') value += L' ';
    value += addition;
}

}  // namespace zorv
