#include "placement.h"

namespace {

ScreenRect ToScreenRect(const RECT& rect) { return ScreenRect{rect.left, rect.top, rect.right, rect.bottom}; }

// The work area of the monitor that holds window (the nearest one when it is
// on none), so that no taskbar covers the dialog; the rectangle of the
// desktop window when no monitor answers.
bool GetScreenRect(HWND window, RECT& screen)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    const HMONITOR handle = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (handle != nullptr && GetMonitorInfoW(handle, &monitor)) {
        screen = monitor.rcWork;
        return true;
    }
    return GetWindowRect(GetDesktopWindow(), &screen) != FALSE;
}

}  // namespace

void CenterOverForeground(HWND dialog, PlacementVariant variant)
{
    RECT dialogRect{};
    RECT foregroundRect{};
    RECT screenRect{};
    const HWND foreground = GetForegroundWindow();
    const bool haveDialog = GetWindowRect(dialog, &dialogRect) != FALSE;
    const bool haveForeground = GetWindowRect(foreground, &foregroundRect) != FALSE;
    const bool haveScreen = GetScreenRect(haveForeground ? foreground : dialog, screenRect);

    UINT flags = SWP_NOSIZE | SWP_SHOWWINDOW;
    if (variant == PlacementVariant::Guarded) {
        if (!haveDialog || !haveForeground || !haveScreen) {
            return;  // the dialog keeps the place the template gave it
        }
    } else {
        flags |= SWP_NOOWNERZORDER;
        if (!haveForeground) {
            foregroundRect = screenRect;  // no window to centre over: centre on the screen
        }
    }
    const ScreenPoint position = CenteredPosition(ToScreenRect(dialogRect), ToScreenRect(foregroundRect),
                                                  ToScreenRect(screenRect), variant);
    SetWindowPos(dialog, HWND_TOP, position.x, position.y, 0, 0, flags);
}
