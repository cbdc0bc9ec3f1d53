#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "runtime/jvm_library.h"
#include "runtime/runtime_not_found.h"

namespace zorv {
namespace {

using testing::FakePlatform;

class RuntimeDialog : public testing::LauncherFixture {
protected:
    void SetUp() override {
        LauncherFixture::SetUp();
        platform.SetEnv(L"APPDATA", L"C:\\Users\\u\\AppData");
        settings.instance.productName = L"Viewer";
        settings.instance.productCode = L"{P}";
        settings.runtime.maximumVersion = VersionNumber::Open();
        settings.runtime.minimumVersion.Parse(L"1.8", 0);
        platform.activeWindow = reinterpret_cast<WindowHandle>(0x1234);
        platform.existingFiles = {L"C:\\Java\\jre8\\bin\\client\\jvm.dll", L"C:\\Java\\srv\\bin\\server\\jvm.dll"};
    }
    // Every file that received a "JRE Path", with the value it got.
    std::map<std::wstring, std::wstring> Remembered() {
        std::map<std::wstring, std::wstring> written;
        for (auto& file : platform.settingsFiles) {
            std::wstring value = platform.ProfileValue(file.first, L"java runtime environment", L"jre path");
            if (!value.empty()) written[file.first] = value;
        }
        return written;
    }
};

TEST_F(RuntimeDialog, CancelEndsTheSearchAndWritesNothing) {
    platform.browsedFolders = {L"C:\\Java\\jre8"};
    EXPECT_FALSE(Locate());
    ASSERT_EQ(platform.dialogMessages.size(), 1u);
    EXPECT_EQ(platform.dialogMessages[0],
              L"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (minimum version "
              L"1.8) from:");
    EXPECT_EQ(platform.dialogOwners[0], platform.activeWindow);
    EXPECT_TRUE(Remembered().empty());
    EXPECT_EQ(chosen.jvmLibraryPath, L"");
}

TEST_F(RuntimeDialog, OkNeedsTheLastFolderToHoldALibraryOfTheRequiredType) {
    settings.runtime.jvmType = serverOnly;
    platform.runtimeDialogAnswer = kDialogOk;
    platform.browsedFolders = {L"C:\\Java\\jre8"};
    EXPECT_FALSE(Locate());
    EXPECT_NE(platform.dialogMessages[0].find(L"a JRE with a server JVM (minimum version 1.8)"), std::wstring::npos);
    platform.browsedFolders = {L"C:\\Java\\srv", L"C:\\Nothing"};
    EXPECT_FALSE(Locate());
    EXPECT_TRUE(Remembered().empty());

    RuntimeNotFoundDialog dialog(platform, settings.runtime, Machines(), L"");
    EXPECT_TRUE(dialog.TakeFolder(L"C:\\Java\\srv\\"));
    EXPECT_EQ(dialog.chosenFolder, L"C:\\Java\\srv\\");
    EXPECT_EQ(dialog.jvmLibraryPath, L"C:\\Java\\srv\\bin\\server\\jvm.dll");
    EXPECT_FALSE(dialog.TakeFolder(L""));
    EXPECT_EQ(dialog.chosenFolder, L"");
}

TEST_F(RuntimeDialog, ChosenFolderIsUsedAndRememberedPerUserForThisProductAndItsPair) {
    settings.instance.pairProduct = L"C:\\app\\app32.exe";
    platform.runtimeDialogAnswer = kDialogOk;
    platform.browsedFolders = {L"C:\\Java\\jre8"};
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\Java\\jre8\\bin\\client\\jvm.dll");
    EXPECT_FALSE(chosen.handOverToPair);
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
    settings.instance.isService = true;
    settings.instance.pairProduct = L"C:\\app\\app32.exe";
    platform.machines[L"C:\\Java\\jre8\\bin\\client\\jvm.dll"] = kMachineI386;
    platform.runtimeDialogAnswer = kDialogOk;
    platform.browsedFolders = {L"C:\\Java\\jre8\\"};
    ASSERT_TRUE(Locate());
    EXPECT_TRUE(chosen.handOverToPair);
    std::map<std::wstring, std::wstring> expected = {
        {L"C:\\app\\app.ini", L"C:\\Java\\jre8\\"},
        {L"C:\\app\\app32.ini", L"C:\\Java\\jre8\\"},
    };
    EXPECT_EQ(Remembered(), expected);

    // Without a "." in the executable's path there is no settings file to name.
    platform.settingsFiles.clear();
    platform.modulePath = L"C:\\app\\app";
    files = ProgramFiles{platform.modulePath, L""};
    ASSERT_TRUE(Locate());
    EXPECT_TRUE(Remembered().empty());
}

// What the line under the path says after each folder, empty while OK is
// enabled for the folder itself.
std::vector<std::wstring> Verdicts(RuntimeNotFoundDialog& dialog, const std::vector<std::wstring>& folders,
                                   std::vector<bool>& usable) {
    std::vector<std::wstring> verdicts;
    for (const std::wstring& folder : folders) {
        usable.push_back(dialog.TakeFolder(folder));
        verdicts.push_back(dialog.verdict);
    }
    return verdicts;
}

TEST_F(RuntimeDialog, AFolderNextToTheRuntimeLeadsToItOnlyWhenItIsTheOnlyOne) {
    platform.existingFiles.insert(L"C:\\Jdks\\jdk-17\\bin\\server\\jvm.dll");
    platform.listings[L"C:\\Java\\*"] = {L".", L"..", L"jre8", L"srv"};
    platform.listings[L"C:\\Jdks\\*"] = {L".", L"..", L"readme.txt", L"jdk-17"};
    RuntimeNotFoundDialog dialog(platform, settings.runtime, Machines(), L"");
    std::vector<bool> usable;
    std::vector<std::wstring> verdicts =
        Verdicts(dialog, {L"C:\\Jdks\\jdk-17\\BIN", L"C:\\Jdks", L"C:\\Java", L"C:\\Java\\jre8\\bin\\client"}, usable);
    EXPECT_EQ(usable, (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(verdicts, (std::vector<std::wstring>{L"Runtime found in C:\\Jdks\\jdk-17\\",
                                                   L"Runtime found in C:\\Jdks\\jdk-17\\",
                                                   L"Several runtimes in this folder: choose one of them.",
                                                   L"No JVM library in this folder."}));
    EXPECT_EQ(dialog.jvmLibraryPath, L"");

    // What OK remembers is the runtime's home, not the folder picked.
    platform.runtimeDialogAnswer = kDialogOk;
    platform.browsedFolders = {L"C:\\Jdks\\jdk-17\\bin"};
    ASSERT_TRUE(Locate());
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\Jdks\\jdk-17\\bin\\server\\jvm.dll");
    EXPECT_EQ(Remembered()[L"C:\\Users\\u\\AppData\\Viewer\\{P}\\app.ini"], L"C:\\Jdks\\jdk-17\\");
}

TEST_F(RuntimeDialog, ARuntimeThisLauncherCannotStartKeepsOkDisabledAndSaysWhy) {
    platform.existingFiles.insert(L"C:\\Java\\arm\\bin\\client\\jvm.dll");
    platform.existingFiles.insert(L"C:\\Java\\old\\bin\\client\\jvm.dll");
    platform.machines[L"C:\\Java\\jre8\\bin\\client\\jvm.dll"] = kMachineI386;
    platform.machines[L"C:\\Java\\arm\\bin\\client\\jvm.dll"] = 0xAA64;
    platform.machines[L"C:\\Java\\srv\\bin\\server\\jvm.dll"] = kMachineAmd64;
    platform.fileContents[L"C:\\Java\\old\\release"] = "JAVA_VERSION=\"1.7.0_80\"\n";
    platform.fileContents[L"C:\\Java\\srv\\release"] = "IMPLEMENTOR=\"x\"\nJAVA_VERSION=\"17.0.9\"\n";
    RuntimeNotFoundDialog dialog(platform, settings.runtime, Machines(), L"");
    std::vector<bool> usable;
    std::vector<std::wstring> verdicts =
        Verdicts(dialog, {L"C:\\Java\\jre8", L"C:\\Java\\arm", L"C:\\Java\\old", L"C:\\Java\\srv"}, usable);
    EXPECT_EQ(usable, (std::vector<bool>{false, false, false, true}));
    EXPECT_EQ(verdicts, (std::vector<std::wstring>{L"A runtime for 32-bit processors: this launcher needs a 64-bit one.",
                                                   L"A runtime for other processors: this launcher needs a 64-bit one.",
                                                   L"Version 1.7.0.80 is out of bounds: minimum version 1.8.", L""}));

    // A pair takes the 32-bit one.
    settings.instance.pairProduct = L"C:\\app\\app32.exe";
    Machines();  // the dialog's view of the records, brought up to date
    EXPECT_TRUE(dialog.TakeFolder(L"C:\\Java\\jre8"));
    EXPECT_EQ(dialog.verdict, L"");
}

TEST_F(RuntimeDialog, ARememberedRuntimeOfTheWrongArchitectureIsPassedOverAndTheDialogAsksAgain) {
    settings.runtime.configuredRuntimeFolder = L"C:\\Java\\jre8";
    platform.machines[L"C:\\Java\\jre8\\bin\\client\\jvm.dll"] = kMachineI386;
    platform.browsedFolders = {L"C:\\Java\\srv"};
    platform.runtimeDialogAnswer = kDialogOk;
    ASSERT_TRUE(Locate());
    EXPECT_EQ(platform.dialogMessages.size(), 1u);
    EXPECT_EQ(chosen.jvmLibraryPath, L"C:\\Java\\srv\\bin\\server\\jvm.dll");

    // With a pair to take it, it is used as before.
    settings.instance.pairProduct = L"C:\\app\\app32.exe";
    ASSERT_TRUE(Locate());
    EXPECT_EQ(platform.dialogMessages.size(), 1u);
    EXPECT_TRUE(chosen.handOverToPair);
}

}  // namespace
}  // namespace zorv
