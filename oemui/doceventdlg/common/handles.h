// Owning wrappers for the platform handles that the dialogs create, so that
// every routine releases what it made on every path. Releasing keeps the
// thread's last error, so clean-up never hides an error a caller reads.
#pragma once

#include <windows.h>

template <class Handle, auto Close, Handle Invalid = Handle{}>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Invalid; }

    Handle release()
    {
        Handle handle = handle_;
        handle_ = Invalid;
        return handle;
    }

    void reset(Handle handle = Invalid)
    {
        if (handle_ != Invalid) {
            const DWORD lastError = GetLastError();
            Close(handle_);
            SetLastError(lastError);
        }
        handle_ = handle;
    }

private:
    Handle handle_ = Invalid;
};

using UniqueModule = UniqueHandle<HMODULE, &FreeLibrary>;
using UniqueKey = UniqueHandle<HKEY, &RegCloseKey>;
using UniqueFont = UniqueHandle<HFONT, &DeleteObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, &DeleteObject>;
using UniqueMemoryDc = UniqueHandle<HDC, &DeleteDC>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, &LocalFree>;

// A paint context: BeginPaint on construction, EndPaint on destruction.
class PaintContext {
public:
    explicit PaintContext(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    PaintContext(const PaintContext&) = delete;
    PaintContext& operator=(const PaintContext&) = delete;
    ~PaintContext()
    {
        if (dc_ != nullptr) {
            EndPaint(window_, &paint_);
        }
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Selects an object into a context and puts the earlier one back on destruction.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject()
    {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            SelectObject(dc_, previous_);
        }
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A window's drawing context: GetDC on construction, ReleaseDC on destruction.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc()
    {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};
