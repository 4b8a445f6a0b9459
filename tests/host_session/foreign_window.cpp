// A program of its own with one window, for the tests that need a window of
// another program: foreign_window.exe QUIT_EVENT. Prints the window's handle,
// then keeps its messages flowing until the named event is set. The window
// makes itself the foreground window when it is sent kActivate.
#include <windows.h>

#include <cstdio>

namespace {

const UINT kActivate = WM_APP + 2;

LRESULT CALLBACK ForeignProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kActivate) {
        SetForegroundWindow(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        return 2;
    }
    const HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, argv[1]);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ForeignProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    windowClass.lpszClassName = L"DocEventDlgForeignWindow";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"another program",
                                        WS_POPUP | WS_CAPTION | WS_VISIBLE, 300, 200, 500, 360, nullptr, nullptr,
                                        windowClass.hInstance, nullptr);
    if (quit == nullptr || window == nullptr) {
        return 1;
    }
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    std::fflush(stdout);
    while (MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
    DestroyWindow(window);
    return 0;
}
