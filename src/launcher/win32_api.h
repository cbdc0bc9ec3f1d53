// The one include of <windows.h>: Win32 files include this instead.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0602  // Windows 8: AddDllDirectory and the LOAD_LIBRARY_SEARCH_* flags
#endif
#ifndef UNICODE
#define UNICODE
#endif

#include <windows.h>
