// Shared pieces of the benchmark: timing, medians, the library beside the
// program, empty threads as the peer of a thread start, finding and closing
// the dialogs this process opened, and the figures for the summary.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "include/doceventdlg.h"

// The performance counter, and microseconds between two of its readings.
LONGLONG Now();
double Microseconds(LONGLONG from, LONGLONG to);

// Median, least and greatest of a non-empty series.
struct Spread {
    double median = 0;
    double least = 0;
    double greatest = 0;
};
Spread Summarize(std::vector<double> values);

// The folder of this program, ending in a separator.
std::wstring ProgramFolder();

// doceventdlg.dll beside the program (loaded once, kept), or null.
HMODULE DocEventDlgModule();

// One export of the library, or null when the library or the name is missing.
template <class Function>
Function DocEventDlgExport(const char* name)
{
    const HMODULE module = DocEventDlgModule();
    return module != nullptr
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

// Microseconds to start and release a thread that does nothing (CreateThread
// + CloseHandle); the thread is waited for after the timed part. Negative
// when no thread starts.
double TimeBareThreadStart();

// A dialog window (class #32770) that is visible and has its DWLP_USER set,
// i.e. one that the library has finished initialising.
bool IsReadyDialog(HWND window);

// The first ready dialog of one thread (threadId) or, with 0, of this
// process; null after timeoutMs.
HWND WaitForReadyDialog(DWORD threadId, DWORD timeoutMs = 10000);

// Posts WM_CLOSE to the dialog and waits for its thread to end.
bool CloseDialogAndWaitForThread(HWND dialog);

// Copies text into a fixed record field, cut at width - 1 units and ended.
template <size_t Width>
void SetField(wchar_t (&field)[Width], const std::wstring& text)
{
    const size_t units = std::min(text.size(), Width - 1);
    text.copy(field, units);
    field[units] = L'\0';
}

// One line of the summary: our median against the peer's, in one unit. A
// figure without a peer or an aim leaves them NaN.
struct Figure {
    std::string name;
    std::string unit;
    double ours = NAN;
    std::string peerName;
    double peer = NAN;
    double aimRatio = NAN;  // the ratio ours/peer should not exceed this
    std::string note;       // shown when there is no ratio (a size, a count)
    bool whole = false;     // a size or a count, printed without decimals
};

// Return latency of an export that opens a dialog on a thread of its own,
// measured alternately with a bare thread start. `call` makes the call and
// reports how long it kept its caller and which thread runs the dialog (0:
// find it among this process's windows); each dialog is then closed and its
// thread waited for, outside the timed part. The first warmUp rounds are
// not kept.
struct ExportCall {
    double microseconds = -1;
    DWORD dialogThread = 0;
};
struct LatencyComparison {
    std::vector<double> ours;
    std::vector<double> bare;
    int failures = 0;
};
template <class Call>
LatencyComparison CompareWithBareThreadStart(int rounds, int warmUp, Call call)
{
    LatencyComparison result;
    for (int round = 0; round < rounds + warmUp; ++round) {
        Sleep(10);  // lets the previous round's thread and windows settle
        const ExportCall made = call();
        const HWND dialog = made.microseconds >= 0 ? WaitForReadyDialog(made.dialogThread) : nullptr;
        if (dialog == nullptr || !CloseDialogAndWaitForThread(dialog)) {
            ++result.failures;
            continue;
        }
        Sleep(10);
        const double bare = TimeBareThreadStart();
        if (bare < 0) {
            ++result.failures;
            continue;
        }
        if (round >= warmUp) {
            result.ours.push_back(made.microseconds);
            result.bare.push_back(bare);
        }
    }
    return result;
}

// A figure measured against a peer, and one that stands alone.
Figure ComparedFigure(const std::string& name, const std::string& unit, double ours, const std::string& peerName,
                      double peer, double aimRatio = NAN);
Figure SoleFigure(const std::string& name, const std::string& unit, double value, const std::string& note,
                  bool whole = false);

// Prints the detailed lines of a latency comparison and adds its figure;
// false when no round completed or any failed.
bool ReportLatency(const char* exportName, const LatencyComparison& result, double aimRatio,
                   std::vector<Figure>& figures);
