// Module-wide state: the library's instance and the handles of the dialog
// threads it started.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>

extern HINSTANCE g_moduleInstance;

// Each slot holds the handle of the last thread its export started, until a
// thread detaches. Exchanging keeps a handle from being lost or closed twice.
extern std::atomic<HANDLE> g_jobStorageThread;
extern std::atomic<HANDLE> g_duplexThread;

// Puts a new thread's handle (null when none was created) into slot and
// closes the handle it replaces.
void StoreDialogThread(std::atomic<HANDLE>& slot, HANDLE thread);

// Closes and clears the handle in slot, if any.
void CloseDialogThread(std::atomic<HANDLE>& slot);

// Takes a reference to this library for a dialog thread, which gives it back
// with FreeLibraryAndExitThread as it ends: the code the thread runs stays
// loaded even when the host frees the library while the dialog is open. Null
// when no reference could be taken.
HMODULE ReferenceThisModule();

// What a dialog thread is started with: its request copy and the reference to
// this library that the thread gives back as it ends. The copy comes first, so
// that the routines which release the copy release the whole block.
template <class Request>
struct DialogThreadStart {
    Request request;
    HMODULE moduleReference;
};
