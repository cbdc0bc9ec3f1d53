// The two enciphered resources a launcher reads its embedded settings from:
// 9000, the pass phrase keyed by the "Upgrade Code", and 8000, the settings
// text keyed by that pass phrase, both UTF-16LE before enciphering.
#pragma once

#include <string>

#include "tool/resource_tree.h"

namespace zorv::tool {

// A settings file as the embedded text: UTF-16LE with a byte-order mark.
// The file may be UTF-16LE with its mark, or UTF-8 (with or without one).
Bytes SettingsFileAsUtf16(const Bytes& file);
// The text of a file read the same way, without the mark, its lines ended
// by CR LF.
std::u16string SettingsFileText(const Bytes& file);

// Where a settings text holds a character that the reading back would take
// for the noise of a wrong Upgrade Code: a control character other than tab,
// CR and LF, or half a surrogate pair. Line and column count from 1, the
// column in characters.
struct TextPlace {
    std::size_t line;
    std::size_t column;
    char16_t unit;
};
bool FindUnembeddable(const std::u16string& text, TextPlace& place);

// The pass phrase of 8000, from what is enciphered and its Upgrade Code, so
// that the same inputs give the same bytes. A random one would protect no
// better: whoever has the Upgrade Code deciphers 9000, and the phrase with it.
std::string PassPhraseFor(const Bytes& settingsUtf16, const std::string& upgradeCode);

struct EmbeddedPayload {
    Bytes passPhrase;  // resource 9000
    Bytes settings;    // resource 8000
};

EmbeddedPayload EncipherPayload(const Bytes& settingsUtf16, const std::string& upgradeCode, const std::string& passPhrase);

// Deciphers as the launcher does (a missing 9000 gives the empty pass
// phrase). False when the result does not read as text, which is what a wrong
// Upgrade Code gives.
bool DecipherPayload(const Bytes* passPhrase, const Bytes& settings, const std::string& upgradeCode,
                     std::u16string& text);

}  // namespace zorv::tool
