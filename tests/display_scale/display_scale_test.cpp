// The dialogs at the display scale of the Wine prefix the program runs in.
// CTest runs it once per scale (96, 120, 144 and 192 DPI), each in a prefix
// of its own, and names the scale in DOCEVENTDLG_TEST_DPI; the first case
// makes sure the display really is at that scale. The program is a host that
// declares itself per-monitor aware, and so sees the display's own scale: a
// host that declares nothing is unaware, and Windows (and Wine 10)
// gives it a 96-DPI world that the system stretches. With
// DOCEVENTDLG_TEST_HOST=unaware it is such a host, as most printing programs
// are, and expects the dialogs all the same; it measures them from a thread
// of its own that is per-monitor aware, in the display's pixels.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "dll_monitor.h"
#include "export_drivers.h"
#include "pixels.h"
#include "requests.h"
#include "resource.h"
#include "test_paths.h"

namespace {

// The DPI calls exist from Windows 10 on: looked up at run time.
template <class Function>
Function User32Function(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

bool UnawareHost()
{
    const char* host = std::getenv("DOCEVENTDLG_TEST_HOST");
    return host != nullptr && std::string(host) == "unaware";
}

// Declares the host per-monitor aware (version 2) before it makes any window,
// unless it stands for an unaware host. Wine 8 refuses the call, since it
// treats every window so already, and so cannot show an unaware host.
class Host : public testing::Environment {
public:
    void SetUp() override
    {
        using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
        using GetContext = DPI_AWARENESS_CONTEXT(WINAPI*)();
        using GetAwareness = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
        const auto setProcessContext = User32Function<SetContext>("SetProcessDpiAwarenessContext");
        const auto setThreadContext = User32Function<SetContext>("SetThreadDpiAwarenessContext");
        const auto getContext = User32Function<GetContext>("GetThreadDpiAwarenessContext");
        const auto getAwareness = User32Function<GetAwareness>("GetAwarenessFromDpiAwarenessContext");
        ASSERT_TRUE(setProcessContext != nullptr && setThreadContext != nullptr && getContext != nullptr &&
                    getAwareness != nullptr);
        if (UnawareHost()) {
            if (getAwareness(getContext()) != DPI_AWARENESS_UNAWARE) {
                GTEST_SKIP() << "a host that declares nothing is DPI aware here (Wine 8 makes every window "
                                "per-monitor aware): an unaware host cannot be shown";
            }
            // The checks measure in the display's pixels; the host's own
            // threads, and the library's, stay unaware.
            setThreadContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
        } else {
            setProcessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
        }
        ASSERT_EQ(getAwareness(getContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
    }
};
testing::Environment* const kHost = testing::AddGlobalTestEnvironment(new Host);

int ScreenDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

TEST(DisplayScale, TheDisplayRunsAtTheAskedScale)
{
    const char* asked = std::getenv("DOCEVENTDLG_TEST_DPI");
    EXPECT_EQ(ScreenDpi(), asked != nullptr ? std::atoi(asked) : 96);
}

// Each dialog takes the display's scale, whatever the host declared.
TEST(DisplayScale, EveryDialogIsAtTheDisplaysScale)
{
    const auto dpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    ASSERT_NE(dpiForWindow, nullptr);
    const UINT dpi = static_cast<UINT>(ScreenDpi());
    {
        WarningDialogRequest request{};
        request.showDialog = 1;
        request.okStringId = 849;
        SetField(request.resourceLibraryPath, BinPath(L"doceventdlg-strings.dll"));
        BackgroundCall call([&request] { return static_cast<intptr_t>(ShowWarningDialogExport()(&request)); });
        const HWND warning = WaitForDialog(call.threadId());
        ASSERT_NE(warning, nullptr);
        EXPECT_EQ(dpiForWindow(warning), dpi) << "warning";
        PostMessageW(warning, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(call.Wait());
    }
    DuplexInstructionsRequest request{};
    SetField(request.resourceLibraryPath, BinPath(L"doceventdlg-strings.dll"));
    const std::vector<HWND> open = ProcessDialogs();
    DisplayDialogExport()(&request);
    const HWND duplex = WaitForDialog(0, 10000, std::set<HWND>(open.begin(), open.end()));
    ASSERT_NE(duplex, nullptr);
    EXPECT_EQ(dpiForWindow(duplex), dpi) << "two-sided instructions";
    PostMessageW(duplex, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitForWindowGone(duplex));
}

// ---------------------------------------------------------------- pictures

// The picture resized by plain averaging: each target pixel is the mean of
// the source area under it, each source pixel weighted by its covered share.
Pixels AreaScaled(const Pixels& source, int width, int height)
{
    Pixels target{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
    const double stepX = static_cast<double>(source.width) / width, stepY = static_cast<double>(source.height) / height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sum[3] = {0, 0, 0};
            for (int sy = static_cast<int>(y * stepY); sy < (y + 1) * stepY && sy < source.height; ++sy) {
                const double wy = std::min((y + 1) * stepY, sy + 1.0) - std::max(y * stepY, sy + 0.0);
                for (int sx = static_cast<int>(x * stepX); sx < (x + 1) * stepX && sx < source.width; ++sx) {
                    const double w = wy * (std::min((x + 1) * stepX, sx + 1.0) - std::max(x * stepX, sx + 0.0));
                    for (int c = 0; c < 3; ++c) {
                        sum[c] += w * ((source.at(sx, sy) >> (16 - 8 * c)) & 0xFF);
                    }
                }
            }
            uint32_t& pixel = target.data[static_cast<size_t>(y) * width + x];
            for (double channel : sum) {
                pixel = (pixel << 8) | static_cast<uint32_t>(std::lround(std::min(255.0, channel / (stepX * stepY))));
            }
        }
    }
    return target;
}

// A frame against a picture drawn from its left or right top corner and cut
// at its edges, with background around it. The differences are those of the
// most different channel, in levels of 0 to 255.
struct Likeness {
    bool backgroundElsewhere = true;
    double mean = 0;      // mean difference over the picture
    double farShare = 0;  // share of the picture's pixels more than 64 levels off
};

Likeness Compare(const Pixels& frame, const Pixels& picture, bool anchoredRight, uint32_t background)
{
    Likeness likeness;
    const int width = std::min(frame.width, picture.width), height = std::min(frame.height, picture.height);
    const int left = anchoredRight ? frame.width - width : 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            if (x < left || x >= left + width || y >= height) {
                likeness.backgroundElsewhere = likeness.backgroundElsewhere && frame.at(x, y) == background;
                continue;
            }
            int most = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                most = std::max(most, std::abs(static_cast<int>((frame.at(x, y) >> shift) & 0xFF) -
                                               static_cast<int>((picture.at(x - left, y) >> shift) & 0xFF)));
            }
            likeness.mean += most;
            likeness.farShare += most > 64 ? 1 : 0;
        }
    }
    likeness.mean /= width * height;
    likeness.farShare /= width * height;
    return likeness;
}

// Tolerances of a scaled picture against the plain average of its source:
// the platform's halftone filter weighs neighbouring pixels a little
// differently (measured under Wine: 1.4 to 3.7 levels mean, at most 0.33 %
// of the pixels far off).
constexpr double kMeanTolerance = 6.0;
constexpr double kFarShareTolerance = 0.01;

const int kFrames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kArabic = MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA);
constexpr uint32_t kNoSuchBitmap = 999;
constexpr WORD kNoPicture = 0;

struct PictureCase {
    const char* name;
    LANGID language;
    uint32_t bitmaps[3];
    WORD shown[3];  // kNoPicture: the frame shows background only
};

const PictureCase kPictureCases[] = {
    {"left to right",
     kEnglish,
     {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154},
     {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154}},
    {"mirrored",
     kArabic,
     {IDB_ILLUSTRATION_153, IDB_ILLUSTRATION_122, IDB_ILLUSTRATION_155},
     {IDB_ILLUSTRATION_153, IDB_ILLUSTRATION_122, IDB_ILLUSTRATION_155}},
    {"a larger picture named itself, an unknown ID",
     kEnglish,
     {IDB_ILLUSTRATION_105_2X, kNoSuchBitmap, IDB_ILLUSTRATION_109},
     {kNoPicture, kNoPicture, IDB_ILLUSTRATION_109}},
};

TEST(DisplayScale, EachPictureIsItsSizeTimesTheScaleFromTheFramesOriginCorner)
{
    const int dpi = ScreenDpi();
    const uint32_t background = SystemColorPixel(COLOR_BTNFACE);
    for (const PictureCase& c : kPictureCases) {
        SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(dpi) + " DPI");
        UserLanguageOverride language(DocEventDlgModule(), c.language);
        InstructionsCall instructions(InstructionsRequest().Pictures(c.bitmaps[0], c.bitmaps[1], c.bitmaps[2]));
        ASSERT_NE(instructions.dialog(), nullptr);
        instructions.WaitPainted();
        const bool mirrored = c.language == kArabic;
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("frame " + std::to_string(kFrames[i]));
            const Pixels frame = CaptureClient(instructions.Control(kFrames[i]));
            ASSERT_FALSE(frame.empty());
            if (c.shown[i] == kNoPicture) {
                EXPECT_TRUE(AllPixels(frame, background)) << "a frame without a picture shows background only";
                continue;
            }
            // Its size times the scale, from the larger artwork from 144 DPI up.
            const Pixels small = LoadBitmapPixels(DocEventDlgModule(), c.shown[i]);
            const int width = MulDiv(small.width, dpi, 96), height = MulDiv(small.height, dpi, 96);
            const Pixels source = dpi < 144 ? small
                                            : LoadBitmapPixels(DocEventDlgModule(),
                                                               static_cast<WORD>(c.shown[i] + IDB_ILLUSTRATION_2X_OFFSET));
            const bool oneToOne = source.width == width && source.height == height;
            // The frames grow with the dialog's font and hold the picture's
            // whole width; where the font grows a little less than the DPI,
            // the picture's bottom rows are cut at the frame's edge.
            EXPECT_GE(frame.width, width);
            const Likeness drawn =
                Compare(frame, oneToOne ? source : AreaScaled(source, width, height), mirrored, background);
            EXPECT_TRUE(drawn.backgroundElsewhere);
            EXPECT_LE(drawn.mean, oneToOne ? 0.0 : kMeanTolerance);
            EXPECT_LE(drawn.farShare, oneToOne ? 0.0 : kFarShareTolerance);
            if (dpi >= 144) {
                // Sharp: nearer the larger artwork than the table's picture blown up.
                EXPECT_LT(drawn.mean, Compare(frame, AreaScaled(small, width, height), mirrored, background).mean);
            }
        }
        instructions.Post(WM_CLOSE);
        EXPECT_TRUE(instructions.WaitEnded());
    }
}

// ---------------------------------------------------------------- warning

// A warning with a message of units code units: its window, and its message
// and check box in client coordinates.
std::vector<RECT> MeasureWarning(size_t units)
{
    // The OK button alone, with the check box.
    WarningCall warning(WarningRequest().Message(std::wstring(units, L'm')).Title(0).Cancel(0).Third(0));
    std::vector<RECT> rects(3);
    if (warning.dialog() != nullptr) {
        GetWindowRect(warning.dialog(), &rects[0]);
        rects[1] = warning.Rect(IDC_WARNING_MESSAGE);
        rects[2] = warning.Rect(IDC_WARNING_DONT_SHOW);
        warning.Command(IDOK);
    }
    EXPECT_TRUE(warning.dialog() != nullptr && warning.WaitEnded());
    return rects;
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
    const std::vector<RECT> base = MeasureWarning(150), grown = MeasureWarning(151);
    EXPECT_EQ(grown[0].bottom - grown[0].top, base[0].bottom - base[0].top + row->growth) << "dialog";
    EXPECT_EQ(grown[0].top, base[0].top) << "dialog";
    EXPECT_EQ(grown[1].bottom, base[1].bottom + row->growth) << "message";
    EXPECT_EQ(grown[2].top, base[1].bottom + row->growth) << "check box";
}

}  // namespace
