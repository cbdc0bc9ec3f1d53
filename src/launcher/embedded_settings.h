// The settings an executable may carry inside itself: two enciphered RCDATA
// resources, the pass phrase of the settings (keyed by the "Upgrade Code") and
// the settings text (keyed by that pass phrase), read beneath the INI file.
#pragma once

#include <string>
#include <vector>

#include "launcher/ini_document.h"

namespace zorv {

class Platform;

constexpr unsigned kPassPhraseResource = 9000;
constexpr unsigned kSettingsResource = 8000;

// Deciphers exactly as the system's base cryptographic provider does with its
// defaults, for systems that offer none.
void DecipherPortably(const std::string& passPhrase, std::vector<unsigned char>& bytes);

// The plain bytes enciphered so that the provider, and DecipherPortably, give
// them back with the same pass phrase: what a packager writes into 9000 and 8000.
std::vector<unsigned char> EncipherEmbeddedSettings(const std::string& passPhrase, std::vector<unsigned char> plain);

// The resource deciphered and read as UTF-16LE; empty when it is missing or
// cannot be deciphered.
std::wstring ReadEncipheredResource(Platform& platform, unsigned id, const std::string& passPhrase);

// The embedded settings text; empty when the executable carries none.
std::wstring ReadEmbeddedSettingsText(Platform& platform, const std::wstring& upgradeCode);
// That text parsed, for the layered store under the settings file.
IniDocument EmbeddedSettings(Platform& platform, const std::wstring& upgradeCode);

}  // namespace zorv
