// The embedded settings of a launcher executable, read for checking.
#pragma once

#include <string>

namespace zorv::tool {

enum class EmbeddedRead {
    none,           // the executable carries no settings resource
    text,           // deciphered
    undecipherable, // the upgrade code does not open it
    notAnImage,     // the file is no PE image
};

// The settings text of resource 8000, deciphered with the pass phrase of
// resource 9000 keyed by the "Upgrade Code", as the launcher reads it.
EmbeddedRead ReadEmbeddedSettingsText(const std::wstring& executablePath, const std::wstring& upgradeCode,
                                      std::wstring& text);

}  // namespace zorv::tool
