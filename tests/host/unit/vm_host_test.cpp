#include <gtest/gtest.h>

#include "vm/vm_host.h"

namespace zorv {
namespace {

TEST(JavaStrings, Utf16UnitsAndModifiedUtf8) {
    std::wstring text = L"a\u00e9\u65e5";
    text += static_cast<wchar_t>(sizeof(wchar_t) > 2 ? 0x1F600 : 0xD83D);
    if (sizeof(wchar_t) == 2) text += static_cast<wchar_t>(0xDE00);
    EXPECT_EQ(ToUtf16(text), (std::u16string{u'a', u'\u00e9', u'\u65e5', char16_t(0xD83D), char16_t(0xDE00)}));
    // Modified UTF-8 writes a surrogate pair as two three-byte sequences.
    EXPECT_EQ(FromModifiedUtf8("a\xc3\xa9\xe6\x97\xa5\xed\xa0\xbd\xed\xb8\x80"), text);
    EXPECT_EQ(FromModifiedUtf8("\xc0\x80"), std::wstring(1, L'\0'));
}

}  // namespace
}  // namespace zorv
