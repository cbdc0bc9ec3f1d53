// The registrations that OpenJDK builds make under their vendor's own key, for
// machines whose runtime set neither the JavaSoft keys nor JAVA_HOME. They are
// read only when "VM Provider" asks for them, so older settings find what they
// always found.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "runtime/version_number.h"

namespace zorv {

enum class Vendor { adoptium, zulu, microsoft, liberica };
constexpr std::size_t kVendorCount = 4;

// Which vendors' own keys are searched, and which are ranked first.
struct VendorChoice {
    std::array<bool, kVendorCount> allowed{};
    std::array<bool, kVendorCount> preferred{};
    bool Searches(Vendor vendor) const {
        return allowed[static_cast<std::size_t>(vendor)] || preferred[static_cast<std::size_t>(vendor)];
    }
    bool Prefers(Vendor vendor) const { return preferred[static_cast<std::size_t>(vendor)]; }
};

struct VendorRow {
    const wchar_t* key;            // under HKEY_LOCAL_MACHINE, with trailing "\"
    bool isJdk;                    // false: a JRE key; for keys that hold both, a "jre" in the name decides
    bool kindFromName;
    Vendor vendor;
    const wchar_t* subkeySuffix;   // appended to the registration's name
    const wchar_t* homeValue;
    const wchar_t* versionValue;   // read before the name when set
};

// In search order, after the JavaSoft, JRockit and IBM keys.
extern const VendorRow kVendorRows[];
extern const std::size_t kVendorRowCount;

// The longest home a vendor key may give: longer ones cannot be loaded from
// by a process that is not long-path aware.
constexpr std::size_t kMaxVendorHomeLength = 259;

// Whether a registration of a key that holds both kinds is a JDK.
bool VendorRegistrationIsJdk(const VendorRow& row, const std::wstring& name);

// The version of a vendor registration: the value when it holds a digit,
// otherwise the name. Vendors number Java 8 and older "8.0.x"; they are read
// as "1.8.0.x", so that bounds and ranking treat them like the JavaSoft keys.
VersionNumber VendorRegistrationVersion(const std::wstring& name, const std::wstring& versionValue);

}  // namespace zorv
