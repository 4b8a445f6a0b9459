#include "contexthelp.h"

BOOL ShowControlHelp(HWND helpButton, const wchar_t* helpFile, int controlId, DWORD helpContext)
{
    // One control/topic pair and the terminating zero pair.
    DWORD helpIds[4] = {static_cast<DWORD>(controlId), helpContext, 0, 0};
    return WinHelpW(helpButton, helpFile, HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(helpIds));
}
