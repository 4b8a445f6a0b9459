// What a text control shows, judged by its pixels: the control is captured
// and its ink (each pixel's darkness against the background) compared with
// the control's text drawn by the test with DrawTextW, in the control's font,
// size and mirroring, in two ways: the way it must look and the way it must
// not.
#pragma once

#include <windows.h>

#include <string>

struct DrawnComparison {
    double toExpected;  // summed difference of ink from the expected drawing
    double toOther;     // from the drawing it must not look like
    double apart;       // between the two drawings themselves
};

// Less than one light pixel apart counts as the same drawing; the cases are
// chosen so that the two drawings differ by far more (an ampersand against an
// underlined letter, an ellipsis against a cut name).
constexpr double kSameDrawing = 0.5;
constexpr double kOtherDrawing = 3.0;

DrawnComparison CompareDrawing(HWND control, const std::wstring& text, UINT expectedFormat, UINT otherFormat);

// The DrawTextW format a static control of style lays its text out with.
UINT StaticTextFormat(LONG_PTR style);
