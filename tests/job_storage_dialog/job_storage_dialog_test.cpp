// The job storage notice through the library's export: its thread, its texts
// and fonts, its templates, the preference OK stores, its help, the handles
// the module keeps, and its failure paths.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "bare_thread.h"
#include "dll_monitor.h"
#include "import_patch.h"
#include "notice_support.h"
#include "resource.h"

namespace {

constexpr int kAllTextControls[] = {IDC_JOB_LOCATION_LINE1, IDC_JOB_LOCATION_LINE2, IDC_JOB_LOCATION_LINE3,
                                    IDC_JOB_USER_NAME,      IDC_JOB_JOB_NAME};

struct FallbackText {
    int controlId;  // 0: the caption
    const wchar_t* text;
};

const FallbackText kFallbackTexts[] = {
    {0, L"Job Storage Identification"},
    {IDC_JOB_USER_NAME_LABEL, L"User Name:"},
    {IDC_JOB_JOB_NAME_LABEL, L"Job Name:"},
    {IDC_JOB_HEADING, L"This print Job will be stored at:"},
    {IDC_JOB_DONT_SHOW, L"In the future, do not show this information."},
    {IDOK, L"&OK"},
    {IDC_JOB_HELP, L"&Help"},
};

std::wstring TextOf(HWND dialog, int controlId)
{
    return controlId == 0 ? WindowText(dialog) : ControlText(dialog, controlId);
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t unit : text) {
        narrow += unit < 128 ? static_cast<char>(unit) : '?';
    }
    return narrow;
}

LONG FontWeight(HWND control)
{
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW logFont{};
    if (font == nullptr || GetObjectW(font, sizeof(logFont), &logFont) == 0) {
        return -1;
    }
    return logFont.lfWeight;
}

// The handles the library closed after the first `skip` it closed.
std::vector<HANDLE> ClosedSince(const DllMonitor& monitor, size_t skip)
{
    const std::vector<HANDLE> closed = monitor.ClosedHandles();
    return std::vector<HANDLE>(closed.begin() + static_cast<std::ptrdiff_t>(std::min(skip, closed.size())), closed.end());
}

// Clicks a button of a dialog on another thread as the mouse would.
void Click(HWND dialog, int controlId) { PostMessageW(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0); }

class JobStorageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(DocEventDlgModule(), nullptr);
        ASSERT_NE(JobStorageDialogExport(), nullptr);
    }
    void TearDown() override { CloseAllDialogs(); }
};

// --- The call and its thread --------------------------------------------

// Holds every DialogBoxParamW of the library until released.
std::atomic<HANDLE> g_dialogGate{nullptr};
using DialogBoxParamFunction = INT_PTR(WINAPI*)(HINSTANCE, LPCWSTR, HWND, DLGPROC, LPARAM);
DialogBoxParamFunction g_realDialogBoxParam = nullptr;

INT_PTR WINAPI GatedDialogBoxParam(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC procedure, LPARAM parameter)
{
    WaitForSingleObject(g_dialogGate.load(), 10000);
    return g_realDialogBoxParam(instance, name, owner, procedure, parameter);
}

TEST_F(JobStorageTest, ReturnsBeforeTheDialogAndRunsItOwnerlessOnTheReturnedThread)
{
    const HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_dialogGate = gate;
    ImportPatch patch(DocEventDlgModule(), "USER32.dll", "DialogBoxParamW",
                      reinterpret_cast<const void*>(&GatedDialogBoxParam));
    ASSERT_TRUE(patch.active());
    g_realDialogBoxParam = patch.original<DialogBoxParamFunction>();

    const JobStorageRequest request = BasicJobStorageRequest();
    Notice notice(request, false);
    ASSERT_NE(notice.returned(), nullptr);
    ASSERT_NE(notice.threadId(), 0u);
    EXPECT_NE(notice.threadId(), GetCurrentThreadId());
    // The call came back while its thread is held before the dialog.
    EXPECT_TRUE(ThreadDialogs(notice.threadId()).empty());
    EXPECT_NE(WaitForSingleObject(notice.thread(), 0), WAIT_OBJECT_0);

    SetEvent(gate);
    const HWND dialog = notice.WaitDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(dialog, nullptr), notice.threadId());
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
    EXPECT_TRUE(notice.Close());
    CloseHandle(gate);
}

TEST_F(JobStorageTest, ShowsTheRecordAsItWasAtTheCall)
{
    ScratchSettingsKey settings;
    auto record = std::make_unique<JobStorageRequest>(BasicJobStorageRequest());
    SetField(record->settingsSubKey, settings.subKey());
    record->rangeSuffixFlag1 = 1;
    record->rangeSuffixFlag2 = 1;

    const HANDLE returned = JobStorageDialogExport()(record.get());
    const DWORD threadId = returned != nullptr ? GetThreadId(returned) : 0;
    // The caller reuses and then frees its record at once.
    std::fill_n(reinterpret_cast<wchar_t*>(record.get()), sizeof(JobStorageRequest) / sizeof(wchar_t), L'X');
    record.reset();

    Notice notice(returned, threadId);
    ASSERT_NE(notice.dialog(), nullptr);
    EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_USER_NAME), L"alice");
    EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_JOB_NAME), L"Scan(1-99)");
    EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_LOCATION_LINE1), L"Printer: Office 3");
    EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_LOCATION_LINE2), L"Mailbox: Finance");
    EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_LOCATION_LINE3), L"Retain: 7 days");
    EXPECT_EQ(WindowText(notice.dialog()), L"Job Storage Identification");
    // The key named at the time of the call takes the preference.
    Click(notice.dialog(), IDOK);
    ASSERT_TRUE(notice.WaitEnded());
    const auto value = settings.Read();
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->data, std::vector<BYTE>{0x01});
}

// --- Texts and fonts -----------------------------------------------------

TEST_F(JobStorageTest, FallbackTextsWithoutAUsableLibrary)
{
    const std::wstring libraries[] = {L"", L"C:\\no such folder\\strings.dll",
                                      BinPath(L"doceventdlg.dll")};  // a library without string tables
    for (const std::wstring& library : libraries) {
        SCOPED_TRACE("library \"" + Narrow(library) + "\"");
        JobStorageRequest request = BasicJobStorageRequest();
        SetField(request.resourceLibraryPath, library);
        Notice notice(request);
        ASSERT_NE(notice.dialog(), nullptr);
        for (const FallbackText& expected : kFallbackTexts) {
            SCOPED_TRACE("control " + std::to_string(expected.controlId));
            EXPECT_EQ(TextOf(notice.dialog(), expected.controlId), expected.text);
        }
        EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_USER_NAME), L"alice");
        EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_JOB_NAME), L"Scan");
        EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_LOCATION_LINE3), L"Retain: 7 days");
        EXPECT_TRUE(notice.Close());
    }
}

TEST_F(JobStorageTest, SampleLibraryTextsInTheUsersLanguage)
{
    struct Case {
        LANGID language;
        std::vector<FallbackText> texts;
    };
    const Case cases[] = {
        {1033,
         {{0, L"Job Storage Identification"}, {IDC_JOB_USER_NAME_LABEL, L"User Name:"}, {IDOK, L"&OK"},
          {IDC_JOB_HELP, L"&Help"}}},
        {1031,
         {{0, L"Identifikation des gespeicherten Auftrags"},
          {IDC_JOB_USER_NAME_LABEL, L"Benutzername:"},
          {IDC_JOB_JOB_NAME_LABEL, L"Auftragsname:"},
          {IDC_JOB_HEADING, L"Dieser Druckauftrag wird gespeichert unter:"},
          {IDC_JOB_DONT_SHOW, L"Diese Information k\u00fcnftig nicht mehr anzeigen."},
          {IDOK, L"&OK"},
          {IDC_JOB_HELP, L"&Hilfe"}}},
        {1034,
         {{0, L"Identificaci\u00f3n del trabajo almacenado"},
          {IDC_JOB_USER_NAME_LABEL, L"Usuario:"},
          {IDC_JOB_JOB_NAME_LABEL, L"Trabajo:"},
          {IDC_JOB_HEADING, L"Este trabajo de impresi\u00f3n se almacenar\u00e1 en:"},
          {IDC_JOB_DONT_SHOW, L"No volver a mostrar esta informaci\u00f3n."},
          {IDOK, L"&Aceptar"},
          {IDC_JOB_HELP, L"Ay&uda"}}},
        {1037,
         {{0, L"\u05d6\u05d9\u05d4\u05d5\u05d9 \u05e2\u05d1\u05d5\u05d3\u05d4 \u05de\u05d0\u05d5\u05d7\u05e1\u05e0\u05ea"},
          {IDC_JOB_USER_NAME_LABEL, L"\u05e9\u05dd \u05de\u05e9\u05ea\u05de\u05e9:"}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE("language " + std::to_string(test.language));
        UserLanguageOverride language(DocEventDlgModule(), test.language);
        ASSERT_TRUE(language.active());
        JobStorageRequest request = BasicJobStorageRequest();
        SetField(request.resourceLibraryPath, BinPath(L"doceventdlg-strings.dll"));
        Notice notice(request);
        ASSERT_NE(notice.dialog(), nullptr);
        for (const FallbackText& expected : test.texts) {
            SCOPED_TRACE("control " + std::to_string(expected.controlId));
            EXPECT_EQ(TextOf(notice.dialog(), expected.controlId), expected.text);
        }
        // The caller's own texts are shown as given, never looked up.
        EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_USER_NAME), L"alice");
        EXPECT_TRUE(notice.Close());
    }
}

TEST_F(JobStorageTest, NamesAndHeadingInBoldOthersNot)
{
    Notice notice(BasicJobStorageRequest());
    ASSERT_NE(notice.dialog(), nullptr);
    const auto dialogFont = reinterpret_cast<HFONT>(SendMessageW(notice.dialog(), WM_GETFONT, 0, 0));
    LOGFONTW dialogLogFont{};
    ASSERT_NE(GetObjectW(dialogFont, sizeof(dialogLogFont), &dialogLogFont), 0);
    for (const int bold : {IDC_JOB_USER_NAME, IDC_JOB_JOB_NAME, IDC_JOB_HEADING}) {
        SCOPED_TRACE("control " + std::to_string(bold));
        const HWND control = GetDlgItem(notice.dialog(), bold);
        EXPECT_EQ(FontWeight(control), FW_BOLD);
        LOGFONTW logFont{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(logFont), &logFont);
        // Only the weight differs from the dialog's font.
        EXPECT_EQ(logFont.lfHeight, dialogLogFont.lfHeight);
        EXPECT_EQ(std::wstring(logFont.lfFaceName), std::wstring(dialogLogFont.lfFaceName));
    }
    for (const int plain : {IDC_JOB_LOCATION_LINE1, IDC_JOB_USER_NAME_LABEL, IDC_JOB_JOB_NAME_LABEL,
                            IDC_JOB_DONT_SHOW, IDOK, IDC_JOB_HELP}) {
        SCOPED_TRACE("control " + std::to_string(plain));
        EXPECT_LT(FontWeight(GetDlgItem(notice.dialog(), plain)), FW_BOLD);
    }
    EXPECT_TRUE(notice.Close());
}

TEST_F(JobStorageTest, JobNameTakesTheRangeOnlyWhenBothFlagsAreOne)
{
    struct Case {
        const wchar_t* jobName;
        uint32_t flag1;
        uint32_t flag2;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"Scan", 1, 1, L"Scan(1-99)"},
        {L"Scan", 1, 0, L"Scan"},
        {L"Scan", 0, 1, L"Scan"},
        {L"Scan", 2, 1, L"Scan"},
        {L"Scan", 1, 2, L"Scan"},
        {L"Scan", 0x101, 1, L"Scan"},
        {L"", 1, 1, L"(1-99)"},
        {L"ABCDEFGHIJKLMNOP", 1, 1, L"ABCDEFGHIJKLMNOP(1-99)"},
        {L"ABCDEFGHIJKLMNOP", 0, 0, L"ABCDEFGHIJKLMNOP"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Narrow(test.jobName) + " flags " + std::to_string(test.flag1) + "," +
                     std::to_string(test.flag2));
        JobStorageRequest request = BasicJobStorageRequest();
        SetField(request.jobName, test.jobName);
        request.rangeSuffixFlag1 = test.flag1;
        request.rangeSuffixFlag2 = test.flag2;
        Notice notice(request);
        ASSERT_NE(notice.dialog(), nullptr);
        EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_JOB_NAME), test.expected);
        EXPECT_TRUE(notice.Close());
    }
}

TEST_F(JobStorageTest, FieldsWithoutTerminatorEndAtTheirWidth)
{
    JobStorageRequest request = BasicJobStorageRequest();
    std::fill(std::begin(request.userName), std::end(request.userName), L'U');
    std::fill(std::begin(request.jobName), std::end(request.jobName), L'J');
    std::fill(std::begin(request.locationLine1), std::end(request.locationLine1), L'1');
    std::fill(std::begin(request.locationLine2), std::end(request.locationLine2), L'2');
    std::fill(std::begin(request.locationLine3), std::end(request.locationLine3), L'3');
    request.rangeSuffixFlag1 = 1;
    request.rangeSuffixFlag2 = 1;
    Notice notice(request);
    ASSERT_NE(notice.dialog(), nullptr);
    EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_USER_NAME), std::wstring(16, L'U'));
    EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_JOB_NAME), std::wstring(16, L'J') + L"(1-99)");
    EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_LOCATION_LINE1), std::wstring(255, L'1'));
    EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_LOCATION_LINE2), std::wstring(255, L'2'));
    EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_LOCATION_LINE3), std::wstring(255, L'3'));
    EXPECT_TRUE(notice.Close());
}

TEST_F(JobStorageTest, MirroredTemplateOnlyForArabicAndHebrewUsers)
{
    const struct {
        LANGID language;
        bool mirrored;
    } cases[] = {{1033, false}, {1031, false}, {1065, false}, {1034, false},
                 {1025, true},  {1037, true},  {0x0c01, true}, {0x040d, true}};
    for (const auto& test : cases) {
        SCOPED_TRACE("language " + std::to_string(test.language));
        UserLanguageOverride language(DocEventDlgModule(), test.language);
        ASSERT_TRUE(language.active());
        Notice notice(BasicJobStorageRequest());
        ASSERT_NE(notice.dialog(), nullptr);
        const LONG_PTR exStyle = GetWindowLongPtrW(notice.dialog(), GWL_EXSTYLE);
        EXPECT_EQ((exStyle & WS_EX_LAYOUTRTL) != 0, test.mirrored);
        // Template 103 centres the location lines; 102 sets them left.
        const LONG_PTR lineStyle = GetWindowLongPtrW(GetDlgItem(notice.dialog(), IDC_JOB_LOCATION_LINE1), GWL_STYLE);
        EXPECT_EQ((lineStyle & SS_TYPEMASK) == SS_CENTER, test.mirrored);
        // The same controls and texts either way.
        EXPECT_EQ(ControlText(notice.dialog(), IDC_JOB_HELP), L"&Help");
        for (const int control : kAllTextControls) {
            EXPECT_NE(GetDlgItem(notice.dialog(), control), nullptr) << control;
        }
        EXPECT_TRUE(notice.Close());
    }
}

// --- The stored preference -----------------------------------------------

enum class Ending { OkButton, EnterKey };

TEST_F(JobStorageTest, OkStoresWhetherToShowAgain)
{
    const struct {
        const char* name;
        bool check;
        Ending ending;
        BYTE expected;
    } cases[] = {
        {"OK, box clear", false, Ending::OkButton, 0x01},
        {"OK, box checked", true, Ending::OkButton, 0x00},
        {"Enter, box clear", false, Ending::EnterKey, 0x01},
        {"Enter, box checked", true, Ending::EnterKey, 0x00},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        ScratchSettingsKey settings;
        ASSERT_FALSE(settings.Exists());
        JobStorageRequest request = BasicJobStorageRequest();
        SetField(request.settingsSubKey, settings.subKey());
        Notice notice(request);
        ASSERT_NE(notice.dialog(), nullptr);
        const HWND checkBox = GetDlgItem(notice.dialog(), IDC_JOB_DONT_SHOW);
        EXPECT_EQ(SendMessageW(checkBox, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        if (test.check) {
            Click(notice.dialog(), IDC_JOB_DONT_SHOW);
        }
        if (test.ending == Ending::OkButton) {
            Click(notice.dialog(), IDOK);
        } else {
            // Focus on the check box, so that Enter reaches the default button.
            PostMessageW(notice.dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(checkBox), TRUE);
            PressKey(notice.dialog(), VK_RETURN);
        }
        ASSERT_TRUE(notice.WaitEnded());
        const auto value = settings.Read();
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(value->data, std::vector<BYTE>{test.expected});
    }
}

TEST_F(JobStorageTest, SecondOkOverwrites)
{
    ScratchSettingsKey settings;
    JobStorageRequest request = BasicJobStorageRequest();
    SetField(request.settingsSubKey, settings.subKey());
    for (const bool check : {true, false, true}) {
        SCOPED_TRACE(check ? "checked" : "clear");
        Notice notice(request);
        ASSERT_NE(notice.dialog(), nullptr);
        if (check) {
            Click(notice.dialog(), IDC_JOB_DONT_SHOW);
        }
        Click(notice.dialog(), IDOK);
        ASSERT_TRUE(notice.WaitEnded());
        const auto value = settings.Read();
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->data, std::vector<BYTE>{static_cast<BYTE>(check ? 0x00 : 0x01)});
    }
}

TEST_F(JobStorageTest, CloseBoxEndsWithoutWritingAndEscapeDoesNothing)
{
    ScratchSettingsKey settings;
    JobStorageRequest request = BasicJobStorageRequest();
    SetField(request.settingsSubKey, settings.subKey());
    Notice notice(request);
    ASSERT_NE(notice.dialog(), nullptr);
    Click(notice.dialog(), IDC_JOB_DONT_SHOW);

    PressKey(notice.dialog(), VK_ESCAPE);
    PostMessageW(notice.dialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntilPostedHandled(notice.dialog()));
    EXPECT_TRUE(IsWindow(notice.dialog()));
    EXPECT_NE(WaitForSingleObject(notice.thread(), 0), WAIT_OBJECT_0);

    ASSERT_TRUE(notice.Close());
    EXPECT_FALSE(settings.Read().has_value());
    EXPECT_FALSE(settings.Exists());
}

// --- Help ---------------------------------------------------------------

TEST_F(JobStorageTest, HelpShowsThePopupTopicAndTheNoticeStays)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    ScratchSettingsKey settings;
    JobStorageRequest request = BasicJobStorageRequest();
    SetField(request.settingsSubKey, settings.subKey());
    SetField(request.helpFilePath, L"C:\\drivers\\help\\printer.hlp");
    Notice notice(request);
    ASSERT_NE(notice.dialog(), nullptr);

    Click(notice.dialog(), IDC_JOB_HELP);
    // Once the click is handled, every help request it made is recorded.
    ASSERT_TRUE(WaitUntilPostedHandled(notice.dialog()));
    const std::vector<HelpCall> calls = monitor.HelpCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].window, GetDlgItem(notice.dialog(), IDC_JOB_HELP));
    EXPECT_EQ(calls[0].helpFile, L"C:\\drivers\\help\\printer.hlp");
    EXPECT_EQ(calls[0].command, static_cast<UINT>(HELP_WM_HELP));
    EXPECT_EQ(calls[0].ids, (std::array<DWORD, 4>{IDC_JOB_HELP, 15220, 0, 0}));
    EXPECT_TRUE(IsWindow(notice.dialog()));
    EXPECT_FALSE(settings.Exists());  // help is not OK

    ASSERT_TRUE(notice.Close());
}

// --- The handles the module keeps ---------------------------------------

// Two notices coming up at the same moment have crashed inside Wine 8, not in
// the library: Wine's Uniscribe (part of its gdi32) shares one text layout
// cache per font among all threads of the process, and does not guard it
// against two threads that use it at once. Two threads laying out text for the
// first time (the edit controls do so when the notice sets their texts) read
// a cache entry through null in init_script_cache (a read at 0x14), corrupt
// ntdll's heap, or crash in a window procedure while holding the heap's lock,
// which hangs the process. Windows is safe here. A notice that is already up
// holds the caches of the notice's fonts, filled, while the two come up, so
// that they only read them.
TEST_F(JobStorageTest, TwoCallsTwoDialogsAndTheSlotKeepsTheSecondHandle)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    const ThreadStartWatch watch(DocEventDlgModule());
    ASSERT_TRUE(watch.active());
    const JobStorageRequest request = BasicJobStorageRequest();
    Notice warm(request);
    ASSERT_NE(warm.dialog(), nullptr);
    ASSERT_TRUE(RunBareThread());  // empties the slot
    const size_t closedBefore = monitor.ClosedHandles().size();

    const HANDLE first = JobStorageDialogExport()(&request);
    const HANDLE firstThread = watch.last();  // the test's own handles
    const HANDLE second = JobStorageDialogExport()(&request);
    const HANDLE secondThread = watch.last();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    // The second handle replaced the first in the slot, which closed it.
    EXPECT_EQ(ClosedSince(monitor, closedBefore), std::vector<HANDLE>{first});
    const DWORD firstId = GetThreadId(firstThread);
    const DWORD secondId = GetThreadId(secondThread);
    ASSERT_NE(firstId, 0u);
    EXPECT_NE(firstId, secondId);

    Notice one(first, firstId);
    Notice two(second, secondId);
    ASSERT_NE(one.dialog(), nullptr);
    ASSERT_NE(two.dialog(), nullptr);
    EXPECT_NE(one.dialog(), two.dialog());
    EXPECT_EQ(GetWindowThreadProcessId(one.dialog(), nullptr), firstId);
    EXPECT_EQ(GetWindowThreadProcessId(two.dialog(), nullptr), secondId);

    // Any thread's detach closes the stored handle; both dialogs go on.
    EXPECT_TRUE(RunBareThread());
    EXPECT_EQ(ClosedSince(monitor, closedBefore), (std::vector<HANDLE>{first, second}));
    for (const Notice* notice : {&one, &two}) {
        DWORD_PTR answer = 0;
        EXPECT_NE(SendMessageTimeoutW(notice->dialog(), WM_NULL, 0, 0, SMTO_BLOCK, 30000, &answer), 0);
        EXPECT_EQ(WaitForSingleObject(notice->thread(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_EQ(ControlText(notice->dialog(), IDC_JOB_USER_NAME), L"alice");
    }
    EXPECT_TRUE(one.Close());
    EXPECT_TRUE(two.Close());
    EXPECT_TRUE(warm.Close());
}

// --- Failures and what is released ----------------------------------------

TEST_F(JobStorageTest, ReleasesEverythingItMade)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    JobStorageRequest request = BasicJobStorageRequest();
    SetField(request.resourceLibraryPath, BinPath(L"doceventdlg-strings.dll"));
    {
        Notice notice(request);
        ASSERT_NE(notice.dialog(), nullptr);
        EXPECT_EQ(monitor.Outstanding(Owned::LocalMemory), 0);  // the thread has taken its own copy
        EXPECT_EQ(monitor.Outstanding(Owned::Font), 1);
        EXPECT_EQ(monitor.Outstanding(Owned::Library), 1);
        ASSERT_TRUE(notice.Close());
    }
    EXPECT_TRUE(RunBareThread());
    EXPECT_EQ(monitor.Created(Owned::LocalMemory), 1);
    EXPECT_EQ(monitor.Created(Owned::Font), 1);
    EXPECT_EQ(monitor.Created(Owned::Library), 1);
    EXPECT_EQ(monitor.Created(Owned::ThreadHandle), 1);
    EXPECT_EQ(monitor.Leaks(), "");
}

TEST_F(JobStorageTest, UnwritablePreferenceStillEndsTheNotice)
{
    for (const Api failing : {Api::RegCreateKeyExW, Api::RegSetValueExW}) {
        SCOPED_TRACE(ApiName(failing));
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        ScratchSettingsKey settings;
        JobStorageRequest request = BasicJobStorageRequest();
        SetField(request.settingsSubKey, settings.subKey());
        Notice notice(request);
        ASSERT_NE(notice.dialog(), nullptr);
        monitor.Fail(failing);
        Click(notice.dialog(), IDOK);
        ASSERT_TRUE(notice.WaitEnded());
        EXPECT_EQ(monitor.Calls(failing), 1);
        EXPECT_FALSE(settings.Read().has_value());
        if (failing == Api::RegCreateKeyExW) {
            EXPECT_FALSE(settings.Exists());
            EXPECT_EQ(monitor.Calls(Api::RegSetValueExW), 0);
        }
        EXPECT_TRUE(RunBareThread());
        EXPECT_EQ(monitor.Leaks(), "");
        EXPECT_EQ(monitor.Created(Owned::Font), 1);
    }
}

}  // namespace
