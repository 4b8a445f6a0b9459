#include "drawn_text.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "common/handles.h"
#include "dialog_probe.h"
#include "pixels.h"

namespace {

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
    if (right < left) {  // nothing drawn: compared as the blank surface it is, which matches no text
        left = 0, top = 0, right = pixels.width - 1, bottom = pixels.height - 1;
    }
    Ink ink{std::max(right - left + 1, 0), std::max(bottom - top + 1, 0), {}};
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            ink.shade.push_back(std::clamp((paper - Luminance(pixels.at(x, y))) / paper, 0.0f, 1.0f));
        }
    }
    return ink;
}

// The least summed difference of shade between seen and the drawn text,
// wherever in seen the text lies, counting seen's ink up to margin pixels
// around the text too.
double BestMatch(const Ink& seen, const Ink& text, int margin)
{
    double best = HUGE_VAL;
    for (int dy = -3; dy <= seen.height - text.height + 3; ++dy) {
        for (int dx = -3; dx <= seen.width - text.width + 3; ++dx) {
            double sum = 0;
            for (int y = -margin; y < text.height + margin && sum < best; ++y) {
                for (int x = -margin; x < text.width + margin; ++x) {
                    sum += std::fabs(seen.at(dx + x, dy + y) - text.at(x, y));
                }
            }
            best = std::min(best, sum);
        }
    }
    return best;
}

using UniqueBrush = UniqueHandle<HBRUSH, &DeleteObject>;

// text as the control would lay it out in format: on a surface of its size,
// mirrored when it is, with its font and background; cut to its ink when crop
// is set.
Ink DrawnLikeControl(HWND control, const std::wstring& text, UINT format, uint32_t background, bool crop)
{
    RECT client{};
    GetClientRect(control, &client);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    const UniqueBitmap surface(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bits == nullptr) {
        return {};
    }
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
    return InkOf(drawn, background, crop);
}

}  // namespace

UINT StaticTextFormat(LONG_PTR style)
{
    return DT_EXPANDTABS | DT_WORDBREAK | ((style & SS_TYPEMASK) == SS_CENTER ? DT_CENTER : DT_LEFT);
}

DrawnComparison CompareDrawing(HWND control, const std::wstring& text, UINT expectedFormat, UINT otherFormat,
                               DrawnMatch match)
{
    // Painted afresh, and nothing of the dialog's left to paint over it later
    // (a dialog just shown may still have its own first paint to take).
    InvalidateRect(control, nullptr, TRUE);
    WaitUntilPainted(GetAncestor(control, GA_ROOT));
    const Pixels captured = CaptureClient(control);
    if (captured.empty()) {
        return {0, HUGE_VAL, 0, 0};
    }
    const bool anywhere = match == DrawnMatch::TextAnywhere;
    const int margin = anywhere ? 0 : 3;
    const uint32_t background = MostCommonColour(captured);
    const Ink seen = InkOf(captured, background, false);
    const Ink expected = DrawnLikeControl(control, text, expectedFormat, background, anywhere);
    const Ink other = DrawnLikeControl(control, text, otherFormat, background, anywhere);
    return {background, BestMatch(seen, expected, margin), BestMatch(seen, other, margin),
            BestMatch(expected, other, margin)};
}
