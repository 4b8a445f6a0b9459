// The warning dialog end to end: IShowWarningDialog runs on a thread of the
// test's own, the test finds the dialog of that thread, reads what it shows
// and ends it as a user or a program would, and checks what the export
// returns.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dialog_probe.h"
#include "dll_monitor.h"
#include "test_paths.h"

namespace {

constexpr int kThirdButton = 285;
constexpr int kCheckBox = 475;
constexpr int kIconArea = 476;
constexpr int kMessage = 1033;
constexpr int kAllControls[] = {IDOK, IDCANCEL, kThirdButton, kCheckBox, kIconArea, kMessage};

// String IDs of the sample library (samples/strings/sample_string_ids.h).
constexpr uint32_t kOkString = 849;
constexpr uint32_t kTitleString = 3000;
constexpr uint32_t kCancelString = 3001;
constexpr uint32_t kRetryString = 3002;

constexpr LANGID kEnglish = 1033;
constexpr LANGID kGerman = 1031;
constexpr LANGID kSpanish = 1034;
constexpr LANGID kArabic = 1025;
constexpr LANGID kHebrew = 1037;

const wchar_t kCheckBoxFallback[] = L"In the future, do not show this information.";

constexpr intptr_t kStillOpen = 0x7EADBEEF;
constexpr int kGrowth = 100;  // pixels

WarningDialogRequest SampleRequest(const std::wstring& message = L"The printer needs attention.")
{
    WarningDialogRequest request{};
    request.titleStringId = kTitleString;
    request.showDialog = 1;
    SetField(request.messageText, message);
    request.thirdButtonStringId = kRetryString;
    request.showCheckBox = 1;
    request.okStringId = kOkString;
    request.cancelStringId = kCancelString;
    SetField(request.resourceLibraryPath, BinPath(L"doceventdlg-strings.dll"));
    return request;
}

// One IShowWarningDialog call on a thread of its own, with its dialog.
class RunningWarning {
public:
    explicit RunningWarning(const WarningDialogRequest& request, const WarningDialogRequest* callerRecord = nullptr)
        : request_(std::make_unique<WarningDialogRequest>(request)),
          record_(callerRecord != nullptr ? callerRecord : request_.get()),
          call_([record = record_] { return static_cast<intptr_t>(ShowWarningDialogExport()(record)); })
    {
        dialog_ = WaitForDialog(call_.threadId());
    }

    HWND dialog() const { return dialog_; }
    DWORD threadId() const { return call_.threadId(); }
    bool finished() const { return call_.finished(); }

    // The export's result, or kStillOpen when it has not returned in time.
    intptr_t Result(DWORD timeoutMs = 30000) { return call_.Wait(timeoutMs) ? call_.result() : kStillOpen; }

    void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        PostMessageW(dialog_, message, wParam, lParam);
    }
    void Click(int control) const { PostMessageW(GetDlgItem(dialog_, control), BM_CLICK, 0, 0); }

    // Waits until the dialog's thread has handled what was posted, and tells
    // whether the dialog is still there. A dialog those messages ended is
    // destroyed before its thread takes another message from the queue.
    bool StillOpenAfterPosting()
    {
        return WaitUntilPostedHandled(dialog_) && IsWindow(dialog_) && !call_.finished();
    }

private:
    std::unique_ptr<WarningDialogRequest> request_;
    const WarningDialogRequest* record_;
    BackgroundCall call_;
    HWND dialog_ = nullptr;
};

// Where a dialog's controls are (client coordinates, mirrored ones in a
// mirrored dialog) and where the dialog is on the screen.
struct Layout {
    RECT frame{};
    std::map<int, RECT> controls;
};

Layout CaptureLayout(HWND dialog)
{
    Layout layout;
    GetWindowRect(dialog, &layout.frame);
    for (int control : kAllControls) {
        layout.controls[control] = ControlRect(dialog, control);
    }
    return layout;
}

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

RECT ScreenRect(HWND dialog, int control)
{
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, control), &rect);
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
    RunningWarning warning(SampleRequest(L"Short."));
    if (warning.dialog() == nullptr) {
        ADD_FAILURE() << "no dialog for the template layout";
        return {};
    }
    const Layout layout = CaptureLayout(warning.dialog());
    warning.Post(WM_COMMAND, IDOK);
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
    uint32_t okString, cancelString, thirdString;
    void (*end)(RunningWarning&);
    intptr_t expected;
};

const EndCase kEndCases[] = {
    {"OK clicked (posted command)", kOkString, kCancelString, kRetryString,
     [](RunningWarning& w) { w.Post(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)); }, IDOK},
    {"Cancel clicked (posted command)", kOkString, kCancelString, kRetryString,
     [](RunningWarning& w) { w.Post(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)); }, IDCANCEL},
    {"third button clicked (posted command)", kOkString, kCancelString, kRetryString,
     [](RunningWarning& w) { w.Post(WM_COMMAND, MAKEWPARAM(kThirdButton, BN_CLICKED)); }, kThirdButton},
    {"OK button clicked", kOkString, kCancelString, kRetryString, [](RunningWarning& w) { w.Click(IDOK); }, IDOK},
    {"Cancel button clicked", kOkString, kCancelString, kRetryString, [](RunningWarning& w) { w.Click(IDCANCEL); },
     IDCANCEL},
    {"third button clicked", kOkString, kCancelString, kRetryString,
     [](RunningWarning& w) { w.Click(kThirdButton); }, kThirdButton},
    {"WM_CLOSE", kOkString, kCancelString, kRetryString, [](RunningWarning& w) { w.Post(WM_CLOSE); }, IDCANCEL},
    {"close box", kOkString, kCancelString, kRetryString,
     [](RunningWarning& w) { w.Post(WM_SYSCOMMAND, SC_CLOSE); }, IDCANCEL},
    {"Escape key", kOkString, kCancelString, kRetryString, [](RunningWarning& w) { PressKey(w.dialog(), VK_ESCAPE); },
     IDCANCEL},
    {"close box without Cancel button", kOkString, 0, kRetryString,
     [](RunningWarning& w) { w.Post(WM_SYSCOMMAND, SC_CLOSE); }, IDCANCEL},
    {"WM_CLOSE without Cancel button", kOkString, 0, 0, [](RunningWarning& w) { w.Post(WM_CLOSE); }, IDCANCEL},
    {"close box without any button", 0, 0, 0, [](RunningWarning& w) { w.Post(WM_SYSCOMMAND, SC_CLOSE); },
     IDCANCEL},
};

TEST(WarningDialog, ReturnsTheButtonThatEndedIt)
{
    for (const EndCase& test : kEndCases) {
        SCOPED_TRACE(test.name);
        WarningDialogRequest request = SampleRequest();
        request.okStringId = test.okString;
        request.cancelStringId = test.cancelString;
        request.thirdButtonStringId = test.thirdString;
        RunningWarning warning(request);
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
        {"third button with BN_DBLCLK", MAKEWPARAM(kThirdButton, BN_DBLCLK)},
        {"check box", MAKEWPARAM(kCheckBox, BN_CLICKED)},
        {"message control", MAKEWPARAM(kMessage, 0)},
        {"empty static", MAKEWPARAM(kIconArea, 0)},
        {"unknown ID", MAKEWPARAM(999, 0)},
    };
    RunningWarning warning(SampleRequest());
    ASSERT_NE(warning.dialog(), nullptr);
    for (const auto& command : commands) {
        SCOPED_TRACE(command.name);
        warning.Post(WM_COMMAND, command.wParam);
        EXPECT_TRUE(warning.StillOpenAfterPosting());
    }
    warning.Post(WM_COMMAND, MAKEWPARAM(kThirdButton, 0));
    EXPECT_EQ(warning.Result(), kThirdButton);
}

TEST(WarningDialog, CheckBoxTogglesWithoutEndingIt)
{
    RunningWarning warning(SampleRequest());
    ASSERT_NE(warning.dialog(), nullptr);
    const HWND box = GetDlgItem(warning.dialog(), kCheckBox);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    warning.Click(kCheckBox);
    ASSERT_TRUE(warning.StillOpenAfterPosting());
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    warning.Click(kCheckBox);
    ASSERT_TRUE(warning.StillOpenAfterPosting());
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    warning.Click(kCheckBox);
    ASSERT_TRUE(warning.StillOpenAfterPosting());
    // Ticked or not, the result is the button.
    warning.Click(IDOK);
    EXPECT_EQ(warning.Result(), IDOK);
}

// ---------------------------------------------------------------------------
// Calls that show nothing.

std::atomic<int> g_windowsCreated{0};

LRESULT CALLBACK CountWindowCreations(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        ++g_windowsCreated;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Calls the export on a thread that counts the windows it creates.
intptr_t CallCountingWindows(const WarningDialogRequest* request, int* windows)
{
    g_windowsCreated = 0;
    BackgroundCall call([request] {
        const HHOOK hook = SetWindowsHookExW(WH_CBT, CountWindowCreations, nullptr, GetCurrentThreadId());
        const intptr_t result = ShowWarningDialogExport()(request);
        UnhookWindowsHookEx(hook);
        return result;
    });
    if (!call.Wait(5000)) {
        ADD_FAILURE() << "the call did not return: a dialog is open";
        return kStillOpen;
    }
    *windows = g_windowsCreated.load();
    return call.result();
}

TEST(WarningDialog, ShowsNothingUnlessShowDialogIsOne)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    for (const int32_t showDialog : {0, 2, -1, 0x101}) {
        SCOPED_TRACE("showDialog " + std::to_string(showDialog));
        WarningDialogRequest request = SampleRequest();
        request.showDialog = showDialog;
        int windows = -1;
        EXPECT_EQ(CallCountingWindows(&request, &windows), 0);
        EXPECT_EQ(windows, 0);
        EXPECT_EQ(monitor.Calls(Api::DialogBoxParamW), 0);
        EXPECT_EQ(monitor.Leaks(), "");
    }
}

TEST(WarningDialog, NullRequestReturnsZero)
{
    int windows = -1;
    EXPECT_EQ(CallCountingWindows(nullptr, &windows), 0);
    EXPECT_EQ(windows, 0);
}

// ---------------------------------------------------------------------------
// What the dialog shows.

TEST(WarningDialog, ShowsAndEnablesTheControlsItsRequestNames)
{
    const struct {
        uint32_t ok, cancel, third;
        int32_t checkBox;
    } cases[] = {
        {kOkString, kCancelString, kRetryString, 1},
        {kOkString, 0, 0, 0},
        {0, kCancelString, 0, 0},
        {0, 0, kRetryString, 0},
        {0, 0, 0, 1},
        {0, 0, 0, 0},
        {kOkString, kCancelString, 0, -7},  // any non-zero value shows the check box
        {9999, 0, 0, 0},                    // a missing string still shows its button
    };
    UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    for (const auto& test : cases) {
        SCOPED_TRACE("ok " + std::to_string(test.ok) + ", cancel " + std::to_string(test.cancel) + ", third " +
                     std::to_string(test.third) + ", check box " + std::to_string(test.checkBox));
        WarningDialogRequest request = SampleRequest();
        request.okStringId = test.ok;
        request.cancelStringId = test.cancel;
        request.thirdButtonStringId = test.third;
        request.showCheckBox = test.checkBox;
        RunningWarning warning(request);
        ASSERT_NE(warning.dialog(), nullptr);
        const struct {
            int control;
            bool shown;
        } expected[] = {
            {IDOK, test.ok != 0},        {IDCANCEL, test.cancel != 0}, {kThirdButton, test.third != 0},
            {kCheckBox, test.checkBox != 0}, {kMessage, true},         {kIconArea, true},
        };
        for (const auto& control : expected) {
            SCOPED_TRACE("control " + std::to_string(control.control));
            const HWND window = GetDlgItem(warning.dialog(), control.control);
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

Texts ReadTexts(HWND dialog)
{
    return {WindowText(dialog), ControlText(dialog, IDOK), ControlText(dialog, IDCANCEL),
            ControlText(dialog, kThirdButton), ControlText(dialog, kCheckBox)};
}

void ExpectTexts(const Texts& actual, const Texts& expected)
{
    EXPECT_EQ(actual.title, expected.title);
    EXPECT_EQ(actual.ok, expected.ok);
    EXPECT_EQ(actual.cancel, expected.cancel);
    EXPECT_EQ(actual.third, expected.third);
    EXPECT_EQ(actual.checkBox, expected.checkBox);
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
        {2057, {L"Printer Warning", L"&OK", L"&Cancel", L"&Retry", kCheckBoxFallback}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE("language " + std::to_string(test.language));
        UserLanguageOverride override(DocEventDlgModule(), test.language);
        RunningWarning warning(SampleRequest());
        ASSERT_NE(warning.dialog(), nullptr);
        ExpectTexts(ReadTexts(warning.dialog()), test.texts);
        warning.Post(WM_COMMAND, IDCANCEL);
        EXPECT_EQ(warning.Result(), IDCANCEL);
    }
}

TEST(WarningDialog, MissingStringsShowEmptyTextsAndTheCheckBoxItsBuiltInText)
{
    const std::wstring partial = BinPath(L"warning-strings-partial.dll");
    const struct {
        const char* name;
        std::wstring library;
        uint32_t title, ok, cancel, third;
        Texts texts;
    } cases[] = {
        {"library without the check box text", partial, 3000, 849, 3001, 3002,
         {L"Partial Title", L"Partial OK", L"Partial Cancel", L"Partial Third", kCheckBoxFallback}},
        {"empty entries in a present block", partial, 3005, 3004, 3003, 3006,
         {L"", L"", L"", L"Partial Other", kCheckBoxFallback}},
        {"IDs whose blocks are missing", partial, 5000, 5001, 6000, 7000, {L"", L"", L"", L"", kCheckBoxFallback}},
        {"missing library", BinPath(L"no-such-library.dll"), kTitleString, kOkString, kCancelString, kRetryString,
         {L"", L"", L"", L"", kCheckBoxFallback}},
        {"empty library path", L"", kTitleString, kOkString, kCancelString, kRetryString,
         {L"", L"", L"", L"", kCheckBoxFallback}},
        {"a program instead of a library", BinPath(L"warning_dialog_test.exe"), kTitleString, kOkString,
         kCancelString, kRetryString, {L"", L"", L"", L"", kCheckBoxFallback}},
    };
    UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        WarningDialogRequest request = SampleRequest();
        SetField(request.resourceLibraryPath, test.library);
        request.titleStringId = test.title;
        request.okStringId = test.ok;
        request.cancelStringId = test.cancel;
        request.thirdButtonStringId = test.third;
        RunningWarning warning(request);
        ASSERT_NE(warning.dialog(), nullptr);
        ExpectTexts(ReadTexts(warning.dialog()), test.texts);
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
        RunningWarning warning(SampleRequest(message));
        ASSERT_NE(warning.dialog(), nullptr);
        EXPECT_EQ(ControlText(warning.dialog(), kMessage), message);
        warning.Post(WM_COMMAND, IDOK);
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
        WarningDialogRequest request = SampleRequest(Units(test.units));
        request.showCheckBox = test.checkBox;
        RunningWarning warning(request);
        ASSERT_NE(warning.dialog(), nullptr);
        const Layout grown = CaptureLayout(warning.dialog());
        warning.Post(WM_COMMAND, IDOK);
        EXPECT_EQ(warning.Result(), IDOK);

        if (test.units <= 150) {
            ExpectSameRect(grown.frame, base.frame, "dialog");
            for (int control : kAllControls) {
                ExpectSameRect(grown.controls.at(control), base.controls.at(control),
                               ("control " + std::to_string(control)).c_str());
            }
            continue;
        }
        const RECT& message = base.controls.at(kMessage);
        const RECT& box = base.controls.at(kCheckBox);
        // At least the fixed growth; more where the message's lines need it
        // (1023 units: tests/accessibility).
        const int growth = Height(grown.controls.at(kMessage)) - Height(message);
        EXPECT_GE(growth, kGrowth);
        if (test.units < 1023) {
            EXPECT_EQ(growth, kGrowth);
        }
        ExpectRect(grown.frame, base.frame.left, base.frame.top, Width(base.frame), Height(base.frame) + growth,
                   "dialog");
        ExpectRect(grown.controls.at(kMessage), message.left, message.top, Width(message), Height(message) + growth,
                   "message");
        ExpectRect(grown.controls.at(kCheckBox), box.left, message.bottom + growth, Width(box), Height(box),
                   "check box");
        for (int button : {IDOK, IDCANCEL, kThirdButton}) {
            const RECT& was = base.controls.at(button);
            ExpectRect(grown.controls.at(button), was.left, message.bottom + growth + Height(box), Width(was),
                       Height(was), ("button " + std::to_string(button)).c_str());
        }
        ExpectSameRect(grown.controls.at(kIconArea), base.controls.at(kIconArea), "empty static");
    }
}

// OK at the right and the third button at the left when mirrored; the other
// way round when not.
void ExpectButtonOrder(HWND dialog, bool mirrored)
{
    const LONG ok = ScreenRect(dialog, IDOK).left;
    const LONG cancel = ScreenRect(dialog, IDCANCEL).left;
    const LONG third = ScreenRect(dialog, kThirdButton).left;
    if (mirrored) {
        EXPECT_GT(ok, cancel);
        EXPECT_GT(cancel, third);
    } else {
        EXPECT_LT(ok, cancel);
        EXPECT_LT(cancel, third);
    }
}

TEST(WarningDialog, ArabicAndHebrewUsersGetTheMirroredTemplate)
{
    const struct {
        LANGID language;
        bool mirrored;
    } cases[] = {
        {kArabic, true},  {kHebrew, true},   {0x0801, true},  // Arabic (Iraq)
        {0x3C01, true},                                       // Arabic (Bahrain)
        {kEnglish, false}, {kGerman, false}, {1065, false},   // Persian
        {0x0201, false},  // only the low byte of its primary language is Arabic's
    };
    for (const auto& test : cases) {
        SCOPED_TRACE("language " + std::to_string(test.language));
        UserLanguageOverride override(DocEventDlgModule(), test.language);
        RunningWarning warning(SampleRequest());
        ASSERT_NE(warning.dialog(), nullptr);
        const bool layoutRtl = (GetWindowLongPtrW(warning.dialog(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
        EXPECT_EQ(layoutRtl, test.mirrored);
        ExpectButtonOrder(warning.dialog(), test.mirrored);
        warning.Post(WM_COMMAND, IDOK);
        EXPECT_EQ(warning.Result(), IDOK);
    }
}

TEST(WarningDialog, GrownMirroredDialogKeepsEachControlInItsMirroredPlace)
{
    const Layout base = TemplateLayout(kArabic);
    UserLanguageOverride arabic(DocEventDlgModule(), kArabic);
    RunningWarning warning(SampleRequest(Units(400)));
    ASSERT_NE(warning.dialog(), nullptr);
    RECT frame{};
    GetWindowRect(warning.dialog(), &frame);
    for (int control : kAllControls) {
        SCOPED_TRACE("control " + std::to_string(control));
        const RECT screen = ScreenRect(warning.dialog(), control);
        const RECT& before = base.controls.at(control);
        // Mirrored client coordinates count from the right edge of the client area.
        EXPECT_EQ(ControlRect(warning.dialog(), control).left, before.left);
        EXPECT_EQ(ControlRect(warning.dialog(), control).right, before.right);
        EXPECT_LE(screen.right, frame.right);
        EXPECT_GE(screen.left, frame.left);
    }
    ExpectButtonOrder(warning.dialog(), true);
    warning.Post(WM_COMMAND, IDCANCEL);
    EXPECT_EQ(warning.Result(), IDCANCEL);
}

// ---------------------------------------------------------------------------
// Concurrency.

TEST(WarningDialog, TwoDialogsOnTwoThreadsAreIndependent)
{
    UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    RunningWarning first(SampleRequest(L"First dialog"));
    ASSERT_NE(first.dialog(), nullptr);
    RunningWarning second(SampleRequest(L"Second dialog"));
    ASSERT_NE(second.dialog(), nullptr);
    EXPECT_NE(first.dialog(), second.dialog());
    EXPECT_EQ(ControlText(first.dialog(), kMessage), L"First dialog");
    EXPECT_EQ(ControlText(second.dialog(), kMessage), L"Second dialog");

    first.Post(WM_COMMAND, kThirdButton);
    EXPECT_EQ(first.Result(), kThirdButton);
    EXPECT_TRUE(IsWindow(second.dialog()));
    EXPECT_FALSE(second.finished());
    EXPECT_EQ(ControlText(second.dialog(), kMessage), L"Second dialog");
    EXPECT_EQ(WindowText(second.dialog()), L"Printer Warning");

    second.Click(IDOK);
    EXPECT_EQ(second.Result(), IDOK);
}

TEST(WarningDialog, SecondDialogOpenedOnTopOfTheFirstEndsFirst)
{
    RunningWarning first(SampleRequest(L"Below"));
    ASSERT_NE(first.dialog(), nullptr);
    RunningWarning second(SampleRequest(L"Above"));
    ASSERT_NE(second.dialog(), nullptr);
    second.Post(WM_CLOSE);
    EXPECT_EQ(second.Result(), IDCANCEL);
    EXPECT_TRUE(first.StillOpenAfterPosting());
    first.Post(WM_COMMAND, IDCANCEL);
    EXPECT_EQ(first.Result(), IDCANCEL);
}

// ---------------------------------------------------------------------------
// Failures and clean-up.

TEST(WarningDialog, FailuresShowNothingAndLeaveNothingAllocated)
{
    const struct {
        const char* name;
        Api api;
        intptr_t expected;
    } cases[] = {
        {"copy of the request", Api::LocalAlloc, 0},
        {"dialog state", Api::Malloc, 0},
        {"dialog creation", Api::DialogBoxParamW, -1},
    };
    const WarningDialogRequest request = SampleRequest();
    int windows = -1;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        monitor.Fail(test.api);
        windows = -1;
        EXPECT_EQ(CallCountingWindows(&request, &windows), test.expected);
        EXPECT_EQ(windows, 0);
        EXPECT_GE(monitor.Calls(test.api), 1);
        EXPECT_EQ(monitor.Calls(Api::LocalAlloc), 1);
        EXPECT_EQ(monitor.Calls(Api::LoadLibraryExW), 0);
        if (test.api != Api::DialogBoxParamW) {
            EXPECT_EQ(monitor.Calls(Api::DialogBoxParamW), 0);
        }
        EXPECT_EQ(monitor.Leaks(), "");
    }
}

TEST(WarningDialog, ReleasesTheCopyTheStateAndTheLibraryAfterTheDialog)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    {
        RunningWarning warning(SampleRequest(Units(300)));
        ASSERT_NE(warning.dialog(), nullptr);
        EXPECT_EQ(monitor.Outstanding(Owned::Library), 1);
        EXPECT_EQ(monitor.Outstanding(Owned::LocalMemory), 1);
        warning.Click(kThirdButton);
        EXPECT_EQ(warning.Result(), kThirdButton);
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
    WarningDialogRequest request = SampleRequest();
    const std::wstring full = Units(1024);
    full.copy(request.messageText, 1024);
    // The fields behind the message are not text: they must not show.
    request.thirdButtonStringId = 0x00410041;
    *guarded.get() = request;

    RunningWarning warning(request, guarded.get());
    ASSERT_NE(warning.dialog(), nullptr);
    EXPECT_EQ(ControlText(warning.dialog(), kMessage), full.substr(0, 1023));
    warning.Post(WM_COMMAND, IDOK);
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
        WarningDialogRequest request = SampleRequest();
        SetField(request.resourceLibraryPath, path);
        RunningWarning warning(request);
        ASSERT_NE(warning.dialog(), nullptr);
        EXPECT_EQ(WindowText(warning.dialog()), L"Printer Warning");
        warning.Post(WM_CLOSE);
        EXPECT_EQ(warning.Result(), IDCANCEL);
    }

    // Without a NUL, its last unit is dropped and nothing past the record is read.
    RecordAtPageEnd guarded;
    ASSERT_NE(guarded.get(), nullptr);
    WarningDialogRequest request = SampleRequest();
    (path + L"Q").copy(request.resourceLibraryPath, 256);
    *guarded.get() = request;
    RunningWarning warning(request, guarded.get());
    ASSERT_NE(warning.dialog(), nullptr);
    EXPECT_EQ(WindowText(warning.dialog()), L"Printer Warning");
    EXPECT_EQ(ControlText(warning.dialog(), IDOK), L"&OK");
    warning.Post(WM_COMMAND, IDOK);
    EXPECT_EQ(warning.Result(), IDOK);
}

TEST(WarningDialog, CallerMayReleaseItsRecordWhileTheDialogRuns)
{
    RecordAtPageEnd guarded;
    ASSERT_NE(guarded.get(), nullptr);
    *guarded.get() = SampleRequest(Units(200));
    UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    RunningWarning warning(*guarded.get(), guarded.get());
    ASSERT_NE(warning.dialog(), nullptr);
    // The record becomes unreadable; the dialog works from its own copy.
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(guarded.get(), sizeof(WarningDialogRequest), PAGE_NOACCESS, &old));
    PressKey(warning.dialog(), VK_ESCAPE);
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
    RunningWarning warning(SampleRequest(Units(151)));
    ASSERT_NE(warning.dialog(), nullptr);
    EXPECT_NE(GetWindowLongPtrW(warning.dialog(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0);
    EXPECT_EQ(WindowText(warning.dialog()), titles.at(expected));
    ExpectButtonOrder(warning.dialog(), true);
    // Grown: the buttons sit below the check box, which sits below the message.
    const RECT message = ControlRect(warning.dialog(), kMessage);
    const RECT box = ControlRect(warning.dialog(), kCheckBox);
    EXPECT_EQ(box.top, message.bottom);
    EXPECT_EQ(ControlRect(warning.dialog(), IDOK).top, box.bottom);
    warning.Click(kThirdButton);
    EXPECT_EQ(warning.Result(), kThirdButton);
}

// ---------------------------------------------------------------------------
// IShowWarningDialogEx: the same dialog, and the check box's state as it ended.

using ShowWarningDialogExFunction = int32_t(WINAPI*)(const WarningDialogRequest*, int32_t*);

ShowWarningDialogExFunction ShowWarningDialogExExport()
{
    return reinterpret_cast<ShowWarningDialogExFunction>(
        reinterpret_cast<void*>(GetProcAddress(DocEventDlgModule(), "IShowWarningDialogEx")));
}

constexpr int32_t kUnwritten = 7;

// One IShowWarningDialogEx call on a thread of its own; answer null asks for
// no check box answer.
class RunningWarningEx {
public:
    RunningWarningEx(const WarningDialogRequest* request, int32_t* answer)
        : call_([request, answer] { return static_cast<intptr_t>(ShowWarningDialogExExport()(request, answer)); })
    {
    }
    HWND WaitDialog() { return WaitForDialog(call_.threadId()); }
    // The export's result, or kStillOpen when it has not returned in time.
    intptr_t Result(DWORD timeoutMs = 5000)
    {
        if (call_.Wait(timeoutMs)) {
            return call_.result();
        }
        CloseAllDialogs();
        return kStillOpen;
    }

private:
    BackgroundCall call_;
};

struct WarningEnd {
    const char* name;
    void (*end)(HWND dialog);
    intptr_t expected;
};

const WarningEnd kWarningEnds[] = {
    {"OK", [](HWND d) { PostMessageW(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }, IDOK},
    {"Cancel", [](HWND d) { PostMessageW(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0); }, IDCANCEL},
    {"third button", [](HWND d) { PostMessageW(GetDlgItem(d, kThirdButton), BM_CLICK, 0, 0); }, kThirdButton},
    {"WM_CLOSE", [](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); }, IDCANCEL},
    {"close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
    {"Escape key", [](HWND d) { PressKey(d, VK_ESCAPE); }, IDCANCEL},
};

TEST(WarningDialogEx, AnswersWhetherTheBoxWasTickedAsTheDialogEnded)
{
    ASSERT_NE(ShowWarningDialogExExport(), nullptr);
    const struct {
        const char* name;
        int32_t showCheckBox;
        int clicks;        // on the box, as the user clicks it
        bool checkHidden;  // the hidden box checked by a message instead
        bool wanted;       // false: a null answer pointer
        int32_t expected;
    } cases[] = {
        {"ticked", 1, 1, false, true, 1},
        {"not ticked", 1, 0, false, true, 0},
        {"ticked and unticked", 1, 2, false, true, 0},
        {"box hidden", 0, 0, true, true, 0},
        {"ticked, answer not wanted", 1, 1, false, false, kUnwritten},
    };
    for (const auto& test : cases) {
        for (const WarningEnd& end : kWarningEnds) {
            SCOPED_TRACE(std::string(test.name) + ", ended by " + end.name);
            WarningDialogRequest request = SampleRequest();
            request.showCheckBox = test.showCheckBox;
            int32_t answer = kUnwritten;
            RunningWarningEx warning(&request, test.wanted ? &answer : nullptr);
            const HWND dialog = warning.WaitDialog();
            ASSERT_NE(dialog, nullptr);
            const HWND box = GetDlgItem(dialog, kCheckBox);
            DWORD_PTR ignored = 0;
            for (int click = 0; click < test.clicks; ++click) {
                SendMessageTimeoutW(box, BM_CLICK, 0, 0, SMTO_BLOCK, 5000, &ignored);
            }
            if (test.checkHidden) {
                SendMessageTimeoutW(box, BM_SETCHECK, BST_CHECKED, 0, SMTO_BLOCK, 5000, &ignored);
            }
            const bool checked = test.clicks % 2 == 1 || test.checkHidden;
            ASSERT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), checked ? BST_CHECKED : BST_UNCHECKED);
            end.end(dialog);
            EXPECT_EQ(warning.Result(), end.expected);
            EXPECT_EQ(answer, test.expected);
        }
    }
}

TEST(WarningDialogEx, NothingShownAnswersNotTicked)
{
    WarningDialogRequest hidden = SampleRequest();
    hidden.showDialog = 2;
    const WarningDialogRequest shown = SampleRequest();
    const struct {
        const char* name;
        const WarningDialogRequest* request;
        bool failCreation;
        intptr_t expected;
    } cases[] = {
        {"null request", nullptr, false, 0},
        {"showDialog 2", &hidden, false, 0},
        {"dialog cannot be created", &shown, true, -1},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        if (test.failCreation) {
            monitor.Fail(Api::DialogBoxParamW);
        }
        int32_t answer = kUnwritten;
        RunningWarningEx warning(test.request, &answer);
        EXPECT_EQ(warning.Result(), test.expected);
        EXPECT_EQ(answer, 0);
        EXPECT_EQ(monitor.Leaks(), "");
    }
}

}  // namespace
