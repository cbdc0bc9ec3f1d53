#include "launcher/embedded_settings.h"

#include <algorithm>

#include "launcher/ini_document.h"
#include "launcher/md5.h"
#include "launcher/platform.h"
#include "launcher/rc4.h"

namespace zorv {
namespace {

// Each pair of bytes is one UTF-16 unit, low byte first; an odd last byte
// belongs to no unit.
std::wstring WideFromLittleEndian(const std::vector<unsigned char>& bytes) {
    std::wstring text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8));
    }
    return text;
}

// A pass phrase is hashed as a C string, so a NUL (the terminator a resource
// may carry with its text) ends it.
std::string PassPhrase(Platform& platform, const std::wstring& text) {
    std::string narrow = platform.environment().ToAnsi(text);
    return narrow.substr(0, narrow.find('\0'));
}

}  // namespace

void DecipherPortably(const std::string& passPhrase, std::vector<unsigned char>& bytes) {
    Md5Digest hash = Md5(passPhrase.data(), passPhrase.size());
    // The base provider's default RC4 key is 40 bits of the hash followed by
    // 88 bits of salt that it leaves at zero.
    unsigned char key[16] = {};
    std::copy(hash.begin(), hash.begin() + 5, key);
    Rc4(key, sizeof key).Apply(bytes.data(), bytes.size());
}

// RC4 is its own inverse: one key stream serves both directions.
std::vector<unsigned char> EncipherEmbeddedSettings(const std::string& passPhrase, std::vector<unsigned char> plain) {
    DecipherPortably(passPhrase, plain);
    return plain;
}

std::wstring ReadEncipheredResource(Platform& platform, unsigned id, const std::string& passPhrase) {
    std::vector<unsigned char> bytes = platform.libraries().ReadResourceData(id);
    if (bytes.empty()) return std::wstring();
    switch (platform.libraries().DecipherWithProvider(passPhrase, bytes)) {
        case ProviderResult::deciphered:
            break;
        case ProviderResult::unavailable:
            DecipherPortably(passPhrase, bytes);
            break;
        case ProviderResult::failed:
            return std::wstring();
    }
    return WideFromLittleEndian(bytes);
}

std::wstring ReadEmbeddedSettingsText(Platform& platform, const std::wstring& upgradeCode) {
    std::wstring passPhrase = ReadEncipheredResource(platform, kPassPhraseResource, PassPhrase(platform, upgradeCode));
    return ReadEncipheredResource(platform, kSettingsResource, PassPhrase(platform, passPhrase));
}

IniDocument EmbeddedSettings(Platform& platform, const std::wstring& upgradeCode) {
    IniDocument document;
    document.Parse(ReadEmbeddedSettingsText(platform, upgradeCode));
    return document;
}

}  // namespace zorv
