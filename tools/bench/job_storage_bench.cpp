// How long VJobStorageDialog keeps its caller: the time until the call
// returns, against starting and releasing an empty thread (CreateThread +
// CloseHandle), measured alternately. Each notice is closed after it has
// appeared, outside the timed part.
#include <cstdio>

#include "bench_sections.h"

bool RunJobStorageBench(const BenchSettings& settings, std::vector<Figure>& figures)
{
    std::printf("== VJobStorageDialog return latency against CreateThread + CloseHandle\n");
    using JobStorageDialogFunction = HANDLE(WINAPI*)(const JobStorageRequest*);
    const auto show = DocEventDlgExport<JobStorageDialogFunction>("VJobStorageDialog");
    if (show == nullptr) {
        std::printf("cannot load VJobStorageDialog from doceventdlg.dll beside the program\n\n");
        return false;
    }

    JobStorageRequest request{};
    SetField(request.userName, L"bench");
    SetField(request.jobName, L"Scan");
    SetField(request.locationLine1, L"Printer: Office 3");
    SetField(request.settingsSubKey, L"DocEventDlgBench");  // never written: each notice is closed, not OKed

    const LatencyComparison result = CompareWithBareThreadStart(settings.dialogRounds, 3, [&] {
        ExportCall made;
        const LONGLONG start = Now();
        const HANDLE returned = show(&request);
        const LONGLONG end = Now();
        // The library keeps the handle and closes it at the next call: not ours to close.
        made.dialogThread = returned != nullptr ? GetThreadId(returned) : 0;
        made.microseconds = made.dialogThread != 0 ? Microseconds(start, end) : -1;
        return made;
    });
    return ReportLatency("VJobStorageDialog", result, 1.3, figures);
}
