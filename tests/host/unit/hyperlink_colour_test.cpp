#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/hyperlink_colour.h"

namespace zorv {
namespace {

TEST(LinkColour, ParsesThreeCommaSeparatedNumbersLikeTheCRuntime) {
    RgbColour colour;
    ASSERT_TRUE(ParseLinkColour(L"255,0,0", colour));
    EXPECT_EQ(colour, (RgbColour{255, 0, 0}));
    ASSERT_TRUE(ParseLinkColour(L"300,0,0", colour));
    EXPECT_EQ(colour.red, 44);
    ASSERT_TRUE(ParseLinkColour(L" +12, x7,-1", colour));
    EXPECT_EQ(colour, (RgbColour{12, 0, 255}));
    ASSERT_TRUE(ParseLinkColour(L"99999999999,1,2", colour));
    EXPECT_EQ(colour.red, 255);
    colour = kDefaultLinkColour;
    EXPECT_FALSE(ParseLinkColour(L"0,0", colour));
    EXPECT_FALSE(ParseLinkColour(L"0,0,", colour));
    EXPECT_FALSE(ParseLinkColour(L"", colour));
    EXPECT_EQ(colour, kDefaultLinkColour);
}

std::vector<unsigned char> Utf16Value(const std::wstring& text, bool terminated = true) {
    std::vector<unsigned char> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

TEST(LinkColour, RegistryValueCountsOnlyAsShortTerminatedText) {
    RgbColour colour;
    std::vector<unsigned char> red = Utf16Value(L"255,0,0");
    EXPECT_TRUE(LinkColourFromRegistry(kRegistryString, red.data(), red.size(), colour));
    EXPECT_TRUE(LinkColourFromRegistry(kRegistryExpandString, red.data(), red.size(), colour));
    EXPECT_FALSE(LinkColourFromRegistry(4, red.data(), red.size(), colour));  // REG_DWORD
    std::vector<unsigned char> unterminated = Utf16Value(L"255,0,0", false);
    EXPECT_FALSE(LinkColourFromRegistry(kRegistryString, unterminated.data(), unterminated.size(), colour));
    EXPECT_FALSE(LinkColourFromRegistry(kRegistryString, red.data(), red.size() - 1, colour));
    std::vector<unsigned char> eleven = Utf16Value(L"1,2,3456789");  // exactly 24 bytes
    EXPECT_TRUE(LinkColourFromRegistry(kRegistryString, eleven.data(), eleven.size(), colour));
    std::vector<unsigned char> twelve = Utf16Value(L"1,2,34567890");
    EXPECT_FALSE(LinkColourFromRegistry(kRegistryString, twelve.data(), twelve.size(), colour));
}

}  // namespace
}  // namespace zorv
