// The warning dialog end to end: IShowWarningDialog and IShowWarningDialogEx
// run on a thread of the test's own, the test finds the dialog of that thread,
// reads what it shows and ends it as a user or a program would, and checks
// what the export returns.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialog_probe.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "requests.h"
#include "test_paths.h"
#include "warning_strings_partial.h"

namespace {

constexpr int kAllControls[] = {IDOK,
                                IDCANCEL,
                                IDC_WARNING_THIRD_BUTTON,
                                IDC_WARNING_DONT_SHOW,
                                IDC_WARNING_ICON_AREA,
                                IDC_WARNING_MESSAGE};
constexpr int kNoSuchControl = 999;
constexpr uint32_t kNoSuchString = 9999;  // in no block of the sample library

constexpr LANGID kEnglish = 1033;
constexpr LANGID kEnglishUk = 2057;
constexpr LANGID kGerman = 1031;
constexpr LANGID kSpanish = 1034;
constexpr LANGID kArabic = 1025;
constexpr LANGID kArabicIraq = 0x0801;
constexpr LANGID kArabicBahrain = 0x3C01;
constexpr LANGID kHebrew = 1037;
constexpr LANGID kPersian = 1065;
constexpr LANGID kArabicLowByteOnly = 0x0201;  // only the low byte of its primary language is Arabic's

const wchar_t kCheckBoxFallback[] = L"In the future, do not show this information.";

constexpr int kGrowth = 100;  // pixels

WarningRequest Warning(const std::wstring& message) { return WarningRequest().Message(message); }

// Where a dialog's controls are (client coordinates, mirrored ones in a
// mirrored dialog) and where the dialog is on the screen.
struct Layout {
    RECT frame{};
    std::map<int, RECT> controls;
};

Layout CaptureLayout(const DialogDriver& dialog)
{
    Layout layout;
    GetWindowRect(dialog.dialog(), &layout.frame);
    for (int control : kAllControls) {
        layout.controls[control] = dialog.Rect(control);
    }
    return layout;
}

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

RECT ScreenRect(const DialogDriver& dialog, int control)
{
    RECT rect{};
    GetWindowRect(dialog.Control(control), &rect);
    return rect;
}

void ExpectRect(const RECT& actual, int left, int top, int width, int height, const char* what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(actual.left, left);
    EXPECT_EQ(actual.top, top);
    EXPECT_EQ(Width(actual), width);
    EXPECT_EQ(Height(actual), height);
}

void ExpectSameRect(const RECT& actual, const RECT& expected, const char* what)
{
    ExpectRect(actual, expected.left, expected.top, Width(expected), Height(expected), what);
}

// The layout of a dialog with a short message, as the template makes it.
Layout TemplateLayout(LANGID language)
{
    UserLanguageOverride override(DocEventDlgModule(), language);
    WarningCall warning(Warning(L"Short."));
    if (warning.dialog() == nullptr) {
        ADD_FAILURE() << "no dialog for the template layout";
        return {};
    }
    const Layout layout = CaptureLayout(warning);
    warning.Command(IDOK);
    EXPECT_EQ(warning.Result(), IDOK);
    return layout;
}

std::wstring Units(size_t count)
{
    std::wstring text;
    for (size_t i = 0; i < count; ++i) {
        text.push_back(i % 7 == 6 ? L' ' : static_cast<wchar_t>(L'a' + i % 26));
    }
    return text;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// ---------------------------------------------------------------------------
// Ending the dialog.

struct EndCase {
    const char* name;
    WarningRequest request;
    std::function<void(const WarningCall&)> end;
    intptr_t expected;
};

TEST(WarningDialog, ReturnsTheButtonThatEndedIt)
{
    const EndCase cases[] = {
        {"OK clicked (posted command)", WarningRequest(), [](const WarningCall& w) { w.Command(IDOK); }, IDOK},
        {"Cancel clicked (posted command)", WarningRequest(), [](const WarningCall& w) { w.Command(IDCANCEL); },
         IDCANCEL},
        {"third button clicked (posted command)", WarningRequest(),
         [](const WarningCall& w) { w.Command(IDC_WARNING_THIRD_BUTTON); }, IDC_WARNING_THIRD_BUTTON},
        {"OK button clicked", WarningRequest(), [](const WarningCall& w) { w.Click(IDOK); }, IDOK},
        {"Cancel button clicked", WarningRequest(), [](const WarningCall& w) { w.Click(IDCANCEL); }, IDCANCEL},
        {"third button clicked", WarningRequest(), [](const WarningCall& w) { w.Click(IDC_WARNING_THIRD_BUTTON); },
         IDC_WARNING_THIRD_BUTTON},
        {"WM_CLOSE", WarningRequest(), [](const WarningCall& w) { w.Post(WM_CLOSE); }, IDCANCEL},
        {"close box", WarningRequest(), [](const WarningCall& w) { w.CloseBox(); }, IDCANCEL},
        {"Escape key", WarningRequest(), [](const WarningCall& w) { w.Press(VK_ESCAPE); }, IDCANCEL},
        {"close box without Cancel button", WarningRequest().Cancel(0), [](const WarningCall& w) { w.CloseBox(); },
         IDCANCEL},
        {"WM_CLOSE without Cancel button", WarningRequest().Cancel(0).Third(0),
         [](const WarningCall& w) { w.Post(WM_CLOSE); }, IDCANCEL},
        {"close box without any button", WarningRequest().Ok(0).Cancel(0).Third(0),
         [](const WarningCall& w) { w.CloseBox(); }, IDCANCEL},
    };
    for (const EndCase& test : cases) {
        SCOPED_TRACE(test.name);
        WarningCall warning(test.request);
        ASSERT_NE(warning.dialog(), nullptr);
        test.end(warning);
        EXPECT_EQ(warning.Result(), test.expected);
        EXPECT_TRUE(WaitForWindowGone(warning.dialog(), 30000));
    }
}

TEST(WarningDialog, NotificationsAndOtherControlsDoNotEndIt)
{
    const struct {
        const char* name;
        WPARAM wParam;
    } commands[] = {
        {"OK with notification 1", MAKEWPARAM(IDOK, 1)},
        {"Cancel with BN_SETFOCUS", MAKEWPARAM(IDCANCEL, BN_SETFOCUS)},
        {"third button with BN_DBLCLK", MAKEWPARAM(IDC_WARNING_THIRD_BUTTON, BN_DBLCLK)},
        {"check box", MAKEWPARAM(IDC_WARNING_DONT_SHOW, BN_CLICKED)},
        {"message control", MAKEWPARAM(IDC_WARNING_MESSAGE, 0)},
        {"empty static", MAKEWPARAM(IDC_WARNING_ICON_AREA, 0)},
        {"unknown ID", MAKEWPARAM(kNoSuchControl, 0)},
    };
    WarningCall warning(WarningRequest{});
    ASSERT_NE(warning.dialog(), nullptr);
    for (const auto& command : commands) {
        SCOPED_TRACE(command.name);
        warning.Post(WM_COMMAND, command.wParam);
        EXPECT_TRUE(warning.StillOpenAfterPosting());
    }
    warning.Post(WM_COMMAND, MAKEWPARAM(IDC_WARNING_THIRD_BUTTON, 0));
    EXPECT_EQ(warning.Result(), IDC_WARNING_THIRD_BUTTON);
}

TEST(WarningDialog, CheckBoxTogglesWithoutEndingIt)
{
    WarningCall warning(WarningRequest{});
    ASSERT_NE(warning.dialog(), nullptr);
    const HWND box = warning.Control(IDC_WARNING_DONT_SHOW);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    for (const LRESULT state : {BST_CHECKED, BST_UNCHECKED, BST_CHECKED}) {
        warning.Click(IDC_WARNING_DONT_SHOW);
        ASSERT_TRUE(warning.StillOpenAfterPosting());
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), state);
    }
    // Ticked or not, the result is the button.
    warning.Click(IDOK);
    EXPECT_EQ(warning.Result(), IDOK);
}

// ---------------------------------------------------------------------------
// Calls that show nothing (the null record and the failures are rows of the
// faults program's table).

std::atomic<int> g_windowsCreated{0};

LRESULT CALLBACK CountWindowCreations(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        ++g_windowsCreated;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(WarningDialog, ShowsNothingUnlessShowDialogIsOne)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    // The windows the calling thread creates during the call.
    HHOOK hook = nullptr;
    CallOptions counting;
    counting.waitForDialog = false;
    counting.before = [&hook] {
        g_windowsCreated = 0;
        hook = SetWindowsHookExW(WH_CBT, CountWindowCreations, nullptr, GetCurrentThreadId());
    };
    counting.after = [&hook] { UnhookWindowsHookEx(hook); };
    for (const WarningExport which : {WarningExport::Plain, WarningExport::CheckBoxAnswer}) {
        for (const int32_t showDialog : {0, 2, -1, 0x101}) {
            SCOPED_TRACE(std::string(which == WarningExport::Plain ? "IShowWarningDialog" : "IShowWarningDialogEx") +
                         ", showDialog " + std::to_string(showDialog));
            WarningCall warning(WarningRequest().ShowDialog(showDialog), which, counting);
            EXPECT_EQ(warning.Result(5000), 0) << "the call did not return: a dialog is open";
            EXPECT_NE(hook, nullptr);
            EXPECT_EQ(g_windowsCreated.load(), 0);
            if (which == WarningExport::CheckBoxAnswer) {
                EXPECT_EQ(warning.ticked(), 0) << "nothing shown answers not ticked";
            }
            EXPECT_EQ(monitor.Calls(Api::DialogBoxParamW), 0);
            EXPECT_EQ(monitor.Leaks(), "");
        }
    }
}

// ---------------------------------------------------------------------------
// What the dialog shows.

TEST(WarningDialog, ShowsAndEnablesTheControlsItsRequestNames)
{
    const WarningRequest cases[] = {
        WarningRequest(),
        WarningRequest().Cancel(0).Third(0).CheckBox(0),
        WarningRequest().Ok(0).Third(0).CheckBox(0),
        WarningRequest().Ok(0).Cancel(0).CheckBox(0),
        WarningRequest().Ok(0).Cancel(0).Third(0),
        WarningRequest().Ok(0).Cancel(0).Third(0).CheckBox(0),
        WarningRequest().Third(0).CheckBox(-7),          // any non-zero value shows the check box
        WarningRequest().Ok(kNoSuchString).Cancel(0).Third(0).CheckBox(0),  // a missing string still shows its button
    };
    UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    for (const WarningRequest& test : cases) {
        const WarningDialogRequest& record = test;
        SCOPED_TRACE("ok " + std::to_string(record.okStringId) + ", cancel " + std::to_string(record.cancelStringId) +
                     ", third " + std::to_string(record.thirdButtonStringId) + ", check box " +
                     std::to_string(record.showCheckBox));
        WarningCall warning(test);
        ASSERT_NE(warning.dialog(), nullptr);
        const struct {
            int control;
            bool shown;
        } expected[] = {
            {IDOK, record.okStringId != 0},
            {IDCANCEL, record.cancelStringId != 0},
            {IDC_WARNING_THIRD_BUTTON, record.thirdButtonStringId != 0},
            {IDC_WARNING_DONT_SHOW, record.showCheckBox != 0},
            {IDC_WARNING_MESSAGE, true},
            {IDC_WARNING_ICON_AREA, true},
        };
        for (const auto& control : expected) {
            SCOPED_TRACE("control " + std::to_string(control.control));
            const HWND window = warning.Control(control.control);
            EXPECT_EQ(IsWindowVisible(window) != FALSE, control.shown);
            EXPECT_EQ(IsWindowEnabled(window) != FALSE, control.shown);
        }
        warning.Post(WM_CLOSE);
        EXPECT_EQ(warning.Result(), IDCANCEL);
    }
}

struct Texts {
    std::wstring title, ok, cancel, third, checkBox;
};

void ExpectTexts(const DialogDriver& dialog, const Texts& expected)
{
    EXPECT_EQ(dialog.Text(), expected.title);
    EXPECT_EQ(dialog.Text(IDOK), expected.ok);
    EXPECT_EQ(dialog.Text(IDCANCEL), expected.cancel);
    EXPECT_EQ(dialog.Text(IDC_WARNING_THIRD_BUTTON), expected.third);
    EXPECT_EQ(dialog.Text(IDC_WARNING_DONT_SHOW), expected.checkBox);
}

TEST(WarningDialog, TextsComeFromTheLibraryInTheUsersLanguage)
{
    const struct {
        LANGID language;
        Texts texts;
    } cases[] = {
        {kEnglish, {L"Printer Warning", L"&OK", L"&Cancel", L"&Retry", kCheckBoxFallback}},
        {kGerman,
         {L"Druckerwarnung", L"&OK", L"&Abbrechen", L"&Wiederholen", L"Diese Information künftig nicht mehr anzeigen."}},
        {kSpanish,
         {L"Advertencia de la impresora", L"&Aceptar", L"&Cancelar", L"&Reintentar",
          L"No volver a mostrar esta información."}},
        {kArabic,
         {L"تحذير الطابعة", L"&موافق", L"&إلغاء الأمر", L"&إعادة المحاولة", L"عدم إظهار هذه المعلومات مستقبلاً."}},
        {kHebrew, {L"אזהרת מדפסת", L"&אישור", L"&ביטול", L"&נסה שוב", L"אל תציג מידע זה בעתיד."}},
        // English (United Kingdom) finds the US English strings by the language fallback.
        {kEnglishUk, {L"Printer Warning", L"&OK", L"&Cancel", L"&Retry", kCheckBoxFallback}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE("language " + std::to_string(test.language));
        UserLanguageOverride override(DocEventDlgModule(), test.language);
        WarningCall warning(WarningRequest{});
        ASSERT_NE(warning.dialog(), nullptr);
        ExpectTexts(warning, test.texts);
        warning.Command(IDCANCEL);
        EXPECT_EQ(warning.Result(), IDCANCEL);
    }
}

TEST(WarningDialog, MissingStringsShowEmptyTextsAndTheCheckBoxItsBuiltInText)
{
    const WarningRequest partial = WarningRequest().Library(BinPath(L"warning-strings-partial.dll"));
    const struct {
        const char* name;
        WarningRequest request;
        Texts texts;
    } cases[] = {
        {"library without the check box text", partial,
         {L"Partial Title", L"Partial OK", L"Partial Cancel", L"Partial Third", kCheckBoxFallback}},
        {"empty entries in a present block",
         WarningRequest(partial)
             .Title(IDS_PARTIAL_EMPTY_3)
             .Ok(IDS_PARTIAL_EMPTY_2)
             .Cancel(IDS_PARTIAL_EMPTY_1)
             .Third(IDS_PARTIAL_OTHER),
         {L"", L"", L"", L"Partial Other", kCheckBoxFallback}},
        {"IDs whose blocks are missing",
         WarningRequest(partial)
             .Title(IDS_PARTIAL_NO_BLOCK_1)
             .Ok(IDS_PARTIAL_NO_BLOCK_2)
             .Cancel(IDS_PARTIAL_NO_BLOCK_3)
             .Third(IDS_PARTIAL_NO_BLOCK_4),
         {L"", L"", L"", L"", kCheckBoxFallback}},
        {"missing library", WarningRequest().Library(BinPath(L"no-such-library.dll")),
         {L"", L"", L"", L"", kCheckBoxFallback}},
        {"empty library path", WarningRequest().Library(L""), {L"", L"", L"", L"", kCheckBoxFallback}},
        {"a program instead of a library", WarningRequest().Library(BinPath(L"warning_dialog_test.exe")),
         {L"", L"", L"", L"", kCheckBoxFallback}},
    };
    UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        WarningCall warning(test.request);
        ASSERT_NE(warning.dialog(), nullptr);
        ExpectTexts(warning, test.texts);
        warning.Post(WM_CLOSE);
        EXPECT_EQ(warning.Result(), IDCANCEL);
    }
}

TEST(WarningDialog, ShowsTheMessageVerbatim)
{
    const std::wstring messages[] = {
        L"",
        L"One line.",
        L"&Not an accelerator, 100% literal: %s %d \\n",
        L"First line\r\nSecond line\r\n\tIndented — Grüße, שלום, مرحبا",
        Units(150),
        Units(1023),
    };
    UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    for (const std::wstring& message : messages) {
        SCOPED_TRACE("message of " + std::to_string(message.size()) + " units: " + Narrow(message.substr(0, 40)));
        WarningCall warning(Warning(message));
        ASSERT_NE(warning.dialog(), nullptr);
        EXPECT_EQ(warning.Text(IDC_WARNING_MESSAGE), message);
        warning.Command(IDOK);
        EXPECT_EQ(warning.Result(), IDOK);
    }
}

// ---------------------------------------------------------------------------
// Layout: long messages and right-to-left users.

TEST(WarningDialog, LongMessageGrowsTheDialogByAtLeastAFixedAmount)
{
    const struct {
        LANGID language;
        size_t units;
        int32_t checkBox;
    } cases[] = {
        {kEnglish, 150, 1}, {kEnglish, 151, 1}, {kEnglish, 1023, 1}, {kEnglish, 151, 0},
        {kEnglish, 1023, 0}, {kArabic, 150, 1}, {kArabic, 151, 1},   {kHebrew, 1023, 0},
    };
    std::map<LANGID, Layout> templates;
    for (const auto& test : cases) {
        SCOPED_TRACE("language " + std::to_string(test.language) + ", " + std::to_string(test.units) +
                     " units, check box " + std::to_string(test.checkBox));
        if (templates.count(test.language) == 0) {
            templates[test.language] = TemplateLayout(test.language);
        }
        const Layout& base = templates[test.language];
        UserLanguageOverride override(DocEventDlgModule(), test.language);
        WarningCall warning(Warning(Units(test.units)).CheckBox(test.checkBox));
        ASSERT_NE(warning.dialog(), nullptr);
        const Layout grown = CaptureLayout(warning);
        warning.Command(IDOK);
        EXPECT_EQ(warning.Result(), IDOK);

        if (test.units <= 150) {
            ExpectSameRect(grown.frame, base.frame, "dialog");
            for (int control : kAllControls) {
                ExpectSameRect(grown.controls.at(control), base.controls.at(control),
                               ("control " + std::to_string(control)).c_str());
            }
            continue;
        }
        const RECT& message = base.controls.at(IDC_WARNING_MESSAGE);
        const RECT& box = base.controls.at(IDC_WARNING_DONT_SHOW);
        // At least the fixed growth; more where the message's lines need it
        // (1023 units: tests/accessibility).
        const int growth = Height(grown.controls.at(IDC_WARNING_MESSAGE)) - Height(message);
        EXPECT_GE(growth, kGrowth);
        if (test.units < 1023) {
            EXPECT_EQ(growth, kGrowth);
        }
        ExpectRect(grown.frame, base.frame.left, base.frame.top, Width(base.frame), Height(base.frame) + growth,
                   "dialog");
        ExpectRect(grown.controls.at(IDC_WARNING_MESSAGE), message.left, message.top, Width(message), Height(message) + growth,
                   "message");
        ExpectRect(grown.controls.at(IDC_WARNING_DONT_SHOW), box.left, message.bottom + growth, Width(box), Height(box),
                   "check box");
        for (int button : {IDOK, IDCANCEL, IDC_WARNING_THIRD_BUTTON}) {
            const RECT& was = base.controls.at(button);
            ExpectRect(grown.controls.at(button), was.left, message.bottom + growth + Height(box), Width(was),
                       Height(was), ("button " + std::to_string(button)).c_str());
        }
        ExpectSameRect(grown.controls.at(IDC_WARNING_ICON_AREA), base.controls.at(IDC_WARNING_ICON_AREA),
                       "empty static");
    }
}

// OK at the right and the third button at the left when mirrored; the other
// way round when not.
void ExpectButtonOrder(const DialogDriver& dialog, bool mirrored)
{
    const LONG ok = ScreenRect(dialog, IDOK).left;
    const LONG cancel = ScreenRect(dialog, IDCANCEL).left;
    const LONG third = ScreenRect(dialog, IDC_WARNING_THIRD_BUTTON).left;
    if (mirrored) {
        EXPECT_GT(ok, cancel);
        EXPECT_GT(cancel, third);
    } else {
        EXPECT_LT(ok, cancel);
        EXPECT_LT(cancel, third);
    }
}

bool LaidOutRightToLeft(HWND dialog) { return (GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0; }

TEST(WarningDialog, ArabicAndHebrewUsersGetTheMirroredTemplate)
{
    const struct {
        LANGID language;
        bool mirrored;
    } cases[] = {
        {kArabic, true},   {kHebrew, true},  {kArabicIraq, true}, {kArabicBahrain, true},
        {kEnglish, false}, {kGerman, false}, {kPersian, false},   {kArabicLowByteOnly, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE("language " + std::to_string(test.language));
        UserLanguageOverride override(DocEventDlgModule(), test.language);
        WarningCall warning(WarningRequest{});
        ASSERT_NE(warning.dialog(), nullptr);
        EXPECT_EQ(LaidOutRightToLeft(warning.dialog()), test.mirrored);
        ExpectButtonOrder(warning, test.mirrored);
        warning.Command(IDOK);
        EXPECT_EQ(warning.Result(), IDOK);
    }
}

TEST(WarningDialog, GrownMirroredDialogKeepsEachControlInItsMirroredPlace)
{
    const Layout base = TemplateLayout(kArabic);
    UserLanguageOverride arabic(DocEventDlgModule(), kArabic);
    WarningCall warning(Warning(Units(400)));
    ASSERT_NE(warning.dialog(), nullptr);
    RECT frame{};
    GetWindowRect(warning.dialog(), &frame);
    for (int control : kAllControls) {
        SCOPED_TRACE("control " + std::to_string(control));
        const RECT screen = ScreenRect(warning, control);
        const RECT& before = base.controls.at(control);
        // Mirrored client coordinates count from the right edge of the client area.
        EXPECT_EQ(warning.Rect(control).left, before.left);
        EXPECT_EQ(warning.Rect(control).right, before.right);
        EXPECT_LE(screen.right, frame.right);
        EXPECT_GE(screen.left, frame.left);
    }
    ExpectButtonOrder(warning, true);
    warning.Command(IDCANCEL);
    EXPECT_EQ(warning.Result(), IDCANCEL);
}

// ---------------------------------------------------------------------------
// Concurrency.

TEST(WarningDialog, TwoDialogsOnTwoThreadsAreIndependent)
{
    UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    WarningCall first(Warning(L"First dialog"));
    ASSERT_NE(first.dialog(), nullptr);
    WarningCall second(Warning(L"Second dialog"));
    ASSERT_NE(second.dialog(), nullptr);
    EXPECT_NE(first.dialog(), second.dialog());
    EXPECT_EQ(first.Text(IDC_WARNING_MESSAGE), L"First dialog");
    EXPECT_EQ(second.Text(IDC_WARNING_MESSAGE), L"Second dialog");

    first.Command(IDC_WARNING_THIRD_BUTTON);
    EXPECT_EQ(first.Result(), IDC_WARNING_THIRD_BUTTON);
    EXPECT_TRUE(IsWindow(second.dialog()));
    EXPECT_FALSE(second.finished());
    EXPECT_EQ(second.Text(IDC_WARNING_MESSAGE), L"Second dialog");
    EXPECT_EQ(second.Text(), L"Printer Warning");

    second.Click(IDOK);
    EXPECT_EQ(second.Result(), IDOK);
}

TEST(WarningDialog, SecondDialogOpenedOnTopOfTheFirstEndsFirst)
{
    WarningCall first(Warning(L"Below"));
    ASSERT_NE(first.dialog(), nullptr);
    WarningCall second(Warning(L"Above"));
    ASSERT_NE(second.dialog(), nullptr);
    second.Post(WM_CLOSE);
    EXPECT_EQ(second.Result(), IDCANCEL);
    EXPECT_TRUE(first.StillOpenAfterPosting());
    EXPECT_FALSE(first.finished());
    first.Command(IDCANCEL);
    EXPECT_EQ(first.Result(), IDCANCEL);
}

// ---------------------------------------------------------------------------
// What the dialog holds while it runs (every failure is a row of the faults
// program's table).

TEST(WarningDialog, ReleasesTheCopyTheStateAndTheLibraryAfterTheDialog)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    {
        WarningCall warning(Warning(Units(300)));
        ASSERT_NE(warning.dialog(), nullptr);
        EXPECT_EQ(monitor.Outstanding(Owned::Library), 1);
        EXPECT_EQ(monitor.Outstanding(Owned::LocalMemory), 1);
        warning.Click(IDC_WARNING_THIRD_BUTTON);
        EXPECT_EQ(warning.Result(), IDC_WARNING_THIRD_BUTTON);
    }
    EXPECT_EQ(monitor.Created(Owned::Library), 1);
    EXPECT_EQ(monitor.Calls(Api::DialogBoxParamW), 1);
    EXPECT_EQ(monitor.Leaks(), "");
}

// ---------------------------------------------------------------------------
// Records that break their contract: text fields without a NUL.

// A record whose last byte is the last byte of a readable page; the next
// page cannot be read, so reading past the record faults.
class RecordAtPageEnd {
public:
    RecordAtPageEnd()
    {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (base_ != nullptr && VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old)) {
            record_ = reinterpret_cast<WarningDialogRequest*>(base_ + page_ - sizeof(WarningDialogRequest));
        }
    }
    ~RecordAtPageEnd()
    {
        if (base_ != nullptr) {
            VirtualFree(base_, 0, MEM_RELEASE);
        }
    }
    RecordAtPageEnd(const RecordAtPageEnd&) = delete;
    RecordAtPageEnd& operator=(const RecordAtPageEnd&) = delete;

    WarningDialogRequest* get() const { return record_; }

private:
    DWORD page_ = 0;
    BYTE* base_ = nullptr;
    WarningDialogRequest* record_ = nullptr;
};

TEST(WarningDialog, MessageWithoutNulIsShownCutAtItsField)
{
    RecordAtPageEnd guarded;
    ASSERT_NE(guarded.get(), nullptr);
    // The fields behind the message are not text: they must not show.
    constexpr uint32_t kReadAsTextItIsAA = 0x00410041;
    WarningRequest request = WarningRequest().Third(kReadAsTextItIsAA);
    const std::wstring full = Units(1024);
    full.copy(request.record().messageText, 1024);
    *guarded.get() = request;

    WarningCall warning(guarded.get(), WarningExport::Plain);
    ASSERT_NE(warning.dialog(), nullptr);
    EXPECT_EQ(warning.Text(IDC_WARNING_MESSAGE), full.substr(0, 1023));
    warning.Command(IDOK);
    EXPECT_EQ(warning.Result(), IDOK);
}

// A path of exactly `units` units naming the sample library, padded with
// "." components that the platform removes.
std::wstring PaddedLibraryPath(size_t units)
{
    const std::wstring folder = ProgramFolder();
    const std::wstring name = L"doceventdlg-strings.dll";
    size_t padding = units - folder.size() - name.size();
    std::wstring path = folder;
    if (padding % 2 != 0) {
        path += L"x\\..\\";
        padding -= 5;
    }
    for (; padding > 0; padding -= 2) {
        path += L".\\";
    }
    return path + name;
}

TEST(WarningDialog, LibraryPathWithoutNulIsCutAtItsField)
{
    UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    const std::wstring path = PaddedLibraryPath(255);
    ASSERT_EQ(path.size(), 255u);

    // The padded path names the library when it ends properly.
    {
        WarningCall warning(WarningRequest().Library(path));
        ASSERT_NE(warning.dialog(), nullptr);
        EXPECT_EQ(warning.Text(), L"Printer Warning");
        warning.Post(WM_CLOSE);
        EXPECT_EQ(warning.Result(), IDCANCEL);
    }

    // Without a NUL, its last unit is dropped and nothing past the record is read.
    RecordAtPageEnd guarded;
    ASSERT_NE(guarded.get(), nullptr);
    WarningRequest request;
    (path + L"Q").copy(request.record().resourceLibraryPath, 256);
    *guarded.get() = request;
    WarningCall warning(guarded.get(), WarningExport::Plain);
    ASSERT_NE(warning.dialog(), nullptr);
    EXPECT_EQ(warning.Text(), L"Printer Warning");
    EXPECT_EQ(warning.Text(IDOK), L"&OK");
    warning.Command(IDOK);
    EXPECT_EQ(warning.Result(), IDOK);
}

TEST(WarningDialog, CallerMayReleaseItsRecordWhileTheDialogRuns)
{
    RecordAtPageEnd guarded;
    ASSERT_NE(guarded.get(), nullptr);
    *guarded.get() = Warning(Units(200));
    UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    WarningCall warning(guarded.get(), WarningExport::Plain);
    ASSERT_NE(warning.dialog(), nullptr);
    // The record becomes unreadable; the dialog works from its own copy.
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(guarded.get(), sizeof(WarningDialogRequest), PAGE_NOACCESS, &old));
    warning.Press(VK_ESCAPE);
    EXPECT_EQ(warning.Result(), IDCANCEL);
    VirtualProtect(guarded.get(), sizeof(WarningDialogRequest), old, &old);
}

// ---------------------------------------------------------------------------
// The mirrored template chosen by the process's own locale. Run only through
// the warning_dialog_rtl_locale_* tests, which start this program under an
// Arabic or a Hebrew LC_ALL and name the language it must produce.

TEST(DISABLED_ProcessLocale, RightToLeftLocaleChoosesTheMirroredTemplate)
{
    const char* expectedText = std::getenv("WARNING_DIALOG_EXPECTED_LANGUAGE");
    ASSERT_NE(expectedText, nullptr) << "run through the warning_dialog_rtl_locale_* tests";
    const auto expected = static_cast<LANGID>(std::strtoul(expectedText, nullptr, 10));
    ASSERT_EQ(GetUserDefaultUILanguage(), expected) << "LC_ALL did not reach the process";

    const std::map<LANGID, std::wstring> titles = {{kArabic, L"تحذير الطابعة"}, {kHebrew, L"אזהרת מדפסת"}};
    ASSERT_EQ(titles.count(expected), 1u);
    WarningCall warning(Warning(Units(151)));
    ASSERT_NE(warning.dialog(), nullptr);
    EXPECT_TRUE(LaidOutRightToLeft(warning.dialog()));
    EXPECT_EQ(warning.Text(), titles.at(expected));
    ExpectButtonOrder(warning, true);
    // Grown: the buttons sit below the check box, which sits below the message.
    const RECT message = warning.Rect(IDC_WARNING_MESSAGE);
    const RECT box = warning.Rect(IDC_WARNING_DONT_SHOW);
    EXPECT_EQ(box.top, message.bottom);
    EXPECT_EQ(warning.Rect(IDOK).top, box.bottom);
    warning.Click(IDC_WARNING_THIRD_BUTTON);
    EXPECT_EQ(warning.Result(), IDC_WARNING_THIRD_BUTTON);
}

// ---------------------------------------------------------------------------
// IShowWarningDialogEx: the same dialog, and the check box's state as it ended.

struct WarningEnd {
    const char* name;
    void (*end)(const WarningCall& warning);
    intptr_t expected;
};

const WarningEnd kWarningEnds[] = {
    {"OK", [](const WarningCall& w) { w.Click(IDOK); }, IDOK},
    {"Cancel", [](const WarningCall& w) { w.Click(IDCANCEL); }, IDCANCEL},
    {"third button", [](const WarningCall& w) { w.Click(IDC_WARNING_THIRD_BUTTON); }, IDC_WARNING_THIRD_BUTTON},
    {"WM_CLOSE", [](const WarningCall& w) { w.Post(WM_CLOSE); }, IDCANCEL},
    {"close box", [](const WarningCall& w) { w.CloseBox(); }, IDCANCEL},
    {"Escape key", [](const WarningCall& w) { w.Press(VK_ESCAPE); }, IDCANCEL},
};

TEST(WarningDialogEx, AnswersWhetherTheBoxWasTickedAsTheDialogEnded)
{
    constexpr int32_t kUnwritten = -1;  // the driver's answer before the export writes one
    const struct {
        const char* name;
        int32_t showCheckBox;
        int clicks;        // on the box, as the user clicks it
        bool checkHidden;  // the hidden box checked by a message instead
        WarningExport which;
        int32_t expected;
    } cases[] = {
        {"ticked", 1, 1, false, WarningExport::CheckBoxAnswer, 1},
        {"not ticked", 1, 0, false, WarningExport::CheckBoxAnswer, 0},
        {"ticked and unticked", 1, 2, false, WarningExport::CheckBoxAnswer, 0},
        {"box hidden", 0, 0, true, WarningExport::CheckBoxAnswer, 0},
        {"ticked, answer not wanted", 1, 1, false, WarningExport::CheckBoxNoAnswer, kUnwritten},
    };
    for (const auto& test : cases) {
        for (const WarningEnd& end : kWarningEnds) {
            SCOPED_TRACE(std::string(test.name) + ", ended by " + end.name);
            WarningCall warning(WarningRequest().CheckBox(test.showCheckBox), test.which);
            ASSERT_NE(warning.dialog(), nullptr);
            const HWND box = warning.Control(IDC_WARNING_DONT_SHOW);
            for (int click = 0; click < test.clicks; ++click) {
                warning.Click(IDC_WARNING_DONT_SHOW);
            }
            if (test.checkHidden) {
                SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
            }
            ASSERT_TRUE(warning.StillOpenAfterPosting());
            const bool checked = test.clicks % 2 == 1 || test.checkHidden;
            ASSERT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), checked ? BST_CHECKED : BST_UNCHECKED);
            end.end(warning);
            EXPECT_EQ(warning.Result(), end.expected);
            EXPECT_EQ(warning.ticked(), test.expected);
        }
    }
}

}  // namespace
