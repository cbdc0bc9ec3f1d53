#include <gtest/gtest.h>

#include "fake_platform.h"
#include "runtime/jvm_library.h"

namespace zorv {
namespace {

using testing::FakePlatform;

TEST(FindJvmLibrary, OrderDependsOnTheJvmType) {
    FakePlatform platform;
    bool server = true;
    platform.existingFiles = {L"H\\bin\\client\\jvm.dll"};
    EXPECT_EQ(FindJvmLibrary(platform, L"H\\", serverOnly, server), L"");
    EXPECT_EQ(FindJvmLibrary(platform, L"H\\", serverFirst, server), L"H\\bin\\client\\jvm.dll");
    EXPECT_FALSE(server);
    platform.existingFiles.insert(L"H\\bin\\server\\jvm.dll");
    EXPECT_EQ(FindJvmLibrary(platform, L"H\\", clientFirst, server), L"H\\bin\\client\\jvm.dll");
    EXPECT_EQ(FindJvmLibrary(platform, L"H\\", serverFirst, server), L"H\\bin\\server\\jvm.dll");
    EXPECT_TRUE(server);
    platform.existingFiles = {L"H\\bin\\jrockit\\jvm.dll"};
    EXPECT_EQ(FindJvmLibrary(platform, L"H\\", clientFirst, server), L"H\\bin\\jrockit\\jvm.dll");
    EXPECT_EQ(FindJvmLibrary(platform, L"H\\", serverOnly, server), L"");
}

std::vector<unsigned char> Image(std::uint32_t ntOffset, std::uint16_t machine, std::size_t size) {
    std::vector<unsigned char> bytes(size, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i) bytes[0x3C + i] = static_cast<unsigned char>(ntOffset >> (8 * i));
    if (ntOffset + 6 <= size) {
        bytes[ntOffset] = 'P';
        bytes[ntOffset + 1] = 'E';
        bytes[ntOffset + 4] = static_cast<unsigned char>(machine);
        bytes[ntOffset + 5] = static_cast<unsigned char>(machine >> 8);
    }
    return bytes;
}

TEST(PeImageMachine, ReadsOnlyWellFormedHeaders) {
    auto i386 = Image(0x80, 0x014C, 0x200);
    EXPECT_EQ(PeImageMachine(i386.data(), i386.size()), 0x014C);
    auto amd64 = Image(0x80, 0x8664, 0x200);
    EXPECT_EQ(PeImageMachine(amd64.data(), amd64.size()), 0x8664);
    EXPECT_EQ(PeImageMachine(i386.data(), 0x84), 0);  // header cut short
    EXPECT_EQ(PeImageMachine(i386.data(), 0x20), 0);
    auto pastEnd = Image(0xFFFFFFF0u, 0x014C, 0x200);
    EXPECT_EQ(PeImageMachine(pastEnd.data(), pastEnd.size()), 0);
    auto notPe = i386;
    notPe[0x80] = 'N';
    EXPECT_EQ(PeImageMachine(notPe.data(), notPe.size()), 0);
    auto notMz = i386;
    notMz[0] = 'Z';
    EXPECT_EQ(PeImageMachine(notMz.data(), notMz.size()), 0);
    EXPECT_EQ(PeImageMachine(nullptr, 0), 0);
}

}  // namespace
}  // namespace zorv
