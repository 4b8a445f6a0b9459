// Where the library runs, as far as its dialogs are concerned: whether a user
// can answer a dialog in this process at all, and which application's windows
// may own one.
#pragma once

#include <windows.h>

struct PrintHost {
    // False in a process whose window station nobody sees (a service, a
    // scheduled task, a server's session 0) and in the spooler service, its
    // isolation host and the print filter pipeline, where no user interface
    // may be shown.
    bool userCanAnswer;
    // The process whose windows may own a dialog: this one, or the
    // application that the 32-bit print helper (splwow64) prints for.
    DWORD applicationProcessId;
};

// Reads both from the platform each time: the window station of the process,
// and the print context that winspool.drv reports (looked up at run time, in
// the winspool.drv the process has loaded; it reports nothing before
// Windows 7, and a process that has not loaded it prints through no spooler
// component of its own).
PrintHost ExaminePrintHost();
