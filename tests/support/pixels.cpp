#include "pixels.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

BITMAPINFO TopDown32(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

Pixels CopyFrom(HDC source, int x, int y, int width, int height)
{
    Pixels pixels;
    if (source == nullptr || width <= 0 || height <= 0) {
        return pixels;
    }
    BITMAPINFO info = TopDown32(width, height);
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP section = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory != nullptr && section != nullptr) {
        HGDIOBJ previous = SelectObject(memory, section);
        if (BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY)) {
            GdiFlush();
            pixels.width = width;
            pixels.height = height;
            pixels.data.resize(static_cast<size_t>(width) * height);
            std::memcpy(pixels.data.data(), bits, pixels.data.size() * sizeof(uint32_t));
            for (uint32_t& pixel : pixels.data) {
                pixel &= 0x00FFFFFFu;
            }
        }
        SelectObject(memory, previous);
    }
    if (section != nullptr) {
        DeleteObject(section);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    return pixels;
}

}  // namespace

Pixels CaptureClient(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    if (dc == nullptr) {
        return {};
    }
    SetLayout(dc, 0);
    Pixels pixels = CopyFrom(dc, 0, 0, client.right, client.bottom);
    ReleaseDC(window, dc);
    return pixels;
}

Pixels CaptureScreen(const RECT& screenRect)
{
    HDC dc = GetDC(nullptr);
    Pixels pixels =
        CopyFrom(dc, screenRect.left, screenRect.top, screenRect.right - screenRect.left, screenRect.bottom - screenRect.top);
    ReleaseDC(nullptr, dc);
    return pixels;
}

Pixels BitmapPixels(HBITMAP bitmap)
{
    Pixels pixels;
    BITMAP header{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof(header), &header) != static_cast<int>(sizeof(header))) {
        return pixels;
    }
    BITMAPINFO info = TopDown32(header.bmWidth, header.bmHeight);
    pixels.data.resize(static_cast<size_t>(header.bmWidth) * header.bmHeight);
    HDC screen = GetDC(nullptr);
    if (GetDIBits(screen, bitmap, 0, static_cast<UINT>(header.bmHeight), pixels.data.data(), &info, DIB_RGB_COLORS) ==
        header.bmHeight) {
        pixels.width = header.bmWidth;
        pixels.height = header.bmHeight;
        for (uint32_t& pixel : pixels.data) {
            pixel &= 0x00FFFFFFu;
        }
    } else {
        pixels.data.clear();
    }
    ReleaseDC(nullptr, screen);
    return pixels;
}

Pixels LoadBitmapPixels(HMODULE module, WORD id)
{
    HBITMAP bitmap = LoadBitmapW(module, MAKEINTRESOURCEW(id));
    if (bitmap == nullptr) {
        return {};
    }
    Pixels pixels = BitmapPixels(bitmap);
    DeleteObject(bitmap);
    return pixels;
}

uint32_t SystemColorPixel(int index)
{
    const COLORREF colour = GetSysColor(index);
    return (static_cast<uint32_t>(GetRValue(colour)) << 16) | (static_cast<uint32_t>(GetGValue(colour)) << 8) |
           GetBValue(colour);
}

void Scribble(HWND window, COLORREF colour)
{
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
}

std::string ComparePicture(const Pixels& frame, const Pixels& bitmap, bool anchoredRight, uint32_t background)
{
    if (frame.empty() || bitmap.empty()) {
        return "nothing to compare";
    }
    const int pictureWidth = std::min(frame.width, bitmap.width);
    const int pictureHeight = std::min(frame.height, bitmap.height);
    const int pictureLeft = anchoredRight ? frame.width - pictureWidth : 0;
    char where[160];
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const bool inPicture = x >= pictureLeft && x < pictureLeft + pictureWidth && y < pictureHeight;
            const uint32_t expected = inPicture ? bitmap.at(x - pictureLeft, y) : background;
            if (frame.at(x, y) != expected) {
                std::snprintf(where, sizeof(where), "frame %dx%d, pixel (%d,%d) is %06X, expected %06X (%s)",
                              frame.width, frame.height, x, y, frame.at(x, y), expected,
                              inPicture ? "picture" : "background");
                return where;
            }
        }
    }
    return "";
}

bool AllPixels(const Pixels& frame, uint32_t colour)
{
    return !frame.empty() && std::all_of(frame.data.begin(), frame.data.end(), [&](uint32_t p) { return p == colour; });
}
