// Pop-up help for a dialog's Help button.
#pragma once

#include <windows.h>

// Shows the pop-up topic helpContext of helpFile next to helpButton (whose
// control ID is controlId). Returns the help engine's result.
BOOL ShowControlHelp(HWND helpButton, const wchar_t* helpFile, int controlId, DWORD helpContext);
