// The two-sided printing instructions dialog, driven through VDisplayDialog as
// a printer driver calls it: both modes, every text, the commands, the help
// request, the painted pictures in both layouts, and the failure paths.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bare_thread.h"
#include "dialog_probe.h"
#include "dll_monitor.h"
#include "language_override.h"
#include "pixels.h"
#include "resource.h"
#include "test_paths.h"

namespace {

const wchar_t kTitle[] = L"Print on Both Sides Instructions";
const wchar_t kEvenIntro[] =
    L"After the even-numbered pages have printed, the Manual Feed prompt will occur on the printer.  "
    L"Follow the instructions below to print the odd-numbered pages (second sides).";
const wchar_t kOddIntro[] =
    L"The odd-numbered pages of your document are printing.  Remove the printed pages from the OUT tray when "
    L"printing is complete.  Follow the instructions below to print the second side of your pages.";
const wchar_t kStep1[] =
    L"Without changing the orientation, remove the  paper stack from the Output Bin.  Do not discard blank sheets.";
const wchar_t kStep2[] = L"Maintaining the same orientation, insert the paper stack into Tray 1";
const wchar_t kStep3[] = L"If printing does not automatically continue, press the Go or Check button.";
const wchar_t kInTray[] = L"Insert the stack into the IN tray with the top of the pages toward the device, as shown.";
const wchar_t kPressGo[] = L"Press the Go or Select button to continue printing.";

const int kFrames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) {
        out += c < 128 ? static_cast<char>(c) : '?';
    }
    return out;
}

DuplexInstructionsRequest MakeRequest(uint32_t waitForContinue, const wchar_t* library = L"doceventdlg-strings.dll")
{
    DuplexInstructionsRequest request{};
    if (library != nullptr && library[0] != L'\0') {
        SetField(request.resourceLibraryPath, BinPath(library));
    }
    SetField(request.helpFilePath, L"C:\\help\\duplex.hlp");
    request.step1BitmapId = 105;
    request.step1StringId = 3150;
    request.step2BitmapId = 147;
    request.step2StringId = 3151;
    request.step3BitmapId = 154;
    request.step3StringId = 3152;
    request.waitForContinue = waitForContinue;
    return request;
}

// One open dialog and the thread that runs it.
struct Opened {
    HWND dialog = nullptr;
    DWORD threadId = 0;
    HANDLE thread = nullptr;  // ours, to wait for the thread's end
};

std::set<HWND> KnownDialogs()
{
    const std::vector<HWND> open = ProcessDialogs();
    return std::set<HWND>(open.begin(), open.end());
}

Opened Track(HWND dialog)
{
    Opened opened;
    opened.dialog = dialog;
    if (dialog != nullptr) {
        opened.threadId = GetWindowThreadProcessId(dialog, nullptr);
        opened.thread = OpenThread(SYNCHRONIZE, FALSE, opened.threadId);
    }
    return opened;
}

// Informational mode: the export returns and the dialog appears on its thread.
Opened OpenInformational(const DuplexInstructionsRequest& request)
{
    const std::set<HWND> known = KnownDialogs();
    DisplayDialogExport()(&request);
    return Track(WaitForDialog(0, 10000, known));
}

// Opens the dialog in the request's own mode. Waiting mode blocks its caller,
// so the export then runs in call, which the case keeps until the dialog ends.
Opened OpenInItsMode(const DuplexInstructionsRequest& request, std::optional<BackgroundCall>& call)
{
    if (request.waitForContinue == 0) {
        return OpenInformational(request);
    }
    call.emplace([&request] {
        DisplayDialogExport()(&request);
        return intptr_t{0};
    });
    return Track(WaitForDialog(call->threadId()));
}

// Ends the dialog through its close box and waits until its thread is gone
// when the thread is the dialog's own.
bool CloseAndJoin(Opened& opened, bool ownThread = true)
{
    bool ok = true;
    if (opened.dialog != nullptr && IsWindow(opened.dialog)) {
        PostMessageW(opened.dialog, WM_CLOSE, 0, 0);
        ok = WaitForWindowGone(opened.dialog);
    }
    if (opened.thread != nullptr) {
        if (ownThread) {
            ok = WaitForSingleObject(opened.thread, 10000) == WAIT_OBJECT_0 && ok;
        }
        CloseHandle(opened.thread);
        opened.thread = nullptr;
    }
    return ok;
}

bool IsRightToLeft(HWND dialog) { return (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0; }

// A top-level window on a thread of its own, which keeps its messages flowing
// while a modal dialog disables it or another thread waits.
class TestWindow {
public:
    explicit TestWindow(const RECT& rect, bool topMost = false) : rect_(rect), topMost_(topMost)
    {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
        WaitForSingleObject(ready_, 10000);
    }
    ~TestWindow()
    {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        CloseHandle(ready_);
    }
    HWND window() const { return window_; }

private:
    static DWORD WINAPI Run(void* self)
    {
        auto* test = static_cast<TestWindow*>(self);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = L"DuplexTestWindow";
        RegisterClassW(&windowClass);
        const RECT& r = test->rect_;
        test->window_ = CreateWindowExW(test->topMost_ ? WS_EX_TOPMOST : 0, L"DuplexTestWindow", L"test window",
                                        WS_POPUP | WS_VISIBLE, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetEvent(test->ready_);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            DispatchMessageW(&message);
        }
        DestroyWindow(test->window_);
        return 0;
    }
    RECT rect_;
    bool topMost_;
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
};

class DuplexDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(DocEventDlgModule(), nullptr);
        ASSERT_NE(DisplayDialogExport(), nullptr);
        SetLanguage(0x0409);
    }
    void TearDown() override
    {
        CloseAllDialogs();
        language_.reset();
    }
    void SetLanguage(LANGID language)
    {
        language_.reset();
        language_.emplace(DocEventDlgModule(), language);
        ASSERT_TRUE(language_->active());
    }

private:
    std::optional<UserLanguageOverride> language_;
};

// ---------------------------------------------------------------- modes

TEST_F(DuplexDialogTest, NullRequestReturnsAtOnceAndShowsNothing)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    DisplayDialogExport()(nullptr);
    // No thread was started, so no dialog can come up later.
    EXPECT_TRUE(ProcessDialogs().empty());
    EXPECT_EQ(monitor.Calls(Api::LocalAlloc), 0);
    EXPECT_EQ(monitor.Calls(Api::CreateThread), 0);
}

TEST_F(DuplexDialogTest, InformationalModeReturnsAtOnceOnItsOwnThreadWithoutOwner)
{
    // A foreground window of our own must not become the owner.
    TestWindow foreground(RECT{100, 100, 500, 400});
    SetForegroundWindow(foreground.window());
    DuplexInstructionsRequest request = MakeRequest(0);
    Opened opened = OpenInformational(request);
    ASSERT_NE(opened.dialog, nullptr);
    EXPECT_NE(opened.threadId, GetCurrentThreadId());
    EXPECT_EQ(GetWindow(opened.dialog, GW_OWNER), nullptr);
    EXPECT_EQ(ControlText(opened.dialog, IDOK), L"&OK");
    EXPECT_TRUE(IsWindowVisible(opened.dialog));
    EXPECT_TRUE(CloseAndJoin(opened));
}

TEST_F(DuplexDialogTest, WaitingModeReturnsAfterTheDialogAndIsOwnedByTheForegroundWindow)
{
    // Any non-zero value selects waiting mode.
    for (uint32_t wait : {1u, 2u, 0x80000000u}) {
        SCOPED_TRACE("waitForContinue " + std::to_string(wait));
        TestWindow foreground(RECT{100, 100, 500, 400});
        ASSERT_NE(foreground.window(), nullptr);
        SetForegroundWindow(foreground.window());
        ASSERT_EQ(GetForegroundWindow(), foreground.window());
        DuplexInstructionsRequest request = MakeRequest(wait);
        BackgroundCall call([&] {
            DisplayDialogExport()(&request);
            return intptr_t{0};
        });
        const HWND dialog = WaitForDialog(call.threadId());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(GetWindowThreadProcessId(dialog, nullptr), call.threadId());
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), foreground.window());
        EXPECT_EQ(ControlText(dialog, IDOK), L"C&ontinue");
        EXPECT_TRUE(WaitUntilPostedHandled(dialog));  // the dialog runs its messages
        EXPECT_FALSE(call.finished()) << "returned while the dialog was open";
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(call.Wait(10000));
        EXPECT_FALSE(IsWindow(dialog));
    }
}

TEST_F(DuplexDialogTest, CallerMayReleaseItsRecordAtOnce)
{
    auto request = std::make_unique<DuplexInstructionsRequest>(MakeRequest(0));
    request->evenPagesFirst = 1;
    const std::set<HWND> known = KnownDialogs();
    DisplayDialogExport()(request.get());
    // Overwrite and free the record before the dialog has read anything.
    std::memset(request.get(), 0xEE, sizeof(*request));
    request.reset();
    Opened opened = Track(WaitForDialog(0, 10000, known));
    ASSERT_NE(opened.dialog, nullptr);
    EXPECT_EQ(ControlText(opened.dialog, IDC_DUPLEX_INTRODUCTION), kEvenIntro);
    EXPECT_EQ(ControlText(opened.dialog, IDC_DUPLEX_STEP1_TEXT), kStep1);
    EXPECT_TRUE(CloseAndJoin(opened));
}

// ---------------------------------------------------------------- texts

struct TextCase {
    const char* name;
    const wchar_t* library;  // in the program's folder; empty: none
    uint32_t waitForContinue;
    uint32_t evenPagesFirst;
    uint32_t step1, step2, step3;
    uint32_t reserved;
    const wchar_t* intro;
    const wchar_t* step1Text;
    const wchar_t* step2Text;
    std::wstring step3Text;
};

const std::wstring kComposedFallback = std::wstring(kInTray) + L"\n" + kPressGo;

std::wstring Repeat(const wchar_t* piece, size_t units, const wchar_t* prefix)
{
    std::wstring text = prefix;
    while (text.size() < units) {
        text += piece;
    }
    return text.substr(0, units);
}

TEST_F(DuplexDialogTest, TextsFollowTheModeTheFlagsAndTheLibrary)
{
    const std::wstring longLines =
        Repeat(L"0123456789", 255, L"Insert-") + L"\n" + Repeat(L"abcdefghij", 255, L"Press-");
    const TextCase cases[] = {
        {"no library, informational, 3140: both built-in lines", L"", 0, 0, 3150, 3151, 3140, 0, kOddIntro, kStep1,
         kStep2, kComposedFallback},
        {"no library, waiting, 3140: plain built-in step 3", L"", 1, 1, 3150, 3151, 3140, 0, kEvenIntro, kStep1, kStep2,
         kStep3},
        {"no library, flags 2 count as set", L"", 2, 2, 1, 2, 3, 0, kEvenIntro, kStep1, kStep2, kStep3},
        {"no library, reserved has no effect", L"", 0, 0, 3150, 3151, 3152, 0xFFFFFFFFu, kOddIntro, kStep1, kStep2,
         kStep3},
        {"sample, informational, 3140 composed from the library", L"doceventdlg-strings.dll", 0, 0, 3150, 3151, 3140, 0,
         kOddIntro, kStep1, kStep2, kComposedFallback},
        {"sample, waiting, 3140 alone", L"doceventdlg-strings.dll", 1, 0, 3150, 3151, 3140, 0, kOddIntro, kStep1, kStep2,
         kInTray},
        {"sample, other step-3 IDs alone, informational", L"doceventdlg-strings.dll", 0, 1, 3153, 3155, 3157, 0,
         kEvenIntro, L"Remove the printed stack from the top output bin.  Keep the pages in the same order.",
         L"Insert the printed sheets one at a time into the manual feed slot, printed side up, top edge first.",
         L"Click Continue in this window to print the second sides."},
        {"sample, other step-3 ID alone, waiting", L"doceventdlg-strings.dll", 1, 0, 3150, 3151, 3066, 0, kOddIntro,
         kStep1, kStep2, kPressGo},
        {"sample, missing step IDs show their built-in texts", L"doceventdlg-strings.dll", 0, 0, 9001, 9002, 9003, 0,
         kOddIntro, kStep1, kStep2, kStep3},
        {"first line only: library line and built-in second line", L"duplex-first-line-only.dll", 0, 0, 3150, 9002,
         3140, 0, kOddIntro, L"Step text from the library.", kStep2,
         std::wstring(L"First line from the library.\n") + kPressGo},
        {"second line only: built-in first line and library line", L"duplex-second-line-only.dll", 0, 0, 3150, 3151,
         3140, 0, kOddIntro, kStep1, kStep2, std::wstring(kInTray) + L"\nSecond line from the library."},
        {"lines of 300 units: each cut to 255, joined whole", L"duplex-long-lines.dll", 0, 0, 3150, 3151, 3140, 0,
         kOddIntro, kStep1, kStep2, longLines},
        {"long line in waiting mode: cut to 255", L"duplex-long-lines.dll", 1, 0, 3150, 3151, 3140, 0, kOddIntro,
         kStep1, kStep2, Repeat(L"0123456789", 255, L"Insert-")},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        DuplexInstructionsRequest request = MakeRequest(c.waitForContinue, c.library);
        request.evenPagesFirst = c.evenPagesFirst;
        request.step1StringId = c.step1;
        request.step2StringId = c.step2;
        request.step3StringId = c.step3;
        request.reserved = c.reserved;
        std::optional<BackgroundCall> call;
        Opened opened = OpenInItsMode(request, call);
        ASSERT_NE(opened.dialog, nullptr);
        const HWND dialog = opened.dialog;
        EXPECT_EQ(WindowText(dialog), kTitle);
        EXPECT_EQ(ControlText(dialog, IDC_DUPLEX_INTRODUCTION), c.intro);
        EXPECT_EQ(ControlText(dialog, IDC_DUPLEX_STEP1_NUMBER), L"1.");
        EXPECT_EQ(ControlText(dialog, IDC_DUPLEX_STEP2_NUMBER), L"2.");
        EXPECT_EQ(ControlText(dialog, IDC_DUPLEX_STEP3_NUMBER), L"3.");
        EXPECT_EQ(ControlText(dialog, IDC_DUPLEX_STEP1_TEXT), c.step1Text);
        EXPECT_EQ(ControlText(dialog, IDC_DUPLEX_STEP2_TEXT), c.step2Text);
        const std::wstring step3 = ControlText(dialog, IDC_DUPLEX_STEP3_TEXT);
        EXPECT_EQ(step3, c.step3Text) << Narrow(step3);
        EXPECT_EQ(step3.find(L'\r'), std::wstring::npos);
        EXPECT_EQ(ControlText(dialog, IDOK), c.waitForContinue != 0 ? L"C&ontinue" : L"&OK");
        EXPECT_EQ(ControlText(dialog, IDC_DUPLEX_HELP), L"&Help");
        for (int group : {IDC_DUPLEX_STEP1_GROUP, IDC_DUPLEX_STEP2_GROUP, IDC_DUPLEX_STEP3_GROUP}) {
            EXPECT_EQ(ControlText(dialog, group), L"") << group;
        }
        EXPECT_TRUE(CloseAndJoin(opened, c.waitForContinue == 0));
        if (call) {
            EXPECT_TRUE(call->Wait(10000));
        }
    }
}

struct LanguageCase {
    LANGID language;
    bool rightToLeft;
    const wchar_t* title;
    const wchar_t* help;
    const wchar_t* ok;
    const wchar_t* inTray;
    const wchar_t* pressGo;
};

TEST_F(DuplexDialogTest, TextsComeFromTheLibraryInTheUsersLanguage)
{
    const LanguageCase cases[] = {
        {0x0407, false, L"Anleitung zum beidseitigen Drucken", L"&Hilfe", L"&OK",
         L"Legen Sie den Stapel wie abgebildet in das Zufuhrfach ein. Die Oberkante der Seiten zeigt zum Ger\u00e4t.",
         L"Dr\u00fccken Sie die Taste Go oder Select, um den Druck fortzusetzen."},
        {0x040A, false, L"Instrucciones para imprimir a doble cara", L"Ay&uda", L"&Aceptar",
         L"Introduzca la pila en la bandeja de entrada con la parte superior de las p\u00e1ginas hacia el dispositivo, "
         L"como se muestra.",
         L"Pulse el bot\u00f3n Go o Select para continuar la impresi\u00f3n."},
        {0x040D, true, L"\u05d4\u05d5\u05e8\u05d0\u05d5\u05ea \u05dc\u05d4\u05d3\u05e4\u05e1\u05d4 "
                       L"\u05d3\u05d5-\u05e6\u05d3\u05d3\u05d9\u05ea",
         L"&\u05e2\u05d6\u05e8\u05d4", L"&\u05d0\u05d9\u05e9\u05d5\u05e8", nullptr, nullptr},
        {0x0409, false, kTitle, L"&Help", L"&OK", kInTray, kPressGo},
    };
    for (const LanguageCase& c : cases) {
        SCOPED_TRACE("language " + std::to_string(c.language));
        SetLanguage(c.language);
        DuplexInstructionsRequest request = MakeRequest(0);
        request.step3StringId = 3140;
        Opened opened = OpenInformational(request);
        ASSERT_NE(opened.dialog, nullptr);
        EXPECT_EQ(WindowText(opened.dialog), c.title);
        EXPECT_EQ(ControlText(opened.dialog, IDC_DUPLEX_HELP), c.help);
        EXPECT_EQ(ControlText(opened.dialog, IDOK), c.ok);
        EXPECT_EQ(IsRightToLeft(opened.dialog), c.rightToLeft);
        if (c.inTray != nullptr) {
            EXPECT_EQ(ControlText(opened.dialog, IDC_DUPLEX_STEP3_TEXT), std::wstring(c.inTray) + L"\n" + c.pressGo);
        }
        EXPECT_TRUE(CloseAndJoin(opened));
    }
}

TEST_F(DuplexDialogTest, PathsAreReadOnlyWithinTheirField)
{
    SetLanguage(0x0407);
    DuplexInstructionsRequest request = MakeRequest(0, nullptr);
    // A path of exactly 255 units that names the sample library, followed by
    // a stray unit in the field's last place instead of a NUL.
    std::wstring folder = ProgramFolder();
    const std::wstring file = L"doceventdlg-strings.dll";
    size_t fill = 255 - folder.size() - file.size();
    if (fill % 2 != 0) {
        folder += L"..\\bin\\";
        fill -= 7;
    }
    std::wstring path = folder;
    for (size_t i = 0; i < fill / 2; ++i) {
        path += L".\\";
    }
    path += file;
    ASSERT_EQ(path.size(), 255u);
    ASSERT_EQ(GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES, true) << "the test's own path is wrong";
    path.copy(request.resourceLibraryPath, 255);
    request.resourceLibraryPath[255] = L'X';
    for (wchar_t& unit : request.helpFilePath) {
        unit = L'h';
    }

    DllMonitor monitor(DocEventDlgModule());
    Opened opened = OpenInformational(request);
    ASSERT_NE(opened.dialog, nullptr);
    EXPECT_EQ(WindowText(opened.dialog), L"Anleitung zum beidseitigen Drucken");
    PostMessageW(opened.dialog, WM_COMMAND, MAKEWPARAM(IDC_DUPLEX_HELP, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(opened.dialog, IDC_DUPLEX_HELP)));
    ASSERT_TRUE(WaitUntilPostedHandled(opened.dialog));
    ASSERT_EQ(monitor.HelpCalls().size(), 1u);
    EXPECT_EQ(monitor.HelpCalls()[0].helpFile, std::wstring(255, L'h'));
    EXPECT_TRUE(CloseAndJoin(opened));
}

// ---------------------------------------------------------------- commands

TEST_F(DuplexDialogTest, EnterAndTheCloseBoxEndItEscapeDoesNot)
{
    enum class Way { Enter, CloseBox, Command };
    const struct {
        const char* name;
        Way way;
        uint32_t wait;
    } cases[] = {{"Enter, informational", Way::Enter, 0},   {"Enter, waiting", Way::Enter, 1},
                 {"close box, informational", Way::CloseBox, 0}, {"close box, waiting", Way::CloseBox, 1},
                 {"OK button, waiting", Way::Command, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DuplexInstructionsRequest request = MakeRequest(c.wait);
        std::optional<BackgroundCall> call;
        Opened opened = OpenInItsMode(request, call);
        ASSERT_NE(opened.dialog, nullptr);
        SetForegroundWindow(opened.dialog);

        // Escape, Cancel and notifications other than a click change nothing.
        PressKey(opened.dialog, VK_ESCAPE);
        PostMessageW(opened.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        PostMessageW(opened.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS),
                     reinterpret_cast<LPARAM>(GetDlgItem(opened.dialog, IDOK)));
        EXPECT_TRUE(WaitUntilPostedHandled(opened.dialog));
        EXPECT_TRUE(IsWindow(opened.dialog));
        if (call) {
            EXPECT_FALSE(call->finished());
        }

        switch (c.way) {
        case Way::Enter:
            PressKey(opened.dialog, VK_RETURN);
            break;
        case Way::CloseBox:
            PostMessageW(opened.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case Way::Command:
            PostMessageW(opened.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(opened.dialog, IDOK)));
            break;
        }
        EXPECT_TRUE(WaitForWindowGone(opened.dialog, 30000));
        if (call) {
            EXPECT_TRUE(call->Wait(30000));
        }
        EXPECT_TRUE(CloseAndJoin(opened, c.wait == 0));
    }
}

TEST_F(DuplexDialogTest, HelpShowsThePopUpTopicOfTheModeAndTheDialogStays)
{
    const struct {
        const char* name;
        uint32_t wait;
        DWORD topic;
    } cases[] = {{"informational", 0, 15274}, {"waiting", 1, 15275}, {"waiting, flag 7", 7, 15275}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        DuplexInstructionsRequest request = MakeRequest(c.wait);
        SetField(request.helpFilePath, L"C:\\drivers\\help\\printer.hlp");
        std::optional<BackgroundCall> call;
        Opened opened = OpenInItsMode(request, call);
        ASSERT_NE(opened.dialog, nullptr);
        const HWND help = GetDlgItem(opened.dialog, IDC_DUPLEX_HELP);
        PostMessageW(opened.dialog, WM_COMMAND, MAKEWPARAM(IDC_DUPLEX_HELP, BN_CLICKED), reinterpret_cast<LPARAM>(help));
        // Once the click is handled, every help request it made is recorded.
        ASSERT_TRUE(WaitUntilPostedHandled(opened.dialog));
        const std::vector<HelpCall> calls = monitor.HelpCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].window, help);
        EXPECT_EQ(calls[0].helpFile, L"C:\\drivers\\help\\printer.hlp");
        EXPECT_EQ(calls[0].command, static_cast<UINT>(HELP_WM_HELP));
        EXPECT_EQ(calls[0].ids, (std::array<DWORD, 4>{IDC_DUPLEX_HELP, c.topic, 0, 0}));
        EXPECT_TRUE(IsWindow(opened.dialog));
        EXPECT_TRUE(CloseAndJoin(opened, c.wait == 0));
        if (call) {
            EXPECT_TRUE(call->Wait(30000));
        }
    }
}

// ---------------------------------------------------------------- pictures

struct PictureCase {
    const char* name;
    LANGID language;
    uint32_t bitmaps[3];
    WORD shown[3];  // 0: the frame shows background only
};

void ExpectPictures(HWND dialog, const PictureCase& c, const char* when)
{
    SCOPED_TRACE(when);
    const bool rightToLeft = IsRightToLeft(dialog);
    const uint32_t background = SystemColorPixel(COLOR_BTNFACE);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("frame " + std::to_string(kFrames[i]));
        const Pixels frame = CaptureClient(GetDlgItem(dialog, kFrames[i]));
        ASSERT_FALSE(frame.empty());
        if (c.shown[i] == 0) {
            EXPECT_TRUE(AllPixels(frame, background)) << "a frame without a picture shows background only";
            continue;
        }
        const Pixels bitmap = LoadBitmapPixels(DocEventDlgModule(), c.shown[i]);
        ASSERT_FALSE(bitmap.empty());
        // The frame is a little larger than the pictures, so that there is a
        // strip of background to see.
        EXPECT_GT(frame.width, bitmap.width);
        EXPECT_EQ(ComparePicture(frame, bitmap, rightToLeft, background), "");
    }
}

const PictureCase kPictureCases[] = {
    {"left to right", 0x0409, {105, 147, 154}, {105, 147, 154}},
    {"high bits of the ID ignored", 0x0409, {0x10069, 0xFFFF0093, 0x7A009A}, {105, 147, 154}},
    {"no such bitmap in the middle", 0x0409, {153, 999, 122}, {153, 0, 122}},
    {"Arabic, mirrored layout", 0x0401, {105, 147, 154}, {105, 147, 154}},
    {"Hebrew, mirrored layout, missing first", 0x040D, {0, 133, 155}, {0, 133, 155}},
};

TEST_F(DuplexDialogTest, EachFrameShowsItsBitmapFromTheFramesOriginCorner)
{
    for (const PictureCase& c : kPictureCases) {
        SCOPED_TRACE(c.name);
        SetLanguage(c.language);
        DuplexInstructionsRequest request = MakeRequest(0);
        for (int i = 0; i < 3; ++i) {
            (&request.step1BitmapId)[2 * i] = c.bitmaps[i];
        }
        Opened opened = OpenInformational(request);
        ASSERT_NE(opened.dialog, nullptr);
        EXPECT_EQ(IsRightToLeft(opened.dialog), c.language == 0x0401 || c.language == 0x040D);
        WaitUntilPainted(opened.dialog);
        ExpectPictures(opened.dialog, c, "first paint");
        EXPECT_TRUE(CloseAndJoin(opened));
    }
}

TEST_F(DuplexDialogTest, MirroredPicturesAreSeenUnflippedOnTheScreen)
{
    // What the screen shows, not only the window's surface: in the mirrored
    // layout the picture reads as the bitmap does, from the frame's right edge.
    SetLanguage(0x0401);
    DuplexInstructionsRequest request = MakeRequest(0);
    Opened opened = OpenInformational(request);
    ASSERT_NE(opened.dialog, nullptr);
    SetForegroundWindow(opened.dialog);
    SetWindowPos(opened.dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    WaitUntilPainted(opened.dialog);
    // Painted once more: Wine 10 at times draws a mirrored dialog raised
    // before or while it paints with each frame's pictures 6 pixels (the width
    // of the dialog's borders) right of the frame on the screen, its window DC
    // offset so, though the library's coordinates are right; a paint after
    // the raise lands where the frame is.
    RedrawWindow(opened.dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    WaitUntilPainted(opened.dialog);
    const HWND frame = GetDlgItem(opened.dialog, IDC_DUPLEX_STEP1_PICTURE);
    RECT client{};
    GetClientRect(frame, &client);
    POINT corner{0, 0};
    ClientToScreen(frame, &corner);  // the client origin: the right edge when mirrored
    RECT onScreen{corner.x - client.right, corner.y, corner.x, corner.y + client.bottom};
    const Pixels bitmap = LoadBitmapPixels(DocEventDlgModule(), 105);
    // The window's surface reaches the X server a moment after the paint, as
    // the server gets to it: the screen is read again until it shows the
    // picture, for at most ten seconds.
    const auto compare = [&] { return ComparePicture(CaptureScreen(onScreen), bitmap, true, SystemColorPixel(COLOR_BTNFACE)); };
    std::string difference = compare();
    for (const ULONGLONG deadline = GetTickCount64() + 10000; !difference.empty() && GetTickCount64() < deadline;) {
        Sleep(20);
        difference = compare();
    }
    EXPECT_EQ(difference, "");
    EXPECT_TRUE(CloseAndJoin(opened));
}

// The pictures stay on screen whatever makes the dialog paint again.
TEST_F(DuplexDialogTest, PicturesStayAfterTheDialogIsPaintedAgain)
{
    enum class Disturb { Cover, InvalidateDialog, RedrawAllChildren, RedrawNow, InvalidateOneFrame, InvalidateFrames };
    const struct {
        const char* name;
        Disturb disturb;
        bool scribble;  // overdraw the frames first, so that only a new paint restores them
    } ways[] = {
        {"covered by another window and uncovered", Disturb::Cover, false},
        {"dialog invalidated", Disturb::InvalidateDialog, true},
        {"redrawn with all children", Disturb::RedrawAllChildren, true},
        {"redrawn with all children at once", Disturb::RedrawNow, true},
        {"one frame invalidated", Disturb::InvalidateOneFrame, true},
        {"every frame invalidated", Disturb::InvalidateFrames, true},
    };
    for (const LANGID language : {LANGID{0x0409}, LANGID{0x040D}}) {
        SetLanguage(language);
        const PictureCase& pictures = kPictureCases[language == 0x0409 ? 0 : 3];
        DuplexInstructionsRequest request = MakeRequest(0);
        Opened opened = OpenInformational(request);
        ASSERT_NE(opened.dialog, nullptr);
        const HWND dialog = opened.dialog;
        WaitUntilPainted(dialog);
        for (const auto& way : ways) {
            SCOPED_TRACE(std::string(way.name) + (language == 0x0409 ? ", left to right" : ", mirrored"));
            if (way.scribble) {
                for (int id : kFrames) {
                    if (way.disturb == Disturb::InvalidateOneFrame && id != IDC_DUPLEX_STEP2_PICTURE) {
                        continue;
                    }
                    Scribble(GetDlgItem(dialog, id), RGB(255, 0, 255));
                }
            }
            switch (way.disturb) {
            case Disturb::Cover: {
                RECT rect{};
                GetWindowRect(dialog, &rect);
                TestWindow cover(rect, true);
                SetWindowPos(cover.window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
                Sleep(200);
                break;  // the cover goes away here
            }
            case Disturb::InvalidateDialog:
                InvalidateRect(dialog, nullptr, TRUE);
                break;
            case Disturb::RedrawAllChildren:
                RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
                break;
            case Disturb::RedrawNow:
                RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
                break;
            case Disturb::InvalidateOneFrame:
                InvalidateRect(GetDlgItem(dialog, IDC_DUPLEX_STEP2_PICTURE), nullptr, TRUE);
                break;
            case Disturb::InvalidateFrames:
                for (int id : kFrames) {
                    InvalidateRect(GetDlgItem(dialog, id), nullptr, TRUE);
                }
                break;
            }
            WaitUntilPainted(dialog);
            ExpectPictures(dialog, pictures, way.name);
        }
        EXPECT_TRUE(CloseAndJoin(opened));
    }
}

TEST_F(DuplexDialogTest, PaintBeforeInitialisationPaintsNothing)
{
    // The dialog runs on a thread of ours; a hook on that thread sends the
    // dialog a paint request when WM_INITDIALOG is about to arrive, before the
    // dialog has its state.
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    static std::atomic<int> earlyPaints;
    static std::atomic<int> bitmapLoadsDuringEarlyPaint;
    static DllMonitor* activeMonitor;
    earlyPaints = 0;
    bitmapLoadsDuringEarlyPaint = -1;
    activeMonitor = &monitor;
    DuplexInstructionsRequest request = MakeRequest(1);
    BackgroundCall call([&] {
        HHOOK hook = SetWindowsHookExW(
            WH_CALLWNDPROC,
            [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
                const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
                if (code == HC_ACTION && message->message == WM_INITDIALOG && earlyPaints == 0) {
                    ++earlyPaints;
                    const int loads = activeMonitor->Calls(Api::LoadBitmapW);
                    const int paints = activeMonitor->Calls(Api::BeginPaint);
                    SendMessageW(message->hwnd, WM_PAINT, 0, 0);
                    bitmapLoadsDuringEarlyPaint = activeMonitor->Calls(Api::LoadBitmapW) - loads +
                                                  activeMonitor->Calls(Api::BeginPaint) - paints;
                }
                return CallNextHookEx(nullptr, code, wParam, lParam);
            },
            nullptr, GetCurrentThreadId());
        DisplayDialogExport()(&request);
        UnhookWindowsHookEx(hook);
        return intptr_t{0};
    });
    const HWND dialog = WaitForDialog(call.threadId());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(earlyPaints.load(), 1);
    EXPECT_EQ(bitmapLoadsDuringEarlyPaint.load(), 0) << "painted without its state";
    // The dialog initialised normally after the early paint.
    EXPECT_EQ(WindowText(dialog), kTitle);
    WaitUntilPainted(dialog);
    ExpectPictures(dialog, kPictureCases[0], "after the early paint");
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(call.Wait(10000));
    activeMonitor = nullptr;
}

// ---------------------------------------------------------------- resources and failures

TEST_F(DuplexDialogTest, EveryPaintReleasesWhatItMade)
{
    const struct {
        const char* name;
        Api fail;  // Api::Count: nothing fails
        uint32_t bitmaps[3];
    } cases[] = {
        {"all pictures", Api::Count, {105, 147, 154}},
        {"a missing bitmap", Api::Count, {105, 999, 154}},
        {"bitmaps fail to load", Api::LoadBitmapW, {105, 147, 154}},
        {"memory contexts fail", Api::CreateCompatibleDC, {105, 147, 154}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        DuplexInstructionsRequest request = MakeRequest(0);
        request.step1BitmapId = c.bitmaps[0];
        request.step2BitmapId = c.bitmaps[1];
        request.step3BitmapId = c.bitmaps[2];
        Opened opened = OpenInformational(request);
        ASSERT_NE(opened.dialog, nullptr);
        WaitUntilPainted(opened.dialog);
        if (c.fail != Api::Count) {
            monitor.Fail(c.fail, 0, 1000);
        }
        const int before = monitor.Created(Owned::MemoryDc) + monitor.Calls(Api::CreateCompatibleDC);
        constexpr int kPaints = 5;
        for (int i = 0; i < kPaints; ++i) {
            RedrawWindow(opened.dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
        WaitUntilPainted(opened.dialog);
        EXPECT_GE(monitor.Calls(Api::CreateCompatibleDC) + monitor.Created(Owned::MemoryDc) - before, kPaints * 3);
        EXPECT_EQ(monitor.Outstanding(Owned::MemoryDc), 0);
        EXPECT_EQ(monitor.Outstanding(Owned::Bitmap), 0);
        EXPECT_EQ(monitor.Outstanding(Owned::PaintDc), 0);
        EXPECT_TRUE(IsWindow(opened.dialog));
        EXPECT_GE(monitor.Created(Owned::PaintDc), kPaints * 3);
        EXPECT_TRUE(CloseAndJoin(opened));
        EXPECT_EQ(monitor.Leaks(), "");
    }
}

TEST_F(DuplexDialogTest, NothingLeaksWhenTheDialogRunsToItsEnd)
{
    for (uint32_t wait : {0u, 1u}) {
        SCOPED_TRACE(wait != 0 ? "waiting" : "informational");
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        DuplexInstructionsRequest request = MakeRequest(wait);
        std::optional<BackgroundCall> call;
        Opened opened = OpenInItsMode(request, call);
        ASSERT_NE(opened.dialog, nullptr);
        EXPECT_EQ(monitor.Outstanding(Owned::Library), 1);
        EXPECT_EQ(monitor.Outstanding(Owned::LocalMemory), 1);
        EXPECT_TRUE(CloseAndJoin(opened, wait == 0));
        if (call) {
            EXPECT_TRUE(call->Wait(30000));
        }
        EXPECT_EQ(monitor.Leaks(), "");
        EXPECT_EQ(monitor.Calls(Api::CreateThread), wait != 0 ? 0 : 1);
    }
}

TEST_F(DuplexDialogTest, FailedAllocationsShowNothingAndFreeTheCopy)
{
    const struct {
        const char* name;
        Api fail;
        uint32_t wait;
        int threads;  // CreateThread calls expected
    } cases[] = {
        {"no memory for the copy, informational", Api::LocalAlloc, 0, 0},
        {"no memory for the copy, waiting", Api::LocalAlloc, 1, 0},
        {"no thread", Api::CreateThread, 0, 1},
        {"no state object, informational", Api::Malloc, 0, 1},
        {"no state object, waiting", Api::Malloc, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        monitor.Fail(c.fail, 0, 1);
        DuplexInstructionsRequest request = MakeRequest(c.wait);
        const ULONGLONG start = GetTickCount64();
        DisplayDialogExport()(&request);
        EXPECT_LT(GetTickCount64() - start, 5000u) << "a failure must not wait for anything";
        // A thread, had one been started, frees the copy before it ends.
        const ULONGLONG deadline = GetTickCount64() + 30000;
        while (monitor.Outstanding(Owned::LocalMemory) != 0 && GetTickCount64() < deadline) {
            Sleep(10);
        }
        // A thread that ended before the export stored its handle leaves the
        // handle in the slot until the next thread detaches.
        EXPECT_TRUE(RunBareThread());
        EXPECT_TRUE(ProcessDialogs().empty());
        EXPECT_EQ(monitor.Calls(Api::DialogBoxParamW), 0);
        EXPECT_EQ(monitor.Calls(Api::CreateThread), c.threads);
        EXPECT_EQ(monitor.Leaks(), "");
    }
}

TEST_F(DuplexDialogTest, ANewThreadHandleReplacesAndClosesTheStoredOne)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    DuplexInstructionsRequest request = MakeRequest(0);
    Opened first = OpenInformational(request);
    ASSERT_NE(first.dialog, nullptr);
    EXPECT_EQ(monitor.Outstanding(Owned::ThreadHandle), 1);
    Opened second = OpenInformational(request);
    ASSERT_NE(second.dialog, nullptr);
    EXPECT_EQ(monitor.Created(Owned::ThreadHandle), 2);
    EXPECT_EQ(monitor.Outstanding(Owned::ThreadHandle), 1) << "the first handle was kept open";

    // A failed start stores null and closes the handle it replaces; the
    // dialogs keep running.
    monitor.Fail(Api::CreateThread, 0, 1);
    DisplayDialogExport()(&request);
    EXPECT_EQ(monitor.Outstanding(Owned::ThreadHandle), 0);
    EXPECT_EQ(monitor.Outstanding(Owned::LocalMemory), 2) << "the failed call's copy was not freed";
    EXPECT_TRUE(IsWindow(first.dialog));
    EXPECT_TRUE(IsWindow(second.dialog));

    EXPECT_TRUE(CloseAndJoin(first));
    EXPECT_TRUE(CloseAndJoin(second));
    EXPECT_EQ(monitor.Leaks(), "");
}

TEST_F(DuplexDialogTest, AFailingDialogStillReleasesEverything)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    monitor.Fail(Api::DialogBoxParamW, 0, 1);
    DuplexInstructionsRequest request = MakeRequest(1);
    DisplayDialogExport()(&request);
    EXPECT_EQ(monitor.Calls(Api::DialogBoxParamW), 1);
    EXPECT_TRUE(ProcessDialogs().empty());
    EXPECT_EQ(monitor.Leaks(), "");
}

}  // namespace
