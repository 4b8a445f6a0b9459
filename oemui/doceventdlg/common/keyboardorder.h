// The keyboard order of a dialog's controls, made at run time from where the
// controls stand, after the dialog has set its texts and laid itself out.
#pragma once

#include <windows.h>

// Puts the dialog's tab stops in the order a reader meets them: row by row
// from the top, and in each row from the reading side (the left, or the right
// in a mirrored dialog). A tab stop's place in the z-order is its place in
// the keyboard order, so the tab stops are moved, one after the other, to
// where the first of them stood; the other controls keep their places.
// Nothing moves when the order is already right.
void OrderTabStopsAsRead(HWND dialog);

// Makes the first shown push button in the keyboard order the default push
// button and gives it the focus, so that Enter presses a button that is
// there. Returns it, or null when no push button is shown (then nothing
// changes).
HWND FocusFirstShownButton(HWND dialog);
