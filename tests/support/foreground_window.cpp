#include "foreground_window.h"

namespace {

// Posted to the window: its thread then waits for the window's resume event.
const UINT kHoldMessage = WM_APP + 1;
// Posted to the window: its own thread makes it the foreground window, which
// a thread may do for its window even when another program's is in front.
const UINT kActivateMessage = WM_APP + 2;
// The window's extra bytes: how many WM_ENTERIDLE it has been sent.
const int kIdleMessagesSlot = 0;

LRESULT CALLBACK ForegroundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kHoldMessage) {
        SetEvent(reinterpret_cast<HANDLE>(wParam));
        WaitForSingleObject(reinterpret_cast<HANDLE>(lParam), INFINITE);
        return 0;
    }
    if (message == WM_ENTERIDLE) {
        SetWindowLongPtrW(window, kIdleMessagesSlot, GetWindowLongPtrW(window, kIdleMessagesSlot) + 1);
    }
    if (message == kActivateMessage) {
        SetForegroundWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

ForegroundWindow::ForegroundWindow(const RECT& place, WindowOptions options) : place_(place), options_(options)
{
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    held_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    resumed_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    WaitForSingleObject(ready_, 30000);
    if (options_.activate) {
        Activate();
    }
}

ForegroundWindow::~ForegroundWindow()
{
    SetEvent(resumed_);
    if (window_ != nullptr) {
        PostMessageW(window_, WM_CLOSE, 0, 0);
    }
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, 30000);
        CloseHandle(thread_);
    }
    CloseHandle(ready_);
    CloseHandle(held_);
    CloseHandle(resumed_);
}

void ForegroundWindow::Hold()
{
    ResetEvent(resumed_);
    PostMessageW(window_, kHoldMessage, reinterpret_cast<WPARAM>(held_), reinterpret_cast<LPARAM>(resumed_));
    WaitForSingleObject(held_, 30000);
}

void ForegroundWindow::Resume() { SetEvent(resumed_); }

int ForegroundWindow::IdleMessages() const { return static_cast<int>(GetWindowLongPtrW(window_, kIdleMessagesSlot)); }

bool ForegroundWindow::Activate() const
{
    SetForegroundWindow(window_);
    if (GetForegroundWindow() != window_) {
        PostMessageW(window_, kActivateMessage, 0, 0);
    }
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
    windowClass.cbWndExtra = sizeof(LONG_PTR);
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = GetSysColorBrush(owner->options_.background);
    wchar_t className[48];
    wsprintfW(className, L"DocEventDlgTestWindow%d", owner->options_.background);
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);  // fails harmlessly when this background's class is there
    const RECT& place = owner->place_;
    owner->window_ = CreateWindowExW(owner->options_.topMost ? WS_EX_TOPMOST : 0, className, L"Foreground",
                                     WS_POPUP | WS_CAPTION | WS_VISIBLE, place.left, place.top,
                                     place.right - place.left, place.bottom - place.top, nullptr, nullptr,
                                     windowClass.hInstance, nullptr);
    SetEvent(owner->ready_);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
