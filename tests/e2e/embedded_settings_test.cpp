// Settings carried enciphered in the program's own resources, as an
// application's build would put them there: read beneath the INI file key by
// key, and harmless when they are missing, damaged or keyed wrongly. The
// program copy gets its resources from the system's resource updater; the
// launcher deciphers them with the system's cryptographic provider.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_runtime.h"
#include "launcher/embedded_settings.h"
#include "launcher/win32_api.h"

namespace e2e {
namespace {

const char kUpgradeCode[] = "{5E1F-0A}";
const char kPassPhrase[] = "pass phrase";

struct Resource {
    unsigned id;
    std::string bytes;
    LANGID language = 0;
};

std::string Utf16Le(const std::wstring& text) { return Utf16LeWithBom(text).substr(2); }

// The launcher's own cipher, which the Windows tests hold equal to the
// system provider's, and which is its own inverse.
std::string Enciphered(const std::string& bytes, const std::string& passPhrase) {
    std::vector<unsigned char> data(bytes.begin(), bytes.end());
    zorv::DecipherPortably(passPhrase, data);
    return std::string(data.begin(), data.end());
}

::testing::AssertionResult Embed(const std::wstring& exe, const std::vector<Resource>& resources) {
    HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);
    if (update == nullptr) return ::testing::AssertionFailure() << "BeginUpdateResourceW: " << GetLastError();
    for (const Resource& resource : resources) {
        if (!UpdateResourceW(update, RT_RCDATA, MAKEINTRESOURCEW(resource.id), resource.language,
                             const_cast<char*>(resource.bytes.data()), static_cast<DWORD>(resource.bytes.size()))) {
            DWORD error = GetLastError();
            EndUpdateResourceW(update, TRUE);
            return ::testing::AssertionFailure() << "UpdateResourceW " << resource.id << ": " << error;
        }
    }
    if (!EndUpdateResourceW(update, FALSE)) {
        return ::testing::AssertionFailure() << "EndUpdateResourceW: " << GetLastError();
    }
    return ::testing::AssertionSuccess();
}

class EmbeddedSettings : public FakeRuntime {
protected:
    void SetUp() override {
        FakeRuntime::SetUp();
        if (IsSkipped()) return;
        library_ = InstallRuntime(L"rt", L"bin\\server\\jvm.dll", false);
    }

    std::vector<std::string> MainCalls() const { return WithPrefix(lines_, "call_static_void "); }

    std::wstring library_;
};

TEST_F(EmbeddedSettings, LieBeneathTheIniKeyByKey) {
    WriteSettings(Ini()
                      .Section(L"Product Information")
                      .Set(L"Upgrade Code", FromUtf8(kUpgradeCode))
                      .Section(L"Java Runtime Environment")
                      .Set(L"JRE Path", L"rt")
                      .Section(L"Java Runtime Environment+")
                      .Set(L"Virtual Machine Parameters", L"-Dplus=ini")
                      .Section(L"Application")
                      .Set(L"Cmd", L"from-ini"));
    Ini embedded;
    embedded.MainClass(kMainClass)
        .Set(L"JRE Path", L"no-such-runtime")
        .Set(L"Virtual Machine Parameters", L"-Dembedded=yes")
        .Section(L"Class Path")
        .Set(L"Class Path", L"lib\\app.jar")
        .Section(L"Application")
        .Set(L"Cmd", L"from-embedded");
    // The settings in the user's language come before the neutral ones; an
    // odd last byte belongs to no character.
    LANGID language = GetUserDefaultLangID();
    ASSERT_NE(language, 0);
    std::string decoy = Utf16LeWithBom(Ini().MainClass(L"com.example.Decoy").Text());
    ASSERT_TRUE(Embed(exe_, {{9000, Enciphered(Utf16Le(FromUtf8(kPassPhrase)), kUpgradeCode)},
                             {8000, Enciphered(Utf16LeWithBom(embedded.Text()) + "\x01", kPassPhrase), language},
                             {8000, Enciphered(decoy, kPassPhrase)}}));

    EXPECT_TRUE(Ended(Start(), 0, {}));
    ExpectLoaded(library_);
    EXPECT_EQ(Options(), (std::vector<std::string>{ClassPathOption(), "option -Dembedded=yes", "option -Dplus=ini",
                                                   "option abort hook=set", "option exit hook=set"}))
        << LogText();
    EXPECT_EQ(MainCalls(), std::vector<std::string>{"call_static_void com/example/App.main"}) << LogText();
    EXPECT_EQ(WithPrefix(lines_, "arg["), std::vector<std::string>{"arg[0]=from-ini"}) << LogText();
    ExpectNoFaults();
}

// The file the host tests read through the launcher's settings stage, check
// and show: launcher.exe takes the same values from it. Each of them decides
// the start: the embedded settings open only with the Upgrade Code of the
// lower-case key, "Other" and the repeated section's minimum would leave no
// class or no runtime, and the "+" section's options follow the embedded ones.
TEST_F(EmbeddedSettings, OneFileWithByteOrderMarkLineFeedsCommentsAndRepeatsReadsAsOnTheHost) {
    sandbox_.WriteBytes(L"app.ini",
                        "\xEF\xBB\xBF[product information]\n"
                        "upgrade code={5E1F-0A}\n"
                        "; the application's own settings\n"
                        "[JAVA RUNTIME ENVIRONMENT]\n"
                        "main class=com.example.App\n"
                        "Main Class=com.example.Other\n"
                        ";Main Class=com.example.Commented\n"
                        "maximum version=any\n"
                        "[Java Runtime Environment]\n"
                        "Minimum Version=99\n"
                        "[Java Runtime Environment+]\n"
                        "virtual machine parameters=-Dadded=1 -XMX50p");
    const std::wstring embedded =
        L"[Java Runtime Environment]\r\nVirtual Machine Parameters=-Xmx64m\r\nJRE Path=rt\r\n[Class Path]\r\nClass Path=lib\r\n";
    ASSERT_TRUE(Embed(exe_, {{9000, Enciphered(Utf16Le(FromUtf8(kPassPhrase)), kUpgradeCode)},
                             {8000, Enciphered(Utf16LeWithBom(embedded), kPassPhrase)}}));

    EXPECT_TRUE(Ended(Start(), 0, {}));
    ExpectLoaded(library_);
    EXPECT_EQ(Options(), (std::vector<std::string>{"option -Djava.class.path=" + Utf8(sandbox_.Path(L"lib")) + ";",
                                                   "option -Xmx64m", "option -Dadded=1", "option -XMX50p",
                                                   "option abort hook=set", "option exit hook=set"}))
        << LogText();
    EXPECT_EQ(MainCalls(), std::vector<std::string>{"call_static_void com/example/App.main"}) << LogText();
    ExpectNoFaults();
}

// The INI file names no main class: only a readable embedded text can. (The
// resource updater refuses empty data, so empty resources are left to the
// host tests.)
TEST_F(EmbeddedSettings, DamagedOrWronglyKeyedResourcesLeaveTheIniAlone) {
    const std::string phrase = Enciphered(Utf16Le(FromUtf8(kPassPhrase)), kUpgradeCode);
    const std::string text = Utf16LeWithBom(Ini().MainClass(kMainClass).Text());
    const std::string megabyteText = Utf16LeWithBom(
        Ini().MainClass(kMainClass).Section(L"Padding").Set(L"filler", std::wstring(524288, L'x')).Text());
    std::string garbage(1 << 20, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 7919 >> 3);

    struct Variant {
        const char* name;
        const char* upgradeCode;
        std::vector<Resource> resources;
        bool runs;
    };
    const Variant variants[] = {
        {"the pass phrase alone", kUpgradeCode, {{9000, phrase}}, false},
        {"a wrong upgrade code", "{5E1F-0B}", {{9000, phrase}, {8000, Enciphered(text, kPassPhrase)}}, false},
        {"settings of 1 byte", kUpgradeCode, {{9000, phrase}, {8000, Enciphered("[", kPassPhrase)}}, false},
        {"a megabyte of garbage in both", kUpgradeCode, {{9000, garbage}, {8000, garbage}}, false},
        {"no pass phrase: the empty one keys the text", kUpgradeCode, {{8000, Enciphered(text, "")}}, true},
        {"a megabyte of settings", kUpgradeCode, {{9000, phrase}, {8000, Enciphered(megabyteText, kPassPhrase)}}, true},
    };
    for (const Variant& variant : variants) {
        SCOPED_TRACE(variant.name);
        exe_ = sandbox_.CopyLauncher(L"app.exe");
        ASSERT_TRUE(Embed(exe_, variant.resources));
        WriteSettings(Ini()
                          .Section(L"Product Information")
                          .Set(L"Upgrade Code", FromUtf8(variant.upgradeCode))
                          .Section(L"Java Runtime Environment")
                          .Set(L"JRE Path", L"rt")
                          .Section(L"Class Path")
                          .Set(L"Class Path", L"lib\\app.jar"));
        uiauto::RunResult result = Start();
        if (variant.runs) {
            EXPECT_TRUE(Ended(result, 0, {}));
            EXPECT_EQ(MainCalls(), std::vector<std::string>{"call_static_void com/example/App.main"}) << LogText();
        } else {
            EXPECT_TRUE(Ended(result, kFailed, {kNoMainClass}));
        }
    }
}

}  // namespace
}  // namespace e2e
