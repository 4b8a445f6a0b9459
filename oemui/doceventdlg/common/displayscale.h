// The display scale the dialogs are laid out at. The dialog manager sizes a
// dialog from its font, which the platform makes at the display's logical
// DPI; what the library draws in pixels follows the same DPI.
#pragma once

#include <windows.h>

// The DPI at which pixels are their own size (100 %).
constexpr int kBaseDpi = 96;

// The logical DPI of a drawing context: the one its window's dialog font was
// made for. GetDeviceCaps answers on every Windows version the library runs
// on (GetDpiForWindow exists only from Windows 10 1607). 96 when unknown.
int DeviceDpi(HDC dc);

// The same, for a window, read from a drawing context of its own.
int WindowDpi(HWND window);

// pixels at 96 DPI, at dpi: rounded to the nearest pixel.
int ScaleToDpi(int pixels, int dpi);
