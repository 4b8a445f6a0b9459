// What a text control shows, judged by its pixels: the control is captured
// and its ink (each pixel's darkness against the background) compared with
// the control's text drawn by the test with DrawTextW, in the control's font,
// size, mirroring and background, in two ways: the way it must look and the
// way it must not.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct DrawnComparison {
    uint32_t background;  // the control's most common colour, which the drawings share
    double toExpected;    // summed difference of ink from the expected drawing
    double toOther;       // from the drawing it must not look like
    double apart;         // between the two drawings themselves
};

// Each difference is the least found with the drawn text anywhere in the
// control, give or take three pixels (controls add margins, boxes and
// alignment of their own); a control that cannot be captured is endlessly
// far from both.
DrawnComparison CompareDrawing(HWND control, const std::wstring& text, UINT expectedFormat, UINT otherFormat);

// The DrawTextW format a static control of style lays its text out with.
UINT StaticTextFormat(LONG_PTR style);
