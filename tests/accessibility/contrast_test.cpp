// The step pictures in a contrast theme. Wine cannot switch high contrast on,
// so the library's SystemParametersInfoW and GetSysColor are answered here as
// a system with a high-contrast theme answers them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>

#include "dialog_probe.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "pixels.h"
#include "requests.h"
#include "test_paths.h"

namespace {

struct Theme {
    const char* name;
    std::map<int, COLORREF> colours;  // the system colours it changes
};

// Windows' "High Contrast Black" and "High Contrast White".
const Theme kBlack{"black",
                   {{COLOR_WINDOW, RGB(0, 0, 0)},
                    {COLOR_WINDOWTEXT, RGB(255, 255, 255)},
                    {COLOR_HIGHLIGHT, RGB(0x1A, 0xEB, 0xFF)},
                    {COLOR_HOTLIGHT, RGB(0xFF, 0xFF, 0)},
                    {COLOR_BTNFACE, RGB(0, 0, 0)}}};
const Theme kWhite{"white",
                   {{COLOR_WINDOW, RGB(255, 255, 255)},
                    {COLOR_WINDOWTEXT, RGB(0, 0, 0)},
                    {COLOR_HIGHLIGHT, RGB(0x37, 0x00, 0x6E)},
                    {COLOR_HOTLIGHT, RGB(0, 0, 0x9F)},
                    {COLOR_BTNFACE, RGB(255, 255, 255)}}};

// What the library's imports answer: high contrast on or off, and the colours.
std::atomic<bool> g_contrastOn{false};
std::atomic<const Theme*> g_theme{nullptr};

using SystemParametersFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
using SysColorFunction = DWORD(WINAPI*)(int);
SystemParametersFunction g_systemParameters = nullptr;
SysColorFunction g_sysColor = nullptr;

BOOL WINAPI ThemedSystemParametersInfoW(UINT action, UINT size, PVOID value, UINT flags)
{
    if (action != SPI_GETHIGHCONTRAST) {
        return g_systemParameters(action, size, value, flags);
    }
    auto* contrast = static_cast<HIGHCONTRASTW*>(value);
    if (contrast == nullptr || contrast->cbSize != sizeof(HIGHCONTRASTW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    contrast->dwFlags = HCF_AVAILABLE | HCF_HOTKEYAVAILABLE | (g_contrastOn ? HCF_HIGHCONTRASTON : 0);
    contrast->lpszDefaultScheme = nullptr;
    return TRUE;
}

DWORD WINAPI ThemedGetSysColor(int index)
{
    const Theme* theme = g_theme;
    if (theme != nullptr) {
        const auto colour = theme->colours.find(index);
        if (colour != theme->colours.end()) {
            return colour->second;
        }
    }
    return g_sysColor(index);
}

// The two answers, while a case lives.
class ContrastTheme {
public:
    ContrastTheme()
        : parameters_(DocEventDlgModule(), "SystemParametersInfoW",
                      reinterpret_cast<const void*>(&ThemedSystemParametersInfoW)),
          colours_(DocEventDlgModule(), "GetSysColor", reinterpret_cast<const void*>(&ThemedGetSysColor))
    {
        g_systemParameters = parameters_.original<SystemParametersFunction>();
        g_sysColor = colours_.original<SysColorFunction>();
    }
    ~ContrastTheme()
    {
        g_contrastOn = false;
        g_theme = nullptr;
    }
    bool active() const { return parameters_.active() && colours_.active(); }
    void Set(const Theme* theme, bool on)
    {
        g_theme = theme;
        g_contrastOn = on;
    }

private:
    ImportOverride parameters_;
    ImportOverride colours_;
};

uint32_t Pixel(COLORREF colour)
{
    return (static_cast<uint32_t>(GetRValue(colour)) << 16) | (static_cast<uint32_t>(GetGValue(colour)) << 8) |
           GetBValue(colour);
}

int R(uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
int G(uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
int B(uint32_t p) { return static_cast<int>(p & 0xFF); }

enum class Part { Background, Line, Mark, Arrow, Other };

// What a pixel of the artwork shows, read from its colour alone.
Part PartOf(uint32_t pixel)
{
    const int lightest = std::max({R(pixel), G(pixel), B(pixel)});
    const int darkest = std::min({R(pixel), G(pixel), B(pixel)});
    const bool grey = lightest - darkest <= 8;  // the reduced palettes are not all exact greys
    if (grey && darkest >= 245) {
        return Part::Background;
    }
    if (grey && lightest <= 150) {
        return Part::Line;
    }
    if (R(pixel) - std::max(G(pixel), B(pixel)) >= 170) {
        return Part::Mark;
    }
    if (B(pixel) - std::max(R(pixel), G(pixel)) >= 110) {
        return Part::Arrow;
    }
    return Part::Other;
}

// The theme colour nearest to pixel.
int Nearest(uint32_t pixel, const Theme& theme)
{
    int best = -1;
    long bestDistance = 0;
    for (int index : {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HOTLIGHT}) {
        const uint32_t colour = Pixel(theme.colours.at(index));
        const long distance = (R(pixel) - R(colour)) * (R(pixel) - R(colour)) +
                              (G(pixel) - G(colour)) * (G(pixel) - G(colour)) +
                              (B(pixel) - B(colour)) * (B(pixel) - B(colour));
        if (best < 0 || distance < bestDistance) {
            best = index;
            bestDistance = distance;
        }
    }
    return best;
}

// Checks a frame as drawn in theme against its picture: the background
// exactly the window colour, and every line, mark and arrow nearest to the
// text, highlight and hot-light colour. "" when it holds.
std::string CheckThemedPicture(const Pixels& frame, const Pixels& picture, bool anchoredRight, const Theme& theme,
                               int counts[5])
{
    const int width = std::min(frame.width, picture.width);
    const int height = std::min(frame.height, picture.height);
    const int left = anchoredRight ? frame.width - width : 0;
    const uint32_t window = Pixel(theme.colours.at(COLOR_WINDOW));
    const int wanted[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HOTLIGHT};
    char where[200];
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t original = picture.at(x, y);
            const uint32_t drawn = frame.at(left + x, y);
            const Part part = PartOf(original);
            ++counts[static_cast<int>(part)];
            if (part == Part::Other) {
                continue;
            }
            const bool right = part == Part::Background ? drawn == window
                                                         : Nearest(drawn, theme) == wanted[static_cast<int>(part)];
            if (!right) {
                std::snprintf(where, sizeof(where), "pixel (%d,%d) of the picture is %06X, drawn %06X (part %d)", x,
                              y, original, drawn, static_cast<int>(part));
                return where;
            }
        }
    }
    return "";
}

constexpr int kFrames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};

// The 29 pictures, three to a dialog.
constexpr uint32_t kPictureSets[][3] = {
    {105, 106, 107}, {108, 109, 110}, {111, 112, 113}, {114, 115, 116}, {117, 118, 119},
    {120, 121, 122}, {123, 133, 134}, {146, 147, 149}, {151, 152, 153}, {154, 155, 105},
};

TEST(Contrast, EveryPictureIsDrawnInTheThemesColours)
{
    ContrastTheme contrast;
    ASSERT_TRUE(contrast.active());
    UserLanguageOverride english(DocEventDlgModule(), 0x0409);
    int withLines = 0;
    int withMarks = 0;
    int withArrows = 0;
    for (const Theme* theme : {&kBlack, &kWhite}) {
        contrast.Set(theme, true);
        for (const auto& set : kPictureSets) {
            InstructionsCall instructions(InstructionsRequest().Pictures(set[0], set[1], set[2]));
            ASSERT_NE(instructions.dialog(), nullptr);
            instructions.WaitPainted();
            for (int i = 0; i < 3; ++i) {
                SCOPED_TRACE(std::string(theme->name) + " theme, picture " + std::to_string(set[i]));
                const Pixels picture = LoadBitmapPixels(DocEventDlgModule(), static_cast<WORD>(set[i]));
                ASSERT_FALSE(picture.empty());
                int counts[5] = {};
                EXPECT_EQ(CheckThemedPicture(CaptureClient(instructions.Control(kFrames[i])), picture, false,
                                             *theme, counts),
                          "");
                EXPECT_GT(counts[static_cast<int>(Part::Background)], 0);
                withLines += counts[static_cast<int>(Part::Line)] > 0 ? 1 : 0;
                withMarks += counts[static_cast<int>(Part::Mark)] > 0 ? 1 : 0;
                withArrows += counts[static_cast<int>(Part::Arrow)] > 0 ? 1 : 0;
            }
            EXPECT_TRUE(instructions.Close());
        }
    }
    std::printf("    pictures with dark lines: %d, red marks: %d, blue arrows: %d (of 60 drawn)\n", withLines,
                withMarks, withArrows);
    EXPECT_GT(withLines, 0);
    EXPECT_GT(withMarks, 0);
    EXPECT_GT(withArrows, 0);
}

TEST(Contrast, PicturesFollowTheThemeAsItChangesAndAreAsTheyWereWithoutIt)
{
    ContrastTheme contrast;
    ASSERT_TRUE(contrast.active());
    const struct {
        const char* name;
        LANGID language;
        const Theme* theme;  // colours the library is told
        bool on;
        UINT change;  // how the dialog learns of it
    } steps[] = {
        {"off", 0x0409, nullptr, false, 0},
        {"black theme switched on", 0x0409, &kBlack, true, WM_SETTINGCHANGE},
        {"its colours changed to the white theme's", 0x0409, &kWhite, true, WM_SYSCOLORCHANGE},
        {"switched off, theme colours still answered", 0x0409, &kWhite, false, WM_SETTINGCHANGE},
    };
    for (const LANGID language : {LANGID{0x0409}, LANGID{0x0401}}) {
        const bool mirrored = language == 0x0401;
        UserLanguageOverride user(DocEventDlgModule(), language);
        contrast.Set(nullptr, false);
        InstructionsCall instructions(InstructionsRequest().Pictures(154, 106, 147).Waiting());
        ASSERT_NE(instructions.dialog(), nullptr);
        const HWND dialog = instructions.dialog();
        for (const auto& step : steps) {
            SCOPED_TRACE(std::string(mirrored ? "mirrored, " : "") + step.name);
            contrast.Set(step.theme, step.on);
            if (step.change != 0) {
                SendMessageW(dialog, step.change, step.change == WM_SETTINGCHANGE ? SPI_SETHIGHCONTRAST : 0, 0);
            }
            WaitUntilPainted(dialog);
            const uint32_t pictures[] = {154, 106, 147};
            for (int i = 0; i < 3; ++i) {
                const Pixels picture = LoadBitmapPixels(DocEventDlgModule(), static_cast<WORD>(pictures[i]));
                const Pixels frame = CaptureClient(instructions.Control(kFrames[i]));
                if (step.on) {
                    int counts[5] = {};
                    EXPECT_EQ(CheckThemedPicture(frame, picture, mirrored, *step.theme, counts), "") << i + 1;
                } else {
                    // Exactly as without a theme, pixel for pixel; the strip
                    // beyond the picture in the dialog's face colour.
                    EXPECT_EQ(ComparePicture(frame, picture, mirrored, SystemColorPixel(COLOR_BTNFACE)), "")
                        << i + 1;
                }
            }
        }
        EXPECT_TRUE(instructions.Close());
    }
}

}  // namespace
