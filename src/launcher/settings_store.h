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

// The settings file, through the platform's profile-string functions: section
// and key names match without regard to case, a missing file reads as empty.
class IniFileStore : public SettingsStore {
public:
    IniFileStore(Platform& platform, std::wstring path) : platform_(platform), path_(std::move(path)) {}
    std::int32_t Probe(unsigned char (&buffer)[4]) override;
    void GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) override {
        value = ReadFile(section, key);
        TraceRead(section, key, value, value.empty() ? ReadSource::none : ReadSource::file);
    }
    void GetSectionNames(std::vector<std::wstring>& names) override;
    std::int32_t SetValue(const std::wstring& section, const std::wstring& key,
                          const std::wstring& value) override;
    std::int32_t Delete() override;

protected:
    std::wstring ReadFile(const std::wstring& section, const std::wstring& key);
    std::vector<std::wstring> ReadKeyNames(const std::wstring& section);

    // Where a value read through a store came from, for the trace.
    enum class ReadSource { none, file, embedded, addition, embeddedAndAddition };
    void TraceRead(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                   ReadSource source) const;

private:
    // The names in the file, from one listing of its sections and one of each
    // section asked about: the profile functions open the file again for every
    // key, and most keys are in no file. A name the listing cannot settle
    // (not ASCII, or a section written twice) is left to the profile functions.
    struct Names {
        bool settled = true;
        std::vector<std::wstring> folded;
    };
    struct SectionKeys {
        std::wstring foldedSection;
        Names keys;
    };
    static Names Listed(std::vector<std::wstring> names);
    bool MayHold(const std::wstring& section, const std::wstring& key);
    void ForgetNames();

    Platform& platform_;
    std::wstring path_;
    bool sectionsListed_ = false;
    Names sections_;
    std::vector<SectionKeys> keys_;
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

// The settings file over the embedded document: the file replaces an embedded
// value key by key, and a key of the section "S+" adds text after it.
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
