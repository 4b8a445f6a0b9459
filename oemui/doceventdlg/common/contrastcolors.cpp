#include "contrastcolors.h"

namespace {

// Weights run from 0 to kWhole.
constexpr int kWhole = 256;

// Lighter than this is background; this dark and darker is a line (the
// artwork's thin lines are smoothed to about this grey).
constexpr int kPaperLevel = 240;
constexpr int kLineLevel = 160;
// How far red or blue stands out of a pixel for the pixel to be all mark or
// all arrow (the artwork's red, 227, 20, 27, and blue, 29, 98, 214, are),
// and how little counts as nothing: the reduced palettes tint their greys.
constexpr int kFullRed = 160;
constexpr int kFullBlue = 100;
constexpr int kNoTint = 16;

int Red(uint32_t pixel) { return static_cast<int>((pixel >> 16) & 0xFF); }
int Green(uint32_t pixel) { return static_cast<int>((pixel >> 8) & 0xFF); }
int Blue(uint32_t pixel) { return static_cast<int>(pixel & 0xFF); }

int Weight(int amount, int whole)
{
    if (amount <= 0) {
        return 0;
    }
    return amount >= whole ? kWhole : amount * kWhole / whole;
}

// How much of a tint a pixel is, from how far its colour stands out.
int TintWeight(int amount, int whole) { return Weight(amount - kNoTint, whole - kNoTint); }

// a with weight kWhole - w, b with weight w: a itself at 0, b itself at kWhole.
uint32_t Mix(uint32_t a, uint32_t b, int w)
{
    const auto channel = [w](int from, int to) {
        return static_cast<uint32_t>((from * (kWhole - w) + to * w + kWhole / 2) / kWhole);
    };
    return (channel(Red(a), Red(b)) << 16) | (channel(Green(a), Green(b)) << 8) | channel(Blue(a), Blue(b));
}

uint32_t PixelOf(COLORREF colour)
{
    return (static_cast<uint32_t>(GetRValue(colour)) << 16) | (static_cast<uint32_t>(GetGValue(colour)) << 8) |
           GetBValue(colour);
}

int Difference(int a, int b) { return a > b ? a - b : b - a; }
int Larger(int a, int b) { return a > b ? a : b; }

}  // namespace

bool ReadContrastTheme(ContrastColors& colors)
{
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) ||
        (contrast.dwFlags & HCF_HIGHCONTRASTON) == 0) {
        return false;
    }
    colors.window = PixelOf(GetSysColor(COLOR_WINDOW));
    colors.text = PixelOf(GetSysColor(COLOR_WINDOWTEXT));
    colors.highlight = PixelOf(GetSysColor(COLOR_HIGHLIGHT));
    colors.hotLight = PixelOf(GetSysColor(COLOR_HOTLIGHT));
    return true;
}

uint32_t ContrastPixel(uint32_t pixel, const ContrastColors& colors)
{
    const int red = Red(pixel);
    const int green = Green(pixel);
    const int blue = Blue(pixel);
    // Red that stands out of a pixel whose green and blue are alike (the
    // skin of a finger is reddish too, but not like that); blue that stands
    // out of the other two.
    const int redness = TintWeight(red - Larger(green, blue) - 2 * Difference(green, blue), kFullRed);
    const int blueness = TintWeight(blue - Larger(red, green), kFullBlue);
    const int luminance = (299 * red + 587 * green + 114 * blue) / 1000;
    const int ink = Weight(kPaperLevel - luminance, kPaperLevel - kLineLevel);
    uint32_t mapped = Mix(colors.window, colors.text, ink);
    if (redness > 0) {
        mapped = Mix(mapped, colors.highlight, redness);
    }
    if (blueness > 0) {
        mapped = Mix(mapped, colors.hotLight, blueness);
    }
    return mapped;
}

UniqueBitmap ContrastCopy(HDC reference, HBITMAP picture, const ContrastColors& colors)
{
    BITMAP size{};
    if (GetObjectW(picture, sizeof(size), &size) != static_cast<int>(sizeof(size)) || size.bmWidth <= 0 ||
        size.bmHeight <= 0) {
        return {};
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.bmWidth;
    info.bmiHeader.biHeight = -size.bmHeight;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap copy(CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!copy || bits == nullptr ||
        GetDIBits(reference, picture, 0, static_cast<UINT>(size.bmHeight), bits, &info, DIB_RGB_COLORS) !=
            size.bmHeight) {
        return {};
    }
    auto* pixels = static_cast<uint32_t*>(bits);
    const size_t count = static_cast<size_t>(size.bmWidth) * static_cast<size_t>(size.bmHeight);
    for (size_t i = 0; i < count; ++i) {
        pixels[i] = ContrastPixel(pixels[i] & 0x00FFFFFFu, colors);
    }
    GdiFlush();
    return copy;
}
