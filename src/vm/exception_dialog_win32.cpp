#include "launcher/platform_win32.h"

namespace zorv {

int RunExceptionDialog(HWND, const std::wstring&) { return kDialogStop; }

}  // namespace zorv
