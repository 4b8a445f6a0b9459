#include "screen_capture.h"

#include <cstdint>

namespace {

bool WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

std::wstring LastError(const wchar_t* what)
{
    return std::wstring(what) + L" failed (error " + std::to_wstring(GetLastError()) + L")";
}

}  // namespace

bool CaptureScreenToBmp(const RECT& rect, const std::wstring& path, std::wstring& error)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        error = L"empty rectangle";
        return false;
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    info.bmiHeader.biSizeImage = imageSize;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool captured = false;
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        captured = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        SelectObject(memory, previous);
    }
    if (!captured) {
        error = LastError(L"BitBlt from the screen");
    }

    bool saved = false;
    if (captured) {
        BITMAPFILEHEADER header{};
        header.bfType = 0x4D42;  // "BM"
        header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        header.bfSize = header.bfOffBits + imageSize;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = LastError((L"creating " + path).c_str());
        } else {
            saved = WriteAll(file, &header, sizeof(header)) &&
                    WriteAll(file, &info.bmiHeader, sizeof(info.bmiHeader)) && WriteAll(file, bits, imageSize);
            if (!saved) {
                error = LastError((L"writing " + path).c_str());
            }
            CloseHandle(file);
        }
    }

    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    return saved;
}
