// The embedded settings' two services from the system: the executable's
// resources and the base cryptographic provider.
#include <cstring>

#include "launcher/platform_win32.h"
#include "launcher/unique_handle.h"

#include <wincrypt.h>

namespace zorv {
namespace {

struct CryptProviderTraits {
    using Type = HCRYPTPROV;
    static Type Invalid() { return 0; }
    static void Close(Type value) { CryptReleaseContext(value, 0); }
};

using ScopedCryptProvider = UniqueHandle<CryptProviderTraits>;
using ScopedCryptHash = UniqueHandle<ClosedBy<HCRYPTHASH, CryptDestroyHash>>;
using ScopedCryptKey = UniqueHandle<ClosedBy<HCRYPTKEY, CryptDestroyKey>>;

HRSRC FindSettingsResource(HMODULE module, unsigned id) {
    const wchar_t* name = MAKEINTRESOURCEW(id);
    LANGID user = GetUserDefaultLangID();
    // A lookup in a language the file lacks may answer with the neutral
    // resource: the primary language then gets its chance before it.
    HRSRC neutral = FindResourceExW(module, RT_RCDATA, name, 0);
    HRSRC found = FindResourceExW(module, RT_RCDATA, name, user);
    if (found == nullptr || found == neutral) {
        found = FindResourceExW(module, RT_RCDATA, name, static_cast<LANGID>((user & 0x3FF) | 0x400));
    }
    return found != nullptr ? found : neutral;
}

}  // namespace

std::vector<unsigned char> Win32Libraries::ReadResourceData(unsigned id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindSettingsResource(module, id);
    if (resource == nullptr) return {};
    DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr || size == 0) return {};
    std::vector<unsigned char> bytes(size);
    std::memcpy(bytes.data(), data, size);
    return bytes;
}

ProviderResult Win32Libraries::DecipherWithProvider(const std::string& passPhrase, std::vector<unsigned char>& bytes) {
    HCRYPTPROV rawProvider = 0;
    if (!CryptAcquireContextW(&rawProvider, nullptr, MS_DEF_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        return ProviderResult::unavailable;
    }
    ScopedCryptProvider provider(rawProvider);
    HCRYPTHASH rawHash = 0;
    if (!CryptCreateHash(provider.get(), CALG_MD5, 0, 0, &rawHash)) return ProviderResult::failed;
    ScopedCryptHash hash(rawHash);
    if (!CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(passPhrase.data()),
                       static_cast<DWORD>(passPhrase.size()), 0)) {
        return ProviderResult::failed;
    }
    HCRYPTKEY rawKey = 0;
    if (!CryptDeriveKey(provider.get(), CALG_RC4, hash.get(), 0, &rawKey)) return ProviderResult::failed;
    ScopedCryptKey key(rawKey);
    DWORD length = static_cast<DWORD>(bytes.size());
    if (!CryptDecrypt(key.get(), 0, TRUE, 0, bytes.data(), &length)) return ProviderResult::failed;
    bytes.resize(length);
    return ProviderResult::deciphered;
}

}  // namespace zorv
