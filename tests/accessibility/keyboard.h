// The keyboard as a user works it, seen from the test: keys posted to the
// control with the focus on the dialog's thread, and where the focus is.
#pragma once

#include <windows.h>

#include <functional>

// The control ID of the window with the focus on the dialog's thread; 0 when
// none of the dialog's controls has it.
int FocusedControl(HWND dialog);

// Tab, or Shift+Tab: Shift is held on the dialog's thread while it takes the
// key. Returns once the dialog's thread has handled it.
bool PressTab(HWND dialog, bool shift);

// A key without Shift; returns once the dialog's thread has handled it, or
// the dialog is gone.
bool PressAndWait(HWND dialog, WORD key);

// A key as the keyboard gives it (SendInput), for what the system makes of
// real keys only (F1 becomes WM_HELP): to the focused control of the
// foreground window, which the dialog is made first. Input is taken from the
// queue after posted messages, in the order typed: a later key's effect shows
// that an earlier key was handled.
bool TypeKey(HWND dialog, WORD key);

// Waits until condition holds, for at most timeoutMs; for what real input
// does, which arrives behind anything posted.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000);
