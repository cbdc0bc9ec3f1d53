#include "launcher/platform_win32.h"
#include "runtime/runtime_not_found.h"

namespace zorv {

int RunRuntimeNotFoundDialog(HWND, RuntimeNotFoundDialog&) { return kDialogCancel; }

}  // namespace zorv
