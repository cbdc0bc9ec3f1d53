// The portable MD5 and RC4 against the system's cryptographic provider, on
// the same input, so an executable deciphers alike with or without one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/embedded_settings.h"
#include "launcher/md5.h"
#include "launcher/platform_win32.h"

#include <wincrypt.h>

namespace zorv {
namespace {

using Bytes = std::vector<unsigned char>;

// Every byte value turns up, those above 0x7F included.
std::string PassPhraseOfLength(std::size_t length) {
    std::string phrase;
    for (std::size_t i = 0; i < length; ++i) phrase += static_cast<char>((length * 31 + i * 97 + 1) & 0xFF);
    return phrase;
}

Bytes PatternBytes(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 13 + i / 251);
    return bytes;
}

Bytes ProviderMd5(const std::string& text) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    Bytes digest(16);
    DWORD size = 16;
    bool done = CryptAcquireContextW(&provider, nullptr, MS_DEF_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
                CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
                CryptHashData(hash, reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()), 0) &&
                CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &size, 0);
    if (hash != 0) CryptDestroyHash(hash);
    if (provider != 0) CryptReleaseContext(provider, 0);
    return done ? digest : Bytes();
}

TEST(EmbeddedCipher, PortableMd5AndDecipherAgreeWithTheProvider) {
    Win32Platform platform;
    // Either side of where MD5's padding needs a second block, and of each block.
    for (std::size_t length : {0, 1, 2, 3, 5, 16, 54, 55, 56, 57, 63, 64, 65, 100, 118, 119, 120, 121, 127, 128, 129}) {
        std::string phrase = PassPhraseOfLength(length);
        Md5Digest digest = Md5(phrase.data(), phrase.size());
        EXPECT_EQ(Bytes(digest.begin(), digest.end()), ProviderMd5(phrase)) << "pass phrase of " << length;

        Bytes system = PatternBytes(length * 3 + 1);
        Bytes portable = system;
        ASSERT_EQ(platform.libraries().DecipherWithProvider(phrase, system), ProviderResult::deciphered);
        DecipherPortably(phrase, portable);
        EXPECT_EQ(system, portable) << "pass phrase of " << length;
    }
    Bytes system = PatternBytes(1 << 20);
    Bytes portable = system;
    ASSERT_EQ(platform.libraries().DecipherWithProvider("{8F1A-UPGRADE}", system), ProviderResult::deciphered);
    DecipherPortably("{8F1A-UPGRADE}", portable);
    EXPECT_TRUE(system == portable) << "a megabyte";
    EXPECT_FALSE(system == PatternBytes(1 << 20));
}

}  // namespace
}  // namespace zorv
