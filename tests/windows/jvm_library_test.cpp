// The chosen jvm.dll examined and loaded for real: its architecture read from
// the file, and the library loaded into this process with its entry points.
#include <gtest/gtest.h>

#include <string>

#include "runtime/jvm_library.h"
#include "runtime/runtime_search.h"
#include "launcher/unique_handle.h"
#include "launcher/win32_api.h"
#include "runtime/jvm_library.h"
#include "win32_test_support.h"

namespace zorv {
namespace {

using wintest::ReadFileBytes;
using wintest::RecordingPlatform;
using wintest::Utf8;
using wintest::TempFolder;
using wintest::TestDll;
using wintest::WriteBytes;

const wchar_t kDll32[] = L"stand_in_jvm32.dll";
const wchar_t kDll64[] = L"stand_in_full.dll";


std::uint32_t HeaderOffset(const std::string& image) {
    std::uint32_t offset = 0;
    for (int i = 3; i >= 0; --i) offset = offset << 8 | static_cast<unsigned char>(image[0x3C + i]);
    return offset;
}

class Architecture : public ::testing::Test {
protected:
    RecordingPlatform platform;
    LauncherSettings settings;
    TempFolder folder;

    void SetUp() override { settings.instance.pairProduct = folder / L"x86\\app32.exe"; }

    StartableMachines Machines() const { return {kBuildArchitecture, !settings.instance.pairProduct.empty()}; }
    bool HandsOver(const std::wstring& library) { return HandsOverToPair(platform, Machines(), library); }
    // The runtime stage for an executable in the test's folder.
    bool Located(ChosenRuntime& chosen) {
        chosen.handOverToPair = true;  // must be recomputed, not kept
        const ProgramFiles files{folder / L"app.exe", folder / L"app.ini"};
        return ChooseRuntime(platform, files, settings.runtime, settings.instance, kBuildArchitecture, chosen)
            .Proceeds();
    }
    std::wstring File(const wchar_t* name, const std::string& bytes) {
        std::wstring path = folder / name;
        WriteBytes(path, bytes);
        return path;
    }
};

TEST_F(Architecture, RealImagesReportTheirMachine) {
    EXPECT_EQ(platform.files().ImageMachine(TestDll(kDll32)), kMachineI386);
    EXPECT_EQ(platform.files().ImageMachine(TestDll(kDll64)), 0x8664);
    EXPECT_EQ(platform.files().ImageMachine(wintest::TestProgramFolder() + L"\\windows_runtime_tests.exe"), 0x8664);
}

TEST_F(Architecture, OnlyA32BitLibraryWithAPairProductHandsOver) {
    EXPECT_TRUE(HandsOver(TestDll(kDll32)));
    EXPECT_FALSE(HandsOver(TestDll(kDll64)));
    settings.instance.pairProduct.clear();
    EXPECT_FALSE(HandsOver(TestDll(kDll32)));
}

TEST_F(Architecture, MalformedOrMissingFilesAreNot32Bit) {
    const std::string image = ReadFileBytes(TestDll(kDll32));
    ASSERT_GT(image.size(), 0x200u);
    const std::uint32_t header = HeaderOffset(image);
    ASSERT_GT(header, 100u);  // so the first 100 bytes stop short of it
    ASSERT_LT(header + 6, image.size());

    // Signature and Machine exactly fit: enough. One byte less: not.
    std::wstring justEnough = File(L"just_enough.dll", image.substr(0, header + 6));
    EXPECT_EQ(platform.files().ImageMachine(justEnough), kMachineI386);
    EXPECT_TRUE(HandsOver(justEnough));

    std::string pastEnd = image.substr(0, 0x40);
    pastEnd[0x3C] = '\x00';
    pastEnd[0x3D] = '\x10';  // 0x1000, beyond the 64 bytes there are
    std::string wrongSignature = image;
    wrongSignature[header + 1] = 'X';
    std::string hugeOffset = image;
    hugeOffset.replace(0x3C, 4, "\xFF\xFF\xFF\xFF", 4);  // must not wrap around when checked
    const std::pair<const wchar_t*, std::string> cases[] = {
        {L"text.dll", "This is not a program.\r\n"},
        {L"truncated.dll", image.substr(0, 100)},
        {L"one_short.dll", image.substr(0, header + 5)},
        {L"past_end.dll", pastEnd},
        {L"huge_offset.dll", hugeOffset},
        {L"wrong_signature.dll", wrongSignature},
        {L"only_mz.dll", "MZ"},
        {L"empty.dll", ""},
    };
    for (const auto& c : cases) {
        std::wstring path = File(c.first, c.second);
        EXPECT_EQ(platform.files().ImageMachine(path), 0) << Utf8(c.first);
        EXPECT_FALSE(HandsOver(path)) << Utf8(c.first);
    }
    EXPECT_FALSE(HandsOver(folder / L"missing.dll"));
    EXPECT_FALSE(HandsOver(folder.Path()));
    EXPECT_FALSE(HandsOver(L""));
}

TEST_F(Architecture, LibraryHeldOpenForWritingCannotBeRead) {
    std::wstring path = File(L"locked.dll", ReadFileBytes(TestDll(kDll32)));
    {
        ScopedFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        ASSERT_TRUE(writer.valid());
        EXPECT_EQ(platform.files().ImageMachine(path), 0);
    }
    EXPECT_EQ(platform.files().ImageMachine(path), kMachineI386);
}

TEST_F(Architecture, ConfiguredRuntimeIsCheckedWhenLocated) {
    // The configured folder is the one source besides JAVA_HOME whose library
    // is checked; a registered runtime's view already decides.
    std::wstring home32 = folder / L"jre32";
    std::wstring home64 = folder / L"jre64";
    WriteBytes(home32 + L"\\bin\\client\\jvm.dll", ReadFileBytes(TestDll(kDll32)));
    WriteBytes(home64 + L"\\bin\\client\\jvm.dll", ReadFileBytes(TestDll(kDll64)));
    ChosenRuntime chosen;
    settings.runtime.configuredRuntimeFolder = home32;
    ASSERT_TRUE(Located(chosen));
    EXPECT_TRUE(chosen.handOverToPair);
    settings.runtime.configuredRuntimeFolder = home64;
    ASSERT_TRUE(Located(chosen));
    EXPECT_FALSE(chosen.handOverToPair);
    EXPECT_TRUE(platform.boxes.empty());
}

// LoadJvmLibrary with the stand-in libraries copied into a runtime folder
// as bin\server\jvm.dll.
class Loading : public ::testing::Test {
protected:
    RecordingPlatform platform;
    JvmEntryPoints entries;
    TempFolder folder;
    std::vector<std::wstring> installed;

    void TearDown() override {
        // Unloaded, so the temporary folder can go.
        for (const std::wstring& path : installed) {
            for (int i = 0; i < 8; ++i) {
                HMODULE module = GetModuleHandleW(path.c_str());
                if (module == nullptr) break;
                FreeLibrary(module);
            }
        }
    }
    std::wstring Install(const wchar_t* dll, const wchar_t* home = L"jre") {
        std::wstring path = folder / (std::wstring(home) + L"\\bin\\server\\jvm.dll");
        WriteBytes(path, ReadFileBytes(TestDll(dll)));
        installed.push_back(path);
        return path;
    }
    std::wstring InstallBytes(const std::string& bytes, const wchar_t* home) {
        std::wstring path = folder / (std::wstring(home) + L"\\bin\\server\\jvm.dll");
        WriteBytes(path, bytes);
        return path;
    }
    void ExpectNoEntryPoints() {
        EXPECT_EQ(entries.createJavaVm, nullptr);
        EXPECT_EQ(entries.getDefaultJavaVmInitArgs, nullptr);
        EXPECT_EQ(entries.findClassFromBootLoader, nullptr);
    }
};

TEST_F(Loading, LibraryWithTheEntryPointsLoads) {
    ASSERT_TRUE(LoadJvmLibrary(platform, Install(L"stand_in_full.dll"), nullptr, entries).Proceeds());
    EXPECT_TRUE(platform.boxes.empty());
    ASSERT_NE(entries.createJavaVm, nullptr);
    ASSERT_NE(entries.getDefaultJavaVmInitArgs, nullptr);
    ASSERT_NE(entries.findClassFromBootLoader, nullptr);
    // Each pointer reaches the stand-in's own function.
    EXPECT_EQ(entries.createJavaVm(nullptr, nullptr, nullptr), -42);
    EXPECT_EQ(entries.getDefaultJavaVmInitArgs(nullptr), -43);
    EXPECT_NE(entries.findClassFromBootLoader(nullptr, "java/lang/Object"), nullptr);
}

#if defined(ZORV_HAVE_FAKE_JVM)
TEST_F(Loading, SharedJvmDoubleLoadsWithItsThreeEntryPoints) {
    std::wstring path = Install(L"fake_jvm64.dll");
    ASSERT_TRUE(LoadJvmLibrary(platform, path, nullptr, entries).Proceeds());
    EXPECT_TRUE(platform.boxes.empty());
    HMODULE module = GetModuleHandleW(path.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(entries.createJavaVm),
              reinterpret_cast<void*>(GetProcAddress(module, "JNI_CreateJavaVM")));
    EXPECT_EQ(reinterpret_cast<void*>(entries.getDefaultJavaVmInitArgs),
              reinterpret_cast<void*>(GetProcAddress(module, "JNI_GetDefaultJavaVMInitArgs")));
    EXPECT_EQ(reinterpret_cast<void*>(entries.findClassFromBootLoader),
              reinterpret_cast<void*>(GetProcAddress(module, "JVM_FindClassFromBootLoader")));
    EXPECT_NE(entries.findClassFromBootLoader, nullptr);
}
#endif

TEST_F(Loading, TheBootLoaderLookupIsOptional) {
    ASSERT_TRUE(LoadJvmLibrary(platform, Install(L"stand_in_two_entries.dll"), nullptr, entries).Proceeds());
    EXPECT_TRUE(platform.boxes.empty());
    EXPECT_NE(entries.createJavaVm, nullptr);
    EXPECT_NE(entries.getDefaultJavaVmInitArgs, nullptr);
    EXPECT_EQ(entries.findClassFromBootLoader, nullptr);
}

TEST_F(Loading, MissingEntryPointIsReportedWithTheLookupsError) {
    const std::vector<std::wstring> expected{L"Windows exception: cannot find CreateJavaVM JNI (errno = 127).\n"};
    EXPECT_FALSE(LoadJvmLibrary(platform, Install(L"stand_in_no_create.dll", L"a"), nullptr, entries).Proceeds());
    EXPECT_EQ(platform.boxes, expected);
    ExpectNoEntryPoints();

    platform.boxes.clear();
    EXPECT_FALSE(LoadJvmLibrary(platform, Install(L"stand_in_create_only.dll", L"b"), nullptr, entries).Proceeds());
    EXPECT_EQ(platform.boxes, expected);
    ExpectNoEntryPoints();
}

TEST_F(Loading, UnloadableFilesAreReportedWithThePathAndTheLoadersError) {
    // The codes are those Wine reports: 193 (not a valid image) for anything
    // that is not a loadable image of this process's kind, 126 (module not
    // found) for a file that is not there.
    std::string image32 = ReadFileBytes(TestDll(kDll32));
    const std::pair<std::wstring, int> cases[] = {
        {InstallBytes("This is not a library.\r\n", L"text"), 193},
        {InstallBytes("", L"empty"), 193},
        {InstallBytes(ReadFileBytes(TestDll(kDll64)).substr(0, 100), L"truncated"), 193},
        {InstallBytes(image32, L"x86"), 193},
        {folder / L"missing\\bin\\server\\jvm.dll", 126},
    };
    for (const auto& c : cases) {
        platform.boxes.clear();
        EXPECT_FALSE(LoadJvmLibrary(platform, c.first, nullptr, entries).Proceeds());
        EXPECT_EQ(platform.boxes, (std::vector<std::wstring>{L"Failed to load Java VM library: " + c.first +
                                                               L" (errno = " + std::to_wstring(c.second) +
                                                               L").\n"}))
            << Utf8(c.first);
        ExpectNoEntryPoints();
    }
}

TEST_F(Loading, LibrariesInTheRuntimesBinFolderAreFound) {
    // The stand-in imports a helper. Beside the library itself, as in the
    // build's test_dlls folder, the helper is not searched for. (Loaded from
    // there because Wine keeps a file whose load failed open until the
    // process ends, so a temporary copy could not be removed.)
    std::wstring unhelped = TestDll(L"stand_in_needs_helper.dll");
    ASSERT_TRUE(wintest::FileExists(TestDll(L"stand_in_helper.dll")));
    EXPECT_FALSE(LoadJvmLibrary(platform, unhelped, nullptr, entries).Proceeds());
    EXPECT_EQ(platform.boxes, (std::vector<std::wstring>{L"Failed to load Java VM library: " + unhelped +
                                                           L" (errno = 126).\n"}));

    // In <home>\bin, two levels above bin\server\jvm.dll, it is.
    platform.boxes.clear();
    std::wstring path = Install(L"stand_in_needs_helper.dll", L"helped");
    std::wstring helper = folder / L"helped\\bin\\stand_in_helper.dll";
    WriteBytes(helper, ReadFileBytes(TestDll(L"stand_in_helper.dll")));
    installed.push_back(helper);
    ASSERT_TRUE(LoadJvmLibrary(platform, path, nullptr, entries).Proceeds());
    EXPECT_TRUE(platform.boxes.empty());
    ASSERT_NE(entries.createJavaVm, nullptr);
    EXPECT_EQ(entries.createJavaVm(nullptr, nullptr, nullptr), 7);  // through the helper
}

}  // namespace
}  // namespace zorv
