#include <gtest/gtest.h>

#include "vm/memory_options.h"

namespace zorv {
namespace {

TEST(MemoryOptions, ScanSizeNumbers) {
    SizeNumbers scan = ScanSizeNumbers(L"-Xmx50:256:1024p");
    EXPECT_EQ(scan.prefixLength, 4u);
    EXPECT_EQ(scan.numbers, (std::vector<std::uint64_t>{50, 256, 1024}));
    EXPECT_EQ(ScanSizeNumbers(L"-Xmx:512t").numbers, (std::vector<std::uint64_t>{0, 512}));
    EXPECT_EQ(ScanSizeNumbers(L"-Xss1048576").numbers, (std::vector<std::uint64_t>{1048576}));
    EXPECT_TRUE(ScanSizeNumbers(L"-Xmxp").numbers.empty());
}

TEST(MemoryOptions, PercentagesOfAnEightGigabyteMachine) {
    MemoryStatus memory;
    memory.totalPhysical = 8589934592ull;
    auto rewrite = [&](std::wstring option) {
        EXPECT_TRUE(IsPercentMemoryOption(option)) << option;
        RewritePercentMemoryOption(option, memory);
        return option;
    };
    EXPECT_EQ(rewrite(L"-Xmx50p"), L"-Xmx4194304K");
    EXPECT_EQ(rewrite(L"-Xmx50P"), L"-Xmx4194304K");
    EXPECT_EQ(rewrite(L"-Xmx50:256:1024p"), L"-Xmx1048576K");
    EXPECT_EQ(rewrite(L"-Xms1:512p"), L"-Xms524288K");
    EXPECT_EQ(rewrite(L"-Xmx25:2048:1024p"), L"-Xmx2097152K");
    EXPECT_EQ(rewrite(L"-Xss10p"), L"-Xss838860K");
    EXPECT_EQ(rewrite(L"-Xmx0p"), L"-Xmx0K");
    EXPECT_EQ(rewrite(L"-Xmxp"), L"-Xmxp0K");
    EXPECT_FALSE(IsPercentMemoryOption(L"-XMX50p"));
    EXPECT_FALSE(IsPercentMemoryOption(L"-Xmx512m"));
    EXPECT_FALSE(IsPercentMemoryOption(L"-Xmx1g"));
}

TEST(MemoryOptions, LargeSizesStayPositive) {
    MemoryStatus memory;
    memory.availableVirtual = 128ull << 40;  // the 128 TiB address space of a 64-bit process
    std::wstring option = L"-Xmx50t";
    RewritePercentMemoryOption(option, memory);
    EXPECT_EQ(option, L"-Xmx68719476736K");
    option = L"-Xmx100000p";
    memory.totalPhysical = 1ull << 40;
    RewritePercentMemoryOption(option, memory);
    EXPECT_EQ(option, L"-Xmx1073741824000K");
    memory.totalPhysical = 1000 * 1024 + 1023;  // the remainder below a kilobyte is dropped first
    option = L"-Xmx50p";
    RewritePercentMemoryOption(option, memory);
    EXPECT_EQ(option, L"-Xmx500K");
}

TEST(MemoryOptions, StackSizeUnits) {
    EXPECT_EQ(StackSizeFromOption(L"-Xss512k"), 524288u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss2m"), 2097152u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss1g"), 1073741824u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss1048576"), 1048576u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss838860K"), 858992640u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss"), 0u);
    EXPECT_EQ(StackSizeFromOption(L"-Xssgarbage"), 0u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss1:2m"), 0u);
    EXPECT_EQ(StackSizeFromOption(L"-Xss%SS%"), 0u);
}

}  // namespace
}  // namespace zorv
