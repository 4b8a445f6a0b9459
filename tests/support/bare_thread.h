// One thread of the test's own, started and ended: shared because several
// programs need its detach to empty the library's thread-handle slots.
#pragma once

#include <windows.h>

// Starts a thread that does nothing and waits for its end, which is a thread
// detach of the library that has run by the time this returns. False when the
// thread could not be started or did not end within timeoutMs.
bool RunBareThread(DWORD timeoutMs = 10000);
