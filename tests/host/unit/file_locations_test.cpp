#include <gtest/gtest.h>

#include <algorithm>

#include "fake_platform.h"
#include "launcher/file_locations.h"
#include "launcher/launcher_settings.h"

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
    InstanceSettings product;
    platform.modulePath = L"C:\\Apps\\Viewer\\viewer.exe";
    product.productName = L"Demo: Viewer";
    product.productCode = L"X";
    std::wstring path;
    platform.SetEnv(L"APPDATA", L"C:\\Roaming\\");
    path = UserSettingsPath(platform, product, platform.modulePath, true);
    EXPECT_EQ(path, L"C:\\Roaming\\Demo Viewer\\X\\viewer.ini");
    EXPECT_EQ(platform.createdFolders,
              (std::vector<std::wstring>{L"C:\\Roaming", L"C:\\Roaming\\Demo Viewer", L"C:\\Roaming\\Demo Viewer\\X"}));

    product.productName = L"\\?\"|><:/*";
    path = UserSettingsPath(platform, product, platform.modulePath, false);
    EXPECT_EQ(path, L"C:\\Roaming\\\\X\\viewer.ini");

    EXPECT_FALSE(SettingsFileFor(product.pairProduct, path));
    path = UserSettingsPath(platform, product, product.pairProduct, true);
    EXPECT_EQ(path, L"");
    product.pairProduct = L"C:\\Apps\\Viewer32\\viewer32.exe";
    ASSERT_TRUE(SettingsFileFor(product.pairProduct, path));
    EXPECT_EQ(path, L"C:\\Apps\\Viewer32\\viewer32.ini");
    path = UserSettingsPath(platform, product, product.pairProduct, true);
    EXPECT_EQ(path, L"C:\\Roaming\\\\X\\viewer32.ini");
}

// The environment names a user's folder only with a full path; anything
// else would put the user's files wherever the start happens to be.
TEST(FileLocations, PerUserFoldersComeOnlyFromFullPaths) {
    FakePlatform platform;
    InstanceSettings product;
    product.productName = L"Demo";
    product.productCode = L"X";
    auto settingsFolder = [&](UserFolderKind kind = UserFolderKind::settings) {
        std::wstring folder = L"<stale>";
        return UserFolder(platform, product, kind, true, folder) ? folder : L"none: " + folder;
    };
    EXPECT_EQ(settingsFolder(), L"none: ");
    for (const wchar_t* notFull : {L"", L"Roaming", L"\\Roaming", L"C:Roaming", L"/Roaming", L":\\x"}) {
        platform.SetEnv(L"APPDATA", notFull);
        EXPECT_EQ(settingsFolder(), L"none: ") << notFull;
    }
    EXPECT_TRUE(platform.createdFolders.empty());
    platform.SetEnv(L"APPDATA", L"\\\\server\\share");
    EXPECT_EQ(settingsFolder(), L"\\\\server\\share\\Demo\\X");
    platform.SetEnv(L"APPDATA", L"d:/Users/u/Roaming");
    EXPECT_EQ(settingsFolder(), L"d:\\Users\\u\\Roaming\\Demo\\X");
    // Caches have a variable of their own, and HOME means nothing to Windows.
    platform.SetEnv(L"HOME", L"C:\\Users\\u");
    EXPECT_EQ(settingsFolder(UserFolderKind::cache), L"none: ");
    platform.SetEnv(L"LOCALAPPDATA", L"C:\\Local");
    EXPECT_EQ(settingsFolder(UserFolderKind::cache), L"C:\\Local\\Demo\\X");

    // Linux: XDG_CONFIG_HOME and XDG_CACHE_HOME when they are absolute, else
    // the folders under HOME; without a HOME, nothing.
    platform.conventions = &kLinuxConventions;
    platform.variables.clear();
    EXPECT_EQ(settingsFolder(), L"none: ");
    platform.SetEnv(L"HOME", L"home/ann");
    EXPECT_EQ(settingsFolder(UserFolderKind::cache), L"none: ");
    platform.SetEnv(L"HOME", L"/home/ann/");
    EXPECT_EQ(settingsFolder(), L"\\home\\ann\\.config\\Demo\\X");
    EXPECT_EQ(settingsFolder(UserFolderKind::cache), L"\\home\\ann\\.cache\\Demo\\X");
    platform.SetEnv(L"XDG_CONFIG_HOME", L"relative/config");
    platform.SetEnv(L"XDG_CACHE_HOME", L"/var/cache/ann");
    EXPECT_EQ(settingsFolder(), L"\\home\\ann\\.config\\Demo\\X");
    EXPECT_EQ(settingsFolder(UserFolderKind::cache), L"\\var\\cache\\ann\\Demo\\X");
    // The base folder is made too: a new user has no ~/.config yet.
    EXPECT_NE(std::find(platform.createdFolders.begin(), platform.createdFolders.end(), L"\\home\\ann\\.config"),
              platform.createdFolders.end());
}

// Names from the settings file may come from anyone: they never climb out
// of the user's folder nor name a folder that cannot be made.
TEST(FileLocations, ProductNamesBecomeOneHarmlessFolderName) {
    EXPECT_EQ(UserFolderName(L"..\\..\\Windows"), L"Windows");
    EXPECT_EQ(UserFolderName(L"../../etc"), L"etc");
    EXPECT_EQ(UserFolderName(L".."), L"");
    EXPECT_EQ(UserFolderName(L" . "), L"");
    EXPECT_EQ(UserFolderName(L"Demo: Viewer 2.0."), L"Demo Viewer 2.0");
    EXPECT_EQ(UserFolderName(L"a\tb\nc\x7F"), L"abc");
    EXPECT_EQ(UserFolderName(L"{1234-AB}"), L"{1234-AB}");

    FakePlatform platform;
    InstanceSettings product;
    platform.SetEnv(L"APPDATA", L"C:\\Roaming");
    product.productName = L"Demo";
    product.productCode = L"..\\..\\..";
    std::wstring path;
    path = UserSettingsPath(platform, product, platform.modulePath, false);
    EXPECT_EQ(path, L"C:\\Roaming\\Demo\\\\app.ini");
}

TEST(FileLocations, WorkingDirectoryIsTheExecutablesFolder) {
    FakePlatform platform;
    platform.modulePath = L"C:\\viewer.exe";
    ApplyWorkingDirectory(platform, platform.modulePath);
    EXPECT_EQ(platform.currentFolder, L"C:");
    platform.modulePath = L"C:\\Apps\\v.exe";
    ApplyWorkingDirectory(platform, platform.modulePath);
    EXPECT_EQ(platform.currentFolder, L"C:\\Apps");
    platform.currentFolder.clear();
    platform.modulePath = L"\\v.exe";
    ApplyWorkingDirectory(platform, platform.modulePath);
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
