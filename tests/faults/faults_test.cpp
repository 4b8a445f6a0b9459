// Every export through the library, with one platform call made to fail at a
// time: what the caller gets back, whether a dialog shows and with which
// texts, where it goes, what reaches the registry, and that nothing the
// library made is left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_probe.h"
#include "dll_monitor.h"
#include "fault_support.h"
#include "resource.h"
#include "test_paths.h"

namespace {

const wchar_t kSettingsRoot[] = L"Software\\Velmoracrestwyn\\DocEventDlgFaults";
const wchar_t kSettingsSubKey[] = L"DocEventDlgFaults\\run";
const wchar_t kSettingsKey[] = L"Software\\Velmoracrestwyn\\DocEventDlgFaults\\run";
const wchar_t kMessage[] = L"The toner is low.";

constexpr LANGID kGerman = 0x0407;
constexpr int kAll = 1000;  // fails every call of the kind during the row

// IDs of the sample string library.
constexpr uint32_t kWarningTitleId = 3000;
constexpr uint32_t kWarningCancelId = 3001;
constexpr uint32_t kStep1OutputBinId = 3150;
constexpr uint32_t kStep2Tray1Id = 3151;
constexpr uint32_t kStep3GoOrCheckId = 3152;

enum class Target { Warning, JobStorage, DuplexInformational, DuplexWaiting };

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

enum class Stored { Nothing, KeyOnly, Value };

struct FaultRow {
    const char* name;
    Target target;
    Api api;
    int skip;
    int count;  // 0: nothing fails
    // Expected:
    int32_t warningResult;  // IShowWarningDialog
    bool threadReturned;    // VJobStorageDialog: a handle came back
    Texts texts;
    Place place = Place::Any;
    Stored stored = Stored::Nothing;  // after OK on the job storage notice
    int plainPicture = -1;            // LoadBitmapW rows: the frame (0-2) that stays plain
};

const FaultRow kRows[] = {
    // The warning, on the caller's thread.
    {"warning, nothing fails", Target::Warning, Api::LocalAlloc, 0, 0, 1, false, Texts::Localized},
    {"warning, no memory for the copy", Target::Warning, Api::LocalAlloc, 0, 1, 0, false, Texts::None},
    {"warning, no memory for the state", Target::Warning, Api::Malloc, 0, 1, 0, false, Texts::None},
    {"warning, dialog not created", Target::Warning, Api::DialogBoxParamW, 0, 1, -1, false, Texts::None},
    {"warning, library not loaded", Target::Warning, Api::LoadLibraryExW, 0, 1, 1, false, Texts::Fallback},
    {"warning, no string block found", Target::Warning, Api::FindResourceExW, 0, kAll, 1, false, Texts::Fallback},
    {"warning, first block not found", Target::Warning, Api::FindResourceExW, 0, 1, 1, false,
     Texts::FirstFallback},
    {"warning, no block loaded", Target::Warning, Api::LoadResource, 0, kAll, 1, false, Texts::Fallback},

    // The job storage notice, on a thread of its own; OK is pressed when it shows.
    {"job storage, nothing fails", Target::JobStorage, Api::LocalAlloc, 0, 0, 0, true, Texts::Localized,
     Place::Centred, Stored::Value},
    {"job storage, no memory for the copy", Target::JobStorage, Api::LocalAlloc, 0, 1, 0, false, Texts::None},
    {"job storage, no thread", Target::JobStorage, Api::CreateThread, 0, 1, 0, false, Texts::None},
    {"job storage, no memory for the thread's start", Target::JobStorage, Api::Malloc, 0, 1, 0, false, Texts::None},
    {"job storage, no memory for the state", Target::JobStorage, Api::Malloc, 1, 1, 0, true, Texts::None},
    {"job storage, dialog not created", Target::JobStorage, Api::DialogBoxParamW, 0, 1, 0, true, Texts::None},
    {"job storage, no dialog rectangle", Target::JobStorage, Api::GetWindowRect, 0, 1, 0, true, Texts::Localized,
     Place::Unplaced, Stored::Value},
    {"job storage, no foreground rectangle", Target::JobStorage, Api::GetWindowRect, 1, 1, 0, true,
     Texts::Localized, Place::Unplaced, Stored::Value},
    {"job storage, library not loaded", Target::JobStorage, Api::LoadLibraryExW, 0, 1, 0, true, Texts::Fallback,
     Place::Centred, Stored::Value},
    {"job storage, no string block found", Target::JobStorage, Api::FindResourceExW, 0, kAll, 0, true,
     Texts::Fallback, Place::Centred, Stored::Value},
    {"job storage, first block not found", Target::JobStorage, Api::FindResourceExW, 0, 1, 0, true,
     Texts::FirstFallback, Place::Centred, Stored::Value},
    {"job storage, no block loaded", Target::JobStorage, Api::LoadResource, 0, kAll, 0, true, Texts::Fallback,
     Place::Centred, Stored::Value},
    {"job storage, first block not loaded", Target::JobStorage, Api::LoadResource, 0, 1, 0, true,
     Texts::FirstFallback, Place::Centred, Stored::Value},
    {"job storage, key not created", Target::JobStorage, Api::RegCreateKeyExW, 0, 1, 0, true, Texts::Localized,
     Place::Centred, Stored::Nothing},
    {"job storage, value not written", Target::JobStorage, Api::RegSetValueExW, 0, 1, 0, true, Texts::Localized,
     Place::Centred, Stored::KeyOnly},

    // The two-sided instructions, informational: on a thread of its own.
    {"duplex informational, nothing fails", Target::DuplexInformational, Api::LocalAlloc, 0, 0, 0, false,
     Texts::Localized, Place::Centred},
    {"duplex informational, no memory for the copy", Target::DuplexInformational, Api::LocalAlloc, 0, 1, 0, false,
     Texts::None},
    {"duplex informational, no thread", Target::DuplexInformational, Api::CreateThread, 0, 1, 0, false,
     Texts::None},
    {"duplex informational, no memory for the thread's start", Target::DuplexInformational, Api::Malloc, 0, 1, 0,
     false, Texts::None},
    {"duplex informational, no memory for the state", Target::DuplexInformational, Api::Malloc, 1, 1, 0, false,
     Texts::None},
    {"duplex informational, dialog not created", Target::DuplexInformational, Api::DialogBoxParamW, 0, 1, 0, false,
     Texts::None},
    {"duplex informational, no dialog rectangle", Target::DuplexInformational, Api::GetWindowRect, 0, 1, 0, false,
     Texts::Localized, Place::OnScreen},
    {"duplex informational, no foreground rectangle", Target::DuplexInformational, Api::GetWindowRect, 1, 1, 0,
     false, Texts::Localized, Place::OnScreen},
    {"duplex informational, no rectangle at all", Target::DuplexInformational, Api::GetWindowRect, 0, 2, 0, false,
     Texts::Localized, Place::OnScreen},
    {"duplex informational, library not loaded", Target::DuplexInformational, Api::LoadLibraryExW, 0, 1, 0, false,
     Texts::Fallback, Place::Centred},
    {"duplex informational, no string block found", Target::DuplexInformational, Api::FindResourceExW, 0, kAll, 0,
     false, Texts::Fallback, Place::Centred},
    {"duplex informational, first block not found", Target::DuplexInformational, Api::FindResourceExW, 0, 1, 0,
     false, Texts::FirstFallback, Place::Centred},
    {"duplex informational, no block loaded", Target::DuplexInformational, Api::LoadResource, 0, kAll, 0, false,
     Texts::Fallback, Place::Centred},
    {"duplex informational, step 1 picture not loaded", Target::DuplexInformational, Api::LoadBitmapW, 0, 1, 0,
     false, Texts::Localized, Place::Centred, Stored::Nothing, 0},
    {"duplex informational, step 2 picture not loaded", Target::DuplexInformational, Api::LoadBitmapW, 1, 1, 0,
     false, Texts::Localized, Place::Centred, Stored::Nothing, 1},
    {"duplex informational, step 3 picture not loaded", Target::DuplexInformational, Api::LoadBitmapW, 2, 1, 0,
     false, Texts::Localized, Place::Centred, Stored::Nothing, 2},

    // The two-sided instructions, waiting: on the caller's thread.
    {"duplex waiting, nothing fails", Target::DuplexWaiting, Api::LocalAlloc, 0, 0, 0, false, Texts::Localized,
     Place::Centred},
    {"duplex waiting, no memory for the copy", Target::DuplexWaiting, Api::LocalAlloc, 0, 1, 0, false, Texts::None},
    {"duplex waiting, no memory for the state", Target::DuplexWaiting, Api::Malloc, 0, 1, 0, false, Texts::None},
    {"duplex waiting, dialog not created", Target::DuplexWaiting, Api::DialogBoxParamW, 0, 1, 0, false,
     Texts::None},
    {"duplex waiting, no dialog rectangle", Target::DuplexWaiting, Api::GetWindowRect, 0, 1, 0, false,
     Texts::Localized, Place::OnScreen},
    {"duplex waiting, no foreground rectangle", Target::DuplexWaiting, Api::GetWindowRect, 1, 1, 0, false,
     Texts::Localized, Place::OnScreen},
    {"duplex waiting, library not loaded", Target::DuplexWaiting, Api::LoadLibraryExW, 0, 1, 0, false,
     Texts::Fallback, Place::Centred},
    {"duplex waiting, first block not loaded", Target::DuplexWaiting, Api::LoadResource, 0, 1, 0, false,
     Texts::FirstFallback, Place::Centred},
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

std::wstring Shown(HWND dialog, int control)
{
    return control == 0 ? WindowText(dialog) : ControlText(dialog, control);
}

void ExpectTexts(HWND dialog, const ExpectedText* texts, size_t count, Texts kind)
{
    for (size_t i = 0; i < count; ++i) {
        const bool fallback = kind == Texts::Fallback || (kind == Texts::FirstFallback && i == 0);
        EXPECT_EQ(Shown(dialog, texts[i].control), fallback ? texts[i].fallback : texts[i].localized)
            << "control " << texts[i].control;
    }
}

void ExpectDialogTexts(HWND dialog, Target target, Texts kind)
{
    switch (target) {
    case Target::Warning:
        ExpectTexts(dialog, kWarningTexts, std::size(kWarningTexts), kind);
        EXPECT_EQ(ControlText(dialog, IDC_WARNING_MESSAGE), kMessage);
        break;
    case Target::JobStorage:
        ExpectTexts(dialog, kJobStorageTexts, std::size(kJobStorageTexts), kind);
        EXPECT_EQ(ControlText(dialog, IDC_JOB_USER_NAME), L"anna");
        EXPECT_EQ(ControlText(dialog, IDC_JOB_JOB_NAME), L"Report");
        break;
    case Target::DuplexInformational:
        ExpectTexts(dialog, kDuplexTexts, std::size(kDuplexTexts), kind);
        break;
    case Target::DuplexWaiting:
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

// Repaints the dialog with one of the next three picture loads failing, and
// checks that only that frame stays plain.
void ExpectPlainPicture(DllMonitor& monitor, HWND dialog, int plain)
{
    // The first paints are over before a load is made to fail: RDW_UPDATENOW
    // has the dialog's thread paint whatever is pending, and waits for it.
    RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    monitor.Fail(Api::LoadBitmapW, plain, 1);
    const int before = monitor.Calls(Api::LoadBitmapW);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (int i = 0; i < 3000 && monitor.Calls(Api::LoadBitmapW) < before + 3; ++i) {
        Sleep(10);
    }
    ASSERT_GE(monitor.Calls(Api::LoadBitmapW), before + 3) << "no repaint";
    // The paint that made the last load has returned once the thread takes
    // its next message.
    ASSERT_TRUE(WaitUntilPostedHandled(dialog));
    EXPECT_EQ(monitor.Outstanding(Owned::Bitmap), 0);
    EXPECT_EQ(monitor.Outstanding(Owned::MemoryDc), 0);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (int frame = 0; frame < 3; ++frame) {
        const int unlike = PixelsUnlike(GetDlgItem(dialog, kPictureFrames[frame]), face);
        if (frame == plain) {
            EXPECT_EQ(unlike, 0) << "frame " << frame << " should be plain";
        } else {
            EXPECT_GT(unlike, 1000) << "frame " << frame << " should show its picture";
        }
    }
}

WarningDialogRequest WarningRequest(const std::wstring& library)
{
    WarningDialogRequest request{};
    request.titleStringId = kWarningTitleId;
    request.showDialog = 1;
    SetField(request.messageText, kMessage);
    request.showCheckBox = 1;
    request.okStringId = IDS_OK_BUTTON;
    request.cancelStringId = kWarningCancelId;
    SetField(request.resourceLibraryPath, library);
    return request;
}

JobStorageRequest JobStorage(const std::wstring& library)
{
    JobStorageRequest request{};
    SetField(request.userName, L"anna");
    SetField(request.jobName, L"Report");
    SetField(request.locationLine1, L"Printer memory");
    SetField(request.settingsSubKey, kSettingsSubKey);
    SetField(request.resourceLibraryPath, library);
    SetField(request.helpFilePath, BinPath(L"missing.hlp"));
    return request;
}

DuplexInstructionsRequest Duplex(const std::wstring& library, bool waiting)
{
    DuplexInstructionsRequest request{};
    SetField(request.resourceLibraryPath, library);
    SetField(request.helpFilePath, BinPath(L"missing.hlp"));
    request.step1BitmapId = 105;
    request.step1StringId = kStep1OutputBinId;
    request.step2BitmapId = 114;
    request.step2StringId = kStep2Tray1Id;
    request.step3BitmapId = 109;
    request.step3StringId = kStep3GoOrCheckId;
    request.waitForContinue = waiting ? 1 : 0;
    return request;
}

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

TEST_F(Faults, EachFailureEndsAsDesignedAndLeavesNothingBehind)
{
    const HMODULE module = DocEventDlgModule();
    ASSERT_NE(module, nullptr);
    const std::wstring library = BinPath(L"doceventdlg-strings.dll");
    const RECT place{640, 420, 1140, 820};
    ForegroundWindow foreground(place);
    ASSERT_NE(foreground.window(), nullptr);

    for (const FaultRow& row : kRows) {
        SCOPED_TRACE(row.name);
        DeleteUserKey(kSettingsRoot);
        ASSERT_TRUE(foreground.Activate());
        UserLanguageOverride german(module, kGerman);
        ASSERT_TRUE(german.active());
        DllMonitor monitor(module);
        ASSERT_TRUE(monitor.complete());
        if (row.count > 0 && row.api != Api::LoadBitmapW) {
            monitor.Fail(row.api, row.skip, row.count);
        }
        const bool shows = row.texts != Texts::None;

        HWND dialog = nullptr;
        std::unique_ptr<BackgroundCall> call;
        const WarningDialogRequest warning = WarningRequest(library);
        const JobStorageRequest jobStorage = JobStorage(library);
        const DuplexInstructionsRequest duplex = Duplex(library, row.target == Target::DuplexWaiting);
        switch (row.target) {
        case Target::Warning:
            call = std::make_unique<BackgroundCall>([&warning] { return ShowWarningDialogExport()(&warning); });
            dialog = shows ? WaitForDialog(call->threadId(), 30000) : nullptr;
            break;
        case Target::JobStorage: {
            const HANDLE thread = JobStorageDialogExport()(&jobStorage);
            EXPECT_EQ(thread != nullptr, row.threadReturned);
            dialog = shows ? WaitForDialog(0, 30000) : nullptr;
            break;
        }
        case Target::DuplexInformational:
            DisplayDialogExport()(&duplex);
            dialog = shows ? WaitForDialog(0, 30000) : nullptr;
            break;
        case Target::DuplexWaiting:
            call = std::make_unique<BackgroundCall>([&duplex] {
                DisplayDialogExport()(&duplex);
                return intptr_t{0};
            });
            dialog = shows ? WaitForDialog(call->threadId(), 30000) : nullptr;
            break;
        }

        if (shows) {
            ASSERT_NE(dialog, nullptr) << "no dialog";
            ExpectDialogTexts(dialog, row.target, row.texts);
            ExpectPlace(dialog, foreground.window(), row.place);
            if (row.plainPicture >= 0) {
                ExpectPlainPicture(monitor, dialog, row.plainPicture);
            }
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
            EXPECT_TRUE(WaitForWindowGone(dialog, 30000)) << "the dialog did not end";
        }
        if (call) {
            EXPECT_TRUE(call->Wait(30000)) << "the export did not return";
            if (row.target == Target::Warning) {
                EXPECT_EQ(call->result(), row.warningResult);
            }
        }

        EXPECT_EQ(WaitForNoLeaks(monitor), "");
        EXPECT_TRUE(ProcessDialogs().empty()) << "a dialog is still open";
        if (row.count > 0) {
            EXPECT_GT(monitor.Calls(row.api), row.skip) << "the failing call was never made: " << ApiName(row.api);
        }

        DWORD type = 0;
        std::vector<BYTE> data;
        const bool hasValue = ReadUserValue(kSettingsKey, L"ShowJobStorageDlg", type, data);
        switch (row.stored) {
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
        EXPECT_TRUE(monitor.HelpCalls().empty());
        call.reset();
    }
}

}  // namespace

