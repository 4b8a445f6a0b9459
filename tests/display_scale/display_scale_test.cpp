// The dialogs at the display scale of the Wine prefix the program runs in.
// CTest runs the program once per scale (96, 120, 144 and 192 DPI), each in
// a prefix of its own, and names the scale in DOCEVENTDLG_TEST_DPI; the
// first case makes sure the display really is at that scale.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "dialog_probe.h"
#include "language_override.h"
#include "pixels.h"
#include "resource.h"
#include "test_paths.h"

namespace {

int AskedDpi()
{
    const char* asked = std::getenv("DOCEVENTDLG_TEST_DPI");
    return asked != nullptr ? std::atoi(asked) : 96;
}

int ScreenDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

TEST(DisplayScale, TheDisplayRunsAtTheAskedScale) { EXPECT_EQ(ScreenDpi(), AskedDpi()); }

// ---------------------------------------------------------------- pictures

// The picture resized by averaging: each target pixel is the mean of the
// source area it covers, each source pixel weighted by its covered share.
Pixels AreaScaled(const Pixels& source, int width, int height)
{
    Pixels target;
    target.width = width;
    target.height = height;
    target.data.resize(static_cast<size_t>(width) * height);
    const double stepX = static_cast<double>(source.width) / width;
    const double stepY = static_cast<double>(source.height) / height;
    for (int y = 0; y < height; ++y) {
        const double top = y * stepY, bottom = (y + 1) * stepY;
        for (int x = 0; x < width; ++x) {
            const double left = x * stepX, right = (x + 1) * stepX;
            double sum[3] = {0, 0, 0};
            for (int sy = static_cast<int>(top); sy < bottom && sy < source.height; ++sy) {
                const double wy = std::min(bottom, sy + 1.0) - std::max(top, static_cast<double>(sy));
                for (int sx = static_cast<int>(left); sx < right && sx < source.width; ++sx) {
                    const double w = wy * (std::min(right, sx + 1.0) - std::max(left, static_cast<double>(sx)));
                    const uint32_t p = source.at(sx, sy);
                    sum[0] += w * ((p >> 16) & 0xFF);
                    sum[1] += w * ((p >> 8) & 0xFF);
                    sum[2] += w * (p & 0xFF);
                }
            }
            const double area = stepX * stepY;
            uint32_t pixel = 0;
            for (double channel : sum) {
                pixel = (pixel << 8) | static_cast<uint32_t>(std::lround(std::min(255.0, channel / area)));
            }
            target.data[static_cast<size_t>(y) * width + x] = pixel;
        }
    }
    return target;
}

int ChannelDifference(uint32_t a, uint32_t b)
{
    int most = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        most = std::max(most, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    }
    return most;
}

// How a frame compares with a picture drawn from its left or right top
// corner, cut at the frame's edges, with background around it.
struct Likeness {
    std::string backgroundFault;  // where the frame beyond the picture is not background; "" when it is
    double meanDifference = 0;    // over the picture, in levels of the most different channel
    double farShare = 0;          // share of the picture's pixels more than a quarter of the range off
};

Likeness Compare(const Pixels& frame, const Pixels& picture, bool anchoredRight, uint32_t background)
{
    Likeness likeness;
    const int width = std::min(frame.width, picture.width);
    const int height = std::min(frame.height, picture.height);
    const int left = anchoredRight ? frame.width - width : 0;
    long long total = 0;
    int farOff = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const bool inPicture = x >= left && x < left + width && y < height;
            if (!inPicture) {
                if (frame.at(x, y) != background && likeness.backgroundFault.empty()) {
                    char where[96];
                    std::snprintf(where, sizeof(where), "pixel (%d,%d) is %06X, not background", x, y, frame.at(x, y));
                    likeness.backgroundFault = where;
                }
                continue;
            }
            const int difference = ChannelDifference(frame.at(x, y), picture.at(x - left, y));
            total += difference;
            farOff += difference > 64 ? 1 : 0;
        }
    }
    likeness.meanDifference = static_cast<double>(total) / (width * height);
    likeness.farShare = static_cast<double>(farOff) / (width * height);
    return likeness;
}

// What the library should draw for a picture of the table at dpi: its size
// times dpi / 96, from the larger artwork from 144 DPI up. Tolerance: how
// far the halftone filter of the platform may stray from a plain average.
struct Expected {
    Pixels picture;
    Pixels enlargedSmall;  // the table's picture blown up to the same size: what must not be seen
    bool exact = false;    // drawn pixel for pixel, no filtering
};

Expected ExpectedPicture(WORD id, int dpi)
{
    Expected expected;
    const Pixels small = LoadBitmapPixels(DocEventDlgModule(), id);
    if (small.empty()) {
        return expected;
    }
    const int width = MulDiv(small.width, dpi, 96);
    const int height = MulDiv(small.height, dpi, 96);
    const Pixels source =
        dpi >= 144 ? LoadBitmapPixels(DocEventDlgModule(), static_cast<WORD>(id + IDB_ILLUSTRATION_2X_OFFSET)) : small;
    expected.exact = source.width == width && source.height == height;
    expected.picture = expected.exact ? source : AreaScaled(source, width, height);
    expected.enlargedSmall = AreaScaled(small, width, height);
    return expected;
}

// Tolerances for the scaled pictures against a plain average of their
// source (levels of the most different channel, 0 to 255): the platform's
// halftone filter weighs the source pixels a little differently, which
// moves edges by a fraction of a pixel.
constexpr double kMeanTolerance = 6.0;
constexpr double kFarShareTolerance = 0.01;

const int kFrames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};

struct PictureCase {
    const char* name;
    LANGID language;
    uint32_t bitmaps[3];
    WORD shown[3];  // 0: the frame shows background only
};

const PictureCase kPictureCases[] = {
    {"left to right", 0x0409, {105, 147, 154}, {105, 147, 154}},
    {"mirrored", 0x0401, {153, 122, 155}, {153, 122, 155}},
    {"a larger picture named itself, an unknown ID", 0x0409, {IDB_ILLUSTRATION_105_2X, 999, 109}, {0, 0, 109}},
};

// Waits until the dialog and its controls have no part left to paint.
void WaitUntilPainted(HWND dialog)
{
    const ULONGLONG deadline = GetTickCount64() + 3000;
    int quiet = 0;
    while (quiet < 3 && GetTickCount64() < deadline) {
        bool pending = GetUpdateRect(dialog, nullptr, FALSE) != FALSE;
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            pending = pending || GetUpdateRect(child, nullptr, FALSE) != FALSE;
        }
        quiet = pending ? 0 : quiet + 1;
        Sleep(30);
    }
}

HWND OpenDuplex(const PictureCase& c)
{
    DuplexInstructionsRequest request{};
    SetField(request.resourceLibraryPath, BinPath(L"doceventdlg-strings.dll"));
    request.step1BitmapId = c.bitmaps[0];
    request.step2BitmapId = c.bitmaps[1];
    request.step3BitmapId = c.bitmaps[2];
    request.step1StringId = 3150;
    request.step2StringId = 3151;
    request.step3StringId = 3152;
    const std::vector<HWND> open = ProcessDialogs();
    DisplayDialogExport()(&request);
    return WaitForDialog(0, 10000, std::set<HWND>(open.begin(), open.end()));
}

TEST(DisplayScale, EachPictureIsItsSizeTimesTheScaleFromTheFramesOriginCorner)
{
    const int dpi = ScreenDpi();
    const uint32_t background = SystemColorPixel(COLOR_BTNFACE);
    for (const PictureCase& c : kPictureCases) {
        SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(dpi) + " DPI");
        UserLanguageOverride language(DocEventDlgModule(), c.language);
        const HWND dialog = OpenDuplex(c);
        ASSERT_NE(dialog, nullptr);
        WaitUntilPainted(dialog);
        const bool mirrored = (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
        EXPECT_EQ(mirrored, c.language == 0x0401);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("frame " + std::to_string(kFrames[i]));
            const Pixels frame = CaptureClient(GetDlgItem(dialog, kFrames[i]));
            ASSERT_FALSE(frame.empty());
            if (c.shown[i] == 0) {
                EXPECT_TRUE(AllPixels(frame, background)) << "a frame without a picture shows background only";
                continue;
            }
            const Expected expected = ExpectedPicture(c.shown[i], dpi);
            ASSERT_FALSE(expected.picture.empty());
            // The frames grow with the dialog's font and hold the picture's
            // whole width; where the font grows a little less than the DPI,
            // the picture's bottom rows are cut at the frame's edge.
            EXPECT_GE(frame.width, expected.picture.width);
            if (expected.exact) {
                EXPECT_EQ(ComparePicture(frame, expected.picture, mirrored, background), "");
                continue;
            }
            const Likeness drawn = Compare(frame, expected.picture, mirrored, background);
            EXPECT_EQ(drawn.backgroundFault, "");
            EXPECT_LE(drawn.meanDifference, kMeanTolerance);
            EXPECT_LE(drawn.farShare, kFarShareTolerance);
            if (dpi >= 144) {
                // Sharp: nearer the larger artwork than the table's picture blown up.
                const Likeness blownUp = Compare(frame, expected.enlargedSmall, mirrored, background);
                EXPECT_LT(drawn.meanDifference, blownUp.meanDifference);
                std::printf("  picture %u: %.2f levels from the larger artwork averaged, %.2f from the table's "
                            "picture blown up\n",
                            static_cast<unsigned>(c.shown[i]), drawn.meanDifference, blownUp.meanDifference);
            }
        }
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitForWindowGone(dialog));
    }
}

// ---------------------------------------------------------------- warning

int Height(const RECT& rect) { return rect.bottom - rect.top; }

struct WarningLayout {
    RECT dialog{};
    RECT message{};   // client coordinates of the dialog
    RECT checkBox{};  // client coordinates of the dialog
};

// Opens a warning with a message of units code units, measures it and ends it.
WarningLayout MeasureWarning(size_t units)
{
    WarningDialogRequest request{};
    request.showDialog = 1;
    request.okStringId = 849;
    request.showCheckBox = 1;
    SetField(request.messageText, std::wstring(units, L'm'));
    SetField(request.resourceLibraryPath, BinPath(L"doceventdlg-strings.dll"));
    BackgroundCall call([&request] { return static_cast<intptr_t>(ShowWarningDialogExport()(&request)); });
    WarningLayout layout;
    const HWND dialog = WaitForDialog(call.threadId());
    if (dialog == nullptr) {
        ADD_FAILURE() << "no warning dialog";
        return layout;
    }
    GetWindowRect(dialog, &layout.dialog);
    layout.message = ControlRect(dialog, IDC_WARNING_MESSAGE);
    layout.checkBox = ControlRect(dialog, IDC_WARNING_DONT_SHOW);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(call.Wait());
    return layout;
}

TEST(DisplayScale, ALongWarningGrowsByAHundredPixelsAtTheScale)
{
    const struct {
        int dpi;
        int growth;
    } kGrowth[] = {{96, 100}, {120, 125}, {144, 150}, {192, 200}};
    const int dpi = ScreenDpi();
    const auto row = std::find_if(std::begin(kGrowth), std::end(kGrowth), [dpi](const auto& r) { return r.dpi == dpi; });
    ASSERT_NE(row, std::end(kGrowth)) << "no growth known for " << dpi << " DPI";

    const WarningLayout base = MeasureWarning(150);
    const WarningLayout grown = MeasureWarning(151);
    EXPECT_EQ(Height(grown.dialog), Height(base.dialog) + row->growth);
    EXPECT_EQ(Height(grown.message), Height(base.message) + row->growth);
    EXPECT_EQ(grown.checkBox.top, base.message.bottom + row->growth);
    EXPECT_EQ(grown.dialog.top, base.dialog.top);
}

}  // namespace
