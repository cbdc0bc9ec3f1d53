// UTF-8 in and out of the wide strings the launcher and its tool speak
// (UTF-16 where wchar_t has 16 bits, code points where it has 32): the
// Linux launcher's arguments, files and environment, and the tool's
// command line, output and settings files.
#pragma once

#include <cstddef>
#include <string>

namespace zorv {

// The length of the well-formed UTF-8 sequence at `i` and its code point; 0
// when there is none (overlong forms and surrogates are not well-formed).
std::size_t DecodeUtf8Point(const std::string& text, std::size_t i, char32_t& point);
void AppendUtf8(std::string& out, char32_t point);

// A pair of UTF-16 surrogates becomes one code point.
std::string ToUtf8(const std::wstring& text);
// Text that is not well-formed UTF-8 is taken as Latin-1, byte for byte.
std::wstring FromUtf8(const std::string& bytes);

// How a settings file's first bytes say it is written, as Windows' profile
// functions tell it: a UTF-16 byte-order mark of either order, a UTF-8 one,
// or none, which leaves the text to an 8-bit code page.
enum class SettingsEncoding { utf16le, utf16be, utf8, unmarked };
SettingsEncoding SettingsFileEncoding(const std::string& bytes, std::size_t& markLength);
// The UTF-16 units of bytes from `offset` on; an odd last byte is dropped.
std::wstring FromUtf16Bytes(const std::string& bytes, std::size_t offset, bool bigEndian);
// The text of a settings file where the code page is UTF-8: UTF-16 after its
// byte-order mark, UTF-8 with or without one, else Latin-1.
std::wstring DecodeSettingsText(const std::string& bytes);

}  // namespace zorv
