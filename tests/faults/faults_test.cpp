// What holds for every export: one table of every export and mode, each with
// no record, with one platform call made to fail at a time, or with nothing
// failing. A row says what the caller gets back, whether a dialog shows and
// with which texts, where it goes, what reaches the registry, whether a thread
// was started and what becomes of the thread handle the export stored before;
// every row checks that nothing the library made is left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "bare_thread.h"
#include "dialog_probe.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "fault_support.h"
#include "requests.h"
#include "test_paths.h"

namespace {

const wchar_t kSettingsRoot[] = L"Software\\Velmoracrestwyn\\DocEventDlgFaults";
const wchar_t kSettingsSubKey[] = L"DocEventDlgFaults\\run";
const wchar_t kSettingsKey[] = L"Software\\Velmoracrestwyn\\DocEventDlgFaults\\run";
const wchar_t kMessage[] = L"The toner is low.";
const RECT kForegroundPlace{640, 420, 1140, 820};

constexpr LANGID kGerman = 0x0407;
constexpr DWORD kPromptly = 5000;  // ms: a call that shows nothing returns within this

enum class Export {
    Warning,        // IShowWarningDialog, on the caller's thread
    WarningEx,      // IShowWarningDialogEx, on the caller's thread
    Notice,         // VJobStorageDialog, on a thread of its own
    Informational,  // VDisplayDialog, on a thread of its own
    Waiting,        // VDisplayDialog, on the caller's thread
};

bool Threaded(Export target) { return target == Export::Notice || target == Export::Informational; }

// What goes wrong in a row.
struct Failure {
    Api api = Api::Count;  // Api::Count: no call fails
    int skip = 0;          // calls that pass before the first that fails
    int count = 0;
    bool nullRecord = false;

    constexpr Failure AfterPassing(int calls) const { return {api, calls, count, nullRecord}; }
    constexpr Failure Times(int calls) const { return {api, skip, calls, nullRecord}; }
};

constexpr Failure NothingFails() { return {}; }
constexpr Failure NullRecord() { return {Api::Count, 0, 0, true}; }
constexpr Failure Fails(Api api) { return {api, 0, 1, false}; }
// Every call of the kind fails during the row.
constexpr Failure FailsEvery(Api api) { return {api, 0, 1000, false}; }

enum class Texts {
    None,           // no dialog
    Localized,      // every text from the library (German)
    Fallback,       // every lookup failed: the built-in texts, or empty where there is none
    FirstFallback,  // only the first lookup failed
};

enum class Place {
    Any,
    Centred,   // over the foreground window
    Unplaced,  // left where the template put it
    OnScreen,  // somewhere on the screen, shown
};

enum class Stored { Nothing, KeyOnly, Value };  // after OK on the job storage notice

// What the caller and the user get.
struct Outcome {
    Texts texts = Texts::None;
    Place place = Place::Any;
    Stored stored = Stored::Nothing;
    int plainPicture = -1;   // the frame (0-2) whose picture does not load
    int32_t result = 0;      // the warning exports' result
    bool thread = false;     // the threaded exports started a dialog thread
    bool replaces = true;    // the threaded exports replaced the handle stored before (with null when no thread)

    constexpr Outcome Centred() const { return With(&Outcome::place, Place::Centred); }
    constexpr Outcome Unplaced() const { return With(&Outcome::place, Place::Unplaced); }
    constexpr Outcome OnScreen() const { return With(&Outcome::place, Place::OnScreen); }
    constexpr Outcome Storing(Stored what) const { return With(&Outcome::stored, what); }
    constexpr Outcome PlainPicture(int frame) const { return With(&Outcome::plainPicture, frame); }
    constexpr Outcome Returns(int32_t value) const { return With(&Outcome::result, value); }
    // A threaded export started its thread, which ended without a dialog.
    constexpr Outcome OnItsThread() const { return With(&Outcome::thread, true); }
    // A threaded export that made no copy left its stored handle alone.
    constexpr Outcome KeepsTheStoredHandle() const { return With(&Outcome::replaces, false); }

private:
    template <class Field, class Value>
    constexpr Outcome With(Field Outcome::*field, Value value) const
    {
        Outcome changed = *this;
        changed.*field = value;
        return changed;
    }
};

// The dialog showed its texts and ended by OK.
constexpr Outcome Shows(Texts texts) { return Outcome{texts, Place::Any, Stored::Nothing, -1, IDOK, true, true}; }
constexpr Outcome ShowsNothing() { return {}; }

struct FaultRow {
    const char* name;
    Export target;
    Failure failure;
    Outcome outcome;
};

const FaultRow kRows[] = {
    {"warning, nothing fails", Export::Warning, NothingFails(), Shows(Texts::Localized)},
    {"warning, null record", Export::Warning, NullRecord(), ShowsNothing()},
    {"warning, no memory for the copy", Export::Warning, Fails(Api::LocalAlloc), ShowsNothing()},
    {"warning, no memory for the state", Export::Warning, Fails(Api::Malloc), ShowsNothing()},
    {"warning, dialog not created", Export::Warning, Fails(Api::DialogBoxParamW), ShowsNothing().Returns(-1)},
    {"warning, library not loaded", Export::Warning, Fails(Api::LoadLibraryExW), Shows(Texts::Fallback)},
    {"warning, no string block found", Export::Warning, FailsEvery(Api::FindResourceExW), Shows(Texts::Fallback)},
    {"warning, first block not found", Export::Warning, Fails(Api::FindResourceExW), Shows(Texts::FirstFallback)},
    {"warning, no block loaded", Export::Warning, FailsEvery(Api::LoadResource), Shows(Texts::Fallback)},

    // The check box's answer is written on every path: not ticked.
    {"warning ex, nothing fails", Export::WarningEx, NothingFails(), Shows(Texts::Localized)},
    {"warning ex, null record", Export::WarningEx, NullRecord(), ShowsNothing()},
    {"warning ex, no memory for the copy", Export::WarningEx, Fails(Api::LocalAlloc), ShowsNothing()},
    {"warning ex, no memory for the state", Export::WarningEx, Fails(Api::Malloc), ShowsNothing()},
    {"warning ex, dialog not created", Export::WarningEx, Fails(Api::DialogBoxParamW), ShowsNothing().Returns(-1)},

    // The notice's thread makes the dialog's state with its first allocation,
    // after the export's one for the thread's start.
    {"job storage, nothing fails", Export::Notice, NothingFails(),
     Shows(Texts::Localized).Centred().Storing(Stored::Value)},
    {"job storage, null record", Export::Notice, NullRecord(), ShowsNothing().KeepsTheStoredHandle()},
    {"job storage, no memory for the copy", Export::Notice, Fails(Api::LocalAlloc),
     ShowsNothing().KeepsTheStoredHandle()},
    {"job storage, no library reference", Export::Notice, Fails(Api::GetModuleHandleExW), ShowsNothing()},
    {"job storage, no memory for the thread's start", Export::Notice, Fails(Api::Malloc), ShowsNothing()},
    {"job storage, no thread", Export::Notice, Fails(Api::CreateThread), ShowsNothing()},
    {"job storage, no memory for the state", Export::Notice, Fails(Api::Malloc).AfterPassing(1),
     ShowsNothing().OnItsThread()},
    {"job storage, dialog not created", Export::Notice, Fails(Api::DialogBoxParamW), ShowsNothing().OnItsThread()},
    {"job storage, no dialog rectangle", Export::Notice, Fails(Api::GetWindowRect),
     Shows(Texts::Localized).Unplaced().Storing(Stored::Value)},
    {"job storage, no foreground rectangle", Export::Notice, Fails(Api::GetWindowRect).AfterPassing(1),
     Shows(Texts::Localized).Unplaced().Storing(Stored::Value)},
    {"job storage, library not loaded", Export::Notice, Fails(Api::LoadLibraryExW),
     Shows(Texts::Fallback).Centred().Storing(Stored::Value)},
    {"job storage, no string block found", Export::Notice, FailsEvery(Api::FindResourceExW),
     Shows(Texts::Fallback).Centred().Storing(Stored::Value)},
    {"job storage, first block not found", Export::Notice, Fails(Api::FindResourceExW),
     Shows(Texts::FirstFallback).Centred().Storing(Stored::Value)},
    {"job storage, no block loaded", Export::Notice, FailsEvery(Api::LoadResource),
     Shows(Texts::Fallback).Centred().Storing(Stored::Value)},
    {"job storage, first block not loaded", Export::Notice, Fails(Api::LoadResource),
     Shows(Texts::FirstFallback).Centred().Storing(Stored::Value)},
    {"job storage, key not created", Export::Notice, Fails(Api::RegCreateKeyExW),
     Shows(Texts::Localized).Centred().Storing(Stored::Nothing)},
    {"job storage, value not written", Export::Notice, Fails(Api::RegSetValueExW),
     Shows(Texts::Localized).Centred().Storing(Stored::KeyOnly)},

    // VDisplayDialog without a record has no mode: it is called on the test's thread.
    {"duplex, null record", Export::Informational, NullRecord(), ShowsNothing().KeepsTheStoredHandle()},
    {"duplex informational, nothing fails", Export::Informational, NothingFails(), Shows(Texts::Localized).Centred()},
    {"duplex informational, no memory for the copy", Export::Informational, Fails(Api::LocalAlloc),
     ShowsNothing().KeepsTheStoredHandle()},
    {"duplex informational, no library reference", Export::Informational, Fails(Api::GetModuleHandleExW),
     ShowsNothing()},
    {"duplex informational, no memory for the thread's start", Export::Informational, Fails(Api::Malloc),
     ShowsNothing()},
    {"duplex informational, no thread", Export::Informational, Fails(Api::CreateThread), ShowsNothing()},
    {"duplex informational, no memory for the state", Export::Informational, Fails(Api::Malloc).AfterPassing(1),
     ShowsNothing().OnItsThread()},
    {"duplex informational, dialog not created", Export::Informational, Fails(Api::DialogBoxParamW),
     ShowsNothing().OnItsThread()},
    {"duplex informational, no dialog rectangle", Export::Informational, Fails(Api::GetWindowRect),
     Shows(Texts::Localized).OnScreen()},
    {"duplex informational, no foreground rectangle", Export::Informational,
     Fails(Api::GetWindowRect).AfterPassing(1), Shows(Texts::Localized).OnScreen()},
    {"duplex informational, no rectangle at all", Export::Informational, Fails(Api::GetWindowRect).Times(2),
     Shows(Texts::Localized).OnScreen()},
    {"duplex informational, library not loaded", Export::Informational, Fails(Api::LoadLibraryExW),
     Shows(Texts::Fallback).Centred()},
    {"duplex informational, no string block found", Export::Informational, FailsEvery(Api::FindResourceExW),
     Shows(Texts::Fallback).Centred()},
    {"duplex informational, first block not found", Export::Informational, Fails(Api::FindResourceExW),
     Shows(Texts::FirstFallback).Centred()},
    {"duplex informational, no block loaded", Export::Informational, FailsEvery(Api::LoadResource),
     Shows(Texts::Fallback).Centred()},
    // The pictures load as the dialog paints: the failure is made once it
    // has painted, for the next repaint.
    {"duplex informational, step 1 picture not loaded", Export::Informational, Fails(Api::LoadBitmapW),
     Shows(Texts::Localized).Centred().PlainPicture(0)},
    {"duplex informational, step 2 picture not loaded", Export::Informational,
     Fails(Api::LoadBitmapW).AfterPassing(1), Shows(Texts::Localized).Centred().PlainPicture(1)},
    {"duplex informational, step 3 picture not loaded", Export::Informational,
     Fails(Api::LoadBitmapW).AfterPassing(2), Shows(Texts::Localized).Centred().PlainPicture(2)},

    {"duplex waiting, nothing fails", Export::Waiting, NothingFails(), Shows(Texts::Localized).Centred()},
    {"duplex waiting, no memory for the copy", Export::Waiting, Fails(Api::LocalAlloc), ShowsNothing()},
    {"duplex waiting, no memory for the state", Export::Waiting, Fails(Api::Malloc), ShowsNothing()},
    {"duplex waiting, dialog not created", Export::Waiting, Fails(Api::DialogBoxParamW), ShowsNothing()},
    {"duplex waiting, no dialog rectangle", Export::Waiting, Fails(Api::GetWindowRect),
     Shows(Texts::Localized).OnScreen()},
    {"duplex waiting, no foreground rectangle", Export::Waiting, Fails(Api::GetWindowRect).AfterPassing(1),
     Shows(Texts::Localized).OnScreen()},
    {"duplex waiting, library not loaded", Export::Waiting, Fails(Api::LoadLibraryExW),
     Shows(Texts::Fallback).Centred()},
    {"duplex waiting, first block not loaded", Export::Waiting, Fails(Api::LoadResource),
     Shows(Texts::FirstFallback).Centred()},
};

struct ExpectedText {
    int control;  // 0: the caption
    const wchar_t* localized;
    const wchar_t* fallback;
};

// The first entry is the text looked up first.
const ExpectedText kWarningTexts[] = {
    {0, L"Druckerwarnung", L""},
    {IDCANCEL, L"&Abbrechen", L""},
    {IDC_WARNING_DONT_SHOW, L"Diese Information k\u00fcnftig nicht mehr anzeigen.",
     L"In the future, do not show this information."},
};
const ExpectedText kJobStorageTexts[] = {
    {0, L"Identifikation des gespeicherten Auftrags", L"Job Storage Identification"},
    {IDC_JOB_USER_NAME_LABEL, L"Benutzername:", L"User Name:"},
    {IDC_JOB_HEADING, L"Dieser Druckauftrag wird gespeichert unter:", L"This print Job will be stored at:"},
    {IDC_JOB_HELP, L"&Hilfe", L"&Help"},
};
const ExpectedText kDuplexTexts[] = {
    {0, L"Anleitung zum beidseitigen Drucken", L"Print on Both Sides Instructions"},
    {IDC_DUPLEX_STEP2_TEXT, L"Legen Sie den Papierstapel in derselben Ausrichtung in Fach 1 ein",
     L"Maintaining the same orientation, insert the paper stack into Tray 1"},
    {IDC_DUPLEX_HELP, L"&Hilfe", L"&Help"},
};
const ExpectedText kContinueText = {IDOK, L"&Weiter", L"C&ontinue"};

const int kPictureFrames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};

void ExpectTexts(const DialogDriver& dialog, const ExpectedText* texts, size_t count, Texts kind)
{
    for (size_t i = 0; i < count; ++i) {
        const bool fallback = kind == Texts::Fallback || (kind == Texts::FirstFallback && i == 0);
        EXPECT_EQ(dialog.Text(texts[i].control), fallback ? texts[i].fallback : texts[i].localized)
            << "control " << texts[i].control;
    }
}

void ExpectDialogTexts(const DialogDriver& dialog, Export target, Texts kind)
{
    switch (target) {
    case Export::Warning:
    case Export::WarningEx:
        ExpectTexts(dialog, kWarningTexts, std::size(kWarningTexts), kind);
        EXPECT_EQ(dialog.Text(IDC_WARNING_MESSAGE), kMessage);
        break;
    case Export::Notice:
        ExpectTexts(dialog, kJobStorageTexts, std::size(kJobStorageTexts), kind);
        EXPECT_EQ(dialog.Text(IDC_JOB_USER_NAME), L"anna");
        EXPECT_EQ(dialog.Text(IDC_JOB_JOB_NAME), L"Report");
        break;
    case Export::Informational:
        ExpectTexts(dialog, kDuplexTexts, std::size(kDuplexTexts), kind);
        break;
    case Export::Waiting:
        ExpectTexts(dialog, kDuplexTexts, std::size(kDuplexTexts), kind);
        ExpectTexts(dialog, &kContinueText, 1, kind == Texts::Fallback ? Texts::Fallback : Texts::Localized);
        break;
    }
}

void ExpectPlace(HWND dialog, HWND foreground, Place place)
{
    RECT shown{};
    RECT over{};
    GetWindowRect(dialog, &shown);
    GetWindowRect(foreground, &over);
    const int dx = (shown.left + shown.right) / 2 - (over.left + over.right) / 2;
    const int dy = (shown.top + shown.bottom) / 2 - (over.top + over.bottom) / 2;
    const bool centred = std::abs(dx) <= 1 && std::abs(dy) <= 1;
    const std::string where = "dialog at " + std::to_string(shown.left) + "," + std::to_string(shown.top);
    switch (place) {
    case Place::Any:
        break;
    case Place::Centred:
        EXPECT_TRUE(centred) << where << ", off the foreground window's centre by " << dx << "," << dy;
        break;
    case Place::Unplaced:
        EXPECT_FALSE(centred) << where;
        EXPECT_LT(shown.left, over.left) << where;
        EXPECT_LT(shown.top, over.top) << where;
        break;
    case Place::OnScreen:
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_LT(shown.left, GetSystemMetrics(SM_CXSCREEN)) << where;
        EXPECT_LT(shown.top, GetSystemMetrics(SM_CYSCREEN)) << where;
        EXPECT_GT(shown.right, 0) << where;
        EXPECT_GT(shown.bottom, 0) << where;
        break;
    }
}

// Repaints the dialog with the picture load after `passing` ones failing,
// and checks that only the frame `plain` stays plain.
void ExpectPlainPicture(DllMonitor& monitor, const DialogDriver& dialog, int passing, int plain)
{
    // The first paints are over before a load is made to fail.
    dialog.WaitPainted();
    monitor.Fail(Api::LoadBitmapW, passing, 1);
    const int before = monitor.Calls(Api::LoadBitmapW);
    RedrawWindow(dialog.dialog(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (int i = 0; i < 3000 && monitor.Calls(Api::LoadBitmapW) < before + 3; ++i) {
        Sleep(10);
    }
    ASSERT_GE(monitor.Calls(Api::LoadBitmapW), before + 3) << "no repaint";
    // The paint that made the last load has returned once the thread takes
    // its next message.
    ASSERT_TRUE(dialog.StillOpenAfterPosting());
    EXPECT_EQ(monitor.Outstanding(Owned::Bitmap), 0);
    EXPECT_EQ(monitor.Outstanding(Owned::MemoryDc), 0);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (int frame = 0; frame < 3; ++frame) {
        const int unlike = PixelsUnlike(dialog.Control(kPictureFrames[frame]), face);
        if (frame == plain) {
            EXPECT_EQ(unlike, 0) << "frame " << frame << " should be plain";
        } else {
            EXPECT_GT(unlike, 1000) << "frame " << frame << " should show its picture";
        }
    }
}

void ExpectStored(Stored stored)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    const bool hasValue = ReadUserValue(kSettingsKey, L"ShowJobStorageDlg", type, data);
    switch (stored) {
    case Stored::Nothing:
        EXPECT_FALSE(UserKeyExists(kSettingsKey));
        break;
    case Stored::KeyOnly:
        EXPECT_TRUE(UserKeyExists(kSettingsKey));
        EXPECT_FALSE(hasValue);
        break;
    case Stored::Value:
        ASSERT_TRUE(hasValue);
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(data, std::vector<BYTE>{0x01});
        break;
    }
}

// Makes the test's window the foreground window and waits until it stays so:
// a dialog that has just ended can take the foreground away a moment after
// the test's window got it.
bool SettleForeground(const ForegroundWindow& foreground)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        bool steady = foreground.Activate();
        for (int sample = 0; sample < 5 && steady; ++sample) {
            Sleep(10);
            steady = GetForegroundWindow() == foreground.window();
        }
        if (steady) {
            return true;
        }
    }
    return false;
}

template <class Record>
std::vector<Record> Since(const std::vector<Record>& records, size_t count)
{
    return std::vector<Record>(records.begin() + static_cast<std::ptrdiff_t>(std::min(count, records.size())),
                               records.end());
}

// One row's calls: the dialog a threaded export started before it, whose
// handle is the one the export holds when the row's call comes, and the row's
// own call through its driver.
struct RowCalls {
    std::optional<NoticeCall> earlierNotice;
    std::optional<InstructionsCall> earlierInstructions;
    std::optional<WarningCall> warning;
    std::optional<NoticeCall> notice;
    std::optional<InstructionsCall> instructions;

    const DialogDriver* earlier() const
    {
        return earlierNotice ? static_cast<const DialogDriver*>(&*earlierNotice)
                             : earlierInstructions ? &*earlierInstructions : nullptr;
    }
    const DialogDriver& driver() const
    {
        return warning ? static_cast<const DialogDriver&>(*warning)
                       : notice ? static_cast<const DialogDriver&>(*notice) : *instructions;
    }
    // Ends whatever is still open and waits for it.
    void Reset()
    {
        warning.reset();
        notice.reset();
        instructions.reset();
        earlierNotice.reset();
        earlierInstructions.reset();
    }
};

class Faults : public ::testing::Test {
protected:
    void SetUp() override
    {
        CloseAllDialogs();
        DeleteUserKey(kSettingsRoot);
    }
    void TearDown() override
    {
        CloseAllDialogs();
        DeleteUserKey(kSettingsRoot);
    }
};

TEST_F(Faults, EveryExportEndsEachFailureAsDesignedAndLeavesNothingBehind)
{
    const HMODULE module = DocEventDlgModule();
    ASSERT_NE(module, nullptr);
    ForegroundWindow foreground(kForegroundPlace);
    ASSERT_NE(foreground.window(), nullptr);

    const WarningRequest warningRecord = WarningRequest().Message(kMessage);
    const NoticeRequest noticeRecord =
        NoticeRequest().UserName(L"anna").JobName(L"Report").SettingsSubKey(kSettingsSubKey);
    const InstructionsRequest informationalRecord = InstructionsRequest();
    const InstructionsRequest waitingRecord = InstructionsRequest().Waiting();

    for (const FaultRow& row : kRows) {
        SCOPED_TRACE(row.name);
        const Failure& failure = row.failure;
        const Outcome& expected = row.outcome;
        const bool shows = expected.texts != Texts::None;
        const bool threaded = Threaded(row.target);

        DeleteUserKey(kSettingsRoot);
        // The handles stored so far are closed before the monitor counts closes.
        ASSERT_TRUE(RunBareThread());
        UserLanguageOverride german(module, kGerman);
        ASSERT_TRUE(german.active());
        DllMonitor monitor(module);
        ASSERT_TRUE(monitor.complete());

        RowCalls calls;
        HANDLE storedBefore = nullptr;
        if (threaded) {
            if (row.target == Export::Notice) {
                calls.earlierNotice.emplace(noticeRecord);
            } else {
                calls.earlierInstructions.emplace(informationalRecord);
            }
            ASSERT_NE(calls.earlier()->dialog(), nullptr) << "no dialog before the row's";
            calls.earlier()->WaitPainted();
            ASSERT_EQ(monitor.StartedThreads().size(), 1u);
            storedBefore = monitor.StartedThreads().back().libraryHandle;
        }
        ASSERT_TRUE(SettleForeground(foreground));

        const size_t threadsBefore = monitor.StartedThreads().size();
        const size_t closedBefore = monitor.ClosedHandles().size();
        const size_t loadsBefore = monitor.LibraryLoads().size();
        const int copiesBefore = monitor.Calls(Api::LocalAlloc);
        const int dialogsBefore = monitor.Calls(Api::DialogBoxParamW);
        if (failure.api != Api::Count && failure.api != Api::LoadBitmapW) {
            monitor.Fail(failure.api, failure.skip, failure.count);
        }

        CallOptions options;
        options.waitForDialog = shows;
        const ULONGLONG start = GetTickCount64();
        switch (row.target) {
        case Export::Warning:
        case Export::WarningEx:
            calls.warning.emplace(failure.nullRecord ? nullptr : warningRecord.get(),
                                  row.target == Export::Warning ? WarningExport::Plain
                                                                : WarningExport::CheckBoxAnswer,
                                  options);
            break;
        case Export::Notice:
            calls.notice.emplace(failure.nullRecord ? nullptr : noticeRecord.get(), options);
            break;
        case Export::Informational:
            calls.instructions.emplace(failure.nullRecord ? nullptr : informationalRecord.get(), options);
            break;
        case Export::Waiting:
            calls.instructions.emplace(failure.nullRecord ? nullptr : waitingRecord.get(), options);
            break;
        }
        const ULONGLONG returnedAfter = GetTickCount64() - start;
        if (threaded) {
            if (!shows) {
                EXPECT_LT(returnedAfter, kPromptly) << "a call that shows nothing must not wait";
            }
            // The handle stored before is replaced, and so closed, as the
            // export stores what it started.
            const std::vector<HANDLE> closed = Since(monitor.ClosedHandles(), closedBefore);
            EXPECT_EQ(std::count(closed.begin(), closed.end(), storedBefore), expected.replaces ? 1 : 0)
                << "closes of the handle stored before";
        }

        const DialogDriver& driver = calls.driver();
        if (shows) {
            ASSERT_NE(driver.dialog(), nullptr) << "no dialog";
            ExpectDialogTexts(driver, row.target, expected.texts);
            ExpectPlace(driver.dialog(), foreground.window(), expected.place);
            if (expected.plainPicture >= 0) {
                ExpectPlainPicture(monitor, driver, failure.skip, expected.plainPicture);
            }
            driver.Command(IDOK, 0);
            EXPECT_TRUE(WaitForWindowGone(driver.dialog(), 30000)) << "the dialog did not end";
        }
        const DWORD returnWithin = shows ? 30000 : kPromptly;
        switch (row.target) {
        case Export::Warning:
            EXPECT_EQ(calls.warning->Result(returnWithin), expected.result);
            break;
        case Export::WarningEx:
            EXPECT_EQ(calls.warning->Result(returnWithin), expected.result);
            EXPECT_EQ(calls.warning->ticked(), 0) << "the check box's answer";
            break;
        case Export::Notice:
            EXPECT_EQ(calls.notice->returned() != nullptr, expected.thread);
            break;
        case Export::Waiting:
            EXPECT_TRUE(calls.instructions->Returned(returnWithin)) << "the export did not return";
            break;
        case Export::Informational:
            break;
        }

        // A threaded export starts at most its one thread, which ends with
        // exit code 0 (even when it ended before the export stored its
        // handle); the others run on the caller's thread.
        const std::vector<StartedThread> started = Since(monitor.StartedThreads(), threadsBefore);
        ASSERT_EQ(started.size(), expected.thread && threaded ? 1u : 0u) << "threads started";
        for (const StartedThread& thread : started) {
            ASSERT_EQ(WaitForSingleObject(thread.handle, 30000), WAIT_OBJECT_0) << "the thread did not end";
            DWORD exitCode = 1;
            EXPECT_TRUE(GetExitCodeThread(thread.handle, &exitCode));
            EXPECT_EQ(exitCode, 0u);
            if (row.target == Export::Notice) {
                EXPECT_EQ(calls.notice->returned(), thread.libraryHandle) << "not the handle of its thread";
            }
        }
        // The record is copied once, with LocalAlloc (and released: below).
        EXPECT_EQ(monitor.Calls(Api::LocalAlloc) - copiesBefore, failure.nullRecord ? 0 : 1) << "copies";
        if (!shows) {
            const int failedDialogs = failure.api == Api::DialogBoxParamW ? 1 : 0;
            EXPECT_EQ(monitor.Calls(Api::DialogBoxParamW) - dialogsBefore, failedDialogs) << "windows created";
            EXPECT_TRUE(Since(monitor.LibraryLoads(), loadsBefore).empty()) << "the caller's library was loaded";
        }
        if (failure.api != Api::Count) {
            EXPECT_GT(monitor.Calls(failure.api), failure.skip) << "the failing call was never made: "
                                                                << ApiName(failure.api);
        }

        if (const DialogDriver* earlier = calls.earlier()) {
            EXPECT_TRUE(IsWindow(earlier->dialog())) << "the dialog before ended";
            EXPECT_TRUE(calls.earlierNotice ? calls.earlierNotice->Close() : calls.earlierInstructions->Close());
        }
        calls.Reset();
        EXPECT_EQ(WaitForNoLeaks(monitor), "");
        EXPECT_EQ(monitor.StrayCloses(), 0) << "a handle closed twice, or one the library never had";
        EXPECT_TRUE(ProcessDialogs().empty()) << "a dialog is still open";
        EXPECT_TRUE(monitor.HelpCalls().empty());
        ExpectStored(expected.stored);
    }
}

}  // namespace
