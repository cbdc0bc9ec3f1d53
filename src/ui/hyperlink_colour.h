// The link colours a user chose for their browser, as the registry keeps
// them: "R,G,B" text values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorv {

struct RgbColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const RgbColour& other) const {
        return red == other.red && green == other.green && blue == other.blue;
    }
};

constexpr RgbColour kDefaultLinkColour = {0, 0, 255};
constexpr RgbColour kDefaultVisitedColour = {128, 0, 128};

// Registry value types that hold text.
constexpr std::uint32_t kRegistryString = 1;        // REG_SZ
constexpr std::uint32_t kRegistryExpandString = 2;  // REG_EXPAND_SZ
// The largest value read, terminator included.
constexpr std::size_t kLinkColourValueBytes = 24;

// "R,G,B": each part read like a C integer (leading blanks, a sign, digits up
// to the first other character, none giving 0), of which the low eight bits
// count. False without two commas or with nothing after the second.
bool ParseLinkColour(const std::wstring& text, RgbColour& colour);

// A raw registry value as RegQueryValueExW returned it: it counts only as a
// string type of at most kLinkColourValueBytes, whole UTF-16 units, NUL-ended.
bool LinkColourFromRegistry(std::uint32_t type, const unsigned char* data, std::size_t size, RgbColour& colour);

}  // namespace zorv
