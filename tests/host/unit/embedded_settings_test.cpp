#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "launcher/embedded_settings.h"
#include "launcher/ini_document.h"
#include "launcher/md5.h"
#include "launcher/rc4.h"

namespace zorv {
namespace {

using testing::FakePlatform;
using Bytes = std::vector<unsigned char>;

std::string Hex(const unsigned char* bytes, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string Md5Hex(const std::string& text) {
    Md5Digest digest = Md5(text.data(), text.size());
    return Hex(digest.data(), digest.size());
}

TEST(Md5, Rfc1321Suite) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

// RFC 6229, the 40-bit key 0x0102030405, taken in uneven pieces so the key
// stream must carry on from one call to the next.
TEST(Rc4, Rfc6229FortyBitKeyAcrossCalls) {
    const unsigned char key[] = {1, 2, 3, 4, 5};
    Bytes stream(4112, 0);
    Rc4 cipher(key, sizeof key);
    for (std::size_t at = 0, piece = 1; at < stream.size(); at += piece, piece = piece * 3 % 1021 + 1) {
        cipher.Apply(stream.data() + at, std::min(piece, stream.size() - at));
    }
    const std::pair<std::size_t, const char*> published[] = {
        {0, "b2396305f03dc027ccc3524a0a1118a8"},    {16, "6982944f18fc82d589c403a47a0d0919"},
        {240, "28cb1132c96ce286421dcaadb8b69eae"},  {256, "1cfcf62b03eddb641d77dfcf7f8d8c93"},
        {1520, "3294f744d8f9790507e70f62e5bbceea"}, {1536, "d8729db41882259bee4f825325f5a130"},
        {4080, "068326a2118416d21f9d04b2cd1ca050"}, {4096, "ff25b58995996707e51fbdf08b34d875"},
    };
    for (const auto& row : published) EXPECT_EQ(Hex(stream.data() + row.first, 16), row.second) << row.first;
}

// What the system provider gives for 16 zero bytes: its 40-bit key is padded
// with zero salt to 16 bytes, which a plain 5-byte RC4 key would not match.
TEST(EmbeddedSettings, PortableDecipherMatchesTheProvidersKeyStream) {
    Bytes abc(16, 0), empty(16, 0);
    DecipherPortably("abc", abc);
    DecipherPortably("", empty);
    EXPECT_EQ(Hex(abc.data(), abc.size()), "7cd2e8eb6b58c5d62ae773a0e28b5855");
    EXPECT_EQ(Hex(empty.data(), empty.size()), "02957a220ca614e1e1cfbf65206f9eb3");
}

Bytes Utf16Le(const std::wstring& text) {
    Bytes bytes;
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8 & 0xFF));
    }
    return bytes;
}

Bytes Enciphered(Bytes bytes, const std::string& passPhrase) {
    DecipherPortably(passPhrase, bytes);
    return bytes;
}

const std::wstring kText = L"\xFEFF[Java Runtime Environment]\r\nMain Class=com.example.App\r\n";

class EmbeddedText : public ::testing::Test {
protected:
    void SetUp() override {
        // The pass phrase carries its terminating NUL, the text an odd last byte.
        platform.resources[kPassPhraseResource] = Enciphered(Utf16Le(std::wstring(L"s3cret") + L'\0'), "{UP-1}");
        Bytes settings = Utf16Le(kText);
        settings.push_back(0x41);
        platform.resources[kSettingsResource] = Enciphered(settings, "s3cret");
    }
    FakePlatform platform;
};

TEST_F(EmbeddedText, PassPhraseFromTheUpgradeCodeThenTheTextWithOrWithoutProvider) {
    EXPECT_EQ(ReadEmbeddedSettingsText(platform, L"{UP-1}"), kText);
    EXPECT_TRUE(platform.providerPassPhrases.empty());
    platform.provider = ProviderResult::deciphered;
    EXPECT_EQ(ReadEmbeddedSettingsText(platform, L"{UP-1}"), kText);
    EXPECT_EQ(platform.providerPassPhrases, (std::vector<std::string>{"{UP-1}", "s3cret"}));
}

TEST_F(EmbeddedText, UnreadableResourcesGiveAnEmptyOrGarbledLayerWithoutFailing) {
    EXPECT_NE(ReadEmbeddedSettingsText(platform, L"{UP-2}"), kText) << "a wrong upgrade code";

    platform.provider = ProviderResult::failed;
    EXPECT_EQ(ReadEmbeddedSettingsText(platform, L"{UP-1}"), L"");
    platform.provider = ProviderResult::unavailable;

    for (const Bytes& settings : {Bytes(), Bytes{0x5B}}) {
        platform.resources[kSettingsResource] = settings;
        EXPECT_EQ(ReadEmbeddedSettingsText(platform, L"{UP-1}"), L"") << settings.size() << " bytes";
    }
    platform.resources.erase(kSettingsResource);
    EXPECT_EQ(ReadEmbeddedSettingsText(platform, L"{UP-1}"), L"");

    // Without its pass phrase resource the text is keyed by the empty phrase.
    platform.resources.erase(kPassPhraseResource);
    platform.resources[kSettingsResource] = Enciphered(Utf16Le(kText), "");
    EXPECT_EQ(ReadEmbeddedSettingsText(platform, L"{UP-1}"), kText);

    Bytes garbage(1 << 20);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<unsigned char>(i * 7919 >> 3);
    platform.resources[kPassPhraseResource] = garbage;
    platform.resources[kSettingsResource] = garbage;
    IniDocument document;
    document.Parse(ReadEmbeddedSettingsText(platform, L"{UP-1}"));
    EXPECT_EQ(document.FindSection(L"Java Runtime Environment"), nullptr);
}

}  // namespace
}  // namespace zorv
