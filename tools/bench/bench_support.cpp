#include "bench_support.h"

#include <cstdio>

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Microseconds(LONGLONG from, LONGLONG to)
{
    static const double perSecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart);
    }();
    return static_cast<double>(to - from) * 1e6 / perSecond;
}

Spread Summarize(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    Spread spread;
    spread.median = values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    spread.least = values.front();
    spread.greatest = values.back();
    return spread;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

HMODULE DocEventDlgModule()
{
    static const HMODULE module = LoadLibraryW((ProgramFolder() + L"doceventdlg.dll").c_str());
    return module;
}

namespace {

DWORD WINAPI EmptyThread(LPVOID) { return 0; }

struct DialogSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindReadyDialog(HWND window, LPARAM search)
{
    auto& wanted = *reinterpret_cast<DialogSearch*>(search);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == wanted.processId && IsReadyDialog(window)) {
        wanted.found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

double TimeBareThreadStart()
{
    DWORD threadId = 0;
    const LONGLONG start = Now();
    const HANDLE thread = CreateThread(nullptr, 0, EmptyThread, nullptr, 0, &threadId);
    CloseHandle(thread);
    const LONGLONG end = Now();
    if (thread == nullptr) {
        return -1;
    }
    const HANDLE ended = OpenThread(SYNCHRONIZE, FALSE, threadId);
    if (ended != nullptr) {  // null: already gone
        WaitForSingleObject(ended, 10000);
        CloseHandle(ended);
    }
    return Microseconds(start, end);
}

bool IsReadyDialog(HWND window)
{
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    return std::wstring(className) == L"#32770" && GetWindowLongPtrW(window, DWLP_USER) != 0 &&
           IsWindowVisible(window);
}

HWND WaitForReadyDialog(DWORD threadId, DWORD timeoutMs)
{
    DialogSearch search{GetCurrentProcessId(), nullptr};
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (threadId != 0) {
            EnumThreadWindows(threadId, FindReadyDialog, reinterpret_cast<LPARAM>(&search));
        } else {
            EnumWindows(FindReadyDialog, reinterpret_cast<LPARAM>(&search));
        }
        if (search.found != nullptr || GetTickCount64() >= deadline) {
            return search.found;
        }
        Sleep(1);
    }
}

bool CloseDialogAndWaitForThread(HWND dialog)
{
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(dialog, nullptr));
    if (thread == nullptr) {
        return false;
    }
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    const bool ended = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

bool ReportLatency(const char* exportName, const LatencyComparison& result, double aimRatio,
                   std::vector<Figure>& figures)
{
    if (result.ours.empty()) {
        std::printf("no round completed (%d failed)\n\n", result.failures);
        return false;
    }
    const Spread ours = Summarize(result.ours);
    const Spread bare = Summarize(result.bare);
    std::printf("rounds: %zu (failed: %d)\n", result.ours.size(), result.failures);
    std::printf("%-34s median %8.1f us (min %.1f, max %.1f)\n", exportName, ours.median, ours.least, ours.greatest);
    std::printf("%-34s median %8.1f us (min %.1f, max %.1f)\n", "CreateThread + CloseHandle", bare.median, bare.least,
                bare.greatest);
    std::printf("ratio %.2f (aim <= %.1f)\n\n", ours.median / bare.median, aimRatio);
    figures.push_back(ComparedFigure(std::string(exportName) + " return", "us", ours.median,
                                     "CreateThread+CloseHandle", bare.median, aimRatio));
    return result.failures == 0;
}

Figure ComparedFigure(const std::string& name, const std::string& unit, double ours, const std::string& peerName,
                      double peer, double aimRatio)
{
    Figure figure;
    figure.name = name;
    figure.unit = unit;
    figure.ours = ours;
    figure.peerName = peerName;
    figure.peer = peer;
    figure.aimRatio = aimRatio;
    return figure;
}

Figure SoleFigure(const std::string& name, const std::string& unit, double value, const std::string& note, bool whole)
{
    Figure figure = ComparedFigure(name, unit, value, "", NAN);
    figure.note = note;
    figure.whole = whole;
    return figure;
}
