// A top-level window of the test's own at a known place, on a thread of its
// own that keeps its messages flowing, so that a dialog it owns never waits
// for the test's thread. Made the foreground window unless asked not to.
#pragma once

#include <windows.h>

struct WindowOptions {
    bool activate = true;  // made the foreground window
    bool topMost = false;
    int background = COLOR_WINDOW;  // a system colour
};

class ForegroundWindow {
public:
    explicit ForegroundWindow(const RECT& place, WindowOptions options = {});
    ~ForegroundWindow();
    ForegroundWindow(const ForegroundWindow&) = delete;
    ForegroundWindow& operator=(const ForegroundWindow&) = delete;

    HWND window() const { return window_; }
    DWORD threadId() const { return threadId_; }
    // Makes it the foreground window again; true when it is.
    bool Activate() const;

    // Its thread stops handling messages (waits, as a window thread does
    // that waits for its printing thread) until Resume; Hold returns once
    // the thread has stopped.
    void Hold();
    void Resume();
    // How often a modal dialog it owns has sent it WM_ENTERIDLE.
    int IdleMessages() const;

private:
    static DWORD WINAPI Run(void* self);
    RECT place_;
    WindowOptions options_;
    HWND window_ = nullptr;
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE held_ = nullptr;     // set while the thread waits
    HANDLE resumed_ = nullptr;  // set to let it go on
};
