// How long IShowWarningDialog takes to put its dialog on the screen: the time
// from the call until the dialog is shown, against the platform's MessageBoxW
// measured the same way, alternately in one run. Both run on this thread; a
// hook on the thread notes the moment the top-level dialog window is shown
// and ends it at once with a posted IDOK, outside the timed part.
//
// Usage: warning_dialog_bench [rounds]   (default 50; run under Wine by hand)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../oemui/doceventdlg/include/doceventdlg.h"

namespace {

using ShowWarningDialogFunction = int32_t(WINAPI*)(const WarningDialogRequest*);

LARGE_INTEGER g_shownAt{};
bool g_shown = false;

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

bool IsTopLevelDialog(HWND window)
{
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    return std::wstring(className) == L"#32770" && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0;
}

// Runs after a window of this thread has handled a message: the first time a
// dialog has been shown, take the time and end the dialog.
LRESULT CALLBACK NoteShownDialog(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && !g_shown && message->message == WM_SHOWWINDOW && message->wParam != FALSE &&
        IsTopLevelDialog(message->hwnd)) {
        g_shownAt.QuadPart = Now();
        g_shown = true;
        PostMessageW(message->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

template <size_t Width>
void SetField(wchar_t (&field)[Width], const std::wstring& text)
{
    const size_t units = std::min(text.size(), Width - 1);
    text.copy(field, units);
    field[units] = L'\0';
}

// Milliseconds from the call until the dialog was shown; negative when it
// never was or did not end with OK.
template <class Call>
double TimeUntilShown(Call call, LONGLONG frequency)
{
    g_shown = false;
    const LONGLONG start = Now();
    const intptr_t result = call();
    if (!g_shown || result != IDOK) {
        return -1;
    }
    return static_cast<double>(g_shownAt.QuadPart - start) * 1000.0 / static_cast<double>(frequency);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 50;
    const std::wstring folder = ProgramFolder();
    const HMODULE library = LoadLibraryW((folder + L"doceventdlg.dll").c_str());
    const auto show = library != nullptr ? reinterpret_cast<ShowWarningDialogFunction>(reinterpret_cast<void*>(
                                               GetProcAddress(library, "IShowWarningDialog")))
                                         : nullptr;
    if (show == nullptr) {
        std::fprintf(stderr, "cannot load IShowWarningDialog from doceventdlg.dll\n");
        return 1;
    }

    WarningDialogRequest request{};
    request.titleStringId = 3000;  // "Printer Warning" in the sample library
    request.showDialog = 1;
    SetField(request.messageText, L"The printer needs attention. Check the printer and try again.");
    request.thirdButtonStringId = 3002;
    request.showCheckBox = 1;
    request.okStringId = 849;
    request.cancelStringId = 3001;
    SetField(request.resourceLibraryPath, folder + L"doceventdlg-strings.dll");

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, NoteShownDialog, nullptr, GetCurrentThreadId());
    if (hook == nullptr) {
        std::fprintf(stderr, "cannot hook this thread's windows\n");
        return 1;
    }

    std::vector<double> warning;
    std::vector<double> messageBox;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        const double warningMs = TimeUntilShown([&] { return static_cast<intptr_t>(show(&request)); },
                                                frequency.QuadPart);
        const double messageBoxMs = TimeUntilShown(
            [] {
                return static_cast<intptr_t>(MessageBoxW(nullptr, L"The printer needs attention.", L"Printer Warning",
                                                         MB_OKCANCEL | MB_ICONWARNING));
            },
            frequency.QuadPart);
        if (warningMs < 0 || messageBoxMs < 0) {
            ++failures;
            continue;
        }
        warning.push_back(warningMs);
        messageBox.push_back(messageBoxMs);
    }
    UnhookWindowsHookEx(hook);

    if (warning.empty()) {
        std::fprintf(stderr, "no round completed (%d failed)\n", failures);
        return 1;
    }
    const double warningMedian = Median(warning);
    const double messageBoxMedian = Median(messageBox);
    std::printf("rounds: %zu (%d failed)\n", warning.size(), failures);
    std::printf("IShowWarningDialog until shown, median: %.3f ms (min %.3f, max %.3f)\n", warningMedian,
                *std::min_element(warning.begin(), warning.end()), *std::max_element(warning.begin(), warning.end()));
    std::printf("MessageBoxW until shown, median:        %.3f ms (min %.3f, max %.3f)\n", messageBoxMedian,
                *std::min_element(messageBox.begin(), messageBox.end()),
                *std::max_element(messageBox.begin(), messageBox.end()));
    std::printf("ratio (warning dialog / message box):   %.2f\n", warningMedian / messageBoxMedian);
    FreeLibrary(library);
    return failures == 0 ? 0 : 2;
}
