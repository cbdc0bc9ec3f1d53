#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "launcher/text.h"

namespace zorv {
namespace {

// Sizes past 2 TiB, exit codes and version parts all go through it: the
// extremes of each width must come out whole and with the right sign.
TEST(Text, DecimalTextWritesTheExtremesOfEveryWidth) {
    EXPECT_EQ(DecimalText(0), L"0");
    EXPECT_EQ(DecimalText(std::numeric_limits<std::int32_t>::min()), L"-2147483648");
    EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::min()), L"-9223372036854775808");
    EXPECT_EQ(DecimalText(std::numeric_limits<std::uint64_t>::max()), L"18446744073709551615");
    EXPECT_EQ(DecimalText(std::uint16_t{65535}), L"65535");
}

}  // namespace
}  // namespace zorv
