#include "displayscale.h"

namespace {

// The per-monitor DPI functions are looked up in user32 at each use, so that
// the library loads and behaves as before on platforms without them. Their
// contexts are handles and their behaviours flags, as user32 takes them.
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using SetThreadDpiAwarenessContextFunction = void*(WINAPI*)(void*);
using SetDialogDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
using SetDialogControlDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);

void* const kPerMonitorAwareV2 = reinterpret_cast<void*>(static_cast<INT_PTR>(-4));
constexpr int kDialogKeepsSizeAndLayout = 0x0002 | 0x0004;  // DDC_DISABLE_RESIZE | DDC_DISABLE_CONTROL_RELAYOUT
constexpr int kControlKeepsFontAndPlace = 0x0001 | 0x0002;  // DCDC_DISABLE_FONT_UPDATE | DCDC_DISABLE_RELAYOUT

template <class Function>
Function User32Function(const char* name)
{
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                             : nullptr;
}

}  // namespace

int DeviceDpi(HDC dc)
{
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : kBaseDpi;
}

int WindowDpi(HWND window)
{
    if (const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow")) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    const HDC dc = GetDC(window);
    const int dpi = DeviceDpi(dc);
    if (dc != nullptr) {
        ReleaseDC(window, dc);
    }
    return dpi;
}

int ScaleToDpi(int pixels, int dpi) { return MulDiv(pixels, dpi, kBaseDpi); }

PerMonitorDpiAwareness::PerMonitorDpiAwareness()
{
    if (const auto setContext = User32Function<SetThreadDpiAwarenessContextFunction>("SetThreadDpiAwarenessContext")) {
        previous_ = setContext(kPerMonitorAwareV2);  // null: not offered, nothing changed
    }
}

PerMonitorDpiAwareness::~PerMonitorDpiAwareness()
{
    if (previous_ == nullptr) {
        return;
    }
    if (const auto setContext = User32Function<SetThreadDpiAwarenessContextFunction>("SetThreadDpiAwarenessContext")) {
        setContext(previous_);
    }
}

void KeepDialogLayoutOnDpiChange(HWND dialog)
{
    const auto dialogBehavior = User32Function<SetDialogDpiChangeBehaviorFunction>("SetDialogDpiChangeBehavior");
    const auto controlBehavior =
        User32Function<SetDialogControlDpiChangeBehaviorFunction>("SetDialogControlDpiChangeBehavior");
    if (dialogBehavior != nullptr) {
        dialogBehavior(dialog, kDialogKeepsSizeAndLayout, kDialogKeepsSizeAndLayout);
    }
    if (controlBehavior != nullptr) {
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            controlBehavior(child, kControlKeepsFontAndPlace, kControlKeepsFontAndPlace);
        }
    }
}
