// Embedded settings from someone else's executable, deciphered as show and
// check do; and settings files as embed takes them: refused, or enciphered so
// that they decipher to their own text.
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
    const std::u16string expected = SettingsFileText(file);
    TextPlace place;
    if (FindUnembeddable(expected, place)) return 0;
    const EmbeddedPayload payload = EncipherPayload(SettingsFileAsUtf16(file), code, "0123456789abcdef0123456789abcdef");
    if (!DecipherPayload(&payload.passPhrase, payload.settings, code, text) || text != expected) std::abort();
    return 0;
}
