// The reading order of the texts in the dialogs, judged by what is drawn: each
// control is captured and compared with its own text drawn by the test once in
// right-to-left and once in left-to-right reading order, with the control's
// font, size and mirroring. Arabic and Hebrew texts must read right to left
// (a sentence's full stop or colon at the left end), the caller's Latin data
// left to right as written, and left-to-right dialogs as they always did.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/readingorder.h"
#include "dialog_probe.h"
#include "language_override.h"
#include "pixels.h"
#include "resource.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kArabic = 0x0401;
constexpr LANGID kHebrew = 0x040D;

// ------------------------------------------------------------ text direction

TEST(FirstStrongDirection, DecidesByTheFirstStrongCharacterOutsideIsolates)
{
    const struct {
        const wchar_t* text;
        TextDirection expected;
    } cases[] = {
        {L"", TextDirection::Neutral},
        {L"1. (2-3): 4,5", TextDirection::Neutral},
        {L"Budget 2025(1-99)", TextDirection::LeftToRight},
        {L"2025 Budget", TextDirection::LeftToRight},
        {L"\u0627\u0633\u0645:", TextDirection::RightToLeft},             // Arabic letters
        {L"(1-99)\u05EA\u05E7\u05E6\u05D9\u05D1", TextDirection::RightToLeft},  // Hebrew after neutrals
        {L"\u0661\u0662 abc", TextDirection::LeftToRight},                // Arabic-Indic digits are weak
        {L"\u200F1.", TextDirection::RightToLeft},                        // right-to-left mark
        {L"\u200E\u05D0", TextDirection::LeftToRight},                    // left-to-right mark
        {L"\u2067\u05D0\u2069 abc", TextDirection::LeftToRight},          // isolated Hebrew is skipped
        {L"\u2066a\u2067b\u2069c\u2069\u05D0", TextDirection::RightToLeft},  // nested isolates
        {L"\u2068abc", TextDirection::Neutral},                           // unclosed isolate to the end
        {L"\u202Babc", TextDirection::LeftToRight},                       // an embedding is not an isolate
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstStrongDirection(c.text), c.expected) << "text of " << wcslen(c.text) << " units";
    }
    EXPECT_EQ(FirstStrongDirection(nullptr), TextDirection::Neutral);
}

// ------------------------------------------------------------ drawn text

// How far each pixel is from the background toward black, 0 to 1: the drawn
// text by its shade, so that antialiased strokes count as much as they show.
struct InkMap {
    int width = 0;
    int height = 0;
    std::vector<float> ink;
    float at(int x, int y) const
    {
        return x < 0 || y < 0 || x >= width || y >= height ? 0.0f : ink[static_cast<size_t>(y) * width + x];
    }
    double total() const
    {
        double sum = 0;
        for (float value : ink) {
            sum += value;
        }
        return sum;
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
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

InkMap Ink(const Pixels& pixels)
{
    const float background = Luminance(MostCommonColour(pixels));
    InkMap map{pixels.width, pixels.height, {}};
    map.ink.reserve(pixels.data.size());
    for (uint32_t pixel : pixels.data) {
        const float value = (background - Luminance(pixel)) / std::max(background, 1.0f);
        map.ink.push_back(std::clamp(value, 0.0f, 1.0f));
    }
    return map;
}

// The smallest rectangle that holds all ink.
InkMap CropToInk(const InkMap& map)
{
    int left = map.width, top = map.height, right = -1, bottom = -1;
    for (int y = 0; y < map.height; ++y) {
        for (int x = 0; x < map.width; ++x) {
            if (map.at(x, y) > 0.05f) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    InkMap cropped;
    if (right < 0) {
        return cropped;
    }
    cropped.width = right - left + 1;
    cropped.height = bottom - top + 1;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            cropped.ink.push_back(map.at(x, y));
        }
    }
    return cropped;
}

// The least summed difference of shade between the drawn text and the
// captured control, over the places the text can take within the control
// (the control adds its own margins, boxes and offsets).
double BestMatch(const InkMap& seen, const InkMap& text)
{
    constexpr int kSlack = 3;
    double best = HUGE_VAL;
    for (int dy = -kSlack; dy <= seen.height - text.height + kSlack; ++dy) {
        for (int dx = -kSlack; dx <= seen.width - text.width + kSlack; ++dx) {
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

// The control's text drawn by the test: on a surface of the control's size,
// mirrored when the control is, with its font, in one reading order.
InkMap DrawAsControl(HWND control, const std::wstring& text, bool rightToLeft, uint32_t background)
{
    RECT client{};
    GetClientRect(control, &client);
    wchar_t className[32] = L"";
    GetClassNameW(control, className, 32);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    UINT format = rightToLeft ? DT_RTLREADING : 0;
    if (_wcsicmp(className, L"Static") == 0) {
        format |= DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_TYPEMASK) == SS_CENTER ? DT_CENTER : DT_LEFT);
    } else if (_wcsicmp(className, L"Edit") == 0) {
        format |= DT_SINGLELINE | DT_NOPREFIX;
    } else {
        format |= DT_SINGLELINE;
    }

    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP surface = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Pixels drawn;
    if (dc != nullptr && surface != nullptr) {
        const HGDIOBJ previousBitmap = SelectObject(dc, surface);
        if ((GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0) {
            SetLayout(dc, LAYOUT_RTL);
        }
        // Antialiased edges blend with what lies behind them: the same
        // background as the control's gives the same shades.
        const HBRUSH fill = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
        FillRect(dc, &client, fill);
        DeleteObject(fill);
        const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        const HGDIOBJ previousFont = SelectObject(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        RECT area = client;
        DrawTextW(dc, text.c_str(), -1, &area, format);
        GdiFlush();
        drawn.width = client.right;
        drawn.height = client.bottom;
        const auto* source = static_cast<const uint32_t*>(bits);
        drawn.data.assign(source, source + static_cast<size_t>(drawn.width) * drawn.height);
        for (uint32_t& pixel : drawn.data) {
            pixel &= 0x00FFFFFFu;
        }
        SelectObject(dc, previousFont);
        SelectObject(dc, previousBitmap);
    }
    if (surface != nullptr) {
        DeleteObject(surface);
    }
    if (dc != nullptr) {
        DeleteDC(dc);
    }
    return CropToInk(Ink(drawn));
}

enum class Order { RightToLeft, LeftToRight };

const char* Name(Order order) { return order == Order::RightToLeft ? "right to left" : "left to right"; }

struct ControlOrder {
    int controlId;
    Order expected;
    // For the caller's data: the text as a mirrored control misreads it, run
    // by run from the right. The control must draw the text as written (left
    // to right), not this.
    const wchar_t* misread = nullptr;
    // Where the platform's own text drawing, the test's reference, lays a
    // mixed text out differently from the bidirectional algorithm: the
    // characters in the order they must appear, left to right on the screen.
    // False where the platform draws the text alike in both orders: the
    // drawing must then match the text as the platform draws it.
    bool ordersDiffer = true;
};

// An exact drawing differs from the capture by less than one light pixel; a
// full stop or colon in the wrong place by two of them or more.
constexpr double kSameDrawing = 0.35;
constexpr double kDifferentDrawing = 0.6;

// The control's drawing must match its text drawn in the expected order and
// clearly differ from the text drawn in the other order (or misread).
void ExpectDrawnOrder(HWND dialog, const ControlOrder& expectation)
{
    const HWND control = GetDlgItem(dialog, expectation.controlId);
    ASSERT_NE(control, nullptr);
    const std::wstring text = ControlText(dialog, expectation.controlId);
    // The control paints itself on the dialog's thread before the message
    // returns; the capture reads what it drew.
    InvalidateRect(control, nullptr, TRUE);
    SendMessageW(control, WM_PAINT, 0, 0);
    const Pixels captured = CaptureClient(control);
    ASSERT_FALSE(captured.empty());
    const uint32_t background = MostCommonColour(captured);
    // Setting the reading order leaves the system's colours and brush alone.
    EXPECT_EQ(background, SystemColorPixel(COLOR_BTNFACE));
    const InkMap seen = Ink(captured);

    const bool rightToLeft = expectation.expected == Order::RightToLeft;
    const InkMap expected = DrawAsControl(control, text, rightToLeft, background);
    const InkMap other = expectation.misread != nullptr
                             ? DrawAsControl(control, expectation.misread, false, background)
                             : DrawAsControl(control, text, !rightToLeft, background);
    const double toExpected = BestMatch(seen, expected);
    const double toOther = BestMatch(seen, other);
    std::printf("    control %4d: differs from the text %s by %6.2f, %s by %6.2f\n", expectation.controlId,
                Name(expectation.expected), toExpected, expectation.misread != nullptr ? "misread" : "the other way",
                toOther);
    if (std::getenv("READING_ORDER_DUMP") != nullptr) {
        static int drawing = 0;
        ++drawing;
        const auto dump = [&expectation](const InkMap& map, const char* kind) {
            const std::string name = "drawing-" + std::to_string(drawing) + "-control-" +
                                     std::to_string(expectation.controlId) + "-" + kind + ".pgm";
            FILE* file = std::fopen(name.c_str(), "wb");
            std::fprintf(file, "P5 %d %d 255\n", map.width, map.height);
            for (float value : map.ink) {
                std::fputc(255 - static_cast<int>(value * 255), file);
            }
            std::fclose(file);
        };
        dump(seen, "seen");
        dump(expected, "expected");
        dump(other, "other");
    }
    EXPECT_LT(toExpected, kSameDrawing) << "not drawn " << Name(expectation.expected);
    if (expectation.ordersDiffer) {
        EXPECT_GT(BestMatch(expected, other), kDifferentDrawing) << "the case's text must tell the orders apart";
        EXPECT_GT(toOther, kDifferentDrawing) << "drawn as the other order would draw it";
    }
}

void ExpectDrawnOrders(HWND dialog, const std::vector<ControlOrder>& controls)
{
    ASSERT_NE(dialog, nullptr);
    for (const ControlOrder& control : controls) {
        SCOPED_TRACE("control " + std::to_string(control.controlId));
        ExpectDrawnOrder(dialog, control);
    }
}

// ------------------------------------------------------------ the dialogs

class ReadingOrderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(DocEventDlgModule(), nullptr);
        library_ = BinPath(L"doceventdlg-strings.dll");
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
    std::wstring library_;

private:
    std::optional<UserLanguageOverride> language_;
};

struct WarningCase {
    const char* name;
    LANGID language;
    const wchar_t* message;
    std::vector<ControlOrder> controls;
};

const WarningCase kWarningCases[] = {
    {"Arabic message and texts",
     kArabic,
     L"\u0646\u0641\u062F \u0627\u0644\u0648\u0631\u0642 \u0645\u0646 \u0627\u0644\u0637\u0627\u0628\u0639\u0629.",
     {{IDC_WARNING_MESSAGE, Order::RightToLeft}, {IDC_WARNING_DONT_SHOW, Order::RightToLeft}}},
    {"Latin message in a mirrored warning",
     kArabic,
     L"The printer is out of paper.",
     {{IDC_WARNING_MESSAGE, Order::LeftToRight}, {IDC_WARNING_DONT_SHOW, Order::RightToLeft}}},
    {"Hebrew message and texts",
     kHebrew,
     L"\u05E0\u05D2\u05DE\u05E8 \u05D4\u05E0\u05D9\u05D9\u05E8.",
     {{IDC_WARNING_MESSAGE, Order::RightToLeft}, {IDC_WARNING_DONT_SHOW, Order::RightToLeft}}},
    {"left-to-right dialog",
     kEnglish,
     L"The printer is out of paper.",
     {{IDC_WARNING_MESSAGE, Order::LeftToRight}, {IDC_WARNING_DONT_SHOW, Order::LeftToRight}}},
};

TEST_F(ReadingOrderTest, WarningTextsReadInTheirOwnDirection)
{
    for (const WarningCase& c : kWarningCases) {
        SCOPED_TRACE(c.name);
        std::printf("  warning, %s\n", c.name);
        SetLanguage(c.language);
        auto request = std::make_unique<WarningDialogRequest>();
        request->showDialog = 1;
        request->titleStringId = 3000;
        request->okStringId = 849;
        request->cancelStringId = 3001;
        request->thirdButtonStringId = 3002;
        request->showCheckBox = 1;
        SetField(request->messageText, c.message);
        SetField(request->resourceLibraryPath, library_);
        BackgroundCall call([record = request.get()] { return static_cast<intptr_t>(ShowWarningDialogExport()(record)); });
        const HWND dialog = WaitForDialog(call.threadId());
        ExpectDrawnOrders(dialog, c.controls);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        ASSERT_TRUE(call.Wait());
        EXPECT_EQ(call.result(), IDCANCEL);
    }
}

struct NoticeCase {
    const char* name;
    LANGID language;
    const wchar_t* jobName;
    bool range;
    const wchar_t* locationLine;
    std::vector<ControlOrder> controls;
};

const NoticeCase kNoticeCases[] = {
    {"Arabic, Latin job name",
     kArabic,
     L"Budget 2025",
     true,
     L"\u0627\u0644\u0645\u062C\u0644\u062F: \u0627\u0644\u0645\u0647\u0627\u0645.",
     {{IDC_JOB_HEADING, Order::RightToLeft},
      {IDC_JOB_USER_NAME_LABEL, Order::RightToLeft},
      {IDC_JOB_JOB_NAME_LABEL, Order::RightToLeft},
      {IDC_JOB_DONT_SHOW, Order::RightToLeft},
      {IDC_JOB_LOCATION_LINE1, Order::RightToLeft},
      {IDC_JOB_LOCATION_LINE2, Order::LeftToRight},
      {IDC_JOB_JOB_NAME, Order::LeftToRight, L")99-1(2025 Budget"}}},
    {"Hebrew, Hebrew job name",
     kHebrew,
     L"\u05EA\u05E7\u05E6\u05D9\u05D1 2025",
     true,
     L"\u05EA\u05D9\u05E7\u05D9\u05D9\u05D4: \u05DB\u05E1\u05E4\u05D9\u05DD.",
     {{IDC_JOB_HEADING, Order::RightToLeft},
      {IDC_JOB_USER_NAME_LABEL, Order::RightToLeft},
      {IDC_JOB_JOB_NAME_LABEL, Order::RightToLeft},
      {IDC_JOB_DONT_SHOW, Order::RightToLeft},
      {IDC_JOB_LOCATION_LINE1, Order::RightToLeft},
      {IDC_JOB_LOCATION_LINE2, Order::LeftToRight},
      {IDC_JOB_JOB_NAME, Order::RightToLeft, nullptr, false}}},
    {"left-to-right dialog",
     kEnglish,
     L"Budget 2025",
     true,
     L"Folder: Finance.",
     {{IDC_JOB_HEADING, Order::LeftToRight},
      {IDC_JOB_USER_NAME_LABEL, Order::LeftToRight},
      {IDC_JOB_DONT_SHOW, Order::LeftToRight},
      {IDC_JOB_LOCATION_LINE1, Order::LeftToRight},
      {IDC_JOB_LOCATION_LINE2, Order::LeftToRight},
      {IDC_JOB_JOB_NAME, Order::LeftToRight, L")99-1(2025 Budget"}}},
};

TEST_F(ReadingOrderTest, NoticeTextsReadInTheirOwnDirection)
{
    for (const NoticeCase& c : kNoticeCases) {
        SCOPED_TRACE(c.name);
        std::printf("  notice, %s\n", c.name);
        SetLanguage(c.language);
        JobStorageRequest request{};
        SetField(request.userName, L"akhan");
        SetField(request.jobName, c.jobName);
        SetField(request.locationLine1, c.locationLine);
        SetField(request.locationLine2, L"Printer: Office 3 (Room 214).");
        SetField(request.locationLine3, L"\\\\print01\\jobs");
        SetField(request.settingsSubKey, L"DocEventDlgTest\\unused");
        SetField(request.resourceLibraryPath, library_);
        request.rangeSuffixFlag1 = c.range ? 1 : 0;
        request.rangeSuffixFlag2 = c.range ? 1 : 0;
        const HANDLE thread = JobStorageDialogExport()(&request);
        ASSERT_NE(thread, nullptr);
        const HWND dialog = WaitForDialog(GetThreadId(thread));
        ExpectDrawnOrders(dialog, c.controls);
        // The close box; the notice writes nothing then.
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitForWindowGone(dialog));
    }
}

struct InstructionsCase {
    const char* name;
    LANGID language;
    std::vector<ControlOrder> controls;
};

const InstructionsCase kInstructionsCases[] = {
    {"Arabic",
     kArabic,
     {{IDC_DUPLEX_INTRODUCTION, Order::RightToLeft},
      {IDC_DUPLEX_STEP1_NUMBER, Order::RightToLeft},
      {IDC_DUPLEX_STEP1_TEXT, Order::RightToLeft},
      {IDC_DUPLEX_STEP3_NUMBER, Order::RightToLeft},
      {IDC_DUPLEX_STEP3_TEXT, Order::RightToLeft}}},
    {"left-to-right dialog",
     kEnglish,
     {{IDC_DUPLEX_INTRODUCTION, Order::LeftToRight},
      {IDC_DUPLEX_STEP1_NUMBER, Order::LeftToRight},
      {IDC_DUPLEX_STEP1_TEXT, Order::LeftToRight},
      {IDC_DUPLEX_STEP3_TEXT, Order::LeftToRight}}},
};

TEST_F(ReadingOrderTest, InstructionsReadInTheDirectionOfTheirTexts)
{
    for (const InstructionsCase& c : kInstructionsCases) {
        SCOPED_TRACE(c.name);
        std::printf("  instructions, %s\n", c.name);
        SetLanguage(c.language);
        DuplexInstructionsRequest request{};
        SetField(request.resourceLibraryPath, library_);
        request.step1BitmapId = 105;
        request.step1StringId = 3150;
        request.step2BitmapId = 147;
        request.step2StringId = 3151;
        request.step3BitmapId = 154;
        request.step3StringId = 3152;
        const std::vector<HWND> open = ProcessDialogs();
        DisplayDialogExport()(&request);
        const HWND dialog = WaitForDialog(0, 10000, std::set<HWND>(open.begin(), open.end()));
        ExpectDrawnOrders(dialog, c.controls);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitForWindowGone(dialog));
    }
}

}  // namespace
