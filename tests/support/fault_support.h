// Helpers for the fault and bad-input programs: waiting until the library has
// released everything it made, a foreground window that keeps its own message
// loop, and (through user_registry.h) the throwaway registry keys under HKCU.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "user_registry.h"

class DllMonitor;

// Waits until monitor reports nothing outstanding, ending a bare thread each
// round (its detach makes the library close the handles its slots hold). Returns what is still outstanding at the deadline ("" when nothing).
std::string WaitForNoLeaks(const DllMonitor& monitor, DWORD timeoutMs = 30000);

// A plain top-level window on a thread of its own that pumps messages, so
// that dialogs owned by it never wait for the test's thread.
class ForegroundWindow {
public:
    explicit ForegroundWindow(const RECT& place);
    ~ForegroundWindow();
    ForegroundWindow(const ForegroundWindow&) = delete;
    ForegroundWindow& operator=(const ForegroundWindow&) = delete;

    HWND window() const { return window_; }
    // Makes it the foreground window again; true when it is.
    bool Activate() const;

private:
    static DWORD WINAPI Run(void* self);
    RECT place_;
    HWND window_ = nullptr;
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
};

// Counts the pixels of a window's client area, as it is on the screen, whose
// colour differs from colour. -1 when the window cannot be read.
int PixelsUnlike(HWND window, COLORREF colour);
