// Finding, reading and ending the library's dialogs from a test. Dialogs are
// found by their own process or thread, never by a global search: every Wine
// process of the prefix shares one desktop.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <vector>

// Top-level dialog windows (class #32770) of this process, or of one thread.
std::vector<HWND> ProcessDialogs();
std::vector<HWND> ThreadDialogs(DWORD threadId);

// Waits until a dialog that is not in known has finished initialising (its
// DWLP_USER slot is set) and is visible. threadId 0: any thread of the
// process. Returns null after timeoutMs.
HWND WaitForDialog(DWORD threadId, DWORD timeoutMs = 10000, const std::set<HWND>& known = {});

// Waits until window no longer exists.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = 10000);

std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int controlId);

// A control's rectangle in the dialog's client coordinates (mirrored ones
// for a mirrored dialog, left < right).
RECT ControlRect(HWND dialog, int controlId);

// Presses a key in the dialog as the user would: posted to the focused control.
void PressKey(HWND dialog, WORD virtualKey);

// Waits until the thread of window has taken from its queue, and so dispatched,
// every message posted to it before this call (a sent message would not do:
// sent messages overtake posted ones). True when it did; false when the window
// or its thread went away first, or after timeoutMs.
bool WaitUntilPostedHandled(HWND window, DWORD timeoutMs = 10000);

// Has the dialog's thread paint every part of the dialog and its controls
// that is invalid, and returns when nothing is left to paint and the thread
// has finished any paint it had begun on its own (or after 30 s).
void WaitUntilPainted(HWND dialog);

// Runs a call on a thread of its own, so that a modal dialog it opens can be
// driven from the test's thread.
class BackgroundCall {
public:
    explicit BackgroundCall(std::function<intptr_t()> call);
    ~BackgroundCall();
    BackgroundCall(const BackgroundCall&) = delete;
    BackgroundCall& operator=(const BackgroundCall&) = delete;

    DWORD threadId() const { return threadId_; }
    // True when the call returned within timeoutMs.
    bool Wait(DWORD timeoutMs = 10000);
    bool finished() const { return finished_.load(); }
    intptr_t result() const { return result_; }

private:
    static DWORD WINAPI Run(void* self);
    std::function<intptr_t()> call_;
    std::atomic<bool> finished_{false};
    intptr_t result_ = 0;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};

// Ends every dialog of the process with WM_CLOSE and waits for them and their
// threads to go; for clean-up after a failed case.
void CloseAllDialogs(DWORD timeoutMs = 30000);
