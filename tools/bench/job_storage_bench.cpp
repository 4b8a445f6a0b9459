// How long VJobStorageDialog keeps its caller: the time until the call
// returns, against starting and releasing an empty thread (CreateThread +
// CloseHandle), measured alternately in one run. Each notice is closed after
// it has appeared, outside the timed part.
//
// Usage: job_storage_bench [rounds]   (default 100; run under Wine by hand)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "include/doceventdlg.h"

namespace {

using JobStorageDialogFunction = HANDLE(WINAPI*)(const JobStorageRequest*);

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

BOOL CALLBACK FindInitialisedDialog(HWND window, LPARAM found)
{
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    if (std::wstring(className) == L"#32770" && GetWindowLongPtrW(window, DWLP_USER) != 0 &&
        IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Waits for the notice of threadId, closes it and waits for its thread to end.
bool CloseNotice(DWORD threadId)
{
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, threadId);
    if (thread == nullptr) {
        return false;
    }
    HWND dialog = nullptr;
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (dialog == nullptr && GetTickCount64() < deadline) {
        EnumThreadWindows(threadId, FindInitialisedDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog == nullptr) {
            Sleep(1);
        }
    }
    if (dialog != nullptr) {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
    const bool ended = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return dialog != nullptr && ended;
}

void WaitForThreadId(DWORD threadId)
{
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, threadId);
    if (thread != nullptr) {  // null: already gone
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 100;

    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder = folder.substr(0, folder.find_last_of(L"\\/") + 1);
    const HMODULE library = LoadLibraryW((folder + L"doceventdlg.dll").c_str());
    const auto show = library != nullptr ? reinterpret_cast<JobStorageDialogFunction>(
                                               reinterpret_cast<void*>(GetProcAddress(library, "VJobStorageDialog")))
                                         : nullptr;
    if (show == nullptr) {
        std::fprintf(stderr, "cannot load doceventdlg.dll beside the program\n");
        return 1;
    }

    JobStorageRequest request{};
    wcscpy(request.userName, L"bench");
    wcscpy(request.jobName, L"Scan");
    wcscpy(request.locationLine1, L"Printer: Office 3");
    wcscpy(request.settingsSubKey, L"DocEventDlgBench");  // never written: each notice is closed, not OKed

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double microsecondsPerTick = 1e6 / static_cast<double>(frequency.QuadPart);

    std::vector<double> notice;
    std::vector<double> bare;
    int failures = 0;
    const int warmUp = 3;
    for (int round = 0; round < rounds + warmUp; ++round) {
        Sleep(10);  // lets the previous round's thread and windows settle
        double start = Ticks();
        const HANDLE returned = show(&request);
        double end = Ticks();
        const DWORD noticeThread = returned != nullptr ? GetThreadId(returned) : 0;
        if (noticeThread == 0 || !CloseNotice(noticeThread)) {
            ++failures;
            continue;
        }
        if (round >= warmUp) {
            notice.push_back((end - start) * microsecondsPerTick);
        }

        DWORD bareThread = 0;
        Sleep(10);
        start = Ticks();
        const HANDLE thread = CreateThread(nullptr, 0, EmptyThread, nullptr, 0, &bareThread);
        CloseHandle(thread);
        end = Ticks();
        WaitForThreadId(bareThread);
        if (round >= warmUp) {
            bare.push_back((end - start) * microsecondsPerTick);
        }
    }
    if (notice.empty() || bare.empty()) {
        std::fprintf(stderr, "no round completed (%d failures)\n", failures);
        return 1;
    }
    const double noticeMedian = Median(notice);
    const double bareMedian = Median(bare);
    std::printf("rounds: %zu (failed: %d)\n", notice.size(), failures);
    std::printf("VJobStorageDialog return latency, median: %.1f us\n", noticeMedian);
    std::printf("CreateThread + CloseHandle, median:       %.1f us\n", bareMedian);
    std::printf("ratio: %.2f\n", noticeMedian / bareMedian);
    return failures == 0 ? 0 : 1;
}
