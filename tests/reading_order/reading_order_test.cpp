// The reading order of the dialogs' texts, judged by what is drawn: each
// control is captured and compared, by shade, with its own text drawn by the
// test in the expected and in the other reading order, with the control's
// font, size, mirroring and background.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/readingorder.h"
#include "dialog_probe.h"
#include "drawn_text.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "pixels.h"
#include "requests.h"
#include "resource.h"
#include "test_paths.h"

namespace {

// The direction rule where the dialogs below do not reach: marks, isolates.
TEST(ReadingOrder, TextDirectionIsThatOfTheFirstStrongCharacterOutsideIsolates)
{
    const struct {
        const wchar_t* text;
        TextDirection expected;
    } cases[] = {
        {L"1. (2-99):", TextDirection::Neutral},
        {L"\u200F1.", TextDirection::RightToLeft},                          // right-to-left mark
        {L"\u200E\u05D0", TextDirection::LeftToRight},                      // left-to-right mark
        {L"\u2067\u05D0\u2069 abc", TextDirection::LeftToRight},            // isolated Hebrew is skipped
        {L"\u2066a\u2067b\u2069c\u2069\u0627", TextDirection::RightToLeft},  // nested isolates
        {L"\u2068abc", TextDirection::Neutral},                              // open to the end
        {L"\u202Babc", TextDirection::LeftToRight},                          // an embedding isolates nothing
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstStrongDirection(c.text), c.expected) << &c - cases;
    }
}

enum class Order { RightToLeft, LeftToRight };

struct Check {
    int controlId;
    Order order;
    // False where the platform draws the text alike in both orders (Latin
    // and Hebrew names with numbers): the drawing must then still match it.
    bool ordersDiffer = true;
};

// Less than one light pixel apart counts as the same drawing; a full stop in
// the wrong place makes two of them.
constexpr double kSameDrawing = 0.35;
constexpr double kOtherDrawing = 0.6;

void ExpectDrawnOrder(HWND dialog, const Check& check)
{
    SCOPED_TRACE("control " + std::to_string(check.controlId));
    const HWND control = GetDlgItem(dialog, check.controlId);
    ASSERT_NE(control, nullptr);
    wchar_t className[32] = L"";
    GetClassNameW(control, className, 32);
    // A static control wraps, and the position of each line counts.
    const UINT layout = _wcsicmp(className, L"Static") == 0 ? StaticTextFormat(GetWindowLongPtrW(control, GWL_STYLE))
                                                            : DT_SINGLELINE;
    const bool rightToLeft = check.order == Order::RightToLeft;
    const DrawnComparison seen =
        CompareDrawing(control, ControlText(dialog, check.controlId), layout | (rightToLeft ? DT_RTLREADING : 0),
                       layout | (rightToLeft ? 0 : DT_RTLREADING), DrawnMatch::TextAnywhere);
    EXPECT_EQ(seen.background, SystemColorPixel(COLOR_BTNFACE)) << "the system's colours stay";
    std::printf("    control %4d: %6.2f from the text drawn %s, %6.2f from it drawn the other way\n",
                check.controlId, seen.toExpected, rightToLeft ? "right to left" : "left to right", seen.toOther);
    EXPECT_LT(seen.toExpected, kSameDrawing) << "not drawn " << (rightToLeft ? "right to left" : "left to right");
    if (check.ordersDiffer) {
        EXPECT_GT(seen.apart, kOtherDrawing) << "the case must tell the orders apart";
        EXPECT_GT(seen.toOther, kOtherDrawing);
    }
}

enum class Dialog { Warning, Notice, Instructions };

struct Case {
    const char* name;
    Dialog dialog;
    LANGID language;
    const wchar_t* data;          // the warning's message, or the notice's job name
    const wchar_t* locationLine;  // the notice's first location line
    std::vector<Check> checks;
};

const wchar_t kArabicSentence[] = L"\u0646\u0641\u062F \u0627\u0644\u0648\u0631\u0642.";
const wchar_t kArabicLine[] = L"\u0627\u0644\u0645\u062C\u0644\u062F: \u0627\u0644\u0645\u0647\u0627\u0645.";
const wchar_t kHebrewSentence[] = L"\u05E0\u05D2\u05DE\u05E8 \u05D4\u05E0\u05D9\u05D9\u05E8.";
const wchar_t kHebrewName[] = L"\u05EA\u05E7\u05E6\u05D9\u05D1 2025";
constexpr Order kRtl = Order::RightToLeft;
constexpr Order kLtr = Order::LeftToRight;
constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kArabic = MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA);
constexpr LANGID kHebrew = MAKELANGID(LANG_HEBREW, SUBLANG_HEBREW_ISRAEL);

const Case kCases[] = {
    {"Arabic warning", Dialog::Warning, kArabic, kArabicSentence, nullptr,
     {{IDC_WARNING_MESSAGE, kRtl}, {IDC_WARNING_DONT_SHOW, kRtl}}},
    {"Arabic warning, Latin message", Dialog::Warning, kArabic, L"The printer is out of paper.", nullptr,
     {{IDC_WARNING_MESSAGE, kLtr}, {IDC_WARNING_DONT_SHOW, kRtl}}},
    {"Hebrew warning", Dialog::Warning, kHebrew, kHebrewSentence, nullptr,
     {{IDC_WARNING_MESSAGE, kRtl}, {IDC_WARNING_DONT_SHOW, kRtl}}},
    {"English warning", Dialog::Warning, kEnglish, L"The printer is out of paper.", nullptr,
     {{IDC_WARNING_MESSAGE, kLtr}, {IDC_WARNING_DONT_SHOW, kLtr}}},
    {"Arabic notice, Latin job name", Dialog::Notice, kArabic, L"Budget 2025", kArabicLine,
     {{IDC_JOB_HEADING, kRtl}, {IDC_JOB_USER_NAME_LABEL, kRtl}, {IDC_JOB_JOB_NAME_LABEL, kRtl},
      {IDC_JOB_DONT_SHOW, kRtl}, {IDC_JOB_LOCATION_LINE1, kRtl}, {IDC_JOB_LOCATION_LINE2, kLtr},
      {IDC_JOB_JOB_NAME, kLtr, false}}},
    // A mirrored field drew this name as "\u05EA\u05E7\u05E6\u05D9\u05D12025", a Latin one as ")99-1(2025Budget".
    {"Hebrew notice, Hebrew job name", Dialog::Notice, kHebrew, kHebrewName, L"\u05EA\u05D9\u05E7: \u05D0.",
     {{IDC_JOB_HEADING, kRtl}, {IDC_JOB_USER_NAME_LABEL, kRtl}, {IDC_JOB_DONT_SHOW, kRtl},
      {IDC_JOB_LOCATION_LINE1, kRtl}, {IDC_JOB_LOCATION_LINE2, kLtr}, {IDC_JOB_JOB_NAME, kRtl, false}}},
    {"English notice", Dialog::Notice, kEnglish, L"Budget 2025", L"Folder: Finance.",
     {{IDC_JOB_HEADING, kLtr}, {IDC_JOB_USER_NAME_LABEL, kLtr}, {IDC_JOB_DONT_SHOW, kLtr},
      {IDC_JOB_LOCATION_LINE1, kLtr}, {IDC_JOB_JOB_NAME, kLtr, false}}},
    {"Arabic instructions", Dialog::Instructions, kArabic, nullptr, nullptr,
     {{IDC_DUPLEX_INTRODUCTION, kRtl}, {IDC_DUPLEX_STEP1_NUMBER, kRtl}, {IDC_DUPLEX_STEP1_TEXT, kRtl},
      {IDC_DUPLEX_STEP3_NUMBER, kRtl}, {IDC_DUPLEX_STEP3_TEXT, kRtl}}},
    {"English instructions", Dialog::Instructions, kEnglish, nullptr, nullptr,
     {{IDC_DUPLEX_INTRODUCTION, kLtr}, {IDC_DUPLEX_STEP1_NUMBER, kLtr}, {IDC_DUPLEX_STEP3_TEXT, kLtr}}},
};

TEST(ReadingOrder, EachControlIsDrawnInTheOrderOfItsText)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::printf("  %s\n", c.name);
        const UserLanguageOverride language(DocEventDlgModule(), c.language);
        ASSERT_TRUE(language.active());
        // Each dialog with the sample library's strings.
        std::optional<WarningCall> warning;
        std::optional<NoticeCall> notice;
        std::optional<InstructionsCall> instructions;
        const DialogDriver* shown = nullptr;
        if (c.dialog == Dialog::Warning) {
            shown = &warning.emplace(WarningRequest().Message(c.data));
        } else if (c.dialog == Dialog::Notice) {
            shown = &notice.emplace(NoticeRequest()
                                        .UserName(L"akhan")
                                        .JobName(c.data)
                                        .Location(1, c.locationLine)
                                        .Location(2, L"Printer: Office 3 (Room 214).")
                                        .Location(3, L"")
                                        .RangeSuffix(1, 1));
            ASSERT_NE(notice->returned(), nullptr);
        } else {
            shown = &instructions.emplace(InstructionsRequest());
        }
        const HWND dialog = shown->dialog();
        ASSERT_NE(dialog, nullptr);
        // The dialog's thread has painted everything and waits before the
        // checks start: its own first paint would otherwise erase a control
        // just painted for capture, and the reference drawings of this thread
        // would lay out text while that thread does (Wine 8's Uniscribe caches
        // are not safe for two threads that fill them at once: a crash in
        // gdi32's script cache, or a lock left held).
        shown->WaitPainted();
        for (const Check& check : c.checks) {
            ExpectDrawnOrder(dialog, check);
        }
        shown->Post(WM_CLOSE);
        EXPECT_TRUE(WaitForWindowGone(dialog));
        if (warning) {
            EXPECT_TRUE(warning->WaitEnded());
        }
    }
}

}  // namespace
