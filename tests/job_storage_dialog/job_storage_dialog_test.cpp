// The job storage notice through the library's export: its thread, its texts
// and fonts, its templates, the preference OK stores, its help, the handles
// the module keeps, and its failure paths.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "bare_thread.h"
#include "common/handles.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "notice_support.h"
#include "requests.h"
#include "resource.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
constexpr LANGID kSpanish = MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH);
constexpr LANGID kPersian = MAKELANGID(LANG_PERSIAN, SUBLANG_PERSIAN_IRAN);
constexpr LANGID kArabic = MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA);
constexpr LANGID kArabicEgypt = MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_EGYPT);
constexpr LANGID kHebrew = MAKELANGID(LANG_HEBREW, SUBLANG_HEBREW_ISRAEL);

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

// The notice with its built-in texts: no resource library.
NoticeRequest BuiltInTexts() { return NoticeRequest().Library(L""); }

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t unit : text) {
        narrow += unit < 128 ? static_cast<char>(unit) : '?';
    }
    return narrow;
}

LOGFONTW FontOf(HWND window)
{
    LOGFONTW logFont{};
    const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    if (font == nullptr || GetObjectW(font, sizeof(logFont), &logFont) == 0) {
        logFont.lfWeight = -1;
    }
    return logFont;
}

// The handles the library closed after the first `skip` it closed.
std::vector<HANDLE> ClosedSince(const DllMonitor& monitor, size_t skip)
{
    const std::vector<HANDLE> closed = monitor.ClosedHandles();
    return std::vector<HANDLE>(closed.begin() + static_cast<std::ptrdiff_t>(std::min(skip, closed.size())), closed.end());
}

bool Ended(HANDLE thread) { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

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

using UniqueEvent = UniqueHandle<HANDLE, &CloseHandle>;

TEST_F(JobStorageTest, ReturnsBeforeTheDialogAndRunsItOwnerlessOnTheReturnedThread)
{
    const UniqueEvent gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_dialogGate = gate.get();
    const ImportOverride held(DocEventDlgModule(), "DialogBoxParamW",
                              reinterpret_cast<const void*>(&GatedDialogBoxParam));
    ASSERT_TRUE(held.active());
    g_realDialogBoxParam = held.original<DialogBoxParamFunction>();

    NoticeCall notice(NoticeRequest(), false);
    ASSERT_NE(notice.returned(), nullptr);
    ASSERT_NE(notice.threadId(), 0u);
    EXPECT_NE(notice.threadId(), GetCurrentThreadId());
    // The call came back while its thread is held before the dialog.
    EXPECT_TRUE(ThreadDialogs(notice.threadId()).empty());
    EXPECT_FALSE(Ended(notice.thread()));

    SetEvent(gate.get());
    const HWND dialog = notice.WaitDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(dialog, nullptr), notice.threadId());
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
    EXPECT_TRUE(notice.Close());
}

TEST_F(JobStorageTest, ShowsTheRecordAsItWasAtTheCall)
{
    ScratchSettingsKey settings;
    auto record = std::make_unique<JobStorageRequest>(
        BuiltInTexts().SettingsSubKey(settings.subKey()).RangeSuffix(1, 1));
    NoticeCall notice(*record, false);
    // The caller reuses and then frees its record at once.
    std::fill_n(reinterpret_cast<wchar_t*>(record.get()), sizeof(JobStorageRequest) / sizeof(wchar_t), L'X');
    record.reset();

    ASSERT_NE(notice.WaitDialog(), nullptr);
    EXPECT_EQ(notice.Text(IDC_JOB_USER_NAME), L"alice");
    EXPECT_EQ(notice.Text(IDC_JOB_JOB_NAME), L"Scan(1-99)");
    EXPECT_EQ(notice.Text(IDC_JOB_LOCATION_LINE1), L"Printer: Office 3");
    EXPECT_EQ(notice.Text(IDC_JOB_LOCATION_LINE2), L"Mailbox: Finance");
    EXPECT_EQ(notice.Text(IDC_JOB_LOCATION_LINE3), L"Retain: 7 days");
    EXPECT_EQ(notice.Text(), L"Job Storage Identification");
    // The key named at the time of the call takes the preference.
    notice.Click(IDOK);
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
        NoticeCall notice(NoticeRequest().Library(library));
        ASSERT_NE(notice.dialog(), nullptr);
        for (const FallbackText& expected : kFallbackTexts) {
            SCOPED_TRACE("control " + std::to_string(expected.controlId));
            EXPECT_EQ(notice.Text(expected.controlId), expected.text);
        }
        EXPECT_EQ(notice.Text(IDC_JOB_USER_NAME), L"alice");
        EXPECT_EQ(notice.Text(IDC_JOB_JOB_NAME), L"Scan");
        EXPECT_EQ(notice.Text(IDC_JOB_LOCATION_LINE3), L"Retain: 7 days");
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
        {kEnglish,
         {{0, L"Job Storage Identification"}, {IDC_JOB_USER_NAME_LABEL, L"User Name:"}, {IDOK, L"&OK"},
          {IDC_JOB_HELP, L"&Help"}}},
        {kGerman,
         {{0, L"Identifikation des gespeicherten Auftrags"},
          {IDC_JOB_USER_NAME_LABEL, L"Benutzername:"},
          {IDC_JOB_JOB_NAME_LABEL, L"Auftragsname:"},
          {IDC_JOB_HEADING, L"Dieser Druckauftrag wird gespeichert unter:"},
          {IDC_JOB_DONT_SHOW, L"Diese Information k\u00fcnftig nicht mehr anzeigen."},
          {IDOK, L"&OK"},
          {IDC_JOB_HELP, L"&Hilfe"}}},
        {kSpanish,
         {{0, L"Identificaci\u00f3n del trabajo almacenado"},
          {IDC_JOB_USER_NAME_LABEL, L"Usuario:"},
          {IDC_JOB_JOB_NAME_LABEL, L"Trabajo:"},
          {IDC_JOB_HEADING, L"Este trabajo de impresi\u00f3n se almacenar\u00e1 en:"},
          {IDC_JOB_DONT_SHOW, L"No volver a mostrar esta informaci\u00f3n."},
          {IDOK, L"&Aceptar"},
          {IDC_JOB_HELP, L"Ay&uda"}}},
        {kHebrew,
         {{0, L"\u05d6\u05d9\u05d4\u05d5\u05d9 \u05e2\u05d1\u05d5\u05d3\u05d4 \u05de\u05d0\u05d5\u05d7\u05e1\u05e0\u05ea"},
          {IDC_JOB_USER_NAME_LABEL, L"\u05e9\u05dd \u05de\u05e9\u05ea\u05de\u05e9:"}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE("language " + std::to_string(test.language));
        UserLanguageOverride language(DocEventDlgModule(), test.language);
        ASSERT_TRUE(language.active());
        NoticeCall notice{NoticeRequest()};  // the sample library
        ASSERT_NE(notice.dialog(), nullptr);
        for (const FallbackText& expected : test.texts) {
            SCOPED_TRACE("control " + std::to_string(expected.controlId));
            EXPECT_EQ(notice.Text(expected.controlId), expected.text);
        }
        // The caller's own texts are shown as given, never looked up.
        EXPECT_EQ(notice.Text(IDC_JOB_USER_NAME), L"alice");
        EXPECT_TRUE(notice.Close());
    }
}

TEST_F(JobStorageTest, NamesAndHeadingInBoldOthersNot)
{
    NoticeCall notice(BuiltInTexts());
    ASSERT_NE(notice.dialog(), nullptr);
    const LOGFONTW dialogFont = FontOf(notice.dialog());
    ASSERT_GE(dialogFont.lfWeight, 0);
    for (const int bold : {IDC_JOB_USER_NAME, IDC_JOB_JOB_NAME, IDC_JOB_HEADING}) {
        SCOPED_TRACE("control " + std::to_string(bold));
        const LOGFONTW font = FontOf(notice.Control(bold));
        EXPECT_EQ(font.lfWeight, FW_BOLD);
        // Only the weight differs from the dialog's font.
        EXPECT_EQ(font.lfHeight, dialogFont.lfHeight);
        EXPECT_EQ(std::wstring(font.lfFaceName), std::wstring(dialogFont.lfFaceName));
    }
    for (const int plain : {IDC_JOB_LOCATION_LINE1, IDC_JOB_USER_NAME_LABEL, IDC_JOB_JOB_NAME_LABEL,
                            IDC_JOB_DONT_SHOW, IDOK, IDC_JOB_HELP}) {
        SCOPED_TRACE("control " + std::to_string(plain));
        EXPECT_LT(FontOf(notice.Control(plain)).lfWeight, FW_BOLD);
    }
    EXPECT_TRUE(notice.Close());
}

TEST_F(JobStorageTest, JobNameTakesTheRangeOnlyWhenBothFlagsAreOne)
{
    struct Case {
        NoticeRequest request;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {NoticeRequest().JobName(L"Scan").RangeSuffix(1, 1), L"Scan(1-99)"},
        {NoticeRequest().JobName(L"Scan").RangeSuffix(1, 0), L"Scan"},
        {NoticeRequest().JobName(L"Scan").RangeSuffix(0, 1), L"Scan"},
        {NoticeRequest().JobName(L"Scan").RangeSuffix(2, 1), L"Scan"},
        {NoticeRequest().JobName(L"Scan").RangeSuffix(1, 2), L"Scan"},
        {NoticeRequest().JobName(L"Scan").RangeSuffix(0x101, 1), L"Scan"},
        {NoticeRequest().JobName(L"").RangeSuffix(1, 1), L"(1-99)"},
        {NoticeRequest().JobName(L"ABCDEFGHIJKLMNOP").RangeSuffix(1, 1), L"ABCDEFGHIJKLMNOP(1-99)"},
        {NoticeRequest().JobName(L"ABCDEFGHIJKLMNOP").RangeSuffix(0, 0), L"ABCDEFGHIJKLMNOP"},
    };
    for (const Case& test : cases) {
        const JobStorageRequest& record = test.request;
        SCOPED_TRACE(Narrow(record.jobName) + " flags " + std::to_string(record.rangeSuffixFlag1) + "," +
                     std::to_string(record.rangeSuffixFlag2));
        NoticeCall notice(test.request);
        ASSERT_NE(notice.dialog(), nullptr);
        EXPECT_EQ(notice.Text(IDC_JOB_JOB_NAME), test.shown);
        EXPECT_TRUE(notice.Close());
    }
}

TEST_F(JobStorageTest, FieldsWithoutTerminatorEndAtTheirWidth)
{
    NoticeRequest request = NoticeRequest().RangeSuffix(1, 1);
    JobStorageRequest& record = request.record();
    std::fill(std::begin(record.userName), std::end(record.userName), L'U');
    std::fill(std::begin(record.jobName), std::end(record.jobName), L'J');
    std::fill(std::begin(record.locationLine1), std::end(record.locationLine1), L'1');
    std::fill(std::begin(record.locationLine2), std::end(record.locationLine2), L'2');
    std::fill(std::begin(record.locationLine3), std::end(record.locationLine3), L'3');
    NoticeCall notice(request);
    ASSERT_NE(notice.dialog(), nullptr);
    EXPECT_EQ(notice.Text(IDC_JOB_USER_NAME), std::wstring(16, L'U'));
    EXPECT_EQ(notice.Text(IDC_JOB_JOB_NAME), std::wstring(16, L'J') + L"(1-99)");
    EXPECT_EQ(notice.Text(IDC_JOB_LOCATION_LINE1), std::wstring(255, L'1'));
    EXPECT_EQ(notice.Text(IDC_JOB_LOCATION_LINE2), std::wstring(255, L'2'));
    EXPECT_EQ(notice.Text(IDC_JOB_LOCATION_LINE3), std::wstring(255, L'3'));
    EXPECT_TRUE(notice.Close());
}

TEST_F(JobStorageTest, MirroredTemplateOnlyForArabicAndHebrewUsers)
{
    const struct {
        LANGID language;
        bool mirrored;
    } cases[] = {{kEnglish, false}, {kGerman, false},      {kPersian, false}, {kSpanish, false},
                 {kArabic, true},   {kHebrew, true},       {kArabicEgypt, true}};
    for (const auto& test : cases) {
        SCOPED_TRACE("language " + std::to_string(test.language));
        UserLanguageOverride language(DocEventDlgModule(), test.language);
        ASSERT_TRUE(language.active());
        NoticeCall notice(BuiltInTexts());
        ASSERT_NE(notice.dialog(), nullptr);
        const LONG_PTR exStyle = GetWindowLongPtrW(notice.dialog(), GWL_EXSTYLE);
        EXPECT_EQ((exStyle & WS_EX_LAYOUTRTL) != 0, test.mirrored);
        // The mirrored template centres the location lines; the other sets them left.
        const LONG_PTR lineStyle = GetWindowLongPtrW(notice.Control(IDC_JOB_LOCATION_LINE1), GWL_STYLE);
        EXPECT_EQ((lineStyle & SS_TYPEMASK) == SS_CENTER, test.mirrored);
        // The same controls and texts either way.
        EXPECT_EQ(notice.Text(IDC_JOB_HELP), L"&Help");
        for (const int control : kAllTextControls) {
            EXPECT_NE(notice.Control(control), nullptr) << control;
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
        NoticeCall notice(NoticeRequest().SettingsSubKey(settings.subKey()));
        ASSERT_NE(notice.dialog(), nullptr);
        const HWND checkBox = notice.Control(IDC_JOB_DONT_SHOW);
        EXPECT_EQ(SendMessageW(checkBox, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        if (test.check) {
            notice.Click(IDC_JOB_DONT_SHOW);
        }
        if (test.ending == Ending::OkButton) {
            notice.Click(IDOK);
        } else {
            // Focus on the check box, so that Enter reaches the default button.
            notice.Post(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(checkBox), TRUE);
            notice.Press(VK_RETURN);
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
    const NoticeRequest request = NoticeRequest().SettingsSubKey(settings.subKey());
    for (const bool check : {true, false, true}) {
        SCOPED_TRACE(check ? "checked" : "clear");
        NoticeCall notice(request);
        ASSERT_NE(notice.dialog(), nullptr);
        if (check) {
            notice.Click(IDC_JOB_DONT_SHOW);
        }
        notice.Click(IDOK);
        ASSERT_TRUE(notice.WaitEnded());
        const auto value = settings.Read();
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->data, std::vector<BYTE>{static_cast<BYTE>(check ? 0x00 : 0x01)});
    }
}

TEST_F(JobStorageTest, CloseBoxEndsWithoutWritingAndEscapeDoesNothing)
{
    ScratchSettingsKey settings;
    NoticeCall notice(NoticeRequest().SettingsSubKey(settings.subKey()));
    ASSERT_NE(notice.dialog(), nullptr);
    notice.Click(IDC_JOB_DONT_SHOW);

    notice.Press(VK_ESCAPE);
    notice.Command(IDCANCEL);
    EXPECT_TRUE(notice.StillOpenAfterPosting());
    EXPECT_FALSE(Ended(notice.thread()));

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
    NoticeCall notice(
        NoticeRequest().SettingsSubKey(settings.subKey()).HelpFile(L"C:\\drivers\\help\\printer.hlp"));
    ASSERT_NE(notice.dialog(), nullptr);

    notice.Click(IDC_JOB_HELP);
    // Once the click is handled, every help request it made is recorded.
    ASSERT_TRUE(notice.StillOpenAfterPosting());
    const std::vector<HelpCall> calls = monitor.HelpCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].window, notice.Control(IDC_JOB_HELP));
    EXPECT_EQ(calls[0].helpFile, L"C:\\drivers\\help\\printer.hlp");
    EXPECT_EQ(calls[0].command, static_cast<UINT>(HELP_WM_HELP));
    EXPECT_EQ(calls[0].ids, (std::array<DWORD, 4>{IDC_JOB_HELP, IDH_JOB_STORAGE, 0, 0}));
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
    const NoticeRequest request;
    NoticeCall warm(request);
    ASSERT_NE(warm.dialog(), nullptr);
    ASSERT_TRUE(RunBareThread());  // empties the slot
    const size_t closedBefore = monitor.ClosedHandles().size();
    const size_t startedBefore = monitor.StartedThreads().size();

    NoticeCall one(request, false);
    NoticeCall two(request, false);
    ASSERT_NE(one.returned(), nullptr);
    ASSERT_NE(two.returned(), nullptr);
    // The second handle replaced the first in the slot, which closed it.
    EXPECT_EQ(ClosedSince(monitor, closedBefore), std::vector<HANDLE>{one.returned()});
    const std::vector<StartedThread> started = monitor.StartedThreads();
    ASSERT_EQ(started.size(), startedBefore + 2);
    EXPECT_EQ(one.threadId(), started[startedBefore].id);
    EXPECT_EQ(two.threadId(), started[startedBefore + 1].id);
    EXPECT_NE(one.threadId(), two.threadId());

    ASSERT_NE(one.WaitDialog(), nullptr);
    ASSERT_NE(two.WaitDialog(), nullptr);
    EXPECT_NE(one.dialog(), two.dialog());
    EXPECT_EQ(GetWindowThreadProcessId(one.dialog(), nullptr), one.threadId());
    EXPECT_EQ(GetWindowThreadProcessId(two.dialog(), nullptr), two.threadId());

    // Any thread's detach closes the stored handle; both dialogs go on.
    EXPECT_TRUE(RunBareThread());
    EXPECT_EQ(ClosedSince(monitor, closedBefore), (std::vector<HANDLE>{one.returned(), two.returned()}));
    for (const NoticeCall* notice : {&one, &two}) {
        EXPECT_TRUE(notice->StillOpenAfterPosting());
        EXPECT_FALSE(Ended(notice->thread()));
        EXPECT_EQ(notice->Text(IDC_JOB_USER_NAME), L"alice");
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
    {
        NoticeCall notice{NoticeRequest()};  // the sample library
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
        NoticeCall notice(BuiltInTexts().SettingsSubKey(settings.subKey()));
        ASSERT_NE(notice.dialog(), nullptr);
        monitor.Fail(failing);
        notice.Click(IDOK);
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
