#include "drawn_text.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "pixels.h"

namespace {

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

Ink InkOf(const Pixels& pixels, uint32_t background)
{
    const float paper = std::max(Luminance(background), 1.0f);
    Ink ink{pixels.width, pixels.height, {}};
    for (uint32_t pixel : pixels.data) {
        ink.shade.push_back(std::clamp((paper - Luminance(pixel)) / paper, 0.0f, 1.0f));
    }
    return ink;
}

// The least summed difference of ink, with the drawings shifted up to three
// pixels against each other (controls add margins of their own).
double BestMatch(const Ink& seen, const Ink& drawn)
{
    double best = HUGE_VAL;
    for (int dy = -3; dy <= 3; ++dy) {
        for (int dx = -3; dx <= 3; ++dx) {
            double sum = 0;
            for (int y = -3; y < drawn.height + 3 && sum < best; ++y) {
                for (int x = -3; x < drawn.width + 3; ++x) {
                    sum += std::fabs(seen.at(dx + x, dy + y) - drawn.at(x, y));
                }
            }
            best = std::min(best, sum);
        }
    }
    return best;
}

Ink DrawnLikeControl(HWND control, const std::wstring& text, UINT format, uint32_t background)
{
    RECT client{};
    GetClientRect(control, &client);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP surface = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previousBitmap = SelectObject(dc, surface);
    // A mirrored control lays its text out from the right.
    SetLayout(dc, (GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0 ? LAYOUT_RTL : 0);
    // Antialiased edges blend with what lies behind them.
    const HBRUSH fill = CreateSolidBrush(RGB(background >> 16, (background >> 8) & 0xFF, background & 0xFF));
    FillRect(dc, &client, fill);
    const HGDIOBJ previousFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.c_str(), -1, &client, format);
    GdiFlush();
    Pixels drawn{client.right, client.bottom, {}};
    const auto* source = static_cast<const uint32_t*>(bits);
    drawn.data.assign(source, source + static_cast<size_t>(drawn.width) * drawn.height);
    for (uint32_t& pixel : drawn.data) {
        pixel &= 0x00FFFFFFu;
    }
    SelectObject(dc, previousFont);
    SelectObject(dc, previousBitmap);
    DeleteObject(fill);
    DeleteObject(surface);
    DeleteDC(dc);
    return InkOf(drawn, background);
}

}  // namespace

UINT StaticTextFormat(LONG_PTR style)
{
    UINT format = DT_EXPANDTABS | DT_WORDBREAK;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        format |= DT_CENTER;
        break;
    default:
        break;
    }
    return format;
}

DrawnComparison CompareDrawing(HWND control, const std::wstring& text, UINT expectedFormat, UINT otherFormat)
{
    // The control paints itself on its dialog's thread before SendMessage returns.
    InvalidateRect(control, nullptr, TRUE);
    SendMessageW(control, WM_PAINT, 0, 0);
    const Pixels captured = CaptureClient(control);
    if (captured.empty()) {
        return {HUGE_VAL, 0, 0};
    }
    const uint32_t background = MostCommonColour(captured);
    const Ink seen = InkOf(captured, background);
    const Ink expected = DrawnLikeControl(control, text, expectedFormat, background);
    const Ink other = DrawnLikeControl(control, text, otherFormat, background);
    return {BestMatch(seen, expected), BestMatch(seen, other), BestMatch(expected, other)};
}
