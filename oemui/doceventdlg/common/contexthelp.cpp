#include "contexthelp.h"

#include <htmlhelp.h>

#include <cwchar>

namespace {

// HTML Help lives in hhctrl.ocx, which is not an import of this library: the
// library must load where HTML Help is missing, and the module is loaded by
// its full path in the system folder only, never by a bare name that the
// search path (the host's folder, the current folder) could answer.
//
// Once HtmlHelpW has been found, the module stays loaded for the rest of the
// process: a pop-up that HTML Help opens outlives the call that opened it,
// and unloading the module under an open pop-up would pull its window
// procedure away. A failed attempt keeps nothing and the next Help press
// tries again.
//
// HH_INITIALIZE and HH_UNINITIALIZE are left alone: they switch the whole
// process to running HTML Help on the caller's thread, which needs every
// message loop to pass its messages through HH_PRETRANSLATEMESSAGE, and they
// belong to the application, once in its life. A library that shares the
// process with a host that may use HTML Help itself must not make that choice.
using HtmlHelpFunction = decltype(&HtmlHelpW);

constexpr wchar_t kHtmlHelpModule[] = L"\\hhctrl.ocx";

INIT_ONCE g_htmlHelpLoad = INIT_ONCE_STATIC_INIT;
HtmlHelpFunction g_htmlHelp = nullptr;  // written once, inside the one-time load

// The one-time load; FALSE leaves the load undone, so a later press retries.
BOOL CALLBACK LoadHtmlHelp(PINIT_ONCE, PVOID, PVOID*)
{
    // GetSystemDirectoryW rather than LOAD_LIBRARY_SEARCH_SYSTEM32: that flag
    // fails on Windows 7 without update KB2533623. With the full path, the
    // altered search order also resolves the module's own imports from the
    // system folder before the host's folder.
    wchar_t path[MAX_PATH];
    const UINT folderLength = GetSystemDirectoryW(path, MAX_PATH);
    constexpr UINT kNameLength = static_cast<UINT>(sizeof(kHtmlHelpModule) / sizeof(wchar_t));  // NUL included
    if (folderLength == 0 || folderLength + kNameLength > MAX_PATH) {
        return FALSE;
    }
    std::wmemcpy(path + folderLength, kHtmlHelpModule, kNameLength);

    const HMODULE module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        return FALSE;
    }
    const auto function = reinterpret_cast<HtmlHelpFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpW")));
    if (function == nullptr) {
        FreeLibrary(module);
        return FALSE;
    }
    g_htmlHelp = function;  // and the module stays loaded
    return TRUE;
}

// HtmlHelpW, loaded on first use; null when HTML Help cannot be had.
HtmlHelpFunction HtmlHelpEntry()
{
    return InitOnceExecuteOnce(&g_htmlHelpLoad, LoadHtmlHelp, nullptr, nullptr) ? g_htmlHelp : nullptr;
}

wchar_t LowerAscii(wchar_t unit)
{
    return unit >= L'A' && unit <= L'Z' ? static_cast<wchar_t>(unit - L'A' + L'a') : unit;
}

// True when the file part of path ends in ".chm", in any case. The file part
// is everything before the first "::", which HTML Help reads as the start of
// a file inside the compiled file ("printer.chm::/cshelp.txt").
bool IsCompiledHtmlHelpFile(const wchar_t* path)
{
    static constexpr wchar_t kExtension[] = L".chm";
    constexpr size_t kExtensionLength = sizeof(kExtension) / sizeof(wchar_t) - 1;
    if (path == nullptr) {
        return false;
    }
    size_t length = 0;
    while (path[length] != L'\0' && !(path[length] == L':' && path[length + 1] == L':')) {
        ++length;
    }
    if (length < kExtensionLength) {
        return false;
    }
    for (size_t i = 0; i < kExtensionLength; ++i) {
        if (LowerAscii(path[length - kExtensionLength + i]) != kExtension[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

BOOL ShowControlHelp(HWND helpButton, const wchar_t* helpFile, int controlId, DWORD helpContext)
{
    // One control/topic pair and the terminating zero pair.
    DWORD helpIds[4] = {static_cast<DWORD>(controlId), helpContext, 0, 0};
    if (IsCompiledHtmlHelpFile(helpFile)) {
        const HtmlHelpFunction htmlHelp = HtmlHelpEntry();
        if (htmlHelp == nullptr) {
            return FALSE;
        }
        return htmlHelp(helpButton, helpFile, HH_TP_HELP_WM_HELP, reinterpret_cast<DWORD_PTR>(helpIds)) != nullptr
                   ? TRUE
                   : FALSE;
    }
    return WinHelpW(helpButton, helpFile, HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(helpIds));
}
