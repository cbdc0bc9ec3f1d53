#include "ui/hyperlink_colour.h"

#include <climits>

namespace zorv {
namespace {

// Reads like the C runtime's integer conversion, saturating where it would
// overflow, so that what comes out of a long number is still well defined.
std::uint8_t LowByteOf(const std::wstring& part) {
    std::size_t i = 0;
    while (i < part.size() && (part[i] == L' ' || part[i] == L'\t')) ++i;
    bool negative = false;
    if (i < part.size() && (part[i] == L'+' || part[i] == L'-')) negative = part[i++] == L'-';
    long long value = 0;
    for (; i < part.size() && part[i] >= L'0' && part[i] <= L'9'; ++i) {
        value = value * 10 + (part[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(value)) & 0xFF);
}

}  // namespace

bool ParseLinkColour(const std::wstring& text, RgbColour& colour) {
    std::size_t first = text.find(L',');
    if (first == std::wstring::npos) return false;
    std::size_t second = text.find(L',', first + 1);
    if (second == std::wstring::npos || second + 1 >= text.size()) return false;
    colour.red = LowByteOf(text.substr(0, first));
    colour.green = LowByteOf(text.substr(first + 1, second - first - 1));
    colour.blue = LowByteOf(text.substr(second + 1));
    return true;
}

bool LinkColourFromRegistry(std::uint32_t type, const unsigned char* data, std::size_t size, RgbColour& colour) {
    if (type != kRegistryString && type != kRegistryExpandString) return false;
    if (data == nullptr || size < 2 || size > kLinkColourValueBytes || size % 2 != 0) return false;
    if (data[size - 2] != 0 || data[size - 1] != 0) return false;
    std::wstring text;
    for (std::size_t i = 0; i + 2 < size; i += 2) {
        wchar_t unit = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (unit == 0) break;
        text += unit;
    }
    return ParseLinkColour(text, colour);
}

}  // namespace zorv
