// The library with many dialogs open at once on many threads, while other
// threads of the process start and end: every dialog appears and ends, each
// caller gets its own result, and the thread handles the library keeps are
// each closed exactly once, by whichever thread detaches first.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
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

constexpr int kCallerThreads = 4;
constexpr int kNoticesPerCaller = 8;       // 32 job storage notices
constexpr int kInstructionsPerCaller = 8;  // 32 informational instructions
constexpr int kDialogs = kCallerThreads * (kNoticesPerCaller + kInstructionsPerCaller);
constexpr int kChurnThreads = 3;
constexpr DWORD kTimeoutMs = 60000;

const wchar_t kSettingsSubKey[] = L"doceventdlg-concurrency";
const wchar_t kSettingsKeyPath[] = L"Software\\Velmoracrestwyn\\doceventdlg-concurrency";
const wchar_t kHelpFile[] = L"C:\\nowhere\\concurrency.hlp";

// Threads that keep starting and ending trivial threads until stopped.
class ThreadChurn {
public:
    explicit ThreadChurn(int threads)
    {
        for (int i = 0; i < threads; ++i) {
            workers_.emplace_back([this] {
                while (!stop_.load()) {
                    if (RunBareThread()) {
                        ++ended_;
                    }
                    Sleep(1);
                }
            });
        }
    }
    ~ThreadChurn() { Stop(); }
    void Stop()
    {
        stop_.store(true);
        for (std::thread& worker : workers_) {
            if (worker.joinable()) {
                worker.join();
            }
        }
    }
    int ended() const { return ended_.load(); }

    // Waits until at least count more trivial threads have ended.
    bool WaitForMore(int count, DWORD timeoutMs) const
    {
        const int target = ended_.load() + count;
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (ended_.load() < target) {
            if (GetTickCount64() >= deadline) {
                return false;
            }
            Sleep(5);
        }
        return true;
    }

private:
    std::vector<std::thread> workers_;
    std::atomic<bool> stop_{false};
    std::atomic<int> ended_{0};
};

// Dialogs of this process that have finished initialising and are visible.
std::vector<HWND> ReadyDialogs()
{
    std::vector<HWND> ready;
    for (HWND dialog : ProcessDialogs()) {
        if (GetWindowLongPtrW(dialog, DWLP_USER) != 0 && IsWindowVisible(dialog)) {
            ready.push_back(dialog);
        }
    }
    return ready;
}

NoticeRequest Notice(int caller, int index)
{
    return NoticeRequest()
        .UserName(L"caller" + std::to_wstring(caller))
        .JobName(L"Job " + std::to_wstring(index))
        .Location(1, L"Printer hard disk")
        .Location(2, L"Stored jobs")
        .Location(3, L"Caller " + std::to_wstring(caller))
        .SettingsSubKey(kSettingsSubKey)
        .RangeSuffix(1, 1)
        .HelpFile(kHelpFile);
}

InstructionsRequest Instructions(int index)
{
    // Pictures 105 to 123 are one run of IDs, 153 to 155 another.
    const auto step1Picture = static_cast<uint32_t>(IDB_ILLUSTRATION_105 + index % 19);
    const auto step3Picture = static_cast<uint32_t>(IDB_ILLUSTRATION_153 + index % 3);
    return InstructionsRequest()
        .HelpFile(kHelpFile)
        .Step(1, step1Picture, IDS_DUPLEX_STEP1_OUTPUT_BIN)
        .Step(2, IDB_ILLUSTRATION_146, IDS_DUPLEX_STEP2_TRAY1)
        .Step(3, step3Picture, index % 2 == 0 ? IDS_DUPLEX_STEP3_IN_TRAY : IDS_DUPLEX_STEP3_GO_OR_CHECK)
        .EvenPagesFirst(static_cast<uint32_t>(index % 2));
}

// The dialogs the callers opened, kept open until the test ends them.
struct OpenDialogs {
    std::vector<std::unique_ptr<NoticeCall>> notices;
    std::vector<std::unique_ptr<InstructionsCall>> instructions;

    std::vector<const DialogDriver*> all() const
    {
        std::vector<const DialogDriver*> drivers;
        for (const auto& notice : notices) {
            drivers.push_back(notice.get());
        }
        for (const auto& call : instructions) {
            drivers.push_back(call.get());
        }
        return drivers;
    }
};

TEST(Concurrency, SixtyFourDialogsOpenAtOnceWhileThreadsComeAndGo)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    ASSERT_TRUE(ProcessDialogs().empty()) << "a dialog of this process is already open";
    DeleteUserKey(kSettingsKeyPath);
    const ULONGLONG started = GetTickCount64();

    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());

    ThreadChurn churn(kChurnThreads);

    // Several callers at once, each alternating the two asynchronous exports.
    // The dialogs are created one after another: when two threads of a fresh
    // process created dialogs at the same moment, Wine's own heap on its Unix
    // side was corrupted now and then (glibc "realloc(): invalid next size",
    // "malloc(): unaligned tcache chunk detected", raised outside the library).
    // The calls still come from several threads, and threads still end all
    // the time, while the exports store their handles.
    std::mutex creation;
    OpenDialogs open;
    std::atomic<int> startedThreads{0};
    std::atomic<int> unseen{0};
    std::vector<std::thread> callers;
    for (int caller = 0; caller < kCallerThreads; ++caller) {
        callers.emplace_back([caller, &creation, &open, &startedThreads, &unseen] {
            CallOptions options;
            options.waitForDialog = false;
            for (int i = 0; i < kNoticesPerCaller + kInstructionsPerCaller; ++i) {
                std::lock_guard<std::mutex> guard(creation);
                HWND dialog = nullptr;
                if (i % 2 == 0) {
                    auto notice = std::make_unique<NoticeCall>(Notice(caller, i), options);
                    startedThreads += notice->returned() != nullptr ? 1 : 0;
                    dialog = notice->WaitDialog(kTimeoutMs);
                    open.notices.push_back(std::move(notice));
                } else {
                    auto call = std::make_unique<InstructionsCall>(Instructions(caller * 16 + i), options);
                    ++startedThreads;
                    dialog = call->WaitDialog(kTimeoutMs);
                    open.instructions.push_back(std::move(call));
                }
                unseen += dialog == nullptr ? 1 : 0;
            }
        });
    }
    for (std::thread& caller : callers) {
        caller.join();
    }
    EXPECT_EQ(unseen.load(), 0) << "dialogs that did not appear within " << kTimeoutMs << " ms of their call";

    // Every dialog appears.
    const std::vector<const DialogDriver*> dialogs = open.all();
    ASSERT_EQ(dialogs.size(), static_cast<size_t>(kDialogs));
    const ULONGLONG allUp = GetTickCount64() - started;
    EXPECT_EQ(ReadyDialogs().size(), static_cast<size_t>(kDialogs)) << "dialogs initialised";
    int notices = 0;
    int instructions = 0;
    std::set<DWORD> threadIds;
    for (const DialogDriver* dialog : dialogs) {
        notices += dialog->Control(IDC_JOB_USER_NAME) != nullptr ? 1 : 0;
        instructions += dialog->Control(IDC_DUPLEX_STEP1_PICTURE) != nullptr ? 1 : 0;
        threadIds.insert(GetWindowThreadProcessId(dialog->dialog(), nullptr));
    }
    EXPECT_EQ(notices, kDialogs / 2);
    EXPECT_EQ(instructions, kDialogs / 2);
    EXPECT_EQ(threadIds.size(), dialogs.size()) << "each dialog on a thread of its own";
    const std::vector<StartedThread> dialogThreads = monitor.StartedThreads();
    EXPECT_EQ(dialogThreads.size(), static_cast<size_t>(kDialogs));

    // Threads that end while the dialogs run close the stored handles; the
    // dialogs keep running.
    EXPECT_TRUE(churn.WaitForMore(20, kTimeoutMs));
    EXPECT_EQ(monitor.Outstanding(Owned::ThreadHandle), 0) << "handles left in the slots after thread detaches";
    EXPECT_EQ(ReadyDialogs().size(), dialogs.size()) << "a dialog ended when its handle was closed";
    for (const StartedThread& thread : dialogThreads) {
        EXPECT_EQ(WaitForSingleObject(thread.handle, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    }

    // Every dialog ends, and so does its thread.
    for (const DialogDriver* dialog : dialogs) {
        dialog->Post(WM_CLOSE);
    }
    int ended = 0;
    for (const auto& notice : open.notices) {
        ended += notice->WaitEnded(kTimeoutMs) ? 1 : 0;
    }
    for (const auto& call : open.instructions) {
        ended += call->WaitEnded(kTimeoutMs) ? 1 : 0;
    }
    EXPECT_EQ(ended, kDialogs);
    int threadsEnded = 0;
    for (const StartedThread& thread : dialogThreads) {
        threadsEnded += WaitForSingleObject(thread.handle, kTimeoutMs) == WAIT_OBJECT_0 ? 1 : 0;
    }
    EXPECT_EQ(threadsEnded, kDialogs);
    open = OpenDialogs{};
    if (ended != kDialogs) {
        CloseAllDialogs();
    }

    churn.Stop();
    ASSERT_TRUE(RunBareThread());
    const ULONGLONG elapsed = GetTickCount64() - started;

    std::printf("dialogs started %d, up %zu (%d notices, %d instructions) after %llu ms; all ended after %llu ms\n",
                startedThreads.load(), dialogs.size(), notices, instructions, allUp, elapsed);
    std::printf("trivial threads started and ended meanwhile: %d\n", churn.ended());
    std::printf("library CloseHandle calls: %zu, of handles it did not hold: %d\n", monitor.ClosedHandles().size(),
                monitor.StrayCloses());
    PrintMonitorCounts(monitor);

    for (int kind = 0; kind < static_cast<int>(Owned::Count); ++kind) {
        EXPECT_EQ(monitor.Outstanding(static_cast<Owned>(kind)), 0)
            << OwnedName(static_cast<Owned>(kind)) << " not released";
    }
    EXPECT_EQ(monitor.Created(Owned::ThreadHandle), kDialogs);
    EXPECT_EQ(monitor.ClosedHandles().size(), static_cast<size_t>(kDialogs)) << "every stored handle closed exactly once";
    EXPECT_EQ(monitor.StrayCloses(), 0);
    EXPECT_EQ(monitor.Calls(Api::RegCreateKeyExW), 0) << "closing a notice writes nothing";
    EXPECT_FALSE(UserKeyExists(kSettingsKeyPath));
    DeleteUserKey(kSettingsKeyPath);
}

// Warnings on several threads at once: each shows its own message and
// returns the button that ended its own dialog.
TEST(Concurrency, WarningsOnSeveralThreadsEachReturnTheirOwnButton)
{
    ASSERT_TRUE(ProcessDialogs().empty()) << "a dialog of this process is already open";
    const struct {
        int command;  // 0: WM_CLOSE
        intptr_t result;
    } endings[] = {{IDOK, IDOK},
                   {IDCANCEL, IDCANCEL},
                   {IDC_WARNING_THIRD_BUTTON, IDC_WARNING_THIRD_BUTTON},
                   {0, IDCANCEL},
                   {IDC_WARNING_THIRD_BUTTON, IDC_WARNING_THIRD_BUTTON},
                   {IDOK, IDOK}};
    constexpr int kWarnings = static_cast<int>(sizeof(endings) / sizeof(endings[0]));

    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());

    // Each caller starts once the dialog before has appeared (see above).
    std::vector<std::unique_ptr<WarningCall>> warnings;
    std::vector<std::wstring> messages;
    for (int i = 0; i < kWarnings; ++i) {
        SCOPED_TRACE("warning " + std::to_string(i));
        messages.push_back(L"Warning number " + std::to_wstring(i) + L" of its own thread.");
        CallOptions options;
        options.waitForDialog = false;
        warnings.push_back(std::make_unique<WarningCall>(
            WarningRequest().CheckBox(i % 2).Message(messages.back()), WarningExport::Plain, options));
        ASSERT_NE(warnings.back()->WaitDialog(kTimeoutMs), nullptr);
        EXPECT_EQ(GetWindowThreadProcessId(warnings.back()->dialog(), nullptr), warnings.back()->threadId())
            << "warnings run on their callers' threads";
    }
    for (int i = 0; i < kWarnings; ++i) {
        SCOPED_TRACE("warning " + std::to_string(i));
        EXPECT_EQ(warnings[static_cast<size_t>(i)]->Text(IDC_WARNING_MESSAGE), messages[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(ProcessDialogs().size(), static_cast<size_t>(kWarnings)) << "all open at once";

    // Ended in reverse order, each by its own button.
    for (int i = kWarnings - 1; i >= 0; --i) {
        const WarningCall& warning = *warnings[static_cast<size_t>(i)];
        if (endings[i].command == 0) {
            warning.Post(WM_CLOSE);
        } else {
            warning.Command(endings[i].command);
        }
    }
    for (int i = 0; i < kWarnings; ++i) {
        SCOPED_TRACE("warning " + std::to_string(i));
        EXPECT_EQ(warnings[static_cast<size_t>(i)]->Result(kTimeoutMs), endings[i].result);
    }
    warnings.clear();

    std::printf("warnings: %d at once; DialogBoxParamW calls %d\n", kWarnings, monitor.Calls(Api::DialogBoxParamW));
    EXPECT_EQ(monitor.Leaks(), "");
    EXPECT_EQ(monitor.Created(Owned::Library), kWarnings);
}

}  // namespace
