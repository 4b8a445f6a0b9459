// Pixels of windows and bitmaps as the user sees them: rows top to bottom,
// columns left to right on the screen, 0x00RRGGBB.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;

    uint32_t at(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
    bool empty() const { return data.empty(); }
};

// The client area of window, read from its own drawing surface with the
// mirroring of a right-to-left window switched off, so column 0 is the
// client area's left edge on the screen.
Pixels CaptureClient(HWND window);

// The same rectangle of the screen, read from the screen itself.
Pixels CaptureScreen(const RECT& screenRect);

// The whole of a loaded bitmap, converted to 32 bits; empty when it cannot be read.
Pixels BitmapPixels(HBITMAP bitmap);

// A bitmap resource of module, converted to 32 bits.
Pixels LoadBitmapPixels(HMODULE module, WORD id);

// A colour of the system, as a pixel.
uint32_t SystemColorPixel(int index);

// Paints the client area of window with colour without invalidating it, so
// that a later read shows whether the window was painted again.
void Scribble(HWND window, COLORREF colour);

// Compares a frame as seen with a bitmap drawn from the frame's left or
// right top corner, and with the rest of the frame in background. Returns ""
// when they agree, else where the first difference is.
std::string ComparePicture(const Pixels& frame, const Pixels& bitmap, bool anchoredRight, uint32_t background);

// True when every pixel of frame equals colour.
bool AllPixels(const Pixels& frame, uint32_t colour);
