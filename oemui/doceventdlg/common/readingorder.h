// Reading order of the texts of a mirrored dialog. A mirrored dialog lays its
// controls out from the right, but each text still has a direction of its own:
// an Arabic or Hebrew sentence reads right to left, with its full stop at the
// left end; a Latin name or path reads left to right as it was written. Each
// control therefore reads in the direction of its own text.
#pragma once

#include <windows.h>

#include <cstddef>

enum class TextDirection { Neutral, LeftToRight, RightToLeft };

// The direction of text's first strong character, as a bidirectional
// paragraph's own direction is found: characters inside isolates (U+2066 to
// U+2069) do not count; Neutral when no strong character is found.
TextDirection FirstStrongDirection(const wchar_t* text);

// Gives every child control of a mirrored dialog that shows a text the reading
// order of that text (the extended style WS_EX_RTLREADING set or cleared). A
// text without a strong character reads right to left when it is the dialog's
// own ("1."), left to right when it is the caller's data ("2025(1-99)"); the
// controls named in dataControls show the caller's data. An edit control is
// mirrored only for the dialog's own right-to-left text. Call it after the
// texts are set, before the dialog is painted.
void MatchReadingOrderToTexts(HWND dialog, const int* dataControls, size_t dataControlCount);

template <size_t Count>
void MatchReadingOrderToTexts(HWND dialog, const int (&dataControls)[Count])
{
    MatchReadingOrderToTexts(dialog, dataControls, Count);
}

// For WM_CTLCOLORSTATIC and WM_CTLCOLORBTN: a static or button control that
// reads right to left gets that reading order on the context it draws its text
// with, as not every platform's static and button controls look at the style
// themselves. The colours and the brush stay the system's: the dialog
// procedure still returns FALSE.
void PrepareControlText(HDC dc, HWND control);
