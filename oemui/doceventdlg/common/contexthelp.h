// Pop-up help for a dialog's Help button.
#pragma once

#include <windows.h>

// Shows the pop-up topic helpContext of helpFile next to helpButton (whose
// control ID is controlId). A compiled HTML Help file (a path whose file part,
// before any "::", ends in ".chm", any case) goes to HTML Help with the whole
// path, every other path to WinHelp. Returns whether the help engine took the
// request; no caller needs it.
BOOL ShowControlHelp(HWND helpButton, const wchar_t* helpFile, int controlId, DWORD helpContext);
