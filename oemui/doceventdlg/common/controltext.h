// How the static controls that show a caller's text draw it. The templates
// stay as they are; the styles are added at run time, after the texts are set.
#pragma once

#include <windows.h>

#include <cstddef>

// The static controls among controls draw their texts as written: an "&" is
// an ampersand, never the mark of a mnemonic (SS_NOPREFIX). Controls of other
// classes are left alone (an edit control takes no mnemonics).
void ShowTextsAsWritten(HWND dialog, const int* controls, size_t count);

// The static controls among controls show a text too long for them on one
// line with an ellipsis in its middle, keeping as much as they can of what
// follows the last backslash (SS_PATHELLIPSIS). The text itself stays whole:
// the window text and what screen readers read are not shortened.
void ShortenPathsInTheMiddle(HWND dialog, const int* controls, size_t count);

template <size_t Count>
void ShowTextsAsWritten(HWND dialog, const int (&controls)[Count])
{
    ShowTextsAsWritten(dialog, controls, Count);
}

template <size_t Count>
void ShortenPathsInTheMiddle(HWND dialog, const int (&controls)[Count])
{
    ShortenPathsInTheMiddle(dialog, controls, Count);
}
