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
    for (HWND dialog : ProcessDialogs()) {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!ProcessDialogs().empty() && GetTickCount64() < deadline) {
        Sleep(10);
    }
}
