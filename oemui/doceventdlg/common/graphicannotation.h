// Pictures for screen readers. A window that shows a picture but is a text
// control to the platform (the step picture frames are static controls whose
// text is the picture's name) is announced as a graphic, enabled, with its
// text as its name: Active Accessibility's dynamic annotation overrides the
// role and the state that the system's own proxy gives the window, and
// leaves everything else to it.
#pragma once

#include <windows.h>

#include <cstddef>

struct IAccPropServices;

// The annotations of one dialog, made and taken back on the dialog's thread.
// COM is started on that thread as far as it needs it (an apartment of its
// own where it had none; the one it has otherwise) and the thread is left in
// the COM state it was in when the object goes.
class GraphicAnnotations {
public:
    GraphicAnnotations() = default;
    GraphicAnnotations(const GraphicAnnotations&) = delete;
    GraphicAnnotations& operator=(const GraphicAnnotations&) = delete;
    ~GraphicAnnotations();

    // Enables window (a disabled control is announced as unavailable) and
    // annotates it as a read-only graphic. Returns whether the platform took
    // the annotation; the window is enabled either way.
    bool Announce(HWND window);

    // Takes every annotation back, while the windows still exist.
    void Withdraw();

private:
    static constexpr size_t kCapacity = 4;

    bool StartServices();

    bool comTried_ = false;
    bool comOwed_ = false;  // CoInitializeEx succeeded: one CoUninitialize is owed
    IAccPropServices* services_ = nullptr;
    HWND announced_[kCapacity] = {};
    size_t count_ = 0;
};
