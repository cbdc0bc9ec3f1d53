// The baseline of the start-up bench: a GUI program that returns at once, so
// what it costs is the system's own price of a process start and exit.
#include "launcher/win32_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
