// Where a dialog has nobody to answer it, or no window it may belong to: a
// process whose window station nobody sees, the spooler's own processes, an
// application's window thread that does not handle its messages, the window
// of another program in the foreground. Printing must never wait there.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dll_monitor.h"
#include "export_drivers.h"
#include "fault_support.h"
#include "foreground_window.h"
#include "requests.h"
#include "test_paths.h"
#include "user_registry.h"

namespace {

// What a call may take when no dialog is to come up: nothing is waited for.
constexpr ULONGLONG kPromptMs = 5000;
// An owner's thread is given a short wait to answer; a dialog comes up well
// within this even when the thread does not.
constexpr ULONGLONG kComesUpMs = 3000;

const wchar_t kSettingsRoot[] = L"Software\\Velmoracrestwyn";
const wchar_t kSettingsSubKey[] = L"DocEventDlgTest\\session";
const wchar_t kSettingsKey[] = L"Software\\Velmoracrestwyn\\DocEventDlgTest\\session";

enum class Export { Warning, WarningEx, Notice, Informational, Waiting };

const char* ExportName(Export which)
{
    switch (which) {
    case Export::Warning:
        return "IShowWarningDialog";
    case Export::WarningEx:
        return "IShowWarningDialogEx";
    case Export::Notice:
        return "VJobStorageDialog";
    case Export::Informational:
        return "VDisplayDialog, informational";
    default:
        return "VDisplayDialog, waiting";
    }
}

const Export kEveryExport[] = {Export::Warning, Export::WarningEx, Export::Notice, Export::Informational,
                               Export::Waiting};

// One export called where it must show nothing: what came back, how long it
// took, and what it left.
struct Refusal {
    intptr_t result = kStillOpen;  // the warning's result; 1 when a notice's handle came back
    int32_t ticked = -1;
    ULONGLONG milliseconds = 0;
    bool dialogShown = false;
};

Refusal CallWhereNothingMayShow(Export which)
{
    Refusal refusal;
    const ULONGLONG started = GetTickCount64();
    switch (which) {
    case Export::Warning:
    case Export::WarningEx: {
        WarningCall call(WarningRequest().CheckBox(1),
                         which == Export::Warning ? WarningExport::Plain : WarningExport::CheckBoxAnswer, false);
        refusal.result = call.Result(kPromptMs);
        refusal.ticked = call.ticked();
        refusal.dialogShown = call.WaitDialog(0) != nullptr;
        break;
    }
    case Export::Notice: {
        const NoticeCall call(NoticeRequest().SettingsSubKey(kSettingsSubKey), false);
        refusal.result = call.returned() != nullptr ? 1 : 0;
        break;
    }
    case Export::Informational:
    case Export::Waiting: {
        InstructionsCall call(InstructionsRequest().Waiting(which == Export::Waiting ? 1 : 0), false);
        refusal.result = call.Returned(kPromptMs) ? 0 : kStillOpen;
        refusal.dialogShown = call.WaitDialog(0) != nullptr;
        break;
    }
    }
    refusal.milliseconds = GetTickCount64() - started;
    return refusal;
}

void ExpectNothingShown(Export which, const Refusal& refusal, const DllMonitor& monitor)
{
    SCOPED_TRACE(ExportName(which));
    EXPECT_EQ(refusal.result, 0);
    if (which == Export::WarningEx) {
        EXPECT_EQ(refusal.ticked, 0);
    }
    EXPECT_FALSE(refusal.dialogShown);
    EXPECT_LT(refusal.milliseconds, kPromptMs);
    EXPECT_EQ(monitor.Calls(Api::CreateThread), 0) << "a thread was started";
    EXPECT_EQ(monitor.Calls(Api::DialogBoxParamW), 0);
    EXPECT_EQ(monitor.Calls(Api::LocalAlloc), 0) << "the record was copied";
    EXPECT_EQ(monitor.Leaks(), "");
    EXPECT_TRUE(ProcessDialogs().empty());
    EXPECT_FALSE(UserKeyExists(kSettingsKey));
}

// Stands for winspool.drv's GetPrintExecutionData, which answers the print
// context the test sets.
struct PrintExecutionData {
    DWORD context;
    DWORD clientAppProcessId;
};
PrintExecutionData g_printContext{};

BOOL WINAPI AnswerPrintContext(PrintExecutionData* data)
{
    *data = g_printContext;
    return TRUE;
}

class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(DocEventDlgModule(), nullptr);
        // The library asks the winspool.drv the process has loaded.
        winspool_ = LoadLibraryW(L"winspool.drv");
        rootExisted_ = UserKeyExists(kSettingsRoot);
        DeleteUserKey(kSettingsKey);
    }
    void TearDown() override
    {
        CloseAllDialogs();
        DeleteUserKey(L"Software\\Velmoracrestwyn\\DocEventDlgTest");
        if (!rootExisted_) {
            RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsRoot);
        }
        if (winspool_ != nullptr) {
            FreeLibrary(winspool_);
        }
    }

private:
    HMODULE winspool_ = nullptr;
    bool rootExisted_ = false;
};

TEST_F(Session, SpoolerProcessesShowNothingApplicationsShowTheirDialogs)
{
    const DWORD self = GetCurrentProcessId();
    const struct {
        const char* name;
        bool present;  // GetPrintExecutionData exists
        PrintExecutionData context;
        bool shows;
        bool foregroundMayOwn;  // the foreground window (this process's) is the printing application's
    } contexts[] = {
        {"an application", true, {0, 0}, true, true},
        {"the spooler service", true, {1, 0}, false, false},
        {"the print isolation host", true, {2, 0}, false, false},
        {"the print filter pipeline", true, {3, 0}, false, false},
        {"the 32-bit print helper, for this process", true, {4, self}, true, true},
        {"the 32-bit print helper, for another application", true, {4, self + 4}, true, false},
        {"no GetPrintExecutionData (before Windows 7)", false, {0, 0}, true, true},
    };
    const RECT place{200, 150, 900, 650};
    ForegroundWindow foreground(place);
    for (const auto& row : contexts) {
        SCOPED_TRACE(row.name);
        for (const Export which : kEveryExport) {
            SCOPED_TRACE(ExportName(which));
            ASSERT_TRUE(foreground.Activate());
            DllMonitor monitor(DocEventDlgModule());
            ASSERT_TRUE(monitor.complete());
            g_printContext = row.context;
            monitor.AnswerExport("GetPrintExecutionData",
                                 row.present ? reinterpret_cast<const void*>(&AnswerPrintContext) : nullptr);
            if (!row.shows) {
                ExpectNothingShown(which, CallWhereNothingMayShow(which), monitor);
                continue;
            }
            // The dialog comes up, owned as the mode says, and ends as usual.
            HWND dialog = nullptr;
            HWND owner = nullptr;
            switch (which) {
            case Export::Warning:
            case Export::WarningEx: {
                WarningCall call(WarningRequest(), which == Export::Warning ? WarningExport::Plain
                                                                            : WarningExport::CheckBoxAnswer);
                dialog = call.dialog();
                owner = dialog != nullptr ? GetWindow(dialog, GW_OWNER) : nullptr;
                call.Command(IDOK);
                EXPECT_EQ(call.Result(), IDOK);
                break;
            }
            case Export::Notice: {
                NoticeCall call(NoticeRequest().SettingsSubKey(kSettingsSubKey));
                dialog = call.dialog();
                EXPECT_TRUE(call.Close());
                break;
            }
            case Export::Informational:
            case Export::Waiting: {
                InstructionsCall call(InstructionsRequest().Waiting(which == Export::Waiting ? 1 : 0));
                dialog = call.dialog();
                owner = dialog != nullptr ? GetWindow(dialog, GW_OWNER) : nullptr;
                EXPECT_TRUE(call.Close());
                break;
            }
            }
            EXPECT_NE(dialog, nullptr) << "no dialog came up";
            const bool ownedByTheForeground = row.foregroundMayOwn && (which == Export::Warning ||
                                                                       which == Export::WarningEx ||
                                                                       which == Export::Waiting);
            EXPECT_EQ(owner, ownedByTheForeground ? foreground.window() : nullptr);
            EXPECT_EQ(WaitForNoLeaks(monitor), "");
        }
    }
}

// A process moved to a window station of its own, which nobody sees, as a
// service's is, and a thread on a desktop of it. The process does not come
// back whole (Wine no longer lets its later windows take the foreground), so
// this runs in a process of its own: a test entry of its own runs it.
TEST_F(Session, DISABLED_NothingComesUpWhereTheWindowStationIsNotVisible)
{
    const HWINSTA visible = GetProcessWindowStation();
    const HWINSTA hidden = CreateWindowStationW(L"doceventdlg-nobody", 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(hidden, nullptr);
    ASSERT_TRUE(SetProcessWindowStation(hidden));
    const HDESK desktop = CreateDesktopW(L"nobody", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    struct Call {
        Export which;
        Refusal refusal;
        int threads = -1;
        int copies = -1;
        std::string leaks;
    };
    std::vector<Call> calls;
    for (const Export which : kEveryExport) {
        Call call;
        call.which = which;
        calls.push_back(call);
    }
    if (desktop != nullptr) {
        // The exports are called on a thread of that desktop, as a service's thread would.
        struct Context {
            HDESK desktop;
            std::vector<Call>* calls;
        } context{desktop, &calls};
        const HANDLE thread = CreateThread(
            nullptr, 0,
            [](void* parameter) -> DWORD {
                const auto* run = static_cast<Context*>(parameter);
                if (!SetThreadDesktop(run->desktop)) {
                    return 1;
                }
                for (Call& call : *run->calls) {
                    DllMonitor monitor(DocEventDlgModule());
                    call.refusal = CallWhereNothingMayShow(call.which);
                    call.threads = monitor.Calls(Api::CreateThread);
                    call.copies = monitor.Calls(Api::LocalAlloc);
                    call.leaks = monitor.Leaks();
                }
                return 0;
            },
            &context, 0, nullptr);
        EXPECT_NE(thread, nullptr);
        EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
        DWORD exitCode = 1;
        GetExitCodeThread(thread, &exitCode);
        EXPECT_EQ(exitCode, 0u) << "the thread could not use the hidden desktop";
        CloseHandle(thread);
    }
    int windows = 0;
    if (desktop != nullptr) {
        EnumDesktopWindows(
            desktop,
            [](HWND, LPARAM count) {
                ++*reinterpret_cast<int*>(count);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&windows));
        CloseDesktop(desktop);
    }
    ASSERT_TRUE(SetProcessWindowStation(visible));
    CloseWindowStation(hidden);
    ASSERT_NE(desktop, nullptr);

    EXPECT_EQ(windows, 0) << "a window stood on the desktop nobody sees";
    for (const Call& call : calls) {
        SCOPED_TRACE(ExportName(call.which));
        EXPECT_EQ(call.refusal.result, 0);
        if (call.which == Export::WarningEx) {
            EXPECT_EQ(call.refusal.ticked, 0);
        }
        EXPECT_LT(call.refusal.milliseconds, kPromptMs);
        EXPECT_EQ(call.threads, 0) << "a thread was started";
        EXPECT_EQ(call.copies, 0) << "the record was copied";
        EXPECT_EQ(call.leaks, "");
    }
    EXPECT_FALSE(UserKeyExists(kSettingsKey));
}

// A window of another program in the foreground: the dialog does without an
// owner and never disables that window.
class ForeignWindow {
public:
    ForeignWindow()
    {
        const std::wstring quitName = L"doceventdlg-foreign-" + std::to_wstring(GetCurrentProcessId());
        quit_ = CreateEventW(nullptr, TRUE, FALSE, quitName.c_str());
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        if (quit_ == nullptr || !CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
            return;
        }
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::wstring command = L"\"" + BinPath(L"foreign_window.exe") + L"\" " + quitName;
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                           &process_)) {
            CloseHandle(process_.hThread);
        }
        CloseHandle(writeEnd);
        char line[32] = {};
        DWORD read = 0;
        ReadFile(readEnd, line, sizeof(line) - 1, &read, nullptr);
        CloseHandle(readEnd);
        window_ = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(line, nullptr, 10)));
    }
    ~ForeignWindow()
    {
        SetEvent(quit_);
        if (process_.hProcess != nullptr) {
            WaitForSingleObject(process_.hProcess, 30000);
            CloseHandle(process_.hProcess);
        }
        CloseHandle(quit_);
    }
    ForeignWindow(const ForeignWindow&) = delete;
    ForeignWindow& operator=(const ForeignWindow&) = delete;

    HWND window() const { return window_; }
    // Its own thread makes it the foreground window.
    bool Activate() const
    {
        PostMessageW(window_, WM_APP + 2, 0, 0);
        for (int i = 0; i < 1000 && GetForegroundWindow() != window_; ++i) {
            Sleep(10);
        }
        return GetForegroundWindow() == window_;
    }

private:
    HANDLE quit_ = nullptr;
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

enum class Foreground {
    Answering,        // this process's window, whose thread handles its messages
    HeldBefore,       // this process's window, whose thread waits from before the call
    HeldOnceUp,       // this process's window, whose thread stops once the dialog is up
    AnotherProgram,   // a window of another program
};

// The two dialogs that the foreground window owns: the warning and the
// waiting instructions.
TEST_F(Session, OwnedOnlyByAnApplicationWindowWhoseThreadAnswers)
{
    const RECT place{200, 150, 900, 650};
    const struct {
        const char* name;
        Foreground foreground;
        bool owned;             // the dialog's owner is the foreground window
        bool disabledWhileUp;   // the foreground window is disabled while the dialog is up
    } rows[] = {
        {"this process's window, its thread answers", Foreground::Answering, true, true},
        {"this process's window, its thread waits from before the call", Foreground::HeldBefore, false, false},
        {"this process's window, its thread stops once the dialog is up", Foreground::HeldOnceUp, true, true},
        {"a window of another program", Foreground::AnotherProgram, false, false},
    };
    ForeignWindow foreign;
    ASSERT_NE(foreign.window(), nullptr);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const Export which : {Export::Warning, Export::Waiting}) {
            SCOPED_TRACE(ExportName(which));
            ForegroundWindow own(place);
            const HWND foreground = row.foreground == Foreground::AnotherProgram ? foreign.window() : own.window();
            if (row.foreground == Foreground::AnotherProgram) {
                ASSERT_TRUE(foreign.Activate());
            } else {
                ASSERT_TRUE(own.Activate());
            }
            if (row.foreground == Foreground::HeldBefore) {
                own.Hold();
            }
            DllMonitor monitor(DocEventDlgModule());
            const ULONGLONG started = GetTickCount64();
            std::unique_ptr<WarningCall> warning;
            std::unique_ptr<InstructionsCall> instructions;
            DialogDriver* driver = nullptr;
            if (which == Export::Warning) {
                warning = std::make_unique<WarningCall>(WarningRequest());
                driver = warning.get();
            } else {
                instructions = std::make_unique<InstructionsCall>(InstructionsRequest().Waiting());
                driver = instructions.get();
            }
            const ULONGLONG comingUp = GetTickCount64() - started;
            ASSERT_NE(driver->dialog(), nullptr) << "no dialog came up";
            EXPECT_LT(comingUp, kComesUpMs) << "the dialog waited " << comingUp << " ms";
            EXPECT_EQ(GetWindow(driver->dialog(), GW_OWNER), row.owned ? foreground : nullptr);
            EXPECT_EQ(IsWindowEnabled(foreground) == FALSE, row.disabledWhileUp);
            if (row.foreground == Foreground::HeldOnceUp) {
                // Once the dialog is up and active: both threads have handled
                // what the platform sent between them as the dialog was
                // activated (a thread that stops in those milliseconds still
                // holds the dialog's thread until it answers again).
                EXPECT_TRUE(WaitUntilPostedHandled(driver->dialog()));
                EXPECT_TRUE(WaitUntilPostedHandled(foreground));
                own.Hold();
            }
            const ULONGLONG ending = GetTickCount64();
            driver->Command(IDOK);
            const bool returned = warning != nullptr ? warning->Result(kPromptMs) == IDOK
                                                     : instructions->Returned(kPromptMs);
            EXPECT_TRUE(returned) << "the export waited for the window's thread";
            EXPECT_LT(GetTickCount64() - ending, kPromptMs);
            if (row.foreground != Foreground::AnotherProgram) {
                own.Resume();
            }
            // The owner has its input back, at once or as soon as its thread answers.
            for (int i = 0; i < 3000 && !IsWindowEnabled(foreground); ++i) {
                Sleep(10);
            }
            EXPECT_TRUE(IsWindowEnabled(foreground));
            EXPECT_TRUE(IsWindowEnabled(foreign.window())) << "another program's window was disabled";
            // Sent by the dialog manager, which waits for the owner's thread,
            // whenever the dialog's queue runs empty.
            EXPECT_EQ(own.IdleMessages(), 0) << "the dialog asked its owner's thread as it went idle";
            warning.reset();
            instructions.reset();
            for (const StartedThread& thread : monitor.StartedThreads()) {
                EXPECT_EQ(WaitForSingleObject(thread.handle, 30000), WAIT_OBJECT_0) << "a thread of the library is left";
            }
            EXPECT_EQ(WaitForNoLeaks(monitor), "");
        }
    }
}

}  // namespace
