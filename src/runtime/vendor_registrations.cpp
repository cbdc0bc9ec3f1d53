#include "runtime/vendor_registrations.h"

#include <cwctype>

namespace zorv {

// Where each layout comes from (the vendors' pages, and public threads where
// a vendor's page says less):
// - Eclipse Adoptium (Temurin): the Windows MSI section of the Adoptium
//   installation page, and the installer's own design thread (AdoptOpenJDK
//   openjdk-installer, "Provide MSI installer"):
//   "SOFTWARE\Eclipse Adoptium\<JDK|JRE>\<version>\hotspot\MSI", value "Path", one
//   subkey per full version such as 17.0.9.9.
// - Microsoft Build of OpenJDK: its "Install" page on learn.microsoft.com
//   (java/openjdk/install, MSI section): "SOFTWARE\Microsoft\JDK\<version>\hotspot\MSI",
//   value "Path"; dotnet/android-tools reads it the same way (MicrosoftOpenJdkLocations.cs).
// - Azul Zulu: "SOFTWARE\Azul Systems\Zulu\<name>" (names such as zulu-17 or
//   zulu-8-jre), value "InstallationPath", with "CurrentVersion" holding the
//   full version; Azul's "Install on Windows" page names the key, the value
//   names are those Azul's MSI writes as the common Java locators read them.
// - BellSoft Liberica: BellSoft publishes no description of its registry
//   entries. Assumed: "SOFTWARE\BellSoft\Liberica\<name>" with "InstallationPath"
//   and "CurrentVersion", the Zulu shape, because that is what the widely
//   used open-source Java locators read for Liberica and find its
//   installations with; should it differ, only its row changes.
// - Amazon Corretto has no row of its own: its MSIs write the JavaSoft keys
//   (corretto-8 issues 14, 40 and 54; corretto-11 issue 301), which every
//   "VM Provider" that allows Sun already reads.
const VendorRow kVendorRows[] = {
    {L"Software\\Eclipse Adoptium\\JDK\\", true, false, Vendor::adoptium, L"\\hotspot\\MSI", L"Path", nullptr},
    {L"Software\\Eclipse Adoptium\\JRE\\", false, false, Vendor::adoptium, L"\\hotspot\\MSI", L"Path", nullptr},
    {L"Software\\Azul Systems\\Zulu\\", true, true, Vendor::zulu, L"", L"InstallationPath", L"CurrentVersion"},
    {L"Software\\Microsoft\\JDK\\", true, false, Vendor::microsoft, L"\\hotspot\\MSI", L"Path", nullptr},
    {L"Software\\BellSoft\\Liberica\\", true, true, Vendor::liberica, L"", L"InstallationPath", L"CurrentVersion"},
};
const std::size_t kVendorRowCount = sizeof kVendorRows / sizeof kVendorRows[0];

bool VendorRegistrationIsJdk(const VendorRow& row, const std::wstring& name) {
    if (!row.kindFromName) return row.isJdk;
    std::wstring folded;
    for (wchar_t c : name) folded += static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return folded.find(L"jre") == std::wstring::npos;
}

VersionNumber VendorRegistrationVersion(const std::wstring& name, const std::wstring& versionValue) {
    VersionNumber version;
    if (versionValue.empty() || !version.Parse(versionValue, 0)) version.Parse(name, 0);
    std::int32_t major = version.parts[0];
    if (major >= 2 && major <= 8) {
        version.parts[3] = version.parts[2];
        version.parts[2] = version.parts[1];
        version.parts[1] = major;
        version.parts[0] = 1;
    }
    return version;
}

}  // namespace zorv
