// The tool's text is UTF-8 on its command line and in its output, and UTF-16
// in resources.
#pragma once

#include <string>

namespace zorv::tool {

// Bytes that are not well-formed UTF-8 stand for themselves (as Latin-1), so
// that an ANSI file still comes through readable; valid tells which it was.
std::u16string Utf16FromUtf8(const std::string& text, bool* valid = nullptr);
// Unpaired surrogates become U+FFFD.
std::string Utf8FromUtf16(const std::u16string& text);

}  // namespace zorv::tool
