// The step pictures in a contrast theme. Under high contrast the pictures,
// which the library draws itself, take the theme's colours as Microsoft's
// guidance for custom-drawn images asks: the background in the window colour,
// lines and shapes in the text colour, the red marks in the highlight colour
// and the blue arrows in the hot-light colour, so that each picture still
// shows which edge and which way. With high contrast off nothing here is used.
#pragma once

#include <windows.h>

#include <cstdint>

#include "handles.h"

// The theme's colours as the pixels of a 32-bit picture hold them (0x00RRGGBB).
struct ContrastColors {
    uint32_t window;
    uint32_t text;
    uint32_t highlight;
    uint32_t hotLight;
};

// True when the user has high contrast on (SPI_GETHIGHCONTRAST reports
// HCF_HIGHCONTRASTON); colors then holds the theme's colours.
bool ReadContrastTheme(ContrastColors& colors);

// One pixel of a picture (0x00RRGGBB) in the theme's colours. White stays
// the background and becomes the window colour; darker greys go toward the
// text colour, the darkest lines all the way; red goes toward the highlight
// colour and blue toward the hot-light colour by how red or blue it is, so
// the smoothed edges of the artwork stay smooth.
uint32_t ContrastPixel(uint32_t pixel, const ContrastColors& colors);

// A 32-bit copy of picture with every pixel in the theme's colours; empty
// when no copy could be made.
UniqueBitmap ContrastCopy(HDC reference, HBITMAP picture, const ContrastColors& colors);
