// A service runs in a window station nobody looks at: a dialog there would
// wait for ever for a click, so what it would say goes to the event log and
// the trace instead.
#include "launcher/platform_win32.h"

#include "launcher/trace.h"

namespace zorv {

// Asked afresh each time: only a message about to be shown asks, and the
// station's handle needs no closing.
bool HasVisibleDesktop() {
    USEROBJECTFLAGS flags = {};
    HWINSTA station = GetProcessWindowStation();
    // When the station cannot be asked, a window is the better guess.
    return station == nullptr || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr) ||
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

void ReportUnseen(Trace* trace, const std::wstring& text, WORD type) {
    if (trace) trace->Line(L"no visible desktop, to the event log: " + text);
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (*p == L'\\') name = p + 1;
    }
    HANDLE source = RegisterEventSourceW(nullptr, name);
    if (source == nullptr) return;
    const wchar_t* strings[] = {text.c_str()};
    ReportEventW(source, type, 0, 1, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}

}  // namespace zorv
