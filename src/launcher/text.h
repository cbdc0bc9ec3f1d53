// Small text helpers the parsers share.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

namespace zorv {

bool StartsWith(const std::wstring& text, const wchar_t* prefix);
// Every `from` replaced by `to`: class names between their "." and "/" forms.
std::wstring Replaced(std::wstring text, wchar_t from, wchar_t to);
// A..Z as a..z, every other character as it is: the folding every code page
// and file system agrees on.
inline wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }
std::wstring AsciiFolded(std::wstring text);
// Equal but for the letter case of A..Z: how names of settings compare.
bool SameIgnoringAsciiCase(const std::wstring& a, const std::wstring& b);
// Without the white space (in the C library's sense) at either end.
std::wstring TrimWhiteSpace(const std::wstring& text);
// A whole decimal number, white space around it allowed, no larger than
// `most`; false for anything else.
bool ReadWholeNumber(const std::wstring& text, std::uint32_t most, std::uint32_t& value);

// The value in decimal, as std::to_wstring writes it. Written by hand because
// std::to_wstring brings the C library's whole formatted-output engine into the
// static executable.
template <typename Integer>
std::wstring DecimalText(Integer value) {
    static_assert(std::is_integral<Integer>::value, "DecimalText takes integers");
    using Magnitude = std::make_unsigned_t<Integer>;
    Magnitude magnitude = static_cast<Magnitude>(value);
    bool negative = false;
    if constexpr (std::is_signed<Integer>::value) {
        negative = value < 0;
        if (negative) magnitude = static_cast<Magnitude>(Magnitude(0) - magnitude);
    }
    wchar_t digits[24];
    wchar_t* const end = digits + 24;
    wchar_t* first = end;
    do {
        *--first = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) *--first = L'-';
    return std::wstring(first, end);
}

}  // namespace zorv
