// The display scale the dialogs are laid out at. A dialog is made per-monitor
// aware where the platform offers it, so it is laid out at the DPI of the
// monitor it is on, and follows it to another; every size the library
// computes comes from the window's own DPI.
#pragma once

#include <windows.h>

// The DPI at which pixels are their own size (100 %).
constexpr int kBaseDpi = 96;

// The DPI a window is laid out at: GetDpiForWindow where the platform has it
// (Windows 10 1607 and later), else the logical DPI of a drawing context of
// the window (the system's, on every earlier version). 96 when unknown.
int WindowDpi(HWND window);

// The logical DPI of a drawing context; 96 when unknown.
int DeviceDpi(HDC dc);

// pixels at 96 DPI, at dpi: rounded to the nearest pixel.
int ScaleToDpi(int pixels, int dpi);

// Makes the calling thread per-monitor (v2) DPI aware while the guard lives
// and gives it back its own context after, where the platform offers
// per-monitor contexts (Windows 10 1703 and later); elsewhere does nothing.
class PerMonitorDpiAwareness {
public:
    PerMonitorDpiAwareness();
    ~PerMonitorDpiAwareness();
    PerMonitorDpiAwareness(const PerMonitorDpiAwareness&) = delete;
    PerMonitorDpiAwareness& operator=(const PerMonitorDpiAwareness&) = delete;

private:
    void* previous_ = nullptr;  // the thread's own context; null when it was left alone
};

// Keeps the dialog manager from laying out the dialog and its controls again
// and from giving the controls new fonts when the dialog's DPI changes: the
// library does that itself, the same way on every platform. Does nothing
// where the platform has no such behaviour.
void KeepDialogLayoutOnDpiChange(HWND dialog);
