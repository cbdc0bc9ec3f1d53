// The three settings of an application manifest a packager changes: the
// execution level asked of UAC, the DPI awareness the process starts with,
// and long path awareness. Read as Windows reads them, and changed in the
// text itself, element by element, so that the rest of the manifest (its
// comments, its order, its spacing, the sections zorvtool knows nothing of)
// stays byte for byte.
#pragma once

#include <optional>
#include <string>

#include "tool/xml_document.h"

namespace zorv::tool {

struct ManifestValues {
    std::string executionLevel;  // as written; empty when the manifest asks for none
    std::string dpiAwareness;    // "unaware", "system", "permonitor" or "permonitorv2"
    bool longPathAware = false;
};

// Each one left empty stays as it is.
struct ManifestChanges {
    std::optional<std::string> executionLevel;  // asInvoker, highestAvailable or requireAdministrator
    std::optional<std::string> dpiAwareness;    // unaware, system or permonitorv2
    std::optional<bool> longPathAware;

    bool Empty() const { return !executionLevel && !dpiAwareness && !longPathAware; }
};

bool IsExecutionLevel(const std::string& value);
bool IsDpiAwarenessChoice(const std::string& value);

// What Windows 10 and later apply: dpiAwareness, where it names a mode,
// wins over dpiAware.
ManifestValues ReadManifestValues(const XmlDocument& document);

// The manifest with the changes made, read back: false, with the reason as
// the end of a sentence about the manifest, when it is not well-formed XML,
// has no <assembly> root, or would not read back as asked.
bool ChangeManifest(std::string& text, const ManifestChanges& changes, std::string& problem);

}  // namespace zorv::tool
