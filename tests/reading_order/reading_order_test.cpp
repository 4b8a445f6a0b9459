// The reading order of the dialogs' texts, judged by what is drawn: each
// control is captured and compared, by shade, with its own text drawn by the
// test in the expected and in the other reading order, with the control's
// font, size, mirroring and background.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "common/readingorder.h"
#include "dialog_probe.h"
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

// How far each pixel lies from the background toward black, 0 to 1, so that
// the light grey of an antialiased colon counts as much as it shows.
struct Ink {
    int width = 0;
    int height = 0;
    std::vector<float> shade;
    float at(int x, int y) const
    {
        return x < 0 || y < 0 || x >= width || y >= height ? 0.0f : shade[static_cast<size_t>(y) * width + x];
    }
};

float Luminance(uint32_t pixel)
{
    return 0.299f * ((pixel >> 16) & 0xFF) + 0.587f * ((pixel >> 8) & 0xFF) + 0.114f * (pixel & 0xFF);
}

uint32_t MostCommonColour(const Pixels& pixels)
{
    std::map<uint32_t, int> counts;
    for (uint32_t pixel : pixels.data) {
        ++counts[pixel];
    }
    return std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
}

// The ink of pixels, cut to the rectangle that holds it when crop is set.
Ink InkOf(const Pixels& pixels, uint32_t background, bool crop)
{
    const float paper = std::max(Luminance(background), 1.0f);
    int left = crop ? pixels.width : 0, top = crop ? pixels.height : 0;
    int right = crop ? -1 : pixels.width - 1, bottom = crop ? -1 : pixels.height - 1;
    for (int y = 0; crop && y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) {
            if (pixels.at(x, y) != background) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    Ink ink{std::max(right - left + 1, 0), std::max(bottom - top + 1, 0), {}};
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            ink.shade.push_back(std::clamp((paper - Luminance(pixels.at(x, y))) / paper, 0.0f, 1.0f));
        }
    }
    return ink;
}

// The least summed difference of shade between the captured control and the
// drawn text, wherever in the control the text lies (controls add margins,
// boxes and alignment of their own).
double BestMatch(const Ink& seen, const Ink& text)
{
    double best = HUGE_VAL;
    for (int dy = -3; dy <= seen.height - text.height + 3; ++dy) {
        for (int dx = -3; dx <= seen.width - text.width + 3; ++dx) {
            double sum = 0;
            for (int y = 0; y < text.height && sum < best; ++y) {
                for (int x = 0; x < text.width; ++x) {
                    sum += std::fabs(seen.at(dx + x, dy + y) - text.at(x, y));
                }
            }
            best = std::min(best, sum);
        }
    }
    return best;
}

using UniqueBrush = UniqueHandle<HBRUSH, &DeleteObject>;

// text as the control would lay it out: on a surface of its size, mirrored
// when it is, with its font and background, in one reading order.
Ink DrawnLikeControl(HWND control, const std::wstring& text, bool rightToLeft, uint32_t background)
{
    RECT client{};
    GetClientRect(control, &client);
    wchar_t className[32] = L"";
    GetClassNameW(control, className, 32);
    UINT format = (rightToLeft ? DT_RTLREADING : 0) | DT_SINGLELINE;
    if (_wcsicmp(className, L"Static") == 0) {  // wraps, and the position of each line counts
        const bool centred = (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_CENTER;
        format = (rightToLeft ? DT_RTLREADING : 0) | DT_WORDBREAK | DT_EXPANDTABS | (centred ? DT_CENTER : DT_LEFT);
    }
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    const UniqueBitmap surface(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    // Antialiased edges blend with what lies behind them.
    const UniqueBrush fill(CreateSolidBrush(RGB(background >> 16, (background >> 8) & 0xFF, background & 0xFF)));
    Pixels drawn{client.right, client.bottom, {}};
    {
        const SelectedObject selectedSurface(dc.get(), surface.get());
        SetLayout(dc.get(), (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0 ? LAYOUT_RTL : 0);
        FillRect(dc.get(), &client, fill.get());
        const SelectedObject selectedFont(dc.get(),
                                          reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
        SetBkMode(dc.get(), TRANSPARENT);
        DrawTextW(dc.get(), text.c_str(), -1, &client, format);
        GdiFlush();
    }
    const auto* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(drawn.width) * drawn.height; ++i) {
        drawn.data.push_back(source[i] & 0x00FFFFFFu);
    }
    return InkOf(drawn, background, true);
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
    // The control paints itself on the dialog's thread before SendMessage returns.
    InvalidateRect(control, nullptr, TRUE);
    SendMessageW(control, WM_PAINT, 0, 0);
    const Pixels captured = CaptureClient(control);
    ASSERT_FALSE(captured.empty());
    const uint32_t background = MostCommonColour(captured);
    EXPECT_EQ(background, SystemColorPixel(COLOR_BTNFACE)) << "the system's colours stay";

    const std::wstring text = ControlText(dialog, check.controlId);
    const bool rightToLeft = check.order == Order::RightToLeft;
    const Ink expected = DrawnLikeControl(control, text, rightToLeft, background);
    const Ink other = DrawnLikeControl(control, text, !rightToLeft, background);
    const Ink seen = InkOf(captured, background, false);
    const double toExpected = BestMatch(seen, expected);
    const double toOther = BestMatch(seen, other);
    std::printf("    control %4d: %6.2f from the text drawn %s, %6.2f from it drawn the other way\n",
                check.controlId, toExpected, rightToLeft ? "right to left" : "left to right", toOther);
    EXPECT_LT(toExpected, kSameDrawing) << "not drawn " << (rightToLeft ? "right to left" : "left to right");
    if (check.ordersDiffer) {
        EXPECT_GT(BestMatch(expected, other), kOtherDrawing) << "the case must tell the orders apart";
        EXPECT_GT(toOther, kOtherDrawing);
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
