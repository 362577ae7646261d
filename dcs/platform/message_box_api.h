// The windowing system's message box, as the driver calls it: the system's
// user32 on Windows, the user32 stand-in on Linux.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
extern "C" int MessageBoxA(void* owner, const char* text, const char* caption, unsigned type);
#ifndef MB_OK
#define MB_OK 0x00000000U
#endif
#endif
