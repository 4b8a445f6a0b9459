// Two-sided printing instructions: an introduction and three illustrated
// steps, on a thread of its own or while the caller waits.
#pragma once

#include <windows.h>

#include "common/resourcestrings.h"
#include "include/doceventdlg.h"

struct DuplexState {
    DuplexInstructionsRequest* request = nullptr;  // the export's copy; RunDuplexDialog releases it
    ResourceStrings strings;
};

// Runs one dialog on the calling thread; owns and releases the copy. Called
// directly when waiting, and by the informational mode's thread routine.
DWORD WINAPI RunDuplexDialog(LPVOID requestCopy);

// Thread routine of the informational mode: runs the dialog, then gives back
// the library reference it was started with and ends the thread. Owns the
// local-memory DialogThreadStart it is given.
DWORD WINAPI RunInformationalDuplexDialog(LPVOID threadStart);

INT_PTR CALLBACK DuplexDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetDuplexTexts(const ResourceStrings& strings, HWND window, const DuplexInstructionsRequest& request);
void PaintIllustration(const ResourceStrings& strings, HWND window, uint32_t bitmapId, int frameId,
                       HINSTANCE instance);
