// The job storage notice: where a stored job is kept and under which names it
// can be found again, on a thread of its own; OK stores whether to show it again.
#pragma once

#include <windows.h>

#include "common/handles.h"
#include "common/resourcestrings.h"
#include "include/doceventdlg.h"

struct JobStorageState {
    JobStorageRequest request;  // the dialog's own copy
    ResourceStrings strings;
    UniqueFont boldFont;        // the identification fields' font; deleted after the dialog
};

// Thread routine: runs one dialog, gives back the library reference it was
// started with and ends the thread with exit code 0. Owns the local-memory
// DialogThreadStart it is given.
DWORD WINAPI RunJobStorageDialog(LPVOID threadStart);

INT_PTR CALLBACK JobStorageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetJobStorageTexts(JobStorageState& state, HWND window);
