#include <gtest/gtest.h>

#include "fake_platform.h"
#include "launcher/launcher.h"
#include "runtime/jvm_library.h"
#include "runtime/runtime_not_found.h"
#include "ui/dialog_layout.h"
#include "ui/hyperlink_colour.h"

namespace zorv {
namespace {

using testing::FakePlatform;

class RuntimeDialog : public ::testing::Test {
protected:
    FakePlatform platform;
    Launcher launcher{platform};

    void SetUp() override {
        platform.modulePath = L"C:\\app\\app.exe";
        platform.SetEnv(L"APPDATA", L"C:\\Users\\u\\AppData");
        launcher.productName = L"Viewer";
        launcher.productCode = L"{P}";
        launcher.maximumVersion = VersionNumber::Open();
        launcher.minimumVersion.Parse(L"1.8", 0);
        platform.activeWindow = reinterpret_cast<WindowHandle>(0x1234);
        platform.files = {L"C:\\Java\\jre8\\bin\\client\\jvm.dll", L"C:\\Java\\srv\\bin\\server\\jvm.dll"};
    }
    // Every file that received a "JRE Path", with the value it got.
    std::map<std::wstring, std::wstring> Remembered() {
        std::map<std::wstring, std::wstring> written;
        for (auto& [path, sections] : platform.profiles) {
            auto section = sections.find(L"java runtime environment");
            if (section == sections.end()) continue;
            auto key = section->second.find(L"jre path");
            if (key != section->second.end()) written[path] = key->second;
        }
        return written;
    }
};

TEST_F(RuntimeDialog, CancelEndsTheSearchAndWritesNothing) {
    platform.browsedFolders = {L"C:\\Java\\jre8"};
    EXPECT_FALSE(launcher.LocateRuntime());
    ASSERT_EQ(platform.dialogMessages.size(), 1u);
    EXPECT_EQ(platform.dialogMessages[0],
              L"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (minimum version "
              L"1.8) from:");
    EXPECT_EQ(platform.dialogOwners[0], platform.activeWindow);
    EXPECT_TRUE(Remembered().empty());
    EXPECT_EQ(launcher.jvmLibraryPath, L"");
}

TEST_F(RuntimeDialog, OkNeedsTheLastFolderToHoldALibraryOfTheRequiredType) {
    launcher.jvmType = serverOnly;
    platform.runtimeDialogAnswer = kDialogOk;
    platform.browsedFolders = {L"C:\\Java\\jre8"};
    EXPECT_FALSE(launcher.LocateRuntime());
    EXPECT_NE(platform.dialogMessages[0].find(L"a JRE with a server JVM (minimum version 1.8)"), std::wstring::npos);
    platform.browsedFolders = {L"C:\\Java\\srv", L"C:\\Nothing"};
    EXPECT_FALSE(launcher.LocateRuntime());
    EXPECT_TRUE(Remembered().empty());

    RuntimeNotFoundDialog dialog(platform, L"", serverOnly);
    EXPECT_TRUE(dialog.TakeFolder(L"C:\\Java\\srv\\"));
    EXPECT_EQ(dialog.chosenFolder, L"C:\\Java\\srv\\");
    EXPECT_EQ(dialog.jvmLibraryPath, L"C:\\Java\\srv\\bin\\server\\jvm.dll");
    EXPECT_FALSE(dialog.TakeFolder(L""));
    EXPECT_EQ(dialog.chosenFolder, L"");
}

TEST_F(RuntimeDialog, ChosenFolderIsUsedAndRememberedPerUserForThisProductAndItsPair) {
    launcher.pairProduct = L"C:\\app\\app32.exe";
    platform.runtimeDialogAnswer = kDialogOk;
    platform.browsedFolders = {L"C:\\Java\\jre8"};
    ASSERT_TRUE(launcher.LocateRuntime());
    EXPECT_EQ(launcher.jvmLibraryPath, L"C:\\Java\\jre8\\bin\\client\\jvm.dll");
    EXPECT_FALSE(launcher.handOverToPair);
    std::map<std::wstring, std::wstring> expected = {
        {L"C:\\Users\\u\\AppData\\Viewer\\{P}\\app.ini", L"C:\\Java\\jre8\\"},
        {L"C:\\Users\\u\\AppData\\Viewer\\{P}\\app32.ini", L"C:\\Java\\jre8\\"},
    };
    EXPECT_EQ(Remembered(), expected);
    EXPECT_NE(std::find(platform.createdFolders.begin(), platform.createdFolders.end(),
                        L"C:\\Users\\u\\AppData\\Viewer\\{P}"),
              platform.createdFolders.end());
}

TEST_F(RuntimeDialog, ServiceRemembersBesideTheExecutablesAndA32BitChoiceHandsOver) {
    launcher.isService = true;
    launcher.pairProduct = L"C:\\app\\app32.exe";
    platform.machines[L"C:\\Java\\jre8\\bin\\client\\jvm.dll"] = kMachineI386;
    platform.runtimeDialogAnswer = kDialogOk;
    platform.browsedFolders = {L"C:\\Java\\jre8\\"};
    ASSERT_TRUE(launcher.LocateRuntime());
    EXPECT_TRUE(launcher.handOverToPair);
    std::map<std::wstring, std::wstring> expected = {
        {L"C:\\app\\app.ini", L"C:\\Java\\jre8\\"},
        {L"C:\\app\\app32.ini", L"C:\\Java\\jre8\\"},
    };
    EXPECT_EQ(Remembered(), expected);

    // Without a "." in the executable's path there is no settings file to name.
    platform.profiles.clear();
    platform.modulePath = L"C:\\app\\app";
    ASSERT_TRUE(launcher.LocateRuntime());
    EXPECT_TRUE(Remembered().empty());
}

TEST(CenteredPosition, CentresOnTheReferenceAndStaysInTheWorkArea) {
    const Rect workArea{0, 0, 1920, 1040};
    EXPECT_EQ(CenteredPosition(workArea, workArea, 400, 300).x, 760);
    EXPECT_EQ(CenteredPosition(workArea, workArea, 400, 300).y, 370);
    // Odd sizes: both halves truncate.
    Point odd = CenteredPosition(Rect{0, 0, 1001, 801}, workArea, 301, 201);
    EXPECT_EQ(odd.x, 500 - 150);
    EXPECT_EQ(odd.y, 400 - 100);
    // An owner near the right edge: pushed back inside.
    EXPECT_EQ(CenteredPosition(Rect{1700, 0, 1900, 100}, workArea, 400, 300).x, 1520);
    // Larger than the work area: onto its left and top edges.
    Point large = CenteredPosition(workArea, Rect{100, 50, 1920, 1040}, 2500, 1500);
    EXPECT_EQ(large.x, 100);
    EXPECT_EQ(large.y, 50);
    // A reference left of the area's origin (a second monitor) keeps its sign.
    EXPECT_EQ(CenteredPosition(Rect{-1001, 0, 0, 100}, Rect{-1920, 0, 0, 1040}, 200, 100).x, -600);
}

TEST(DialogLayout, ExceptionDialogFollowsTheClientSizeOneToOne) {
    // The dialog's controls as laid out at a client size of 550 x 480.
    const std::map<std::int32_t, Rect> opened = {
        {209, {16, 22, 534, 464}}, {210, {84, 56, 518, 88}},   {212, {32, 374, 518, 410}},
        {211, {32, 328, 518, 364}}, {208, {32, 108, 518, 312}}, {1, {306, 420, 406, 448}},
        {2, {418, 420, 518, 448}},
    };
    std::map<std::int32_t, Rect> grown;
    for (const LayoutEntry* entry = kExceptionDialogLayout; entry->id != kLayoutEnd.id; ++entry) {
        LayoutItem item{entry->id, entry->flags, opened.at(entry->id)};
        grown[entry->id] = LaidOutRect(item, item.rect, 650, 530, 550, 480);
    }
    ASSERT_EQ(grown.size(), 7u);
    auto delta = [&](std::int32_t id) {
        const Rect& a = opened.at(id);
        const Rect& b = grown.at(id);
        return std::vector<int>{b.left - a.left, b.top - a.top, b.right - a.right, b.bottom - a.bottom};
    };
    EXPECT_EQ(delta(208), (std::vector<int>{0, 0, 100, 50}));
    EXPECT_EQ(delta(209), (std::vector<int>{0, 0, 100, 50}));
    EXPECT_EQ(delta(210), (std::vector<int>{0, 0, 100, 0}));
    EXPECT_EQ(delta(211), (std::vector<int>{0, 50, 100, 50}));
    EXPECT_EQ(delta(212), (std::vector<int>{0, 50, 100, 50}));
    EXPECT_EQ(delta(1), (std::vector<int>{100, 50, 100, 50}));
    EXPECT_EQ(delta(2), (std::vector<int>{100, 50, 100, 50}));

    // Placement is from the recorded rectangle, so repeated sizes do not drift,
    // and centring keeps the recorded extent.
    LayoutItem centred{7, layoutCentreX | layoutMoveY, Rect{10, 10, 60, 30}};
    Rect placed = LaidOutRect(centred, Rect{99, 99, 99, 99}, 301, 200, 100, 100);
    EXPECT_EQ(placed.left, 125);
    EXPECT_EQ(placed.right, 175);
    EXPECT_EQ(placed.top, 110);
    EXPECT_EQ(placed.bottom, 130);
}

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
