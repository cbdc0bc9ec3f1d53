// Runtime versions as four signed parts, read leniently out of any text
// (registry key names such as 1.8.0_151, settings such as 11 or any).
#pragma once

#include <cstdint>
#include <string>

namespace zorv {

class Platform;

struct VersionNumber {
    static constexpr std::int32_t kOpenPart = 65535;

    std::int32_t parts[4] = {0, 0, 0, 0};

    // Reads up to four groups of digits; parts not given take fill. False (all
    // parts 0) when the text holds no digit or a part overflows.
    bool Parse(const std::wstring& text, std::int32_t fill);
    std::wstring Format() const;
    // Both 0.0.0.0 and 65535.65535.65535.65535 are open bounds.
    bool IsOpen() const;

    static VersionNumber Open();
};

int CompareVersions(const VersionNumber& a, const VersionNumber& b);
bool MatchesPreference(const std::wstring& entry, const VersionNumber& version);
std::wstring DescribeVersionRequirement(Platform& platform, const VersionNumber& minimum,
                                        const VersionNumber& maximum);

}  // namespace zorv
