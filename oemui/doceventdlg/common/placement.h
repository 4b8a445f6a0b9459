// Placing the job storage notice and the two-sided instructions over the
// window the user is looking at.
#pragma once

#include <windows.h>

#include "placementmath.h"

// Centres dialog over the foreground window, keeps it inside the work area of
// that window's monitor, and shows it. The guarded variant places nothing when
// a rectangle cannot be read; the unguarded one places the dialog in any case.
void CenterOverForeground(HWND dialog, PlacementVariant variant);
