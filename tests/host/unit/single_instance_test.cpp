// The shared block's argument format: what a second start writes and what
// the first instance reads back, byte for byte, on a platform whose wchar_t
// is not UTF-16.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "instance/single_instance_block.h"

namespace zorv {
namespace {

using Block = std::vector<unsigned char>;
using Arguments = std::vector<std::wstring>;

Arguments RoundTrip(const Arguments& arguments) {
    Block block(kInstanceBlockSize, 0);
    EXPECT_TRUE(WriteArgumentBlock(block.data(), arguments));
    return ReadArgumentBlock(block.data());
}

TEST(SingleInstanceBlock, ArgumentsAreUtf16UnitsEachEndedByNulThenOneMoreNul) {
    Block block(kInstanceBlockSize, 0xAB);
    ASSERT_TRUE(WriteArgumentBlock(block.data(), {L"a", L"\U0001F600"}));
    const Block expected = {'a', 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0, 0, 0};
    EXPECT_EQ(Block(block.begin() + kArgumentsOffset, block.begin() + kArgumentsOffset + 12), expected);
    EXPECT_EQ(std::count(block.begin() + kArgumentsOffset + 12, block.begin() + kArgumentsOffset + kArgumentsSize, 0),
              static_cast<long>(kArgumentsSize - 12));
    EXPECT_EQ(block[kArgumentsOffset - 1], 0xAB) << "the header is left alone";
    EXPECT_EQ(block[kArgumentsOffset + kArgumentsSize], 0xAB) << "so is what follows";
    EXPECT_EQ(ReadArgumentBlock(block.data()), (Arguments{L"a", L"\U0001F600"}));
}

TEST(SingleInstanceBlock, OneArgumentOf518UnitsFitsAnd519DoNot) {
    EXPECT_EQ(ArgumentBlockBytes({std::wstring(518, L'x')}), 1040u);
    EXPECT_EQ(RoundTrip({std::wstring(518, L'x')}), Arguments{std::wstring(518, L'x')});
    Block block(kInstanceBlockSize, 0xAB);
    EXPECT_FALSE(WriteArgumentBlock(block.data(), {std::wstring(519, L'x')}));
    EXPECT_EQ(block, Block(kInstanceBlockSize, 0xAB)) << "nothing written";
    // A character beyond the BMP takes two units.
    EXPECT_FALSE(WriteArgumentBlock(block.data(), {std::wstring(517, L'x') + L"\U0001F600"}));
}

TEST(SingleInstanceBlock, EmptyArgumentsReadBackAsTheFormatAllows) {
    EXPECT_EQ(RoundTrip({}), Arguments{L""});
    EXPECT_EQ(RoundTrip({L"", L"b"}), (Arguments{L"", L"b"}));
    EXPECT_EQ(RoundTrip({L"a", L"", L"b"}), Arguments{L"a"}) << "an empty argument after another ends the list";
}

TEST(SingleInstanceBlock, ReadingStopsBeforeTheBlocksEndWithoutADoubleNul) {
    Block block(kInstanceBlockSize, 'x');
    EXPECT_EQ(ReadArgumentBlock(block.data()), Arguments{}) << "an unfinished string is dropped";
    block[kArgumentsOffset + 4] = block[kArgumentsOffset + 5] = 0;
    EXPECT_EQ(ReadArgumentBlock(block.data()), Arguments{L"\x7878\x7878"});
    // A NUL pair that begins in the last unit scanned still ends the list.
    block[kInstanceBlockSize - 4] = block[kInstanceBlockSize - 3] = 0;
    block[kInstanceBlockSize - 2] = block[kInstanceBlockSize - 1] = 0;
    EXPECT_EQ(ReadArgumentBlock(block.data()).size(), 2u);
}

TEST(SingleInstanceBlock, NamesKeepThePathsLetterCase) {
    EXPECT_EQ(InstanceBaseName(L"C:\\Apps\\Viewer\\run.exe"), L"C:_Apps_Viewer_run.exe");
    EXPECT_EQ(StartEventName(InstanceBaseName(L"c:\\apps\\Viewer\\RUN.exe")), L"c:_apps_Viewer_RUN.exe_upr_evt");
}

TEST(SingleInstanceBlock, NamesStayApartAndWithinTheirLimits) {
    const std::wstring underscore = InstanceBaseName(L"C:\\Apps\\my_app\\run.exe");
    EXPECT_NE(underscore, InstanceBaseName(L"C:\\Apps\\my\\app\\run.exe"));
    EXPECT_EQ(underscore.rfind(L"C:_Apps_my_app_run.exe-", 0), 0u) << "the name still shows the path";

    const std::wstring folder = L"C:\\" + std::wstring(300, L'd') + L"\\";
    const std::wstring longName = InstanceBaseName(folder + L"run.exe");
    EXPECT_EQ(longName.size(), kLongestBaseName);
    EXPECT_NE(longName, InstanceBaseName(folder + L"run2.exe")) << "paths that differ only past the cut";
    EXPECT_LT(RequestLockName(longName).size(), 260u);
    EXPECT_EQ(InstanceBaseName(L"C:\\" + std::wstring(kLongestBaseName - 3, L'd')).size(), kLongestBaseName)
        << "a name that fits is kept whole";
}

}  // namespace
}  // namespace zorv
