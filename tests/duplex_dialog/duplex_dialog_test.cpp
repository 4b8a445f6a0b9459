// The two-sided printing instructions dialog, driven through VDisplayDialog as
// a printer driver calls it: both modes, every text, the commands, the help
// request, the painted pictures in both layouts, and the failure paths.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bare_thread.h"
#include "common/handles.h"
#include "dialog_probe.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "foreground_window.h"
#include "pixels.h"
#include "requests.h"
#include "resource.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
constexpr LANGID kSpanish = MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH);
constexpr LANGID kArabic = MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA);
constexpr LANGID kHebrew = MAKELANGID(LANG_HEBREW, SUBLANG_HEBREW_ISRAEL);

// Step texts and a picture that no library holds.
constexpr uint32_t kNoSuchString1 = 9001;
constexpr uint32_t kNoSuchString2 = 9002;
constexpr uint32_t kNoSuchString3 = 9003;
constexpr uint32_t kNoSuchBitmap = 999;
constexpr uint32_t kNoPicture = 0;

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

// For the failure cases that the faults program's table takes over; goes
// with them.
[[maybe_unused]] DuplexInstructionsRequest MakeRequest(uint32_t waitForContinue)
{
    return InstructionsRequest().Waiting(waitForContinue);
}

bool IsRightToLeft(HWND dialog) { return (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0; }

class DuplexDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(DocEventDlgModule(), nullptr);
        ASSERT_NE(DisplayDialogExport(), nullptr);
        SetLanguage(kEnglish);
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

TEST_F(DuplexDialogTest, InformationalModeReturnsAtOnceOnItsOwnThreadWithoutOwner)
{
    // A foreground window of our own must not become the owner.
    const ForegroundWindow foreground(RECT{100, 100, 500, 400});
    InstructionsCall instructions{InstructionsRequest()};
    ASSERT_NE(instructions.dialog(), nullptr);
    EXPECT_NE(instructions.threadId(), GetCurrentThreadId());
    EXPECT_EQ(GetWindow(instructions.dialog(), GW_OWNER), nullptr);
    EXPECT_EQ(instructions.Text(IDOK), L"&OK");
    EXPECT_TRUE(IsWindowVisible(instructions.dialog()));
    EXPECT_TRUE(instructions.Close());
}

TEST_F(DuplexDialogTest, WaitingModeReturnsAfterTheDialogAndIsOwnedByTheForegroundWindow)
{
    // Any non-zero value selects waiting mode.
    for (uint32_t wait : {1u, 2u, 0x80000000u}) {
        SCOPED_TRACE("waitForContinue " + std::to_string(wait));
        const ForegroundWindow foreground(RECT{100, 100, 500, 400});
        ASSERT_NE(foreground.window(), nullptr);
        ASSERT_EQ(GetForegroundWindow(), foreground.window());
        InstructionsCall instructions(InstructionsRequest().Waiting(wait));
        ASSERT_NE(instructions.dialog(), nullptr);
        EXPECT_EQ(GetWindowThreadProcessId(instructions.dialog(), nullptr), instructions.threadId());
        EXPECT_EQ(GetWindow(instructions.dialog(), GW_OWNER), foreground.window());
        EXPECT_EQ(instructions.Text(IDOK), L"C&ontinue");
        EXPECT_TRUE(instructions.StillOpenAfterPosting());  // the dialog runs its messages
        EXPECT_FALSE(instructions.Returned(0)) << "returned while the dialog was open";
        instructions.Post(WM_CLOSE);
        EXPECT_TRUE(instructions.Returned(10000));
        EXPECT_FALSE(IsWindow(instructions.dialog()));
    }
}

TEST_F(DuplexDialogTest, CallerMayReleaseItsRecordAtOnce)
{
    auto record = std::make_unique<DuplexInstructionsRequest>(InstructionsRequest().EvenPagesFirst());
    CallOptions noWait;
    noWait.waitForDialog = false;
    InstructionsCall instructions(record.get(), noWait);
    // Overwrite and free the record before the dialog has read anything.
    std::memset(record.get(), 0xEE, sizeof(*record));
    record.reset();
    ASSERT_NE(instructions.WaitDialog(), nullptr);
    EXPECT_EQ(instructions.Text(IDC_DUPLEX_INTRODUCTION), kEvenIntro);
    EXPECT_EQ(instructions.Text(IDC_DUPLEX_STEP1_TEXT), kStep1);
    EXPECT_TRUE(instructions.Close());
}

// ---------------------------------------------------------------- texts

const std::wstring kComposedFallback = std::wstring(kInTray) + L"\n" + kPressGo;

std::wstring Repeat(const wchar_t* piece, size_t units, const wchar_t* prefix)
{
    std::wstring text = prefix;
    while (text.size() < units) {
        text += piece;
    }
    return text.substr(0, units);
}

// The introduction and the step texts a dialog shows: the odd-pages
// introduction and the built-in steps unless a row says otherwise.
struct Shown {
    std::wstring intro = kOddIntro;
    std::wstring step1 = kStep1;
    std::wstring step2 = kStep2;
    std::wstring step3 = kStep3;

    Shown& Intro(const std::wstring& text) { return Set(intro, text); }
    Shown& Step1(const std::wstring& text) { return Set(step1, text); }
    Shown& Step2(const std::wstring& text) { return Set(step2, text); }
    Shown& Step3(const std::wstring& text) { return Set(step3, text); }

private:
    Shown& Set(std::wstring& field, const std::wstring& text)
    {
        field = text;
        return *this;
    }
};

struct TextCase {
    const char* name;
    InstructionsRequest request;
    Shown shown;
};

InstructionsRequest NoLibrary() { return InstructionsRequest().Library(L""); }
InstructionsRequest Fixture(const wchar_t* file) { return InstructionsRequest().Library(BinPath(file)); }

TEST_F(DuplexDialogTest, TextsFollowTheModeTheFlagsAndTheLibrary)
{
    const std::wstring longLines =
        Repeat(L"0123456789", 255, L"Insert-") + L"\n" + Repeat(L"abcdefghij", 255, L"Press-");
    const TextCase cases[] = {
        {"no library, informational, 3140: both built-in lines", NoLibrary().StepText(3, IDS_DUPLEX_STEP3_IN_TRAY),
         Shown().Step3(kComposedFallback)},
        {"no library, waiting, 3140: plain built-in step 3",
         NoLibrary().Waiting().EvenPagesFirst().StepText(3, IDS_DUPLEX_STEP3_IN_TRAY), Shown().Intro(kEvenIntro)},
        {"no library, flags 2 count as set",
         NoLibrary().Waiting(2).EvenPagesFirst(2).StepText(1, kNoSuchString1).StepText(2, kNoSuchString2).StepText(
             3, kNoSuchString3),
         Shown().Intro(kEvenIntro)},
        {"no library, reserved has no effect", NoLibrary().Reserved(0xFFFFFFFFu), Shown()},
        {"sample, informational, 3140 composed from the library",
         InstructionsRequest().StepText(3, IDS_DUPLEX_STEP3_IN_TRAY), Shown().Step3(kComposedFallback)},
        {"sample, waiting, 3140 alone", InstructionsRequest().Waiting().StepText(3, IDS_DUPLEX_STEP3_IN_TRAY),
         Shown().Step3(kInTray)},
        {"sample, other step-3 IDs alone, informational",
         InstructionsRequest()
             .EvenPagesFirst()
             .StepText(1, IDS_DUPLEX_STEP1_TOP_BIN)
             .StepText(2, IDS_DUPLEX_STEP2_FEED_SLOT)
             .StepText(3, IDS_DUPLEX_STEP3_CLICK_CONTINUE),
         Shown()
             .Intro(kEvenIntro)
             .Step1(L"Remove the printed stack from the top output bin.  Keep the pages in the same order.")
             .Step2(L"Insert the printed sheets one at a time into the manual feed slot, printed side up, top edge "
                    L"first.")
             .Step3(L"Click Continue in this window to print the second sides.")},
        {"sample, other step-3 ID alone, waiting",
         InstructionsRequest().Waiting().StepText(3, IDS_DUPLEX_STEP3_PRESS_GO_SELECT), Shown().Step3(kPressGo)},
        {"sample, missing step IDs show their built-in texts",
         InstructionsRequest().StepText(1, kNoSuchString1).StepText(2, kNoSuchString2).StepText(3, kNoSuchString3),
         Shown()},
        {"first line only: library line and built-in second line",
         Fixture(L"duplex-first-line-only.dll").StepText(2, kNoSuchString2).StepText(3, IDS_DUPLEX_STEP3_IN_TRAY),
         Shown()
             .Step1(L"Step text from the library.")
             .Step3(std::wstring(L"First line from the library.\n") + kPressGo)},
        {"second line only: built-in first line and library line",
         Fixture(L"duplex-second-line-only.dll").StepText(3, IDS_DUPLEX_STEP3_IN_TRAY),
         Shown().Step3(std::wstring(kInTray) + L"\nSecond line from the library.")},
        {"lines of 300 units: each cut to 255, joined whole",
         Fixture(L"duplex-long-lines.dll").StepText(3, IDS_DUPLEX_STEP3_IN_TRAY), Shown().Step3(longLines)},
        {"long line in waiting mode: cut to 255",
         Fixture(L"duplex-long-lines.dll").Waiting().StepText(3, IDS_DUPLEX_STEP3_IN_TRAY),
         Shown().Step3(Repeat(L"0123456789", 255, L"Insert-"))},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        InstructionsCall instructions(c.request);
        ASSERT_NE(instructions.dialog(), nullptr);
        EXPECT_EQ(instructions.Text(), kTitle);
        EXPECT_EQ(instructions.Text(IDC_DUPLEX_INTRODUCTION), c.shown.intro);
        EXPECT_EQ(instructions.Text(IDC_DUPLEX_STEP1_NUMBER), L"1.");
        EXPECT_EQ(instructions.Text(IDC_DUPLEX_STEP2_NUMBER), L"2.");
        EXPECT_EQ(instructions.Text(IDC_DUPLEX_STEP3_NUMBER), L"3.");
        EXPECT_EQ(instructions.Text(IDC_DUPLEX_STEP1_TEXT), c.shown.step1);
        EXPECT_EQ(instructions.Text(IDC_DUPLEX_STEP2_TEXT), c.shown.step2);
        const std::wstring step3 = instructions.Text(IDC_DUPLEX_STEP3_TEXT);
        EXPECT_EQ(step3, c.shown.step3) << Narrow(step3);
        EXPECT_EQ(step3.find(L'\r'), std::wstring::npos);
        EXPECT_EQ(instructions.Text(IDOK), instructions.waiting() ? L"C&ontinue" : L"&OK");
        EXPECT_EQ(instructions.Text(IDC_DUPLEX_HELP), L"&Help");
        for (int group : {IDC_DUPLEX_STEP1_GROUP, IDC_DUPLEX_STEP2_GROUP, IDC_DUPLEX_STEP3_GROUP}) {
            EXPECT_EQ(instructions.Text(group), L"") << group;
        }
        EXPECT_TRUE(instructions.Close());
    }
}

struct LanguageCase {
    LANGID language;
    bool rightToLeft;
    const wchar_t* title;
    const wchar_t* help;  // the Help button
    const wchar_t* ok;    // the OK button
    std::wstring step3;   // composed from the library's two lines; empty: not checked
};

TEST_F(DuplexDialogTest, TextsComeFromTheLibraryInTheUsersLanguage)
{
    const LanguageCase cases[] = {
        {kGerman, false, L"Anleitung zum beidseitigen Drucken", L"&Hilfe", L"&OK",
         L"Legen Sie den Stapel wie abgebildet in das Zufuhrfach ein. Die Oberkante der Seiten zeigt zum Ger\u00e4t.\n"
         L"Dr\u00fccken Sie die Taste Go oder Select, um den Druck fortzusetzen."},
        {kSpanish, false, L"Instrucciones para imprimir a doble cara", L"Ay&uda", L"&Aceptar",
         L"Introduzca la pila en la bandeja de entrada con la parte superior de las p\u00e1ginas hacia el dispositivo, "
         L"como se muestra.\n"
         L"Pulse el bot\u00f3n Go o Select para continuar la impresi\u00f3n."},
        {kHebrew, true, L"\u05d4\u05d5\u05e8\u05d0\u05d5\u05ea \u05dc\u05d4\u05d3\u05e4\u05e1\u05d4 "
                        L"\u05d3\u05d5-\u05e6\u05d3\u05d3\u05d9\u05ea",
         L"&\u05e2\u05d6\u05e8\u05d4", L"&\u05d0\u05d9\u05e9\u05d5\u05e8", L""},
        {kEnglish, false, kTitle, L"&Help", L"&OK", kComposedFallback},
    };
    for (const LanguageCase& c : cases) {
        SCOPED_TRACE("language " + std::to_string(c.language));
        SetLanguage(c.language);
        InstructionsCall instructions(InstructionsRequest().StepText(3, IDS_DUPLEX_STEP3_IN_TRAY));
        ASSERT_NE(instructions.dialog(), nullptr);
        EXPECT_EQ(instructions.Text(), c.title);
        EXPECT_EQ(instructions.Text(IDC_DUPLEX_HELP), c.help);
        EXPECT_EQ(instructions.Text(IDOK), c.ok);
        EXPECT_EQ(IsRightToLeft(instructions.dialog()), c.rightToLeft);
        if (!c.step3.empty()) {
            EXPECT_EQ(instructions.Text(IDC_DUPLEX_STEP3_TEXT), c.step3);
        }
        EXPECT_TRUE(instructions.Close());
    }
}

TEST_F(DuplexDialogTest, PathsAreReadOnlyWithinTheirField)
{
    SetLanguage(kGerman);
    InstructionsRequest request = NoLibrary();
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
    DuplexInstructionsRequest& record = request.record();
    path.copy(record.resourceLibraryPath, 255);
    record.resourceLibraryPath[255] = L'X';
    for (wchar_t& unit : record.helpFilePath) {
        unit = L'h';
    }

    DllMonitor monitor(DocEventDlgModule());
    InstructionsCall instructions(request);
    ASSERT_NE(instructions.dialog(), nullptr);
    EXPECT_EQ(instructions.Text(), L"Anleitung zum beidseitigen Drucken");
    instructions.Command(IDC_DUPLEX_HELP);
    ASSERT_TRUE(instructions.StillOpenAfterPosting());
    ASSERT_EQ(monitor.HelpCalls().size(), 1u);
    EXPECT_EQ(monitor.HelpCalls()[0].helpFile, std::wstring(255, L'h'));
    EXPECT_TRUE(instructions.Close());
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
        InstructionsCall instructions(InstructionsRequest().Waiting(c.wait));
        ASSERT_NE(instructions.dialog(), nullptr);
        SetForegroundWindow(instructions.dialog());

        // Escape, Cancel and notifications other than a click change nothing.
        instructions.Press(VK_ESCAPE);
        instructions.Command(IDCANCEL);
        instructions.Command(IDOK, BN_SETFOCUS);
        EXPECT_TRUE(instructions.StillOpenAfterPosting());
        if (instructions.waiting()) {
            EXPECT_FALSE(instructions.Returned(0));
        }

        switch (c.way) {
        case Way::Enter:
            instructions.Press(VK_RETURN);
            break;
        case Way::CloseBox:
            instructions.CloseBox();
            break;
        case Way::Command:
            instructions.Command(IDOK);
            break;
        }
        EXPECT_TRUE(instructions.WaitEnded(30000));
    }
}

TEST_F(DuplexDialogTest, HelpShowsThePopUpTopicOfTheModeAndTheDialogStays)
{
    const struct {
        const char* name;
        uint32_t wait;
        DWORD topic;
    } cases[] = {{"informational", 0, IDH_DUPLEX_INFORMATIONAL},
                 {"waiting", 1, IDH_DUPLEX_WAITING},
                 {"waiting, flag 7", 7, IDH_DUPLEX_WAITING}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        InstructionsCall instructions(
            InstructionsRequest().Waiting(c.wait).HelpFile(L"C:\\drivers\\help\\printer.hlp"));
        ASSERT_NE(instructions.dialog(), nullptr);
        instructions.Command(IDC_DUPLEX_HELP);
        // Once the click is handled, every help request it made is recorded.
        ASSERT_TRUE(instructions.StillOpenAfterPosting());
        const std::vector<HelpCall> calls = monitor.HelpCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].window, instructions.Control(IDC_DUPLEX_HELP));
        EXPECT_EQ(calls[0].helpFile, L"C:\\drivers\\help\\printer.hlp");
        EXPECT_EQ(calls[0].command, static_cast<UINT>(HELP_WM_HELP));
        EXPECT_EQ(calls[0].ids, (std::array<DWORD, 4>{IDC_DUPLEX_HELP, c.topic, 0, 0}));
        EXPECT_TRUE(instructions.Close());
    }
}

// ---------------------------------------------------------------- pictures

struct PictureCase {
    const char* name;
    LANGID language;
    uint32_t bitmaps[3];
    uint32_t shown[3];  // kNoPicture: the frame shows background only
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
        if (c.shown[i] == kNoPicture) {
            EXPECT_TRUE(AllPixels(frame, background)) << "a frame without a picture shows background only";
            continue;
        }
        const Pixels bitmap = LoadBitmapPixels(DocEventDlgModule(), static_cast<WORD>(c.shown[i]));
        ASSERT_FALSE(bitmap.empty());
        // The frame is a little larger than the pictures, so that there is a
        // strip of background to see.
        EXPECT_GT(frame.width, bitmap.width);
        EXPECT_EQ(ComparePicture(frame, bitmap, rightToLeft, background), "");
    }
}

const PictureCase kPictureCases[] = {
    {"left to right",
     kEnglish,
     {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154},
     {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154}},
    {"high bits of the ID ignored",
     kEnglish,
     {0x10000u | IDB_ILLUSTRATION_105, 0xFFFF0000u | IDB_ILLUSTRATION_147, 0x7A0000u | IDB_ILLUSTRATION_154},
     {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154}},
    {"no such bitmap in the middle",
     kEnglish,
     {IDB_ILLUSTRATION_153, kNoSuchBitmap, IDB_ILLUSTRATION_122},
     {IDB_ILLUSTRATION_153, kNoPicture, IDB_ILLUSTRATION_122}},
    {"Arabic, mirrored layout",
     kArabic,
     {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154},
     {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154}},
    {"Hebrew, mirrored layout, missing first",
     kHebrew,
     {kNoPicture, IDB_ILLUSTRATION_133, IDB_ILLUSTRATION_155},
     {kNoPicture, IDB_ILLUSTRATION_133, IDB_ILLUSTRATION_155}},
};

InstructionsRequest WithPictures(const uint32_t (&bitmaps)[3])
{
    return InstructionsRequest().Pictures(bitmaps[0], bitmaps[1], bitmaps[2]);
}

TEST_F(DuplexDialogTest, EachFrameShowsItsBitmapFromTheFramesOriginCorner)
{
    for (const PictureCase& c : kPictureCases) {
        SCOPED_TRACE(c.name);
        SetLanguage(c.language);
        InstructionsCall instructions(WithPictures(c.bitmaps));
        ASSERT_NE(instructions.dialog(), nullptr);
        EXPECT_EQ(IsRightToLeft(instructions.dialog()), c.language == kArabic || c.language == kHebrew);
        instructions.WaitPainted();
        ExpectPictures(instructions.dialog(), c, "first paint");
        EXPECT_TRUE(instructions.Close());
    }
}

TEST_F(DuplexDialogTest, MirroredPicturesAreSeenUnflippedOnTheScreen)
{
    // What the screen shows, not only the window's surface: in the mirrored
    // layout the picture reads as the bitmap does, from the frame's right edge.
    SetLanguage(kArabic);
    InstructionsCall instructions{InstructionsRequest()};
    ASSERT_NE(instructions.dialog(), nullptr);
    SetForegroundWindow(instructions.dialog());
    SetWindowPos(instructions.dialog(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    instructions.WaitPainted();
    // Painted once more: Wine 10 at times draws a mirrored dialog raised
    // before or while it paints with each frame's pictures 6 pixels (the width
    // of the dialog's borders) right of the frame on the screen, its window DC
    // offset so, though the library's coordinates are right; a paint after
    // the raise lands where the frame is.
    RedrawWindow(instructions.dialog(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    instructions.WaitPainted();
    const HWND frame = instructions.Control(IDC_DUPLEX_STEP1_PICTURE);
    RECT client{};
    GetClientRect(frame, &client);
    POINT corner{0, 0};
    ClientToScreen(frame, &corner);  // the client origin: the right edge when mirrored
    RECT onScreen{corner.x - client.right, corner.y, corner.x, corner.y + client.bottom};
    const Pixels bitmap = LoadBitmapPixels(DocEventDlgModule(), IDB_ILLUSTRATION_105);
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
    EXPECT_TRUE(instructions.Close());
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
    WindowOptions covering;
    covering.activate = false;
    covering.topMost = true;
    for (const LANGID language : {kEnglish, kHebrew}) {
        SetLanguage(language);
        const PictureCase& pictures = kPictureCases[language == kEnglish ? 0 : 3];
        InstructionsCall instructions{InstructionsRequest()};
        ASSERT_NE(instructions.dialog(), nullptr);
        const HWND dialog = instructions.dialog();
        instructions.WaitPainted();
        for (const auto& way : ways) {
            SCOPED_TRACE(std::string(way.name) + (language == kEnglish ? ", left to right" : ", mirrored"));
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
                const ForegroundWindow cover(rect, covering);
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
            instructions.WaitPainted();
            ExpectPictures(dialog, pictures, way.name);
        }
        EXPECT_TRUE(instructions.Close());
    }
}

using UniqueHook = UniqueHandle<HHOOK, &UnhookWindowsHookEx>;

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
    const HOOKPROC paintEarly = [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && message->message == WM_INITDIALOG && earlyPaints == 0) {
            ++earlyPaints;
            const int loads = activeMonitor->Calls(Api::LoadBitmapW);
            const int paints = activeMonitor->Calls(Api::BeginPaint);
            // The dialog and each of its picture frames.
            SendMessageW(message->hwnd, WM_PAINT, 0, 0);
            for (const int frame : kFrames) {
                SendDlgItemMessageW(message->hwnd, frame, WM_PAINT, 0, 0);
            }
            bitmapLoadsDuringEarlyPaint = activeMonitor->Calls(Api::LoadBitmapW) - loads +
                                          activeMonitor->Calls(Api::BeginPaint) - paints;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    };
    // The hook is set on the thread that calls the export, around the call.
    HHOOK hook = nullptr;
    CallOptions hooked;
    hooked.before = [&hook, paintEarly] {
        hook = SetWindowsHookExW(WH_CALLWNDPROC, paintEarly, nullptr, GetCurrentThreadId());
    };
    hooked.after = [&hook] { UnhookWindowsHookEx(hook); };
    InstructionsCall instructions(InstructionsRequest().Waiting(), hooked);
    ASSERT_NE(instructions.dialog(), nullptr);
    EXPECT_EQ(earlyPaints.load(), 1);
    EXPECT_EQ(bitmapLoadsDuringEarlyPaint.load(), 0) << "painted without its state";
    // The dialog initialised normally after the early paint.
    EXPECT_EQ(instructions.Text(), kTitle);
    instructions.WaitPainted();
    ExpectPictures(instructions.dialog(), kPictureCases[0], "after the early paint");
    instructions.Post(WM_CLOSE);
    EXPECT_TRUE(instructions.WaitEnded(10000));
    activeMonitor = nullptr;
}

// ---------------------------------------------------------------- resources and failures

TEST_F(DuplexDialogTest, EveryPaintReleasesWhatItMade)
{
    const uint32_t allPictures[] = {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154};
    const uint32_t oneMissing[] = {IDB_ILLUSTRATION_105, kNoSuchBitmap, IDB_ILLUSTRATION_154};
    const struct {
        const char* name;
        Api fail;  // Api::Count: nothing fails
        const uint32_t (&bitmaps)[3];
    } cases[] = {
        {"all pictures", Api::Count, allPictures},
        {"a missing bitmap", Api::Count, oneMissing},
        {"bitmaps fail to load", Api::LoadBitmapW, allPictures},
        {"memory contexts fail", Api::CreateCompatibleDC, allPictures},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        InstructionsCall instructions(WithPictures(c.bitmaps));
        ASSERT_NE(instructions.dialog(), nullptr);
        instructions.WaitPainted();
        if (c.fail != Api::Count) {
            monitor.Fail(c.fail, 0, 1000);
        }
        const int before = monitor.Created(Owned::MemoryDc) + monitor.Calls(Api::CreateCompatibleDC);
        constexpr int kPaints = 5;
        for (int i = 0; i < kPaints; ++i) {
            RedrawWindow(instructions.dialog(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
        instructions.WaitPainted();
        EXPECT_GE(monitor.Calls(Api::CreateCompatibleDC) + monitor.Created(Owned::MemoryDc) - before, kPaints * 3);
        EXPECT_EQ(monitor.Outstanding(Owned::MemoryDc), 0);
        EXPECT_EQ(monitor.Outstanding(Owned::Bitmap), 0);
        EXPECT_EQ(monitor.Outstanding(Owned::PaintDc), 0);
        EXPECT_TRUE(IsWindow(instructions.dialog()));
        EXPECT_GE(monitor.Created(Owned::PaintDc), kPaints * 3);
        EXPECT_TRUE(instructions.Close());
        EXPECT_EQ(monitor.Leaks(), "");
    }
}

TEST_F(DuplexDialogTest, NothingLeaksWhenTheDialogRunsToItsEnd)
{
    for (uint32_t wait : {0u, 1u}) {
        SCOPED_TRACE(wait != 0 ? "waiting" : "informational");
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        InstructionsCall instructions(InstructionsRequest().Waiting(wait));
        ASSERT_NE(instructions.dialog(), nullptr);
        EXPECT_EQ(monitor.Outstanding(Owned::Library), 1);
        EXPECT_EQ(monitor.Outstanding(Owned::LocalMemory), 1);  // the record's copy, until the dialog ends
        EXPECT_TRUE(instructions.Close());
        EXPECT_EQ(monitor.Leaks(), "");
        EXPECT_EQ(monitor.Calls(Api::CreateThread), wait != 0 ? 0 : 1);
    }
}

TEST_F(DuplexDialogTest, ANewThreadHandleReplacesAndClosesTheStoredOne)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    const InstructionsRequest request;
    InstructionsCall first(request);
    ASSERT_NE(first.dialog(), nullptr);
    EXPECT_EQ(monitor.Outstanding(Owned::ThreadHandle), 1);
    InstructionsCall second(request);
    ASSERT_NE(second.dialog(), nullptr);
    EXPECT_EQ(monitor.Created(Owned::ThreadHandle), 2);
    EXPECT_EQ(monitor.Outstanding(Owned::ThreadHandle), 1) << "the first handle was kept open";

    // A failed start stores null and closes the handle it replaces; the
    // dialogs keep running.
    monitor.Fail(Api::CreateThread, 0, 1);
    const InstructionsCall failed(request, false);
    EXPECT_EQ(monitor.Outstanding(Owned::ThreadHandle), 0);
    EXPECT_EQ(monitor.Outstanding(Owned::LocalMemory), 2) << "the failed call's copy was not freed";
    EXPECT_TRUE(IsWindow(first.dialog()));
    EXPECT_TRUE(IsWindow(second.dialog()));

    EXPECT_TRUE(first.Close());
    EXPECT_TRUE(second.Close());
    EXPECT_EQ(monitor.Leaks(), "");
}

TEST_F(DuplexDialogTest, AFailingDialogStillReleasesEverything)
{
    DllMonitor monitor(DocEventDlgModule());
    ASSERT_TRUE(monitor.complete());
    monitor.Fail(Api::DialogBoxParamW, 0, 1);
    InstructionsCall instructions(InstructionsRequest().Waiting(), false);
    EXPECT_TRUE(instructions.Returned());
    EXPECT_EQ(monitor.Calls(Api::DialogBoxParamW), 1);
    EXPECT_TRUE(ProcessDialogs().empty());
    EXPECT_EQ(monitor.Leaks(), "");
}

}  // namespace
