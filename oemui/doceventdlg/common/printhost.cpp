#include "printhost.h"

namespace {

// winspool.h's PRINT_EXECUTION_DATA and PRINT_EXECUTION_CONTEXT values,
// which not every SDK's headers carry.
struct PrintExecutionData {
    DWORD context;
    DWORD clientAppProcessId;  // meaningful only in the 32-bit print helper
};

enum : DWORD {
    kPrintInApplication = 0,
    kPrintInSpoolerService = 1,
    kPrintInIsolationHost = 2,
    kPrintInFilterPipeline = 3,
    kPrintInWow64Helper = 4,
};

using GetPrintExecutionDataFunction = BOOL(WINAPI*)(PrintExecutionData*);

bool WindowStationIsVisible()
{
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    const HWINSTA station = GetProcessWindowStation();
    if (station == nullptr || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed)) {
        return true;  // unknown: the dialog is shown as it always was
    }
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace

PrintHost ExaminePrintHost()
{
    PrintHost host{WindowStationIsVisible(), GetCurrentProcessId()};
    const HMODULE winspool = GetModuleHandleW(L"winspool.drv");
    const auto getExecutionData = winspool != nullptr
                                      ? reinterpret_cast<GetPrintExecutionDataFunction>(reinterpret_cast<void*>(
                                            GetProcAddress(winspool, "GetPrintExecutionData")))
                                      : nullptr;
    PrintExecutionData data{};
    if (getExecutionData == nullptr || !getExecutionData(&data)) {
        return host;
    }
    switch (data.context) {
    case kPrintInSpoolerService:
    case kPrintInIsolationHost:
    case kPrintInFilterPipeline:
        host.userCanAnswer = false;
        break;
    case kPrintInWow64Helper:
        if (data.clientAppProcessId != 0) {
            host.applicationProcessId = data.clientAppProcessId;
        }
        break;
    default:
        break;
    }
    return host;
}
