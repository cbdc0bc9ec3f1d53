// The baseline of the start-up bench: a GUI program that makes its message
// queue, as every GUI program does, and returns, so what it costs is the
// system's own price of a GUI process start and exit.
#include "launcher/win32_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    return 0;
}
