// The library's benchmark: every measured figure beside its peer, in one run.
//   wine doceventdlg_bench.exe [--rounds N] [--only duplex]
// --rounds sets the rounds of each dialog measurement (default 100 for the
// asynchronous exports, 50 for the warning dialog); --only duplex runs the
// two-sided instructions' section alone (for the paint at other scales and
// in other hosts). Each section prints its
// details; a summary table of the medians ends the output. The exit code is
// 0 when every section measured what it should, 1 otherwise (aims missed do
// not change it: the table says so).
#include <cstdio>
#include <cwchar>

#include "bench_sections.h"

namespace {

void PrintSummary(const std::vector<Figure>& figures)
{
    std::printf("== Summary (medians)\n");
    std::printf("%-30s %16s  %-26s %12s  %7s  %-6s\n", "figure", "ours", "peer", "peer value", "ratio", "aim");
    for (const Figure& figure : figures) {
        const int decimals = figure.whole ? 0 : 1;
        char ours[40];
        std::snprintf(ours, sizeof(ours), "%.*f %s", decimals, figure.ours, figure.unit.c_str());
        if (std::isnan(figure.peer)) {
            std::printf("%-30s %16s  %s\n", figure.name.c_str(), ours, figure.note.c_str());
            continue;
        }
        char peer[32];
        std::snprintf(peer, sizeof(peer), "%.1f %s", figure.peer, figure.unit.c_str());
        const double ratio = figure.ours / figure.peer;
        char aim[32] = "none";
        if (!std::isnan(figure.aimRatio)) {
            std::snprintf(aim, sizeof(aim), "<= %.1f %s", figure.aimRatio, ratio <= figure.aimRatio ? "met" : "missed");
        }
        std::printf("%-30s %16s  %-26s %12s  %7.2f  %s\n", figure.name.c_str(), ours, figure.peerName.c_str(), peer,
                    ratio, aim);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    BenchSettings settings;
    bool duplexOnly = false;
    for (int index = 1; index < argc; ++index) {
        if (std::wcscmp(argv[index], L"--rounds") == 0 && index + 1 < argc && _wtoi(argv[index + 1]) > 0) {
            settings.dialogRounds = _wtoi(argv[++index]);
            settings.warningRounds = settings.dialogRounds;
        } else if (std::wcscmp(argv[index], L"--only") == 0 && index + 1 < argc &&
                   std::wcscmp(argv[index + 1], L"duplex") == 0) {
            duplexOnly = true;
            ++index;
        } else {
            std::fprintf(stderr, "usage: doceventdlg_bench [--rounds N] [--only duplex]\n");
            return 2;
        }
    }

    std::vector<Figure> figures;
    bool complete = true;
    using Section = bool (*)(const BenchSettings&, std::vector<Figure>&);
    const std::vector<Section> sections =
        duplexOnly ? std::vector<Section>{RunDuplexDialogBench}
                   : std::vector<Section>{RunStringLookupBench, RunJobStorageBench, RunDuplexDialogBench,
                                          RunWarningDialogBench, RunModuleFactsBench};
    for (const Section section : sections) {
        complete = section(settings, figures) && complete;
        std::fflush(stdout);
    }
    PrintSummary(figures);
    if (!complete) {
        std::printf("\nsome sections did not complete; their figures are missing or incomplete\n");
    }
    return complete ? 0 : 1;
}
