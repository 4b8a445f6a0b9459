#include "fault_support.h"

#include "bare_thread.h"
#include "dll_monitor.h"
#include "pixels.h"

#include <algorithm>

namespace {

LRESULT CALLBACK ForegroundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

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

ForegroundWindow::ForegroundWindow(const RECT& place) : place_(place)
{
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    WaitForSingleObject(ready_, 10000);
}

ForegroundWindow::~ForegroundWindow()
{
    if (window_ != nullptr) {
        PostMessageW(window_, WM_CLOSE, 0, 0);
    }
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
    }
    CloseHandle(ready_);
}

bool ForegroundWindow::Activate() const
{
    SetForegroundWindow(window_);
    for (int i = 0; i < 1000 && GetForegroundWindow() != window_; ++i) {
        Sleep(10);
    }
    return GetForegroundWindow() == window_;
}

DWORD WINAPI ForegroundWindow::Run(void* self)
{
    auto* owner = static_cast<ForegroundWindow*>(self);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ForegroundProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"DocEventDlgTestForeground";
    RegisterClassW(&windowClass);
    const RECT& place = owner->place_;
    owner->window_ = CreateWindowExW(0, windowClass.lpszClassName, L"Foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                     place.left, place.top, place.right - place.left, place.bottom - place.top,
                                     nullptr, nullptr, windowClass.hInstance, nullptr);
    SetForegroundWindow(owner->window_);
    SetEvent(owner->ready_);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
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
