// Helpers for the fault and bad-input programs: waiting until the library has
// released everything it made, and (through user_registry.h) the throwaway
// registry keys under HKCU.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "foreground_window.h"
#include "user_registry.h"

class DllMonitor;

// Waits until monitor reports nothing outstanding, ending a bare thread each
// round (its detach makes the library close the handles its slots hold). Returns what is still outstanding at the deadline ("" when nothing).
std::string WaitForNoLeaks(const DllMonitor& monitor, DWORD timeoutMs = 30000);

// Counts the pixels of a window's client area, as it is on the screen, whose
// colour differs from colour. -1 when the window cannot be read.
int PixelsUnlike(HWND window, COLORREF colour);
