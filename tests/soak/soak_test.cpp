// The library under load in one process: every export and mode opened and
// ended hundreds of times, left to right and mirrored, with the host's
// controls and with the themed (version 6) ones, while a monitor watches what
// the library creates. Nothing may accumulate: every object the library makes
// is released by the end, counted exactly, and the memory in use in the
// process's heaps stays flat once the first cycles have warmed up the
// platform's caches.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "bare_thread.h"
#include "dialog_probe.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "monitor_report.h"
#include "requests.h"
#include "test_paths.h"
#include "user_registry.h"

namespace {

// A round opens every export and mode once left to right and once mirrored:
// 160 rounds make 320 cycles of each, 1280 dialogs in all.
constexpr int kRounds = 160;
constexpr int kCyclesPerRound = 8;
// The first rounds load fonts, classes and caches of the platform once.
constexpr int kWarmUpRounds = 10;
constexpr int kMeasuredCycles = (kRounds - kWarmUpRounds) * kCyclesPerRound;
// What the heaps may gain over the measured cycles beyond what the platform's
// own controls are known to keep: one block per eight cycles, 16 bytes a
// cycle. A library that lost one block of any size in every cycle of one
// export and mode (a quarter of the cycles) would exceed it twice over.
constexpr long long kBlockAllowance = kMeasuredCycles / 8;
constexpr long long kByteAllowance = kMeasuredCycles * 16LL;

constexpr LANGID kArabic = 1025;
constexpr DWORD kTimeoutMs = 10000;

const wchar_t kSettingsSubKey[] = L"doceventdlg-soak";
const wchar_t kSettingsParentPath[] = L"Software\\Velmoracrestwyn";
const wchar_t kSettingsKeyPath[] = L"Software\\Velmoracrestwyn\\doceventdlg-soak";
const wchar_t kSettingValue[] = L"ShowJobStorageDlg";
const wchar_t kHelpFile[] = L"C:\\nowhere\\soak.hlp";

// The illustrations the library carries; the soak paints each of them.
const uint32_t kBitmapIds[] = {
    IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_106, IDB_ILLUSTRATION_107, IDB_ILLUSTRATION_108, IDB_ILLUSTRATION_109,
    IDB_ILLUSTRATION_110, IDB_ILLUSTRATION_111, IDB_ILLUSTRATION_112, IDB_ILLUSTRATION_113, IDB_ILLUSTRATION_114,
    IDB_ILLUSTRATION_115, IDB_ILLUSTRATION_116, IDB_ILLUSTRATION_117, IDB_ILLUSTRATION_118, IDB_ILLUSTRATION_119,
    IDB_ILLUSTRATION_120, IDB_ILLUSTRATION_121, IDB_ILLUSTRATION_122, IDB_ILLUSTRATION_123, IDB_ILLUSTRATION_133,
    IDB_ILLUSTRATION_134, IDB_ILLUSTRATION_146, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_149, IDB_ILLUSTRATION_151,
    IDB_ILLUSTRATION_152, IDB_ILLUSTRATION_153, IDB_ILLUSTRATION_154, IDB_ILLUSTRATION_155};
constexpr int kBitmapCount = static_cast<int>(sizeof(kBitmapIds) / sizeof(kBitmapIds[0]));

enum class Kind { Warning, JobStorage, DuplexInformational, DuplexWaiting, Count };
constexpr int kKinds = static_cast<int>(Kind::Count);

const char* KindName(Kind kind)
{
    switch (kind) {
    case Kind::Warning:
        return "IShowWarningDialog";
    case Kind::JobStorage:
        return "VJobStorageDialog";
    case Kind::DuplexInformational:
        return "VDisplayDialog informational";
    case Kind::DuplexWaiting:
        return "VDisplayDialog waiting";
    default:
        return "?";
    }
}

void DeleteSettingsKey() { RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath); }

// Ends a dialog as the user would: a button (its command) or the close box.
void EndWith(const DialogDriver& dialog, int commandId)
{
    if (commandId == 0) {
        dialog.Post(WM_CLOSE);
    } else {
        dialog.Command(commandId);
    }
}

CallOptions NoWait()
{
    CallOptions options;
    options.waitForDialog = false;
    return options;
}

class SoakRun {
public:
    explicit SoakRun(const DllMonitor& monitor) : monitor_(monitor) {}

    // One dialog opened and ended; an empty result when all went as expected.
    std::string Cycle(Kind kind, bool mirrored, int round)
    {
        const ULONGLONG started = GetTickCount64();
        std::string problem = Run(kind, mirrored, round);
        ++cycles_[static_cast<int>(kind)];
        milliseconds_[static_cast<int>(kind)] += GetTickCount64() - started;
        return problem;
    }

    int cycles(Kind kind) const { return cycles_[static_cast<int>(kind)]; }
    ULONGLONG milliseconds(Kind kind) const { return milliseconds_[static_cast<int>(kind)]; }
    // Forced redraws that had to be repeated before the dialog painted.
    int repaints() const { return repaints_; }
    int settingsWrites() const { return settingsWrites_; }
    // Static controls of all the dialogs so far.
    int statics() const { return statics_; }
    int totalCycles() const
    {
        int total = 0;
        for (int count : cycles_) total += count;
        return total;
    }

private:
    std::string Run(Kind kind, bool mirrored, int round)
    {
        switch (kind) {
        case Kind::Warning:
            return WarningCycle(mirrored, round);
        case Kind::JobStorage:
            return JobStorageCycle(mirrored, round);
        case Kind::DuplexInformational:
            return DuplexCycle(false, mirrored, round);
        case Kind::DuplexWaiting:
            return DuplexCycle(true, mirrored, round);
        default:
            return "unknown kind";
        }
    }

    // Checks the dialog's layout and counts its static controls, of which
    // the platform's version 6 static keeps memory of its own.
    std::string Inspect(HWND dialog, bool mirrored)
    {
        EnumChildWindows(
            dialog,
            [](HWND child, LPARAM count) {
                wchar_t className[16] = L"";
                GetClassNameW(child, className, 16);
                *reinterpret_cast<int*>(count) += _wcsicmp(className, L"Static") == 0 ? 1 : 0;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&statics_));
        const bool isMirrored = (GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
        if (isMirrored != mirrored) {
            return mirrored ? "the dialog is not mirrored" : "the dialog is mirrored";
        }
        return {};
    }

    // Paints the dialog now and checks that its three illustrations were drawn.
    // Right after a dialog of another thread has appeared, Wine sometimes
    // paints nothing for a forced redraw; the dialog paints on the next one.
    std::string PaintProblem(HWND dialog)
    {
        const int bitmapsBefore = monitor_.Created(Owned::Bitmap);
        const int paintsBefore = monitor_.Created(Owned::PaintDc);
        const ULONGLONG deadline = GetTickCount64() + 30000;
        int bitmaps = 0;
        int paints = 0;
        for (int attempt = 0;; ++attempt) {
            RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            bitmaps = monitor_.Created(Owned::Bitmap) - bitmapsBefore;
            paints = monitor_.Created(Owned::PaintDc) - paintsBefore;
            if (bitmaps >= 3 && paints >= 3) {
                repaints_ += attempt;
                return {};
            }
            if (GetTickCount64() >= deadline) {
                break;
            }
            Sleep(10);
        }
        return "forced redraws painted " + std::to_string(bitmaps) + " illustrations in " + std::to_string(paints) +
               " paint contexts, not 3";
    }

    // Ends a dialog that runs on a thread the library started (the notice's
    // and the informational instructions'), waits for that thread and checks
    // its exit code.
    template <class Driver>
    std::string EndOnItsThread(Driver& call, int command) const
    {
        const std::vector<StartedThread> started = monitor_.StartedThreads();
        EndWith(call, command);
        if (!call.WaitEnded(kTimeoutMs)) {
            return "the dialog thread did not end";
        }
        if (started.empty()) {
            return "no dialog thread was started";
        }
        DWORD exitCode = 1;
        GetExitCodeThread(started.back().handle, &exitCode);
        if (exitCode != 0) {
            return "the dialog thread ended with " + std::to_string(exitCode);
        }
        return {};
    }

    std::string WarningCycle(bool mirrored, int round)
    {
        // Every other message is long enough to grow the dialog.
        const WarningRequest request =
            WarningRequest()
                .Third(round % 2 == 0 ? IDS_WARNING_RETRY : IDS_WARNING_DETAILS)
                .CheckBox(round % 3 == 0 ? 1 : 0)
                .Message(round % 2 == 0 ? std::wstring(L"The paper tray is open.") : std::wstring(300, L'W'));
        const struct {
            int command;  // 0: the close box
            intptr_t result;
        } endings[] = {{IDOK, IDOK}, {IDCANCEL, IDCANCEL}, {IDC_WARNING_THIRD_BUTTON, IDC_WARNING_THIRD_BUTTON},
                       {0, IDCANCEL}};
        const auto& ending = endings[round % 4];

        WarningCall warning(request, WarningExport::Plain, NoWait());
        if (warning.WaitDialog(kTimeoutMs) == nullptr) {
            return "no dialog appeared";
        }
        std::string problem = Inspect(warning.dialog(), mirrored);
        EndWith(warning, ending.command);
        const intptr_t result = warning.Result(kTimeoutMs);
        if (result == kStillOpen) {
            return "the call did not return";
        }
        if (problem.empty() && result != ending.result) {
            problem = "returned " + std::to_string(result) + ", not " + std::to_string(ending.result);
        }
        return problem;
    }

    std::string JobStorageCycle(bool mirrored, int round)
    {
        const NoticeRequest request = NoticeRequest()
                                          .UserName(L"soak")
                                          .JobName(L"Cycle " + std::to_wstring(round))
                                          .Location(1, L"Printer hard disk")
                                          .Location(2, L"Stored jobs")
                                          .Location(3, L"Private")
                                          .SettingsSubKey(kSettingsSubKey)
                                          .RangeSuffix(1, round % 2 == 0 ? 1 : 0)
                                          .HelpFile(kHelpFile);
        // Every fourth notice is confirmed, which writes the preference.
        const bool confirm = round % 4 == 3;

        NoticeCall notice(request, NoWait());
        if (notice.returned() == nullptr) {
            return "no thread was started";
        }
        if (notice.WaitDialog(kTimeoutMs) == nullptr) {
            return "no dialog appeared";
        }
        std::string problem = Inspect(notice.dialog(), mirrored);
        const std::string ended = EndOnItsThread(notice, confirm ? IDOK : 0);
        if (confirm) {
            ++settingsWrites_;
        }
        return !ended.empty() ? ended : problem;
    }

    std::string DuplexCycle(bool waiting, bool mirrored, int round)
    {
        // Three different illustrations each cycle, all of them in turn; six
        // step-2 texts in turn, and IDS_DUPLEX_STEP3_IN_TRAY, which composes two
        // lines when informational, every other cycle.
        const InstructionsRequest request =
            InstructionsRequest()
                .HelpFile(kHelpFile)
                .Step(1, kBitmapIds[(3 * round) % kBitmapCount], IDS_DUPLEX_STEP1_OUTPUT_BIN)
                .Step(2, kBitmapIds[(3 * round + 1) % kBitmapCount],
                      IDS_DUPLEX_STEP2_TRAY1 + static_cast<uint32_t>(round % 6))
                .Step(3, kBitmapIds[(3 * round + 2) % kBitmapCount],
                      round % 2 == 0 ? IDS_DUPLEX_STEP3_IN_TRAY : IDS_DUPLEX_STEP3_GO_OR_CHECK)
                .Waiting(waiting ? 1 : 0)
                .EvenPagesFirst(static_cast<uint32_t>(round % 2));
        const int command = round % 2 == 0 ? IDOK : 0;

        InstructionsCall instructions(request, NoWait());
        if (instructions.WaitDialog(kTimeoutMs) == nullptr) {
            return "no dialog appeared";
        }
        std::string problem = Inspect(instructions.dialog(), mirrored);
        if (problem.empty()) {
            problem = PaintProblem(instructions.dialog());
        }
        if (waiting) {
            EndWith(instructions, command);
            if (!instructions.WaitEnded(kTimeoutMs)) {
                return "the call did not return";
            }
            return problem;
        }
        const std::string ended = EndOnItsThread(instructions, command);
        return !ended.empty() ? ended : problem;
    }

    const DllMonitor& monitor_;
    int cycles_[kKinds] = {};
    ULONGLONG milliseconds_[kKinds] = {};
    int settingsWrites_ = 0;
    int repaints_ = 0;
    int statics_ = 0;
};

// The bytes and blocks in use in all of the process's heaps, walked block by
// block while each heap is locked. The committed regions, which a heap takes
// in steps of 64 KiB or more whenever it happens to run out of room, say
// nothing about a leak of a few blocks and jump with the test's own
// bookkeeping; this sum moves by exactly what was allocated and not freed.
// The walk itself allocates nothing.
struct HeapUse {
    long long bytes = 0;
    long long blocks = 0;
};

HeapUse operator-(const HeapUse& later, const HeapUse& earlier)
{
    return {later.bytes - earlier.bytes, later.blocks - earlier.blocks};
}

HeapUse HeapInUse()
{
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    HeapUse use;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!HeapLock(heaps[i])) {
            continue;
        }
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                use.bytes += static_cast<long long>(entry.cbData);
                ++use.blocks;
            }
        }
        HeapUnlock(heaps[i]);
    }
    return use;
}

// Whether the heap walk sees every small block on its own: it does on
// Windows and on Wine 8. Wine 10 keeps small blocks in groups that the walk
// reports as one (its low-fragmentation heap), and keeps memory of its own
// for every thread that showed a window: there the heaps cannot judge the
// library, and the soak leaves the memory bound out and keeps the exact
// counts of everything the library makes.
bool HeapWalkSeesSingleBlocks()
{
    constexpr int kBlocks = 64;
    std::vector<void*> held;
    held.reserve(kBlocks);
    const HeapUse before = HeapInUse();
    for (int i = 0; i < kBlocks; ++i) {
        held.push_back(std::malloc(200));
    }
    const HeapUse grown = HeapInUse() - before;
    for (void* block : held) {
        std::free(block);
    }
    return grown.blocks >= kBlocks;
}

constexpr char kHeapWalkGroupsBlocks[] =
    "the platform's heap walk reports small blocks in groups (Wine 10's low-fragmentation heap; Windows and Wine 8 "
    "report each block): the heaps cannot judge the library here";

// What the platform's version 6 static control keeps in the heaps for each
// control made, given a font and destroyed, as the dialog manager does with
// every static of a dialog: measured here with the library's own manifest,
// not assumed. (Wine 8 keeps one block of 24 bytes per control.)
struct KeptPerControl {
    double blocks = 0;
    double bytes = 0;
};

KeptPerControl MeasureVersion6StaticKeeps()
{
    constexpr int kWarmUp = 10;
    constexpr int kControls = 200;
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.hModule = DocEventDlgModule();
    request.lpResourceName = ISOLATIONAWARE_MANIFEST_RESOURCE_ID;
    const HANDLE context = CreateActCtxW(&request);
    ULONG_PTR cookie = 0;
    if (context == INVALID_HANDLE_VALUE || !ActivateActCtx(context, &cookie)) {
        ADD_FAILURE() << "the library's activation context could not be made";
        return {};
    }
    const auto makeStatics = [](int count) {
        for (int i = 0; i < count; ++i) {
            const HWND control = CreateWindowExW(0, L"Static", L"1.", WS_POPUP, 0, 0, 40, 12, nullptr, nullptr,
                                                 nullptr, nullptr);
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
            DestroyWindow(control);
        }
    };
    makeStatics(kWarmUp);
    const HeapUse before = HeapInUse();
    makeStatics(kControls);
    const HeapUse kept = HeapInUse() - before;
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(context);
    return {static_cast<double>(kept.blocks) / kControls, static_cast<double>(kept.bytes) / kControls};
}

// What the platform keeps in the heaps for each thread that showed a window
// and ended, with no library involved: every cycle of the soak ends one such
// thread (the dialog's). Wine 8 frees a thread's window state with the
// thread, as Windows does; Wine 10 keeps some of it.
DWORD WINAPI ShowOneWindow(LPVOID)
{
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 20, nullptr, nullptr,
                                        nullptr, nullptr);
    if (window != nullptr) {
        UpdateWindow(window);
        DestroyWindow(window);
    }
    return 0;
}

KeptPerControl MeasureWindowThreadKeeps()
{
    constexpr int kWarmUp = 8;
    constexpr int kThreads = 64;
    const auto showWindows = [](int threads) {
        for (int i = 0; i < threads; ++i) {
            const HANDLE thread = CreateThread(nullptr, 0, ShowOneWindow, nullptr, 0, nullptr);
            if (thread != nullptr) {
                WaitForSingleObject(thread, kTimeoutMs);
                CloseHandle(thread);
            }
        }
    };
    showWindows(kWarmUp);  // the platform's first-use caches
    const HeapUse before = HeapInUse();
    showWindows(kThreads);
    const HeapUse kept = HeapInUse() - before;
    return {static_cast<double>(std::max(kept.blocks, 0LL)) / kThreads,
            static_cast<double>(std::max(kept.bytes, 0LL)) / kThreads};
}

enum class ControlsPath { Host, Version6 };

struct PassResult {
    bool cyclesPassed = false;
    HeapUse afterFirstRound;
    HeapUse afterWarmUp;
    HeapUse atEnd;
    int staticsMeasured = 0;  // static controls of the dialogs after the warm-up
};

// Runs every round on one controls path. The monitor's records of handles,
// loads and help requests are dropped after each round and the heaps are
// measured after that, so nothing of the test's own grows with the cycles.
PassResult RunPass(ControlsPath path)
{
    PassResult result;
    const bool parentExisted = UserKeyExists(kSettingsParentPath);
    DeleteSettingsKey();
    {
        DllMonitor monitor(DocEventDlgModule());
        EXPECT_TRUE(monitor.complete()) << "not every import of the library could be watched";
        if (path == ControlsPath::Host) {
            // The host's controls, as when the activation context cannot be made.
            monitor.Fail(Api::CreateActCtxW, 0, 1 << 30);
        }
        SoakRun run(monitor);
        const ULONGLONG started = GetTickCount64();
        bool allCyclesPassed = true;
        int staticsAfterWarmUp = 0;
        for (int round = 0; round < kRounds && allCyclesPassed; ++round) {
            for (const bool mirrored : {false, true}) {
                std::optional<UserLanguageOverride> language;
                if (mirrored) {
                    language.emplace(DocEventDlgModule(), kArabic);
                    EXPECT_TRUE(language->active());
                }
                for (int kind = 0; kind < kKinds && allCyclesPassed; ++kind) {
                    const std::string problem = run.Cycle(static_cast<Kind>(kind), mirrored, round);
                    if (!problem.empty()) {
                        ADD_FAILURE() << KindName(static_cast<Kind>(kind)) << (mirrored ? ", mirrored" : "")
                                      << ", round " << round << ": " << problem;
                        allCyclesPassed = false;
                    }
                }
            }
            monitor.ForgetRecords();
            const HeapUse sample = HeapInUse();
            if (round == 0) {
                result.afterFirstRound = sample;
            }
            if (round == kWarmUpRounds - 1) {
                result.afterWarmUp = sample;
                staticsAfterWarmUp = run.statics();
            }
            result.atEnd = sample;
        }
        if (!allCyclesPassed) {
            CloseAllDialogs();
        }
        // Every dialog thread has ended; one more thread's detach empties the
        // slots that keep the handle stored last.
        EXPECT_TRUE(RunBareThread());
        const ULONGLONG elapsed = GetTickCount64() - started;
        result.staticsMeasured = run.statics() - staticsAfterWarmUp;

        std::printf("cycles: %d in %llu ms (%.1f ms each)\n", run.totalCycles(), elapsed,
                    run.totalCycles() > 0 ? static_cast<double>(elapsed) / run.totalCycles() : 0.0);
        for (int kind = 0; kind < kKinds; ++kind) {
            const Kind each = static_cast<Kind>(kind);
            std::printf("  %-30s %d cycles, %.1f ms each\n", KindName(each), run.cycles(each),
                        run.cycles(each) > 0 ? static_cast<double>(run.milliseconds(each)) / run.cycles(each) : 0.0);
        }
        std::printf("forced redraws repeated before the dialog painted: %d\n", run.repaints());
        PrintMonitorCounts(monitor);

        result.cyclesPassed = allCyclesPassed;
        if (allCyclesPassed) {
            // Exact: everything the library made, it released.
            EXPECT_EQ(monitor.Leaks(), "") << "objects of the library not released";
            // The counts show that each cycle went the whole road.
            const int total = run.totalCycles();
            const int threads = run.cycles(Kind::JobStorage) + run.cycles(Kind::DuplexInformational);
            const int duplex = run.cycles(Kind::DuplexInformational) + run.cycles(Kind::DuplexWaiting);
            EXPECT_EQ(monitor.Created(Owned::LocalMemory), total) << "one request copy per call";
            EXPECT_EQ(monitor.Created(Owned::ThreadHandle), threads) << "one thread per asynchronous call";
            EXPECT_EQ(monitor.Created(Owned::Library), total) << "one resource library load per dialog";
            EXPECT_EQ(monitor.Calls(Api::DialogBoxParamW), total);
            EXPECT_EQ(monitor.Created(Owned::Font), run.cycles(Kind::JobStorage)) << "one bold font per notice";
            EXPECT_EQ(monitor.Created(Owned::RegistryKey), run.settingsWrites());
            EXPECT_EQ(monitor.Created(Owned::ActivationContext), path == ControlsPath::Version6 ? total : 0);
            EXPECT_GE(monitor.Created(Owned::Bitmap), 3 * duplex);
            EXPECT_GE(monitor.Created(Owned::MemoryDc), 3 * duplex);
            EXPECT_EQ(monitor.Calls(Api::WinHelpW) + monitor.Calls(Api::HtmlHelpW), 0);
        }
    }
    // The confirmed notices stored "show again" (the box was never ticked).
    if (result.cyclesPassed) {
        DWORD type = 0;
        std::vector<BYTE> value;
        EXPECT_TRUE(ReadUserValue(kSettingsKeyPath, kSettingValue, type, value));
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(value, std::vector<BYTE>{0x01});
    }
    DeleteSettingsKey();
    if (!parentExisted) {
        RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsParentPath);
    }
    return result;
}

// The heaps after the warm-up against the end of the pass: at most the
// allowance beyond what the platform keeps for each static control and for
// each window thread (one a cycle).
void ExpectHeapsFlat(const PassResult& pass, const KeptPerControl& keptPerStatic,
                     const KeptPerControl& keptPerThread)
{
    const HeapUse growth = pass.atEnd - pass.afterWarmUp;
    const long long platformBlocks = std::llround(keptPerStatic.blocks * pass.staticsMeasured +
                                                  keptPerThread.blocks * kMeasuredCycles);
    const long long platformBytes = std::llround(keptPerStatic.bytes * pass.staticsMeasured +
                                                 keptPerThread.bytes * kMeasuredCycles);
    std::printf("heaps in use: after round 1 %lld blocks %lld bytes, after warm-up (round %d) %lld blocks %lld "
                "bytes, after round %d %lld blocks %lld bytes; growth %lld blocks %lld bytes over %d cycles, of "
                "which the platform keeps %lld blocks %lld bytes (%d static controls, %d window threads)\n",
                pass.afterFirstRound.blocks, pass.afterFirstRound.bytes, kWarmUpRounds, pass.afterWarmUp.blocks,
                pass.afterWarmUp.bytes, kRounds, pass.atEnd.blocks, pass.atEnd.bytes, growth.blocks, growth.bytes,
                kMeasuredCycles, platformBlocks, platformBytes, pass.staticsMeasured, kMeasuredCycles);
    EXPECT_LE(growth.blocks - platformBlocks, kBlockAllowance)
        << "the heaps gained " << growth.blocks << " blocks in " << kMeasuredCycles << " cycles";
    EXPECT_LE(growth.bytes - platformBytes, kByteAllowance)
        << "the heaps gained " << growth.bytes << " bytes in " << kMeasuredCycles << " cycles";
}

// The measure must see the leak its allowance is meant to catch: one block
// of 200 bytes lost in every cycle of one export and mode.
TEST(Soak, HeapMeasureSeesOneBlockLostPerCycleOfOneExport)
{
    if (!HeapWalkSeesSingleBlocks()) {
        GTEST_SKIP() << kHeapWalkGroupsBlocks;
    }
    constexpr int kLost = kMeasuredCycles / 4;
    const struct {
        const char* name;
        void* (*allocate)();
        void (*release)(void*);
    } allocators[] = {
        {"C runtime heap", [] { return std::malloc(200); }, [](void* block) { std::free(block); }},
        {"local memory", [] { return static_cast<void*>(LocalAlloc(LMEM_FIXED, 200)); },
         [](void* block) { LocalFree(block); }},
        {"process heap", [] { return HeapAlloc(GetProcessHeap(), 0, 200); },
         [](void* block) { HeapFree(GetProcessHeap(), 0, block); }},
    };
    for (const auto& allocator : allocators) {
        SCOPED_TRACE(allocator.name);
        std::vector<void*> held;
        held.reserve(kLost);
        const HeapUse before = HeapInUse();
        for (int i = 0; i < kLost; ++i) {
            held.push_back(allocator.allocate());
        }
        const HeapUse growth = HeapInUse() - before;
        for (void* block : held) {
            allocator.release(block);
        }
        EXPECT_GT(growth.blocks, kBlockAllowance);
        EXPECT_GT(growth.bytes, kByteAllowance);
    }
}

TEST(Soak, EveryDialogOpensAndEndsHundredsOfTimesWithoutAccumulating)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    ASSERT_TRUE(ProcessDialogs().empty()) << "a dialog of this process is already open";
    const bool walkSeesBlocks = HeapWalkSeesSingleBlocks();
    const KeptPerControl keptPerStatic = MeasureVersion6StaticKeeps();
    std::printf("the platform's version 6 static keeps %.2f blocks, %.1f bytes per control\n", keptPerStatic.blocks,
                keptPerStatic.bytes);
    const KeptPerControl keptPerThread = MeasureWindowThreadKeeps();
    std::printf("the platform keeps %.2f blocks, %.1f bytes per thread that showed a window\n", keptPerThread.blocks,
                keptPerThread.bytes);
    const struct {
        const char* name;
        ControlsPath path;
    } passes[] = {{"the host's controls", ControlsPath::Host}, {"version 6 controls", ControlsPath::Version6}};
    for (const auto& pass : passes) {
        SCOPED_TRACE(pass.name);
        std::printf("-- %s\n", pass.name);
        const PassResult result = RunPass(pass.path);
        if (!result.cyclesPassed) {
            return;
        }
        if (walkSeesBlocks) {
            ExpectHeapsFlat(result, pass.path == ControlsPath::Version6 ? keptPerStatic : KeptPerControl{},
                            keptPerThread);
        } else {
            const HeapUse growth = result.atEnd - result.afterWarmUp;
            std::printf("heap bound left out: %s (growth %lld bytes over %d cycles)\n", kHeapWalkGroupsBlocks,
                        growth.bytes, kMeasuredCycles);
        }
    }
}

}  // namespace
