// Two figures of the two-sided printing instructions:
// - how long VDisplayDialog in informational mode keeps its caller, against
//   starting and releasing an empty thread (CreateThread + CloseHandle),
//   measured alternately; each dialog is closed after it has appeared,
//   outside the timed part;
// - how long one repaint of the open dialog with its three pictures takes
//   (RedrawWindow with RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN from
//   another thread, which waits for the paint).
//
// Usage: duplex_dialog_bench [rounds] [paints]   (default 100 and 200; run
// under Wine by hand)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "../../oemui/doceventdlg/include/doceventdlg.h"

namespace {

using DisplayDialogFunction = void(WINAPI*)(const DuplexInstructionsRequest*);

double Ticks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

DWORD WINAPI EmptyThread(LPVOID) { return 0; }

BOOL CALLBACK CollectDialog(HWND window, LPARAM found)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    if (processId == GetCurrentProcessId() && std::wstring(className) == L"#32770" &&
        GetWindowLongPtrW(window, DWLP_USER) != 0 && IsWindowVisible(window)) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
}

// The first initialised, visible dialog of this process; null after 10 s.
HWND WaitForDialog()
{
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (GetTickCount64() < deadline) {
        std::vector<HWND> dialogs;
        EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
        if (!dialogs.empty()) {
            return dialogs.front();
        }
        Sleep(1);
    }
    return nullptr;
}

// Closes the dialog and waits for its thread to end.
bool CloseDialog(HWND dialog)
{
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(dialog, nullptr));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    const bool ended = thread != nullptr && WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    if (thread != nullptr) {
        CloseHandle(thread);
    }
    return ended;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 100;
    const int paints = argc > 2 ? std::max(1, _wtoi(argv[2])) : 200;
    const std::wstring folder = ProgramFolder();
    const HMODULE library = LoadLibraryW((folder + L"doceventdlg.dll").c_str());
    const auto display =
        library != nullptr
            ? reinterpret_cast<DisplayDialogFunction>(reinterpret_cast<void*>(GetProcAddress(library, "VDisplayDialog")))
            : nullptr;
    if (display == nullptr) {
        std::fprintf(stderr, "doceventdlg.dll or VDisplayDialog not found beside the program\n");
        return 1;
    }

    DuplexInstructionsRequest request{};
    const std::wstring strings = folder + L"doceventdlg-strings.dll";
    strings.copy(request.resourceLibraryPath, std::min<size_t>(strings.size(), 255));
    request.step1BitmapId = 105;
    request.step1StringId = 3150;
    request.step2BitmapId = 147;
    request.step2StringId = 3151;
    request.step3BitmapId = 154;
    request.step3StringId = 3140;

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double perMicrosecond = static_cast<double>(frequency.QuadPart) / 1e6;

    // One round first, so that both sides start warm.
    display(&request);
    HWND dialog = WaitForDialog();
    if (dialog == nullptr || !CloseDialog(dialog)) {
        std::fprintf(stderr, "the dialog did not appear or did not end\n");
        return 1;
    }

    std::vector<double> baseline;
    std::vector<double> calls;
    for (int round = 0; round < rounds; ++round) {
        double start = Ticks();
        const HANDLE thread = CreateThread(nullptr, 0, EmptyThread, nullptr, 0, nullptr);
        CloseHandle(thread);
        baseline.push_back((Ticks() - start) / perMicrosecond);

        start = Ticks();
        display(&request);
        calls.push_back((Ticks() - start) / perMicrosecond);

        dialog = WaitForDialog();
        if (dialog == nullptr || !CloseDialog(dialog)) {
            std::fprintf(stderr, "round %d: the dialog did not appear or did not end\n", round);
            return 1;
        }
    }
    const double baselineMedian = Median(baseline);
    const double callMedian = Median(calls);
    std::printf("informational VDisplayDialog return: median %.1f us over %d rounds\n", callMedian, rounds);
    std::printf("CreateThread + CloseHandle:          median %.1f us\n", baselineMedian);
    std::printf("ratio %.2f (aim <= 1.3)\n", callMedian / baselineMedian);

    display(&request);
    dialog = WaitForDialog();
    if (dialog == nullptr) {
        std::fprintf(stderr, "the dialog did not appear\n");
        return 1;
    }
    std::vector<double> paintTimes;
    for (int paint = 0; paint < paints; ++paint) {
        const double start = Ticks();
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        paintTimes.push_back((Ticks() - start) / perMicrosecond);
    }
    std::printf("repaint of the dialog with three pictures: median %.1f us, min %.1f us over %d paints\n",
                Median(paintTimes), *std::min_element(paintTimes.begin(), paintTimes.end()), paints);
    CloseDialog(dialog);
    return 0;
}
