#include <gtest/gtest.h>

#include "launcher/command_line.h"

namespace zorv {
namespace {

using Args = std::vector<std::wstring>;

TEST(SplitArguments, QuotesSpacesAndEmptyPieces) {
    EXPECT_EQ(SplitArguments(L""), Args{});
    EXPECT_EQ(SplitArguments(L"\"two words\" plain"), (Args{L"two words", L"plain"}));
    EXPECT_EQ(SplitArguments(L"\"quoted\"letters"), (Args{L"quoted", L"letters"}));
    EXPECT_EQ(SplitArguments(L"a \"\" b"), (Args{L"a", L"", L"b"}));
    EXPECT_EQ(SplitArguments(L"in\"side\"x"), (Args{L"in\"side\"x"}));
    EXPECT_EQ(SplitArguments(L"a \""), (Args{L"a", L""}));
    EXPECT_EQ(SplitArguments(L"a \"rest of it"), (Args{L"a", L"rest of it"}));
    EXPECT_EQ(SplitArguments(L"tab\tinside"), (Args{L"tab\tinside"}));
    EXPECT_EQ(SplitArguments(L" lead"), (Args{L"", L"lead"}));
    EXPECT_EQ(SplitArguments(L"a   b   "), (Args{L"a", L"b"}));
    EXPECT_EQ(SplitArguments(L"back\\slash\\\" x"), (Args{L"back\\slash\\\"", L"x"}));
}

TEST(ApplicationArguments, DropTheProgramPathAsWritten) {
    EXPECT_EQ(ApplicationArgumentsFrom(L"\"C:\\My Apps\\app.exe\" a b"), (Args{L"a", L"b"}));
    EXPECT_EQ(ApplicationArgumentsFrom(L"C:\\My Apps\\app.exe a"), (Args{L"Apps\\app.exe", L"a"}));
    EXPECT_EQ(ApplicationArgumentsFrom(L"  app.exe  -nosplash  \t "), (Args{L"-nosplash"}));
    EXPECT_EQ(ApplicationArgumentsFrom(L""), Args{});
}

}  // namespace
}  // namespace zorv
