// The module's entry routine and thread-handle slots.
#include "module.h"

HINSTANCE g_moduleInstance = nullptr;
DWORD g_dialogRunSlot = TLS_OUT_OF_INDEXES;
std::atomic<HANDLE> g_jobStorageThread{nullptr};
std::atomic<HANDLE> g_duplexThread{nullptr};

void StoreDialogThread(std::atomic<HANDLE>& slot, HANDLE thread)
{
    const HANDLE replaced = slot.exchange(thread);
    if (replaced != nullptr) {
        CloseHandle(replaced);
    }
}

void CloseDialogThread(std::atomic<HANDLE>& slot)
{
    StoreDialogThread(slot, nullptr);
}

// Thread notifications stay on: the end of every thread, the dialog threads
// among them, closes the handles the exports stored. Closing a handle does not
// stop a thread that still runs.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        g_moduleInstance = instance;
        g_dialogRunSlot = TlsAlloc();
        break;
    case DLL_THREAD_DETACH:
        CloseDialogThread(g_jobStorageThread);
        CloseDialogThread(g_duplexThread);
        break;
    case DLL_PROCESS_DETACH:
        // Unloaded while the process goes on (reserved is null): the last
        // dialog thread gives the library back before it ends, so no thread
        // detach reaches the slots any more; close what they hold now. At the
        // process's end the handles go with the process.
        if (reserved == nullptr) {
            CloseDialogThread(g_jobStorageThread);
            CloseDialogThread(g_duplexThread);
            if (g_dialogRunSlot != TLS_OUT_OF_INDEXES) {
                TlsFree(g_dialogRunSlot);
            }
        }
        break;
    default:
        break;
    }
    return TRUE;
}
