#include "runtime/version_number.h"

#include "launcher/text.h"
#include "resources/string_table.h"
#include "runtime/error_reporting.h"

namespace zorv {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::size_t NextDigit(const std::wstring& text, std::size_t pos) {
    while (pos < text.size() && !IsDigit(text[pos])) ++pos;
    return pos;
}

}  // namespace

bool VersionNumber::Parse(const std::wstring& text, std::int32_t fill) {
    for (std::int32_t& part : parts) part = 0;
    std::size_t pos = NextDigit(text, 0);
    if (pos == text.size()) return false;
    int index = 0;
    for (;;) {
        std::int32_t value = 0;
        for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
            int digit = text[pos] - L'0';
            if (value > 214748364 || (value == 214748364 && digit > 7)) {
                for (std::int32_t& part : parts) part = 0;
                return false;
            }
            value = value * 10 + digit;
        }
        parts[index] = value;
        pos = NextDigit(text, pos);
        if (pos == text.size() || index == 3) break;
        ++index;
    }
    for (int rest = index + 1; rest < 4; ++rest) parts[rest] = fill;
    return true;
}

std::wstring VersionNumber::Format() const {
    int highest = -1;
    for (int i = 3; i >= 0; --i) {
        if (parts[i] != 0 && parts[i] != kOpenPart) {
            highest = i;
            break;
        }
    }
    if (highest < 0) return L"0.0.0.0";
    if (highest < 1) highest = 1;
    std::wstring text;
    for (int i = 0; i <= highest; ++i) {
        if (i > 0) text += L'.';
        text += DecimalText(parts[i]);
    }
    return text;
}

bool VersionNumber::IsOpen() const {
    if (parts[0] != 0 && parts[0] != kOpenPart) return false;
    for (int i = 1; i < 4; ++i) {
        if (parts[i] != parts[0]) return false;
    }
    return true;
}

VersionNumber VersionNumber::Open() {
    VersionNumber open;
    for (std::int32_t& part : open.parts) part = kOpenPart;
    return open;
}

int CompareVersions(const VersionNumber& a, const VersionNumber& b) {
    for (int i = 0; i < 4; ++i) {
        if (a.parts[i] != b.parts[i]) return a.parts[i] < b.parts[i] ? -1 : 1;
    }
    return 0;
}

bool MatchesPreference(const std::wstring& entry, const VersionNumber& version) {
    VersionNumber preferred;
    preferred.Parse(entry, 0);
    int significant = 4;
    while (significant > 0 && preferred.parts[significant - 1] == 0) --significant;
    for (int i = 0; i < significant; ++i) {
        if (preferred.parts[i] != version.parts[i]) return false;
    }
    return true;
}

std::wstring DescribeVersionRequirement(Platform& platform, const VersionNumber& minimum,
                                        const VersionNumber& maximum) {
    if (minimum.IsOpen() && maximum.IsOpen()) return FormatMessageText(platform, IDS_LATEST_VERSION, {});
    if (minimum.IsOpen()) return FormatMessageText(platform, IDS_MAXIMUM_VERSION, {maximum.Format()});
    if (maximum.IsOpen()) return FormatMessageText(platform, IDS_MINIMUM_VERSION, {minimum.Format()});
    if (CompareVersions(minimum, maximum) == 0)
        return FormatMessageText(platform, IDS_EXACT_VERSION, {minimum.Format()});
    return FormatMessageText(platform, IDS_VERSION_RANGE, {minimum.Format(), maximum.Format()});
}

}  // namespace zorv
