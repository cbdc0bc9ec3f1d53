#include "tool/embedded_payload.h"

#include <algorithm>

#include "launcher/byte_order.h"
#include "launcher/embedded_settings.h"
#include "launcher/md5.h"
#include "tool/utf.h"

namespace zorv::tool {
namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;

Bytes Utf16Le(const std::u16string& text) {
    Bytes bytes;
    for (char16_t unit : text) Put16(bytes, unit);
    return bytes;
}

std::u16string FromUtf16Le(const Bytes& bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) text.push_back(static_cast<char16_t>(Get16(&bytes[i])));
    return text;
}

// The launcher narrows the pass phrase in the user's ANSI code page and stops
// at a NUL; ours is ASCII, which every ANSI code page keeps as it is.
std::string Narrow(const std::u16string& text) {
    std::string narrow;
    for (char16_t unit : text) {
        if (unit == 0) break;
        narrow.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
    }
    return narrow;
}

Bytes Deciphered(Bytes bytes, const std::string& passPhrase) {
    zorv::DecipherPortably(passPhrase, bytes);
    return bytes;
}

// The first unit that no settings text holds, or npos: a control character
// other than tab, CR and LF, or half a surrogate pair.
std::size_t FirstUnreadableUnit(const std::u16string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit < 0x20 && unit != u'\t' && unit != u'\r' && unit != u'\n') return i;
        const bool high = unit >= 0xD800 && unit < 0xDC00;
        const bool low = unit >= 0xDC00 && unit < 0xE000;
        if (low || (high && (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] >= 0xE000))) return i;
        if (high) ++i;
    }
    return std::u16string::npos;
}

// Wrongly keyed RC4 output is noise spread over all 65536 units: control
// characters and stray surrogates turn up within a few dozen of them, and it
// is almost never mostly ASCII nor starts with a byte-order mark. A NUL may
// end the text, as a C string's terminator.
bool ReadsAsText(const std::u16string& text) {
    const auto ascii = std::count_if(text.begin(), text.end(), [](char16_t unit) { return unit < 0x80; });
    if ((text.empty() || text.front() != kByteOrderMark) && static_cast<std::size_t>(ascii) * 2 < text.size()) return false;
    const std::size_t unreadable = FirstUnreadableUnit(text);
    return unreadable == std::u16string::npos || (unreadable + 1 == text.size() && text[unreadable] == 0);
}

// The profile functions end a line at LF as well, the launcher's parser of
// the embedded text only at CR LF: a file written on Linux must read the same.
std::u16string WithCrLf(const std::u16string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) out.push_back(u'\r');
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace

std::u16string SettingsFileText(const Bytes& file) {
    if (file.size() >= 2 && file[0] == 0xFF && file[1] == 0xFE) {
        return WithCrLf(FromUtf16Le(Bytes(file.begin() + 2, file.end())));
    }
    std::string text(file.begin(), file.end());
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    return WithCrLf(Utf16FromUtf8(text));
}

bool FindUnembeddable(const std::u16string& text, TextPlace& place) {
    const std::size_t at = FirstUnreadableUnit(text);
    if (at == std::u16string::npos) return false;
    place = {1, 1, text[at]};
    for (std::size_t i = 0; i < at; ++i) {
        const bool secondHalf = text[i] >= 0xDC00 && text[i] < 0xE000;
        if (text[i] == u'\n') {
            ++place.line;
            place.column = 1;
        } else if (!secondHalf) {
            ++place.column;
        }
    }
    return true;
}

Bytes SettingsFileAsUtf16(const Bytes& file) { return Utf16Le(kByteOrderMark + SettingsFileText(file)); }

std::string PassPhraseFor(const Bytes& settingsUtf16, const std::string& upgradeCode) {
    // The NUL keeps the Upgrade Code and the text apart: no two pairs of
    // inputs hash the same bytes.
    Bytes hashed(upgradeCode.begin(), upgradeCode.end());
    hashed.push_back(0);
    hashed.insert(hashed.end(), settingsUtf16.begin(), settingsUtf16.end());
    const zorv::Md5Digest digest = zorv::Md5(hashed.data(), hashed.size());
    static const char kDigits[] = "0123456789abcdef";
    std::string phrase;
    for (unsigned char byte : digest) {
        phrase.push_back(kDigits[byte >> 4]);
        phrase.push_back(kDigits[byte & 15]);
    }
    return phrase;
}

EmbeddedPayload EncipherPayload(const Bytes& settingsUtf16, const std::string& upgradeCode, const std::string& passPhrase) {
    const Bytes phrase = Utf16Le(std::u16string(passPhrase.begin(), passPhrase.end()));
    return {zorv::EncipherEmbeddedSettings(upgradeCode, phrase), zorv::EncipherEmbeddedSettings(passPhrase, settingsUtf16)};
}

bool DecipherPayload(const Bytes* passPhrase, const Bytes& settings, const std::string& upgradeCode,
                     std::u16string& text) {
    const std::string phrase = passPhrase != nullptr ? Narrow(FromUtf16Le(Deciphered(*passPhrase, upgradeCode))) : "";
    text = FromUtf16Le(Deciphered(settings, phrase));
    if (!ReadsAsText(text)) return false;
    if (!text.empty() && text.front() == kByteOrderMark) text.erase(0, 1);
    if (!text.empty() && text.back() == 0) text.pop_back();
    return true;
}

}  // namespace zorv::tool
