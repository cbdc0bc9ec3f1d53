// Readers and writers of settings. The launcher reads through short-lived
// stores built on the stack: the INI file alone, an in-memory document, or
// the file layered over the embedded settings document.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "launcher/ini_document.h"

namespace zorv {

class Platform;

// Where a value of the layered settings came from.
enum class ValueSource { none, file, embedded, addition, embeddedAndAddition };

struct LayeredValue {
    std::wstring value;
    ValueSource source = ValueSource::none;
    // The line to blame for the value: the addition's when there is one,
    // else the one that gave it, else the file's empty one; null when no
    // line holds the key.
    const IniEntry* entry = nullptr;
    bool entryIsEmbedded = false;  // entry is a line of the embedded document
};

// The settings file over the embedded document: a value of the file replaces
// the embedded one, and where the file has none, or an empty one, the key of
// its section "S+" adds text after the embedded value, one space between
// unless the addition brings its own.
LayeredValue LayeredLookup(const IniDocument& file, const IniDocument& embedded, const std::wstring& section,
                           const std::wstring& key);

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::int32_t Probe(unsigned char (&buffer)[4]) = 0;
    virtual void GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) = 0;
    virtual void GetSectionNames(std::vector<std::wstring>& names) = 0;
    virtual std::int32_t SetValue(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& value) = 0;
    virtual std::int32_t Delete() = 0;
};

// The settings file, read once through the platform and parsed as the
// profile functions parse it: section and key names match without regard to
// the case of A..Z, a missing file reads as empty.
class IniFileStore : public SettingsStore {
public:
    IniFileStore(Platform& platform, std::wstring path) : platform_(platform), path_(std::move(path)) {}
    std::int32_t Probe(unsigned char (&buffer)[4]) override;
    void GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) override {
        value = ReadFile(section, key);
        TraceRead(section, key, value, value.empty() ? ValueSource::none : ValueSource::file);
    }
    void GetSectionNames(std::vector<std::wstring>& names) override;
    std::int32_t SetValue(const std::wstring& section, const std::wstring& key,
                          const std::wstring& value) override;
    std::int32_t Delete() override;

protected:
    const IniDocument& File();
    std::wstring ReadFile(const std::wstring& section, const std::wstring& key);
    // A value as the platform takes it from a settings file (Platform::SettingsValue).
    std::wstring Taken(const std::wstring& section, const std::wstring& key, const std::wstring& written);
    void TraceRead(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                   ValueSource source) const;

private:
    Platform& platform_;
    std::wstring path_;
    bool read_ = false;
    IniDocument file_{IniSyntax::settingsFile};
};

class IniDocumentStore : public SettingsStore {
public:
    explicit IniDocumentStore(IniDocument document) : document_(std::move(document)) {}
    std::int32_t Probe(unsigned char (&buffer)[4]) override;
    void GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) override;
    void GetSectionNames(std::vector<std::wstring>& names) override;
    std::int32_t SetValue(const std::wstring& section, const std::wstring& key,
                          const std::wstring& value) override;
    // The embedded document lives in the executable: there is nothing to delete.
    std::int32_t Delete() override { return 0; }

protected:
    const IniDocument& Document() const { return document_; }

private:
    IniDocument document_;
};

// The settings file over the embedded document, as LayeredLookup layers them.
class LayeredSettingsStore : public IniFileStore, public IniDocumentStore {
public:
    LayeredSettingsStore(Platform& platform, std::wstring path, IniDocument document)
        : IniFileStore(platform, std::move(path)), IniDocumentStore(std::move(document)) {}
    std::int32_t Probe(unsigned char (&buffer)[4]) override { return IniFileStore::Probe(buffer); }
    void GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) override;
    void GetSectionNames(std::vector<std::wstring>& names) override { IniFileStore::GetSectionNames(names); }
    std::int32_t SetValue(const std::wstring& section, const std::wstring& key,
                          const std::wstring& value) override {
        return IniFileStore::SetValue(section, key, value);
    }
    std::int32_t Delete() override { return IniFileStore::Delete(); }

    // The keys of a section whose names are not known beforehand (the
    // environment's) with their values: the embedded ones, then the file's,
    // then those of its "+" variant, each name once whatever its letter case,
    // in the order written. A key in a later layer replaces the earlier one,
    // an empty value too: these values are never joined.
    std::vector<std::pair<std::wstring, std::wstring>> NamedEntries(const std::wstring& section);

    // Convenience for readers: the layered value, empty when missing.
    std::wstring Get(const std::wstring& section, const std::wstring& key) {
        std::wstring value;
        GetValue(section, key, value);
        return value;
    }
};

}  // namespace zorv
