#include "fault_support.h"

#include "bare_thread.h"
#include "dll_monitor.h"
#include "pixels.h"

#include <algorithm>

std::string WaitForNoLeaks(const DllMonitor& monitor, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        RunBareThread(5000);
        const std::string leaks = monitor.Leaks();
        if (leaks.empty() || GetTickCount64() >= deadline) {
            return leaks;
        }
        Sleep(20);
    }
}

int PixelsUnlike(HWND window, COLORREF colour)
{
    const Pixels pixels = CaptureClient(window);
    if (pixels.empty()) {
        return -1;
    }
    const uint32_t wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    return static_cast<int>(std::count_if(pixels.data.begin(), pixels.data.end(), [&](uint32_t p) { return p != wanted; }));
}
