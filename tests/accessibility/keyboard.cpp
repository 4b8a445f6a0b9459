#include "keyboard.h"

#include "dialog_probe.h"

namespace {

// The repeat count of a key message that Shift goes with.
constexpr LPARAM kShiftedRepeat = 2;

// On the dialog's thread: holds Shift in its keyboard state for the key
// messages marked with the shifted repeat count, before the dialog manager
// reads it.
LRESULT CALLBACK HoldShift(int code, WPARAM removal, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && removal == PM_REMOVE && (message->message == WM_KEYDOWN || message->message == WM_KEYUP) &&
        (message->lParam & 0xFFFF) == kShiftedRepeat) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = message->message == WM_KEYDOWN ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

HWND FocusedWindow(HWND dialog)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

}  // namespace

int FocusedControl(HWND dialog)
{
    const HWND focus = FocusedWindow(dialog);
    return focus != nullptr && GetParent(focus) == dialog ? GetDlgCtrlID(focus) : 0;
}

bool PressTab(HWND dialog, bool shift)
{
    const HWND target = FocusedWindow(dialog) != nullptr ? FocusedWindow(dialog) : dialog;
    const LPARAM repeat = shift ? kShiftedRepeat : 1;
    const HHOOK hook =
        shift ? SetWindowsHookExW(WH_GETMESSAGE, HoldShift, nullptr, GetWindowThreadProcessId(dialog, nullptr))
              : nullptr;
    PostMessageW(target, WM_KEYDOWN, VK_TAB, repeat);
    PostMessageW(target, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC0000000u) | repeat);
    const bool handled = WaitUntilPostedHandled(dialog);
    if (hook != nullptr) {
        UnhookWindowsHookEx(hook);
    }
    return handled && (!shift || hook != nullptr);
}

bool PressAndWait(HWND dialog, WORD key)
{
    PressKey(dialog, key);
    return WaitUntilPostedHandled(dialog) || !IsWindow(dialog);
}

bool TypeKey(HWND dialog, WORD key)
{
    if (GetForegroundWindow() != dialog) {
        SetForegroundWindow(dialog);
        if (!WaitFor([dialog] { return GetForegroundWindow() == dialog; })) {
            return false;
        }
    }
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = key;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, input, sizeof(INPUT)) == 2;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() > deadline) {
            return false;
        }
        Sleep(10);
    }
    return true;
}
