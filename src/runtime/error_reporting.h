// The one way start-up failures reach the user: a modal error box whose text
// comes from the executable's string table, formatted printf-style.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "launcher/platform.h"

namespace zorv {

// One argument of a printf-style format: a string for %s or a number for %d.
struct FormatArgument {
    FormatArgument(std::wstring value) : text(std::move(value)) {}
    FormatArgument(const wchar_t* value) : text(value) {}
    FormatArgument(std::int64_t value) : isNumber(true), number(value) {}
    FormatArgument(std::int32_t value) : isNumber(true), number(value) {}
    FormatArgument(std::uint32_t value) : isNumber(true), number(static_cast<std::int32_t>(value)) {}

    std::wstring text;
    bool isNumber = false;
    std::int64_t number = 0;
};

// Substitutes %s and %d in order ("%%" is a percent sign). Missing arguments
// format as empty text or 0.
std::wstring FormatPrintf(const std::wstring& format, std::initializer_list<FormatArgument> arguments);

// The string-table text id formatted with the arguments.
std::wstring FormatMessageText(Platform& platform, unsigned id, std::initializer_list<FormatArgument> arguments);

void ShowError(Platform& platform, WindowHandle owner, unsigned id);
void ShowError(Platform& platform, WindowHandle owner, const std::wstring& text);
void ShowFormattedError(Platform& platform, WindowHandle owner, unsigned formatId, const std::wstring& argument);
void ShowFormattedError(Platform& platform, WindowHandle owner, unsigned formatId, const std::wstring& argument,
                        std::int32_t code);

// The string-table id of the reason for a JNI_CreateJavaVM result, 0 when the
// code has none.
unsigned JniReasonId(std::int32_t code);
std::wstring JniReasonText(Platform& platform, std::int32_t code);

}  // namespace zorv
