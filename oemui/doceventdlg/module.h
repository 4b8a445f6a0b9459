// Module-wide state: the library's instance and the handles of the dialog
// threads it started.
#pragma once

#include <windows.h>

#include <atomic>

extern HINSTANCE g_moduleInstance;

// The thread-local slot that holds the dialog being created on a thread
// (TLS_OUT_OF_INDEXES when none could be had; then no dialog is shown).
extern DWORD g_dialogRunSlot;

// Each slot holds the handle of the last thread its export started, until a
// thread detaches. Exchanging keeps a handle from being lost or closed twice.
extern std::atomic<HANDLE> g_jobStorageThread;
extern std::atomic<HANDLE> g_duplexThread;

// Puts a new thread's handle (null when none was created) into slot and
// closes the handle it replaces.
void StoreDialogThread(std::atomic<HANDLE>& slot, HANDLE thread);

// Closes and clears the handle in slot, if any.
void CloseDialogThread(std::atomic<HANDLE>& slot);
