#include "bare_thread.h"

namespace {

DWORD WINAPI DoNothing(LPVOID) { return 0; }

}  // namespace

bool RunBareThread(DWORD timeoutMs)
{
    const HANDLE thread = CreateThread(nullptr, 0, DoNothing, nullptr, 0, nullptr);
    if (thread == nullptr) {
        return false;
    }
    const bool ended = WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}
