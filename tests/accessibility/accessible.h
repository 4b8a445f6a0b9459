// A window as a screen reader reads it: the client object that
// AccessibleObjectFromWindow gives (the system's proxy, with whatever
// annotations the window carries). Needs COM on the calling thread.
#pragma once

#include <windows.h>

#include <string>

struct AccessibleView {
    bool found = false;
    std::wstring name;
    long role = 0;
    long state = 0;
};

AccessibleView ReadAccessible(HWND window);

// Whether the platform's dynamic annotation reaches what a screen reader
// reads: a window of the test's own annotated as a graphic and read back.
// (Wine 8 answers the annotation with E_NOTIMPL.)
bool PlatformTakesAnnotations();
