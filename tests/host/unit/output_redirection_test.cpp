#include <gtest/gtest.h>

#include "fake_platform.h"
#include "vm/output_redirection.h"

namespace zorv {
namespace {

using testing::FakePlatform;
using Strings = std::vector<std::wstring>;

TEST(Redirection, TimePictureSpansFirstToLastPercent) {
    FakePlatform platform;
    LocalTime time;
    time.milliseconds = 45;
    std::wstring name = L"C:\\logs\\out_%HH-mm-ss.L%.txt";
    ApplyTimePicture(platform, name, time);
    EXPECT_EQ(name, L"C:\\logs\\out_HH-mm-ss.45.txt");
    name = L"a%b";
    ApplyTimePicture(platform, name, time);
    EXPECT_EQ(name, L"ab");
    name = L"%yyyy%_x_%MM%";
    ApplyTimePicture(platform, name, time);
    EXPECT_EQ(name, L"yyyy%_x_%MM");
}

TEST(Redirection, EnsureFoldersCreatesEachMissingLevel) {
    FakePlatform platform;
    EXPECT_TRUE(EnsureFolders(platform, L"C:\\logs\\2026\\out.txt"));
    EXPECT_EQ(platform.createdFolders, (Strings{L"C:\\logs", L"C:\\logs\\2026"}));
    platform.createdFolders.clear();
    platform.existingFiles.insert(L"C:\\exists\\out.txt");
    EXPECT_TRUE(EnsureFolders(platform, L"C:\\exists\\out.txt"));
    EXPECT_TRUE(platform.createdFolders.empty());
    EXPECT_TRUE(EnsureFolders(platform, L"logs\\out.txt"));
    EXPECT_EQ(platform.createdFolders, (Strings{L"logs"}));
    // The server and share of a UNC path cannot be created (nor, without
    // rights, other levels); creation goes on below them all the same.
    platform.createdFolders.clear();
    const std::uint32_t kBadNetPath = 53, kAccessDenied = 5;
    for (const wchar_t* unreachable : {L"\\", L"\\\\server", L"\\\\server\\share"})
        platform.folderErrors[unreachable] = kBadNetPath;
    platform.folderErrors[L"\\\\server\\share\\locked"] = kAccessDenied;
    EXPECT_TRUE(EnsureFolders(platform, L"\\\\server\\share\\locked\\logs\\out.txt"));
    EXPECT_EQ(platform.createdFolders, (Strings{L"\\\\server\\share\\locked\\logs"}));
    // On a drive the first failure ends it.
    platform.createdFolders.clear();
    platform.folderErrors[L"D:\\locked"] = kAccessDenied;
    EXPECT_FALSE(EnsureFolders(platform, L"D:\\locked\\logs\\out.txt"));
    EXPECT_TRUE(platform.createdFolders.empty());
}

}  // namespace
}  // namespace zorv
