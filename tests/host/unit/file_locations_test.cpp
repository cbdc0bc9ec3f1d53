#include <gtest/gtest.h>

#include "fake_platform.h"
#include "launcher/file_locations.h"
#include "launcher/launcher.h"

namespace zorv {
namespace {

using testing::FakePlatform;

TEST(FileLocations, SettingsFileUsesTheLastDotOfTheWholePath) {
    std::wstring path;
    ASSERT_TRUE(SettingsFileFor(L"C:\\my.apps\\viewer.exe", path));
    EXPECT_EQ(path, L"C:\\my.apps\\viewer.ini");
    ASSERT_TRUE(SettingsFileFor(L"C:\\my.apps\\viewer", path));
    EXPECT_EQ(path, L"C:\\my.ini");
    EXPECT_FALSE(SettingsFileFor(L"C:\\apps\\viewer", path));
    EXPECT_EQ(UserSettingsFileName(L"C:\\a.b\\my.viewer.exe"), L"my.viewer.ini");
    EXPECT_EQ(UserSettingsFileName(L"viewer"), L"viewer.ini");
    EXPECT_EQ(RemoveReservedFileNameCharacters(L"a\\?\"|><:/*b c"), L"ab c");
    EXPECT_EQ(FolderOf(L"C:\\app\\app.exe"), L"C:\\app");
    EXPECT_EQ(FolderWithSeparatorOf(L"C:\\app\\app.exe"), L"C:\\app\\");
    EXPECT_EQ(FolderOf(L"app.exe"), L"");
    EXPECT_EQ(FolderWithSeparatorOf(L"app.exe"), L"");
}

TEST(FileLocations, PerUserAndPairPaths) {
    FakePlatform platform;
    Launcher launcher(platform);
    platform.modulePath = L"C:\\Apps\\Viewer\\viewer.exe";
    launcher.productName = L"Demo: Viewer";
    launcher.productCode = L"X";
    std::wstring path;
    launcher.GetUserSettingsPath(path, false);
    EXPECT_EQ(path, L"\\Demo Viewer\\X\\viewer.ini");  // no APPDATA: under the drive's root
    platform.SetEnv(L"APPDATA", L"C:\\Roaming");
    launcher.GetUserSettingsPath(path, true);
    EXPECT_EQ(path, L"C:\\Roaming\\Demo Viewer\\X\\viewer.ini");
    EXPECT_EQ(platform.createdFolders, (std::vector<std::wstring>{L"C:\\Roaming\\Demo Viewer", L"C:\\Roaming\\Demo Viewer\\X"}));

    launcher.productName = L"\\?\"|><:/*";
    launcher.GetUserSettingsPath(path, false);
    EXPECT_EQ(path, L"C:\\Roaming\\\\X\\viewer.ini");

    EXPECT_FALSE(launcher.GetPairSettingsFilePath(path));
    launcher.GetPairUserSettingsPath(path);
    EXPECT_EQ(path, L"");
    launcher.pairProduct = L"C:\\Apps\\Viewer32\\viewer32.exe";
    ASSERT_TRUE(launcher.GetPairSettingsFilePath(path));
    EXPECT_EQ(path, L"C:\\Apps\\Viewer32\\viewer32.ini");
    launcher.GetPairUserSettingsPath(path);
    EXPECT_EQ(path, L"C:\\Roaming\\\\X\\viewer32.ini");
}

TEST(FileLocations, WorkingDirectoryIsTheExecutablesFolder) {
    FakePlatform platform;
    Launcher launcher(platform);
    platform.modulePath = L"C:\\viewer.exe";
    launcher.ApplyWorkingDirectory();
    EXPECT_EQ(platform.currentFolder, L"C:");
    platform.modulePath = L"C:\\Apps\\v.exe";
    launcher.ApplyWorkingDirectory();
    EXPECT_EQ(platform.currentFolder, L"C:\\Apps");
    platform.currentFolder.clear();
    platform.modulePath = L"\\v.exe";
    launcher.ApplyWorkingDirectory();
    EXPECT_EQ(platform.currentFolder, L"");
}

TEST(FileLocations, RemovePathComponentsCutsAtTheLastBackslashes) {
    EXPECT_EQ(RemovePathComponents(L"C:\\rt\\bin\\server\\jvm.dll", 2), L"C:\\rt\\bin");
    EXPECT_EQ(RemovePathComponents(L"C:\\rt\\bin\\server\\jvm.dll", 3), L"C:\\rt");
    EXPECT_EQ(RemovePathComponents(L"jvm.dll", 3), L"jvm.dll");
    EXPECT_EQ(RemovePathComponents(L"a\\b", 5), L"a");
}

}  // namespace
}  // namespace zorv
