// A table of what a DllMonitor counted, printed after a long run: shared by
// the soak and concurrency programs, whose logs show the same table.
#pragma once

class DllMonitor;

// Prints, for each kind of object, how many were created, released and are
// outstanding, then the number of calls of each intercepted function.
void PrintMonitorCounts(const DllMonitor& monitor);
