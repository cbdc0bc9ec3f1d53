// A launcher branded the way an application's packager does it, with
// zorvtool.exe run inside Wine: settings embedded, a new icon and new version
// information. The branded program still starts with the embedded settings,
// and the system's own readers (version API, resource API, checksum, the
// cryptographic provider) find exactly what the tool meant to write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_runtime.h"
#include "launcher/win32_api.h"
#include "win32_files.h"

#include <imagehlp.h>
#include <wincrypt.h>

namespace e2e {
namespace {

const char kUpgradeCode[] = "{B7A1-44}";

// A 16 x 16 icon of 32-bit pixels, every pixel different, so that a wrong
// copy cannot pass for it.
std::string IconFile() {
    std::string image(40 + 16 * 16 * 4 + 16 * 4, '\0');
    auto set32 = [&image](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) image[at + i] = static_cast<char>(value >> 8 * i);
    };
    set32(0, 40);
    set32(4, 16);
    set32(8, 32);  // colour and mask, one above the other
    image[12] = 1;
    image[14] = 32;
    for (std::size_t pixel = 0; pixel < 256; ++pixel) set32(40 + 4 * pixel, 0xFF000000u | pixel * 0x010307u);
    std::string file = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
    for (std::uint32_t value : {static_cast<std::uint32_t>(image.size()), 22u}) {
        for (int i = 0; i < 4; ++i) file.push_back(static_cast<char>(value >> 8 * i));
    }
    return file + image;
}

std::string ResourceBytes(HMODULE module, const wchar_t* type, unsigned id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const char* data = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data != nullptr ? std::string(data, SizeofResource(module, found)) : std::string();
}

// What the system's base provider makes of the bytes with the launcher's key
// derivation; RC4 makes enciphering and deciphering one operation.
std::string WithProvider(std::string bytes, const std::string& passPhrase, bool encipher) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    HCRYPTKEY key = 0;
    DWORD length = static_cast<DWORD>(bytes.size());
    bool done = CryptAcquireContextW(&provider, nullptr, MS_DEF_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
                CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
                CryptHashData(hash, reinterpret_cast<const BYTE*>(passPhrase.data()), static_cast<DWORD>(passPhrase.size()), 0) &&
                CryptDeriveKey(provider, CALG_RC4, hash, 0, &key) &&
                (encipher ? CryptEncrypt(key, 0, TRUE, 0, reinterpret_cast<BYTE*>(&bytes[0]), &length, length)
                          : CryptDecrypt(key, 0, TRUE, 0, reinterpret_cast<BYTE*>(&bytes[0]), &length));
    if (key != 0) CryptDestroyKey(key);
    if (hash != 0) CryptDestroyHash(hash);
    if (provider != 0) CryptReleaseContext(provider, 0);
    return done ? bytes.substr(0, length) : "provider failed";
}

std::wstring VersionText(const std::vector<char>& info, const std::wstring& name) {
    void* value = nullptr;
    UINT length = 0;
    std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || length == 0) return L"(none)";
    return static_cast<const wchar_t*>(value);
}

class BrandedExecutable : public FakeRuntime {};

TEST_F(BrandedExecutable, RunsWithItsEmbeddedSettingsAndShowsItsNewIconAndVersion) {
    if (ZorvtoolExe().empty()) GTEST_SKIP() << "zorvtool.exe was not built";
    const std::wstring library = InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    const Ini embedded = Settings({{L"JRE Path", L"rt"}, {L"Virtual Machine Parameters", L"-Dembedded=yes"}});
    const std::wstring settings = sandbox_.WriteBytes(L"embedded.ini", embedded.Encoded());
    const std::wstring icon = sandbox_.WriteBytes(L"app.ico", IconFile());
    const std::wstring exe = L"\"" + exe_ + L"\"";
    ASSERT_EQ(RunTool(L"embed " + exe + L" \"" + settings + L"\" --upgrade-code " + FromUtf8(kUpgradeCode) + L" -o " + exe), 0);
    ASSERT_EQ(RunTool(L"icon " + exe + L" \"" + icon + L"\""), 0);
    ASSERT_EQ(RunTool(L"version " + exe + L" --product-name \"Fancy App\" --version 2.3.4.5 --company \"Fancy Ltd\""
                      L" --description \"Does fancy things\""),
              0);
    ASSERT_EQ(RunTool(L"show " + exe + L" --upgrade-code " + FromUtf8(kUpgradeCode)), 0);

    // The INI file beside it holds the Upgrade Code alone.
    WriteSettings(Ini().Section(L"Product Information").Set(L"Upgrade Code", FromUtf8(kUpgradeCode)));
    EXPECT_TRUE(Ended(Start(), 0, {}));
    ExpectLoaded(library);
    EXPECT_EQ(Options(), (std::vector<std::string>{ClassPathOption(), "option -Dembedded=yes", "option abort hook=set",
                                                   "option exit hook=set"}))
        << LogText();
    EXPECT_EQ(WithPrefix(lines_, "call_static_void "), std::vector<std::string>{"call_static_void com/example/App.main"});
    ExpectNoFaults();

    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(exe_.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(exe_.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    EXPECT_EQ(VersionText(info, L"ProductName"), L"Fancy App");
    EXPECT_EQ(VersionText(info, L"CompanyName"), L"Fancy Ltd");
    EXPECT_EQ(VersionText(info, L"FileDescription"), L"Does fancy things");
    EXPECT_EQ(VersionText(info, L"FileVersion"), L"2.3.4.5");
    EXPECT_EQ(VersionText(info, L"OriginalFilename"), L"launcher.exe") << "kept from the launcher";
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020003u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00040005u);

    HMODULE module = LoadLibraryExW(exe_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const std::string group = ResourceBytes(module, RT_GROUP_ICON, 1);
    ASSERT_EQ(group.size(), 6u + 14u);
    EXPECT_EQ(group.substr(0, 18), IconFile().substr(0, 18)) << "the directory entry, up to the image size";
    const unsigned iconId = static_cast<unsigned char>(group[18]) | static_cast<unsigned char>(group[19]) << 8;
    EXPECT_EQ(ResourceBytes(module, RT_ICON, iconId), IconFile().substr(22));
    std::string image = IconFile().substr(22);
    HICON loaded = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(&image[0]), static_cast<DWORD>(image.size()), TRUE,
                                            0x00030000, 16, 16, 0);
    EXPECT_NE(loaded, nullptr) << "the system takes the image for an icon";
    if (loaded != nullptr) DestroyIcon(loaded);

    const std::string passPhrase = WithProvider(ResourceBytes(module, RT_RCDATA, 9000), kUpgradeCode, false);
    std::string narrowPhrase;
    for (std::size_t i = 0; i < passPhrase.size(); i += 2) narrowPhrase.push_back(passPhrase[i]);
    EXPECT_EQ(narrowPhrase.size(), 32u);
    EXPECT_EQ(ResourceBytes(module, RT_RCDATA, 8000), WithProvider(Utf16LeWithBom(embedded.Text()), narrowPhrase, true));
    FreeLibrary(module);

    const std::string file = ReadFileBytes(exe_);
    DWORD headerSum = 0, checkSum = 0;
    ASSERT_NE(CheckSumMappedFile(const_cast<char*>(file.data()), static_cast<DWORD>(file.size()), &headerSum, &checkSum),
              nullptr);
    EXPECT_EQ(headerSum, checkSum);
}

// MANIFEST 1 as the system's resource reader finds it.
std::string ManifestOf(const std::wstring& exe) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return "(not loaded)";
    const std::string manifest = ResourceBytes(module, RT_MANIFEST, 1);
    FreeLibrary(module);
    return manifest;
}

// Wine applies none of the three (it reports every process per-monitor
// aware): what it can tell is that the rewritten manifest still loads.
TEST_F(BrandedExecutable, EachManifestSwitchReadsBackAndTheLauncherStillStarts) {
    if (ZorvtoolExe().empty()) GTEST_SKIP() << "zorvtool.exe was not built";
    InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    WriteSettings(Settings({{L"JRE Path", L"rt"}}));
    struct Case {
        const wchar_t* switches;
        std::vector<std::string> present, absent;
    };
    const Case cases[] = {
        {L"--execution-level highestAvailable --dpi-awareness permonitorv2 --long-path-aware no",
         {"level=\"highestAvailable\"", ">true/pm</dpiAware>", ">PerMonitorV2, PerMonitor</dpiAwareness>"}, {"longPathAware"}},
        {L"--execution-level requireAdministrator --dpi-awareness unaware --long-path-aware yes",
         {"level=\"requireAdministrator\"", ">true</longPathAware>", ">unaware</dpiAwareness>"}, {"<dpiAware "}},
        {L"--execution-level asInvoker --dpi-awareness system",
         {"level=\"asInvoker\"", ">true</dpiAware>", ">true</longPathAware>"}, {"dpiAwareness"}},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(Utf8(run.switches));
        ASSERT_EQ(RunTool(L"manifest \"" + exe_ + L"\" " + run.switches), 0);
        const std::string manifest = ManifestOf(exe_);
        for (const std::string& text : run.present) EXPECT_NE(manifest.find(text), std::string::npos) << text << "\n" << manifest;
        for (const std::string& text : run.absent) EXPECT_EQ(manifest.find(text), std::string::npos) << text << "\n" << manifest;
        EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos) << manifest;
        EXPECT_TRUE(Ended(Start(), 0, {}));
        EXPECT_EQ(WithPrefix(lines_, "call_static_void "), std::vector<std::string>{"call_static_void com/example/App.main"})
            << LogText();
    }
}

// Brand first, sign last: osslsigncode signs on the Linux side, the system
// finds the signature, the launcher starts as branded, and zorvtool leaves
// the signed file alone.
TEST_F(BrandedExecutable, SignedLastItStartsAndIsNotRebranded) {
    if (ZorvtoolExe().empty()) GTEST_SKIP() << "zorvtool.exe was not built";
    const std::string sign = Utf8(EnvironmentValue(L"ZORV_E2E_SIGN_SCRIPT"));
    if (sign.empty() || RunOnHost(sandbox_, "command -v osslsigncode && command -v openssl") != 0) {
        GTEST_SKIP() << "osslsigncode or openssl is not installed (tools/setup installs them)";
    }
    const std::wstring library = InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    const Ini embedded = Settings({{L"JRE Path", L"rt"}, {L"Virtual Machine Parameters", L"-Dembedded=signed"}});
    const std::wstring settings = sandbox_.WriteBytes(L"embedded.ini", embedded.Encoded());
    const std::wstring branded = sandbox_.CopyLauncher(L"branded.exe");
    const std::wstring quoted = L"\"" + branded + L"\"";
    ASSERT_EQ(RunTool(L"embed " + quoted + L" \"" + settings + L"\" --upgrade-code " + FromUtf8(kUpgradeCode) + L" -o " + quoted), 0);
    ASSERT_EQ(RunTool(L"version " + quoted + L" --product-name \"Signed App\" --version 3.1.4.1"), 0);
    ASSERT_EQ(RunTool(L"manifest " + quoted + L" --dpi-awareness permonitorv2"), 0);
    ASSERT_TRUE(DeleteFileW(exe_.c_str()));
    ASSERT_EQ(RunOnHost(sandbox_, "sh '" + sign + "' " + Quoted(branded) + " " + Quoted(exe_) + " " + Quoted(sandbox_.Path(L"keys"))), 0)
        << "signed and verified";

    HANDLE file = CreateFileW(exe_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD certificates = 0;
    EXPECT_TRUE(ImageEnumerateCertificates(file, CERT_SECTION_TYPE_ANY, &certificates, nullptr, 0));
    CloseHandle(file);
    EXPECT_EQ(certificates, 1u);
    const std::string signedBytes = ReadFileBytes(exe_);
    const std::wstring icon = sandbox_.WriteBytes(L"app.ico", IconFile());
    EXPECT_EQ(RunTool(L"icon \"" + exe_ + L"\" \"" + icon + L"\""), 65);
    EXPECT_EQ(RunTool(L"manifest \"" + exe_ + L"\" --long-path-aware no"), 65);
    EXPECT_TRUE(ReadFileBytes(exe_) == signedBytes) << "the signed file was changed";

    WriteSettings(Ini().Section(L"Product Information").Set(L"Upgrade Code", FromUtf8(kUpgradeCode)));
    EXPECT_TRUE(Ended(Start(), 0, {}));
    ExpectLoaded(library);
    EXPECT_EQ(Options(), (std::vector<std::string>{ClassPathOption(), "option -Dembedded=signed", "option abort hook=set",
                                                   "option exit hook=set"}))
        << LogText();
    EXPECT_EQ(WithPrefix(lines_, "call_static_void "), std::vector<std::string>{"call_static_void com/example/App.main"});
    ExpectNoFaults();
}

// The launcher's own icon keeps its images compressed; the system must still
// draw each size from them rather than fail or fall back to another size.
TEST_F(BrandedExecutable, LauncherIconDecodesAtEverySize) {
    HMODULE module = LoadLibraryExW(LauncherExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
        BITMAPINFO format = {};
        format.bmiHeader.biSize = sizeof(format.bmiHeader);
        format.bmiHeader.biWidth = size;
        format.bmiHeader.biHeight = -size;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * size);
        HDC screen = GetDC(nullptr);
        EXPECT_EQ(GetDIBits(screen, info.hbmColor, 0, size, pixels.data(), &format, DIB_RGB_COLORS), size) << size;
        ReleaseDC(nullptr, screen);
        std::size_t opaque = 0;
        for (std::uint32_t pixel : pixels) opaque += (pixel >> 24) == 0xFF;
        EXPECT_GT(opaque, pixels.size() / 8) << size << " px: an icon with something to see";
        EXPECT_LT(opaque, pixels.size()) << size << " px: with a transparent edge";
        if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
        if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    FreeLibrary(module);
}

}  // namespace
}  // namespace e2e
