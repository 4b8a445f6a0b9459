// How long IShowWarningDialog takes to put its dialog on the screen: the time
// from the call until the dialog is shown, against the platform's MessageBoxW
// measured the same way, alternately. Both run on this thread; a hook on the
// thread notes the moment the top-level dialog window is shown and ends it at
// once with a posted IDOK, outside the timed part.
#include <cstdio>

#include "bench_sections.h"

namespace {

using ShowWarningDialogFunction = int32_t(WINAPI*)(const WarningDialogRequest*);

LONGLONG g_shownAt = 0;
bool g_shown = false;

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
        g_shownAt = Now();
        g_shown = true;
        PostMessageW(message->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Milliseconds from the call until the dialog was shown; negative when it
// never was or did not end with OK.
template <class Call>
double TimeUntilShown(Call call)
{
    g_shown = false;
    const LONGLONG start = Now();
    const intptr_t result = call();
    if (!g_shown || result != IDOK) {
        return -1;
    }
    return Microseconds(start, g_shownAt) / 1000.0;
}

}  // namespace

bool RunWarningDialogBench(const BenchSettings& settings, std::vector<Figure>& figures)
{
    std::printf("== IShowWarningDialog time to visible against MessageBoxW\n");
    const auto show = DocEventDlgExport<ShowWarningDialogFunction>("IShowWarningDialog");
    if (show == nullptr) {
        std::printf("cannot load IShowWarningDialog from doceventdlg.dll beside the program\n\n");
        return false;
    }

    WarningDialogRequest request{};
    request.titleStringId = 3000;  // "Printer Warning" in the sample library
    request.showDialog = 1;
    SetField(request.messageText, L"The printer needs attention. Check the printer and try again.");
    request.thirdButtonStringId = 3002;
    request.showCheckBox = 1;
    request.okStringId = 849;
    request.cancelStringId = 3001;
    SetField(request.resourceLibraryPath, ProgramFolder() + L"doceventdlg-strings.dll");

    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, NoteShownDialog, nullptr, GetCurrentThreadId());
    if (hook == nullptr) {
        std::printf("cannot hook this thread's windows\n\n");
        return false;
    }
    std::vector<double> warning;
    std::vector<double> messageBox;
    int failures = 0;
    for (int round = 0; round < settings.warningRounds; ++round) {
        const double warningMs = TimeUntilShown([&] { return static_cast<intptr_t>(show(&request)); });
        const double messageBoxMs = TimeUntilShown([] {
            return static_cast<intptr_t>(MessageBoxW(nullptr, L"The printer needs attention.", L"Printer Warning",
                                                     MB_OKCANCEL | MB_ICONWARNING));
        });
        if (warningMs < 0 || messageBoxMs < 0) {
            ++failures;
            continue;
        }
        warning.push_back(warningMs);
        messageBox.push_back(messageBoxMs);
    }
    UnhookWindowsHookEx(hook);

    if (warning.empty()) {
        std::printf("no round completed (%d failed)\n\n", failures);
        return false;
    }
    const Spread ours = Summarize(warning);
    const Spread peer = Summarize(messageBox);
    std::printf("rounds: %zu (%d failed)\n", warning.size(), failures);
    std::printf("IShowWarningDialog until shown, median: %.3f ms (min %.3f, max %.3f)\n", ours.median, ours.least,
                ours.greatest);
    std::printf("MessageBoxW until shown, median:        %.3f ms (min %.3f, max %.3f)\n", peer.median, peer.least,
                peer.greatest);
    std::printf("ratio (warning dialog / message box):   %.2f\n\n", ours.median / peer.median);

    // Aim: no slower than the platform's own message box.
    figures.push_back(ComparedFigure("warning dialog to visible", "ms", ours.median, "MessageBoxW", peer.median, 1.0));
    return failures == 0;
}
