// Embedded settings from someone else's executable, deciphered as show and
// check do; and settings files enciphered as embed does, which must decipher
// to their own text whenever they decipher at all.
#include <cstdlib>

#include "tool/embedded_payload.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorv::tool;
    const std::size_t half = size / 2;
    const Bytes passPhrase(data, data + half), settings(data + half, data + size);
    const std::string code(reinterpret_cast<const char*>(data), size < 8 ? size : 8);
    std::u16string text;
    DecipherPayload(&passPhrase, settings, code, text);
    DecipherPayload(nullptr, settings, code, text);

    const Bytes file(data, data + size);
    const EmbeddedPayload payload = EncipherPayload(SettingsFileAsUtf16(file), code, "0123456789abcdef0123456789abcdef");
    std::u16string expected = SettingsFileText(file);
    if (!expected.empty() && expected.back() == 0) expected.pop_back();
    if (DecipherPayload(&payload.passPhrase, payload.settings, code, text) && text != expected) std::abort();
    return 0;
}
