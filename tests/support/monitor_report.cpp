#include "monitor_report.h"

#include <cstdio>

#include "dll_monitor.h"

void PrintMonitorCounts(const DllMonitor& monitor)
{
    std::printf("%-13s %9s %9s %11s\n", "object", "created", "released", "outstanding");
    for (int kind = 0; kind < static_cast<int>(Owned::Count); ++kind) {
        const Owned owned = static_cast<Owned>(kind);
        const int created = monitor.Created(owned);
        const int outstanding = monitor.Outstanding(owned);
        std::printf("%-13s %9d %9d %11d\n", OwnedName(owned), created, created - outstanding, outstanding);
    }
    std::printf("%-19s %9s\n", "call", "count");
    for (int api = 0; api < static_cast<int>(Api::Count); ++api) {
        std::printf("%-19s %9d\n", ApiName(static_cast<Api>(api)), monitor.Calls(static_cast<Api>(api)));
    }
}
