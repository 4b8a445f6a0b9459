// The sections of the benchmark, run in sequence by bench_main.cpp. Each
// prints its detailed output, adds its figures to the summary and returns
// false when it could not measure what it should.
#pragma once

#include <vector>

#include "bench_support.h"

struct BenchSettings {
    long lookupRounds = 20000;  // per batch, for each lookup method
    int lookupBatches = 9;
    int dialogRounds = 100;      // per asynchronous export and per peer
    int warningRounds = 50;
    int paints = 200;
};

bool RunStringLookupBench(const BenchSettings& settings, std::vector<Figure>& figures);
bool RunJobStorageBench(const BenchSettings& settings, std::vector<Figure>& figures);
bool RunDuplexDialogBench(const BenchSettings& settings, std::vector<Figure>& figures);
bool RunWarningDialogBench(const BenchSettings& settings, std::vector<Figure>& figures);
bool RunModuleFactsBench(const BenchSettings& settings, std::vector<Figure>& figures);
