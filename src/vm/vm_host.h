// Java strings built from UTF-16 code units, unchanged.
#pragma once

#include <jni.h>

#include <string>
#include <vector>

namespace zorv {

// The UTF-16 code units of text; on platforms whose wchar_t is 32 bits,
// characters beyond the BMP become surrogate pairs.
std::u16string ToUtf16(const std::wstring& text);
// The reverse: surrogate pairs become one character where wchar_t is 32 bits.
std::wstring FromUtf16(const std::u16string& units);
// Modified UTF-8 (as GetStringUTFChars returns it) decoded to a wide string.
std::wstring FromModifiedUtf8(const char* bytes);

jstring NewJavaString(const std::wstring& text, JNIEnv* env);
jobjectArray NewJavaStringArray(const std::vector<std::wstring>& list, JNIEnv* env);

}  // namespace zorv
