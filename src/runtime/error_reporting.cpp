#include "runtime/error_reporting.h"

#include <vector>

#include "launcher/text.h"
#include "resources/string_table.h"

namespace zorv {

std::wstring FormatPrintf(const std::wstring& format, std::initializer_list<FormatArgument> arguments) {
    std::vector<FormatArgument> args(arguments);
    std::size_t next = 0;
    std::wstring result;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%' || i + 1 == format.size()) {
            result += format[i];
            continue;
        }
        wchar_t kind = format[++i];
        if (kind == L'%') {
            result += L'%';
        } else if (kind == L's') {
            if (next < args.size()) result += args[next].isNumber ? DecimalText(args[next].number) : args[next].text;
            ++next;
        } else if (kind == L'd') {
            if (next < args.size()) result += DecimalText(args[next].isNumber ? args[next].number : 0);
            else result += L'0';
            ++next;
        } else {
            result += L'%';
            result += kind;
        }
    }
    return result;
}

std::wstring FormatMessageText(Platform& platform, unsigned id, std::initializer_list<FormatArgument> arguments) {
    return FormatPrintf(platform.desktop().LoadResourceString(id), arguments);
}

void ShowError(Platform& platform, WindowHandle owner, unsigned id) {
    ShowError(platform, owner, platform.desktop().LoadResourceString(id));
}

void ShowError(Platform& platform, WindowHandle owner, const std::wstring& text) {
    // A text that could not be loaded means no box: the caller goes on with
    // its own failure path as if the message had been shown.
    if (text.empty()) return;
    platform.desktop().ShowErrorBox(owner, text);
}

void ShowFormattedError(Platform& platform, WindowHandle owner, unsigned formatId, const std::wstring& argument) {
    std::wstring format = platform.desktop().LoadResourceString(formatId);
    if (format.empty()) return;
    platform.desktop().ShowErrorBox(owner, FormatPrintf(format, {argument}));
}

void ShowFormattedError(Platform& platform, WindowHandle owner, unsigned formatId, const std::wstring& argument,
                        std::int32_t code) {
    std::wstring format = platform.desktop().LoadResourceString(formatId);
    if (format.empty()) return;
    platform.desktop().ShowErrorBox(owner, FormatPrintf(format, {argument, code}));
}

unsigned JniReasonId(std::int32_t code) {
    switch (code) {
        case -1: return IDS_REASON_UNKNOWN;
        case -2: return IDS_REASON_DETACHED;
        case -3: return IDS_REASON_VERSION;
        case -4: return IDS_REASON_NO_MEMORY;
        case -5: return IDS_REASON_EXISTS;
        case -6: return IDS_REASON_INVALID;
        default: return 0;
    }
}

std::wstring JniReasonText(Platform& platform, std::int32_t code) {
    unsigned id = JniReasonId(code);
    return id == 0 ? std::wstring() : platform.desktop().LoadResourceString(id);
}

}  // namespace zorv
