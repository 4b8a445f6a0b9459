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
#include "import_patch.h"
#include "monitor_report.h"
#include "test_paths.h"

namespace {

constexpr int kCallerThreads = 4;
constexpr int kNoticesPerCaller = 8;       // 32 job storage notices
constexpr int kInstructionsPerCaller = 8;  // 32 informational instructions
constexpr int kDialogs = kCallerThreads * (kNoticesPerCaller + kInstructionsPerCaller);
constexpr int kChurnThreads = 3;
constexpr DWORD kTimeoutMs = 60000;

const wchar_t kSettingsKeyPath[] = L"Software\\Velmoracrestwyn\\doceventdlg-concurrency";

// Counts the library's CloseHandle calls on top of the monitor, and every
// close of a handle that is not a thread handle the library created and has
// not closed yet: a handle closed twice, or one the library never owned.
class CloseLedger {
public:
    explicit CloseLedger(HMODULE module)
        : createPatch_(module, nullptr, "CreateThread", reinterpret_cast<const void*>(&LedgerCreateThread)),
          closePatch_(module, nullptr, "CloseHandle", reinterpret_cast<const void*>(&LedgerCloseHandle))
    {
        createThread_ = createPatch_.original<CreateThreadFunction>();
        closeHandle_ = closePatch_.original<CloseHandleFunction>();
    }
    ~CloseLedger()
    {
        std::lock_guard<std::mutex> guard(lock_);
        open_.clear();
        closes_ = 0;
        strayCloses_ = 0;
    }
    CloseLedger(const CloseLedger&) = delete;
    CloseLedger& operator=(const CloseLedger&) = delete;

    bool active() const { return createPatch_.active() && closePatch_.active(); }
    int closes() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return closes_;
    }
    int strayCloses() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return strayCloses_;
    }

private:
    using CreateThreadFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                                 LPDWORD);
    using CloseHandleFunction = BOOL(WINAPI*)(HANDLE);

    static HANDLE WINAPI LedgerCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                            LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                                            LPDWORD threadId)
    {
        // The library stores the handle only after this returns, so nothing
        // can close it before it is on the books.
        const HANDLE thread = createThread_(security, stack, start, parameter, flags, threadId);
        if (thread != nullptr) {
            std::lock_guard<std::mutex> guard(lock_);
            open_.insert(thread);
        }
        return thread;
    }

    static BOOL WINAPI LedgerCloseHandle(HANDLE handle)
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            ++closes_;
            if (open_.erase(handle) == 0) {
                ++strayCloses_;
            }
        }
        return closeHandle_(handle);
    }

    ImportPatch createPatch_;
    ImportPatch closePatch_;
    static inline std::mutex lock_;
    static inline std::set<HANDLE> open_;
    static inline int closes_ = 0;
    static inline int strayCloses_ = 0;
    static inline CreateThreadFunction createThread_ = nullptr;
    static inline CloseHandleFunction closeHandle_ = nullptr;
};

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

JobStorageRequest NoticeRequest(int caller, int index)
{
    JobStorageRequest request{};
    SetField(request.userName, L"caller" + std::to_wstring(caller));
    SetField(request.jobName, L"Job " + std::to_wstring(index));
    SetField(request.locationLine1, L"Printer hard disk");
    SetField(request.locationLine2, L"Stored jobs");
    SetField(request.locationLine3, L"Caller " + std::to_wstring(caller));
    SetField(request.settingsSubKey, L"doceventdlg-concurrency");
    request.rangeSuffixFlag1 = 1;
    request.rangeSuffixFlag2 = 1;
    SetField(request.resourceLibraryPath, BinPath(L"doceventdlg-strings.dll"));
    SetField(request.helpFilePath, L"C:\\nowhere\\concurrency.hlp");
    return request;
}

DuplexInstructionsRequest InstructionsRequest(int index)
{
    DuplexInstructionsRequest request{};
    SetField(request.resourceLibraryPath, BinPath(L"doceventdlg-strings.dll"));
    SetField(request.helpFilePath, L"C:\\nowhere\\concurrency.hlp");
    request.step1BitmapId = 105 + static_cast<uint32_t>(index % 19);
    request.step2BitmapId = 146;
    request.step3BitmapId = 153 + static_cast<uint32_t>(index % 3);
    request.step1StringId = 3150;
    request.step2StringId = 3151;
    request.step3StringId = index % 2 == 0 ? 3140 : 3152;
    request.evenPagesFirst = static_cast<uint32_t>(index % 2);
    return request;
}

TEST(Concurrency, SixtyFourDialogsOpenAtOnceWhileThreadsComeAndGo)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    ASSERT_TRUE(ProcessDialogs().empty()) << "a dialog of this process is already open";
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
    const ULONGLONG started = GetTickCount64();

    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    CloseLedger ledger(DocEventDlgModule());
    ASSERT_TRUE(ledger.active());

    ThreadChurn churn(kChurnThreads);

    // Several callers at once, each alternating the two asynchronous exports.
    // The dialogs are created one after another: when two threads of a fresh
    // process created dialogs at the same moment, Wine's own heap on its Unix
    // side was corrupted now and then (glibc "realloc(): invalid next size",
    // "malloc(): unaligned tcache chunk detected", raised outside the library).
    // The calls still come from several threads, and threads still end all
    // the time, while the exports store their handles.
    std::mutex creation;
    std::atomic<int> startedThreads{0};
    std::atomic<int> unseen{0};
    std::vector<std::thread> callers;
    for (int caller = 0; caller < kCallerThreads; ++caller) {
        callers.emplace_back([caller, &creation, &startedThreads, &unseen] {
            for (int i = 0; i < kNoticesPerCaller + kInstructionsPerCaller; ++i) {
                std::lock_guard<std::mutex> guard(creation);
                const size_t before = ReadyDialogs().size();
                if (i % 2 == 0) {
                    const JobStorageRequest request = NoticeRequest(caller, i);
                    if (JobStorageDialogExport()(&request) != nullptr) {
                        ++startedThreads;
                    }
                } else {
                    const DuplexInstructionsRequest request = InstructionsRequest(caller * 16 + i);
                    DisplayDialogExport()(&request);
                    ++startedThreads;
                }
                const ULONGLONG deadline = GetTickCount64() + kTimeoutMs;
                while (ReadyDialogs().size() <= before) {
                    if (GetTickCount64() >= deadline) {
                        ++unseen;
                        break;
                    }
                    Sleep(2);
                }
            }
        });
    }
    for (std::thread& caller : callers) {
        caller.join();
    }
    EXPECT_EQ(unseen.load(), 0) << "dialogs that did not appear within " << kTimeoutMs << " ms of their call";

    // Every dialog appears.
    std::vector<HWND> dialogs;
    const ULONGLONG deadline = GetTickCount64() + kTimeoutMs;
    while ((dialogs = ReadyDialogs()).size() < static_cast<size_t>(kDialogs) && GetTickCount64() < deadline) {
        Sleep(20);
    }
    const ULONGLONG allUp = GetTickCount64() - started;
    EXPECT_EQ(dialogs.size(), static_cast<size_t>(kDialogs)) << "dialogs initialised within " << kTimeoutMs << " ms";
    int notices = 0;
    int instructions = 0;
    std::vector<HANDLE> dialogThreads;
    std::set<DWORD> threadIds;
    for (HWND dialog : dialogs) {
        notices += GetDlgItem(dialog, 1025) != nullptr ? 1 : 0;        // the user name field
        instructions += GetDlgItem(dialog, 1005) != nullptr ? 1 : 0;   // the step-1 picture
        const DWORD threadId = GetWindowThreadProcessId(dialog, nullptr);
        threadIds.insert(threadId);
        dialogThreads.push_back(OpenThread(SYNCHRONIZE, FALSE, threadId));
    }
    EXPECT_EQ(notices, kDialogs / 2);
    EXPECT_EQ(instructions, kDialogs / 2);
    EXPECT_EQ(threadIds.size(), dialogs.size()) << "each dialog on a thread of its own";

    // Threads that end while the dialogs run close the stored handles; the
    // dialogs keep running.
    EXPECT_TRUE(churn.WaitForMore(20, kTimeoutMs));
    EXPECT_EQ(monitor.Outstanding(Owned::ThreadHandle), 0) << "handles left in the slots after thread detaches";
    EXPECT_EQ(ReadyDialogs().size(), dialogs.size()) << "a dialog ended when its handle was closed";
    for (HANDLE thread : dialogThreads) {
        EXPECT_EQ(thread != nullptr ? WaitForSingleObject(thread, 0) : WAIT_FAILED, static_cast<DWORD>(WAIT_TIMEOUT));
    }

    // Every dialog ends.
    for (HWND dialog : dialogs) {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
    int windowsGone = 0;
    for (HWND dialog : dialogs) {
        windowsGone += WaitForWindowGone(dialog, kTimeoutMs) ? 1 : 0;
    }
    int threadsEnded = 0;
    for (HANDLE thread : dialogThreads) {
        if (thread != nullptr) {
            threadsEnded += WaitForSingleObject(thread, kTimeoutMs) == WAIT_OBJECT_0 ? 1 : 0;
            CloseHandle(thread);
        }
    }
    EXPECT_EQ(windowsGone, kDialogs);
    EXPECT_EQ(threadsEnded, kDialogs);
    if (windowsGone != kDialogs) {
        CloseAllDialogs();
    }

    churn.Stop();
    ASSERT_TRUE(RunBareThread());
    const ULONGLONG elapsed = GetTickCount64() - started;

    std::printf("dialogs started %d, up %zu (%d notices, %d instructions) after %llu ms; all ended after %llu ms\n",
                startedThreads.load(), dialogs.size(), notices, instructions, allUp, elapsed);
    std::printf("trivial threads started and ended meanwhile: %d\n", churn.ended());
    std::printf("library CloseHandle calls: %d, of handles it did not hold: %d\n", ledger.closes(),
                ledger.strayCloses());
    PrintMonitorCounts(monitor);

    for (int kind = 0; kind < static_cast<int>(Owned::Count); ++kind) {
        EXPECT_EQ(monitor.Outstanding(static_cast<Owned>(kind)), 0)
            << OwnedName(static_cast<Owned>(kind)) << " not released";
    }
    EXPECT_EQ(monitor.Created(Owned::ThreadHandle), kDialogs);
    EXPECT_EQ(ledger.closes(), kDialogs) << "every stored handle closed exactly once";
    EXPECT_EQ(ledger.strayCloses(), 0);
    EXPECT_EQ(monitor.Calls(Api::RegCreateKeyExW), 0) << "closing a notice writes nothing";
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &key), ERROR_SUCCESS);
    if (key != nullptr) {
        RegCloseKey(key);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
}

// Warnings on several threads at once: each shows its own message and
// returns the button that ended its own dialog.
TEST(Concurrency, WarningsOnSeveralThreadsEachReturnTheirOwnButton)
{
    ASSERT_TRUE(ProcessDialogs().empty()) << "a dialog of this process is already open";
    const struct {
        int command;  // 0: the close box
        intptr_t result;
    } endings[] = {{IDOK, 1}, {IDCANCEL, 2}, {285, 285}, {0, 2}, {285, 285}, {IDOK, 1}};
    constexpr int kWarnings = static_cast<int>(sizeof(endings) / sizeof(endings[0]));

    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());

    std::vector<WarningDialogRequest> requests(kWarnings);
    std::vector<std::wstring> messages;
    for (int i = 0; i < kWarnings; ++i) {
        WarningDialogRequest& request = requests[static_cast<size_t>(i)];
        request.showDialog = 1;
        request.titleStringId = 3000;
        request.okStringId = 849;
        request.cancelStringId = 3001;
        request.thirdButtonStringId = 3002;
        request.showCheckBox = i % 2;
        messages.push_back(L"Warning number " + std::to_wstring(i) + L" of its own thread.");
        SetField(request.messageText, messages.back());
        SetField(request.resourceLibraryPath, BinPath(L"doceventdlg-strings.dll"));
    }

    // Each caller starts once the dialog before has appeared (see above).
    std::vector<std::unique_ptr<BackgroundCall>> calls;
    std::vector<HWND> dialogs;
    for (int i = 0; i < kWarnings; ++i) {
        SCOPED_TRACE("warning " + std::to_string(i));
        const WarningDialogRequest& request = requests[static_cast<size_t>(i)];
        calls.push_back(std::make_unique<BackgroundCall>(
            [&request] { return static_cast<intptr_t>(ShowWarningDialogExport()(&request)); }));
        const HWND dialog = WaitForDialog(calls.back()->threadId(), kTimeoutMs);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(GetWindowThreadProcessId(dialog, nullptr), calls.back()->threadId())
            << "warnings run on their callers' threads";
        dialogs.push_back(dialog);
    }
    for (int i = 0; i < kWarnings; ++i) {
        SCOPED_TRACE("warning " + std::to_string(i));
        EXPECT_EQ(ControlText(dialogs[static_cast<size_t>(i)], 1033), messages[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(ProcessDialogs().size(), static_cast<size_t>(kWarnings)) << "all open at once";

    // Ended in reverse order, each by its own button.
    for (int i = kWarnings - 1; i >= 0; --i) {
        const HWND dialog = dialogs[static_cast<size_t>(i)];
        const int command = endings[i].command;
        if (command == 0) {
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        } else {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, command)));
        }
    }
    for (int i = 0; i < kWarnings; ++i) {
        SCOPED_TRACE("warning " + std::to_string(i));
        ASSERT_TRUE(calls[static_cast<size_t>(i)]->Wait(kTimeoutMs));
        EXPECT_EQ(calls[static_cast<size_t>(i)]->result(), endings[i].result);
    }
    calls.clear();

    std::printf("warnings: %d at once; DialogBoxParamW calls %d\n", kWarnings, monitor.Calls(Api::DialogBoxParamW));
    EXPECT_EQ(monitor.Leaks(), "");
    EXPECT_EQ(monitor.Created(Owned::Library), kWarnings);
}

}  // namespace
