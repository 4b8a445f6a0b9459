#include "dialog_probe.h"

namespace {

bool IsDialogClass(HWND window)
{
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    return std::wstring(className) == L"#32770";
}

BOOL CALLBACK CollectProcessDialog(HWND window, LPARAM context)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId() && IsDialogClass(window)) {
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK CollectThreadDialog(HWND window, LPARAM context)
{
    if (IsDialogClass(window)) {
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    }
    return TRUE;
}

// A message posted behind the others; the hook on the window's thread signals
// the event in its lParam when the thread takes it from the queue.
UINT PostedMarker()
{
    static const UINT marker = RegisterWindowMessageW(L"DocEventDlgTestPostedMarker");
    return marker;
}

LRESULT CALLBACK SeePostedMarker(int code, WPARAM removal, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && removal == PM_REMOVE && message->message == PostedMarker()) {
        SetEvent(reinterpret_cast<HANDLE>(message->lParam));
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

bool PaintPending(HWND dialog)
{
    bool pending = GetUpdateRect(dialog, nullptr, FALSE) != FALSE;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        pending = pending || GetUpdateRect(child, nullptr, FALSE) != FALSE;
    }
    return pending;
}

}  // namespace

std::vector<HWND> ProcessDialogs()
{
    std::vector<HWND> dialogs;
    EnumWindows(CollectProcessDialog, reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

std::vector<HWND> ThreadDialogs(DWORD threadId)
{
    std::vector<HWND> dialogs;
    EnumThreadWindows(threadId, CollectThreadDialog, reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

HWND WaitForDialog(DWORD threadId, DWORD timeoutMs, const std::set<HWND>& known)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        for (HWND dialog : threadId != 0 ? ThreadDialogs(threadId) : ProcessDialogs()) {
            if (known.count(dialog) == 0 && GetWindowLongPtrW(dialog, DWLP_USER) != 0 && IsWindowVisible(dialog)) {
                return dialog;
            }
        }
        Sleep(5);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (IsWindow(window)) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(5);
    }
    return true;
}

std::wstring WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::wstring ControlText(HWND dialog, int controlId) { return WindowText(GetDlgItem(dialog, controlId)); }

RECT ControlRect(HWND dialog, int controlId)
{
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, controlId), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void PressKey(HWND dialog, WORD virtualKey)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus != nullptr) {
        target = info.hwndFocus;
    }
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1);
    PostMessageW(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

bool WaitUntilPostedHandled(HWND window, DWORD timeoutMs)
{
    const DWORD threadId = GetWindowThreadProcessId(window, nullptr);
    if (threadId == 0) {
        return false;
    }
    const HANDLE seen = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, threadId);
    const HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, SeePostedMarker, nullptr, threadId);
    bool handled = false;
    if (seen != nullptr && thread != nullptr && hook != nullptr &&
        PostMessageW(window, PostedMarker(), 0, reinterpret_cast<LPARAM>(seen))) {
        const HANDLE waits[] = {seen, thread};
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        for (;;) {
            const DWORD result = WaitForMultipleObjects(2, waits, FALSE, 50);
            if (result == WAIT_OBJECT_0) {
                handled = true;
                break;
            }
            // A window that is destroyed drops what is still queued for it.
            if (result != WAIT_TIMEOUT || !IsWindow(window) || GetTickCount64() >= deadline) {
                break;
            }
        }
    }
    if (hook != nullptr) {
        UnhookWindowsHookEx(hook);
    }
    if (thread != nullptr) {
        CloseHandle(thread);
    }
    if (seen != nullptr) {
        CloseHandle(seen);
    }
    return handled;
}

BackgroundCall::BackgroundCall(std::function<intptr_t()> call) : call_(std::move(call))
{
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
}

BackgroundCall::~BackgroundCall()
{
    if (thread_ == nullptr) {
        return;
    }
    if (!Wait(0)) {
        // A case failed and left its dialog open: end it so the thread can go.
        for (HWND dialog : ThreadDialogs(threadId_)) {
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        }
        if (!Wait(5000)) {
            TerminateThread(thread_, 1);
        }
    }
    CloseHandle(thread_);
}

bool BackgroundCall::Wait(DWORD timeoutMs)
{
    return thread_ != nullptr && WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD WINAPI BackgroundCall::Run(void* self)
{
    auto* call = static_cast<BackgroundCall*>(self);
    call->result_ = call->call_();
    call->finished_.store(true);
    return 0;
}

void CloseAllDialogs(DWORD timeoutMs)
{
    // The dialogs' threads are waited for too: a thread that ends later would
    // detach in the middle of the next case, and every detach closes the
    // thread handles the library keeps.
    std::vector<HANDLE> threads;
    for (HWND dialog : ProcessDialogs()) {
        const DWORD threadId = GetWindowThreadProcessId(dialog, nullptr);
        if (threadId != GetCurrentThreadId()) {
            if (const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, threadId)) {
                threads.push_back(thread);
            }
        }
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!ProcessDialogs().empty() && GetTickCount64() < deadline) {
        Sleep(10);
    }
    for (HANDLE thread : threads) {
        const ULONGLONG now = GetTickCount64();
        WaitForSingleObject(thread, now < deadline ? static_cast<DWORD>(deadline - now) : 0);
        CloseHandle(thread);
    }
}

// RDW_UPDATENOW sends the paint messages, to another thread's windows too,
// and waits for them; it is repeated while anything is still invalid, for
// paints that an earlier one caused. An invalidation also wakes the dialog's
// own thread, which may take the paint from its queue first: its BeginPaint
// validates before it draws, so "nothing invalid" can be seen while it is
// still drawing, and RDW_UPDATENOW has nothing left to send. The thread is
// done with such a paint once it takes a message posted after that check.
void WaitUntilPainted(HWND dialog)
{
    const ULONGLONG deadline = GetTickCount64() + 30000;
    for (;;) {
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        if (!PaintPending(dialog)) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline || !WaitUntilPostedHandled(dialog, static_cast<DWORD>(deadline - now)) ||
                !PaintPending(dialog)) {
                return;
            }
        }
        if (GetTickCount64() >= deadline) {
            return;
        }
        Sleep(10);
    }
}
