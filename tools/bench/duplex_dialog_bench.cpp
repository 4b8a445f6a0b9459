// Two figures of the two-sided printing instructions:
// - how long VDisplayDialog in informational mode keeps its caller, against
//   starting and releasing an empty thread (CreateThread + CloseHandle),
//   measured alternately; each dialog is closed after it has appeared,
//   outside the timed part;
// - how long the dialog takes to handle one WM_PAINT, in which it paints its
//   three pictures: timed on the dialog's own thread by a WH_CALLWNDPROC /
//   WH_CALLWNDPROCRET hook pair around the dialog's WM_PAINT. Each paint is
//   asked for from this thread with RedrawWindow (RDW_INVALIDATE |
//   RDW_UPDATENOW | RDW_ALLCHILDREN, so the picture frames are invalid too and
//   the pictures are really drawn); the whole round trip, the controls'
//   repainting included, is printed beside it.
#include <atomic>
#include <cstdio>

#include "bench_sections.h"

namespace {

using DisplayDialogFunction = void(WINAPI*)(const DuplexInstructionsRequest*);

// Written by the hooks on the dialog's thread, read here after each paint.
std::atomic<HWND> g_paintedDialog{nullptr};
std::atomic<LONGLONG> g_paintStart{0};
std::atomic<LONGLONG> g_paintEnd{0};
std::atomic<int> g_paintsSeen{0};

LRESULT CALLBACK BeforeMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_PAINT && message->hwnd == g_paintedDialog.load()) {
        g_paintStart.store(Now());
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_PAINT && message->hwnd == g_paintedDialog.load()) {
        g_paintEnd.store(Now());
        g_paintsSeen.fetch_add(1);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Paints the open dialog `paints` times; the times of its WM_PAINT on its own
// thread go to onThread, the round trips from here to roundTrip.
bool TimePaints(HWND dialog, int paints, std::vector<double>& onThread, std::vector<double>& roundTrip)
{
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    const HHOOK before = SetWindowsHookExW(WH_CALLWNDPROC, BeforeMessage, nullptr, thread);
    const HHOOK after = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterMessage, nullptr, thread);
    if (before == nullptr || after == nullptr) {
        std::printf("cannot hook the dialog's thread (error %lu)\n", GetLastError());
    }
    g_paintedDialog.store(dialog);
    for (int paint = 0; before != nullptr && after != nullptr && paint < paints; ++paint) {
        const int seen = g_paintsSeen.load();
        const LONGLONG start = Now();
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        const LONGLONG end = Now();
        roundTrip.push_back(Microseconds(start, end));
        // The return hook may run just after RedrawWindow has its answer.
        const ULONGLONG deadline = GetTickCount64() + 1000;
        while (g_paintsSeen.load() == seen && GetTickCount64() < deadline) {
            Sleep(0);
        }
        if (g_paintsSeen.load() != seen) {
            onThread.push_back(Microseconds(g_paintStart.load(), g_paintEnd.load()));
        }
    }
    g_paintedDialog.store(nullptr);
    if (before != nullptr) {
        UnhookWindowsHookEx(before);
    }
    if (after != nullptr) {
        UnhookWindowsHookEx(after);
    }
    return !onThread.empty();
}

}  // namespace

bool RunDuplexDialogBench(const BenchSettings& settings, std::vector<Figure>& figures)
{
    std::printf("== VDisplayDialog (informational) return latency against CreateThread + CloseHandle\n");
    const auto display = DocEventDlgExport<DisplayDialogFunction>("VDisplayDialog");
    if (display == nullptr) {
        std::printf("cannot load VDisplayDialog from doceventdlg.dll beside the program\n\n");
        return false;
    }
    DuplexInstructionsRequest request{};
    SetField(request.resourceLibraryPath, ProgramFolder() + L"doceventdlg-strings.dll");
    request.step1BitmapId = 105;
    request.step1StringId = 3150;
    request.step2BitmapId = 147;
    request.step2StringId = 3151;
    request.step3BitmapId = 154;
    request.step3StringId = 3140;

    // The dialog's thread is the library's own; the dialog is found among this process's windows.
    const LatencyComparison result = CompareWithBareThreadStart(settings.dialogRounds, 3, [&] {
        ExportCall made;
        const LONGLONG start = Now();
        display(&request);
        made.microseconds = Microseconds(start, Now());
        return made;
    });
    bool measured = ReportLatency("VDisplayDialog", result, 1.3, figures);

    std::printf("== One WM_PAINT of the two-sided instructions (three pictures)\n");
    display(&request);
    const HWND dialog = WaitForReadyDialog(0);
    if (dialog == nullptr) {
        std::printf("the dialog did not appear\n\n");
        return false;
    }
    std::vector<double> onThread;
    std::vector<double> roundTrip;
    const bool painted = TimePaints(dialog, settings.paints, onThread, roundTrip);
    CloseDialogAndWaitForThread(dialog);
    if (!painted) {
        std::printf("no WM_PAINT of the dialog was seen on its thread\n\n");
        return false;
    }
    const Spread paint = Summarize(onThread);
    const Spread trip = Summarize(roundTrip);
    std::printf("paints: %zu of %d timed on the dialog's thread\n", onThread.size(), settings.paints);
    std::printf("dialog WM_PAINT on its thread     median %8.1f us (min %.1f, max %.1f)\n", paint.median, paint.least,
                paint.greatest);
    std::printf("RedrawWindow round trip (+controls) median %6.1f us (min %.1f, max %.1f)\n\n", trip.median,
                trip.least, trip.greatest);

    figures.push_back(
        SoleFigure("duplex WM_PAINT (3 pictures)", "us", paint.median, "on the dialog's thread; no peer"));
    return measured && static_cast<int>(onThread.size()) == settings.paints;
}
