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

// How the drawn text is laid over the captured control: over the whole of
// it, so that every bit of the control's ink must be the text's (a static
// control), or anywhere in it, give or take three pixels, leaving the
// control's own margins, boxes and alignment out (a button, an edit).
enum class DrawnMatch { WholeControl, TextAnywhere };

// Each difference is the least found with the drawings shifted up to three
// pixels against what they are laid over; a control that cannot be captured
// is endlessly far from both.
DrawnComparison CompareDrawing(HWND control, const std::wstring& text, UINT expectedFormat, UINT otherFormat,
                               DrawnMatch match);

// The DrawTextW format a static control of style lays its text out with.
UINT StaticTextFormat(LONG_PTR style);
