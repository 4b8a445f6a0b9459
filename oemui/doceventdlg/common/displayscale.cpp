#include "displayscale.h"

int DeviceDpi(HDC dc)
{
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : kBaseDpi;
}

int WindowDpi(HWND window)
{
    const HDC dc = GetDC(window);
    const int dpi = DeviceDpi(dc);
    if (dc != nullptr) {
        ReleaseDC(window, dc);
    }
    return dpi;
}

int ScaleToDpi(int pixels, int dpi) { return MulDiv(pixels, dpi, kBaseDpi); }
