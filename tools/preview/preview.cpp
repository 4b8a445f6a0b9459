// doceventdlg-preview: shows one dialog of doceventdlg.dll, as a printer
// driver would, from command-line options; optionally captures it to a BMP.
//
// The library is loaded from this program's folder with LoadLibraryW and its
// exports are found by name, as a driver finds them.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "import_patch.h"
#include "preview_options.h"
#include "screen_capture.h"

namespace {

using ShowWarningExFn = int32_t(WINAPI*)(const WarningDialogRequest*, int32_t*);
using JobStorageFn = HANDLE(WINAPI*)(const JobStorageRequest*);
using DisplayFn = void(WINAPI*)(const DuplexInstructionsRequest*);

constexpr DWORD kDialogTimeoutMs = 15000;

LANGID g_userLanguage = 0x0409;

LANGID WINAPI PreviewUserLanguage() { return g_userLanguage; }

// A high-contrast theme as the library sees it: SystemParametersInfoW says
// high contrast is on, GetSysColor and GetSysColorBrush give the theme's
// colours (Windows' "High Contrast Black" and "High Contrast White"). Only
// the library's own calls are answered; what Wine draws itself keeps the
// colours of the prefix (scripts/preview.sh sets them to the theme's too).
struct ThemeColour {
    int index;
    COLORREF black;
    COLORREF white;
};

const ThemeColour kThemeColours[] = {
    {COLOR_WINDOW, RGB(0, 0, 0), RGB(255, 255, 255)},
    {COLOR_WINDOWTEXT, RGB(255, 255, 255), RGB(0, 0, 0)},
    {COLOR_HIGHLIGHT, RGB(0x1A, 0xEB, 0xFF), RGB(0x37, 0x00, 0x6E)},
    {COLOR_HIGHLIGHTTEXT, RGB(0, 0, 0), RGB(255, 255, 255)},
    {COLOR_HOTLIGHT, RGB(0xFF, 0xFF, 0), RGB(0, 0, 0x9F)},
    {COLOR_BTNFACE, RGB(0, 0, 0), RGB(255, 255, 255)},
    {COLOR_BTNTEXT, RGB(255, 255, 255), RGB(0, 0, 0)},
    {COLOR_GRAYTEXT, RGB(0x3F, 0xF2, 0x3F), RGB(0x60, 0, 0)},
};

PreviewContrast g_contrast = PreviewContrast::None;
HBRUSH g_themeBrushes[sizeof(kThemeColours) / sizeof(kThemeColours[0])] = {};

const ThemeColour* FindThemeColour(int index)
{
    for (const ThemeColour& colour : kThemeColours) {
        if (colour.index == index) {
            return &colour;
        }
    }
    return nullptr;
}

BOOL WINAPI PreviewSystemParametersInfoW(UINT action, UINT size, PVOID value, UINT flags)
{
    if (action == SPI_GETHIGHCONTRAST && value != nullptr) {
        auto* contrast = static_cast<HIGHCONTRASTW*>(value);
        contrast->dwFlags = HCF_AVAILABLE | HCF_HIGHCONTRASTON;
        contrast->lpszDefaultScheme = nullptr;
        return TRUE;
    }
    return SystemParametersInfoW(action, size, value, flags);
}

DWORD WINAPI PreviewGetSysColor(int index)
{
    const ThemeColour* colour = FindThemeColour(index);
    if (colour == nullptr) {
        return GetSysColor(index);
    }
    return g_contrast == PreviewContrast::Black ? colour->black : colour->white;
}

HBRUSH WINAPI PreviewGetSysColorBrush(int index)
{
    const ThemeColour* colour = FindThemeColour(index);
    if (colour == nullptr) {
        return GetSysColorBrush(index);
    }
    HBRUSH& brush = g_themeBrushes[colour - kThemeColours];
    if (brush == nullptr) {
        brush = CreateSolidBrush(PreviewGetSysColor(index));  // kept for the program's life
    }
    return brush;
}

void Print(const std::wstring& text, FILE* stream = stdout)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    std::fputs(bytes.c_str(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    const size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash);
}

// The process's top-level dialogs (class #32770) that are visible and have
// finished WM_INITDIALOG (their state pointer is stored last).
std::vector<HWND> ReadyDialogs()
{
    struct Search {
        DWORD process;
        std::vector<HWND> found;
    } search{GetCurrentProcessId(), {}};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* search = reinterpret_cast<Search*>(parameter);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            wchar_t className[16] = {};
            GetClassNameW(window, className, 16);
            if (process == search->process && lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window) &&
                GetWindowLongPtrW(window, DWLP_USER) != 0) {
                search->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs the export on a thread of its own, so that this thread can watch,
// capture and close the dialog whichever thread runs it.
struct ExportCall {
    PreviewDialog dialog = PreviewDialog::None;
    void* function = nullptr;
    const void* request = nullptr;
    int32_t warningResult = 0;
    int32_t checkBoxTicked = 0;
    HANDLE jobStorageThread = nullptr;

    static DWORD WINAPI Run(void* parameter)
    {
        auto* call = static_cast<ExportCall*>(parameter);
        switch (call->dialog) {
        case PreviewDialog::Warning:
            call->warningResult = reinterpret_cast<ShowWarningExFn>(call->function)(
                static_cast<const WarningDialogRequest*>(call->request), &call->checkBoxTicked);
            break;
        case PreviewDialog::JobStorage:
            call->jobStorageThread = reinterpret_cast<JobStorageFn>(call->function)(
                static_cast<const JobStorageRequest*>(call->request));
            break;
        case PreviewDialog::Duplex:
            reinterpret_cast<DisplayFn>(call->function)(static_cast<const DuplexInstructionsRequest*>(call->request));
            break;
        case PreviewDialog::None:
            break;
        }
        return 0;
    }
};

// Waits for the dialog; null when the call ended without one or time ran out.
HWND WaitForReadyDialog(HANDLE callThread, bool callReturnsAtOnce)
{
    const ULONGLONG deadline = GetTickCount64() + kDialogTimeoutMs;
    while (GetTickCount64() < deadline) {
        const std::vector<HWND> dialogs = ReadyDialogs();
        if (!dialogs.empty()) {
            return dialogs.front();
        }
        // A blocking export that has returned shows nothing any more.
        if (!callReturnsAtOnce && WaitForSingleObject(callThread, 0) == WAIT_OBJECT_0) {
            return nullptr;
        }
        Sleep(20);
    }
    return nullptr;
}

void WaitForDialogGone(HWND dialog)
{
    while (IsWindow(dialog)) {
        Sleep(50);
    }
}

std::wstring WarningResultText(int32_t result)
{
    switch (result) {
    case 0:
        return L"0 (nothing shown)";
    case 1:
        return L"1 (OK)";
    case 2:
        return L"2 (Cancel or closed)";
    case 285:
        return L"285 (third button)";
    case -1:
        return L"-1 (the dialog could not be created)";
    default:
        return std::to_wstring(result);
    }
}

int Run(const PreviewOptions& options)
{
    const std::wstring folder = ProgramFolder();
    const std::wstring dllPath = folder + L"\\doceventdlg.dll";
    HMODULE module = LoadLibraryW(dllPath.c_str());
    if (module == nullptr) {
        Print(L"cannot load " + dllPath + L" (error " + std::to_wstring(GetLastError()) + L")", stderr);
        return 1;
    }
    // The warning through the export that also answers the check box.
    const char* exportName = options.dialog == PreviewDialog::Warning      ? "IShowWarningDialogEx"
                             : options.dialog == PreviewDialog::JobStorage ? "VJobStorageDialog"
                                                                           : "VDisplayDialog";
    void* function = reinterpret_cast<void*>(GetProcAddress(module, exportName));
    if (function == nullptr) {
        Print(L"doceventdlg.dll has no export " + std::wstring(exportName, exportName + lstrlenA(exportName)), stderr);
        return 1;
    }

    const std::wstring library =
        options.library.empty() ? folder + L"\\doceventdlg-strings.dll" : options.library;

    WarningDialogRequest warning{};
    JobStorageRequest jobStorage{};
    DuplexInstructionsRequest duplex{};
    std::wstring error;
    bool filled = false;
    const void* request = nullptr;
    switch (options.dialog) {
    case PreviewDialog::Warning:
        filled = FillWarningRequest(options, library, warning, error);
        request = &warning;
        break;
    case PreviewDialog::JobStorage:
        filled = FillJobStorageRequest(options, library, jobStorage, error);
        request = &jobStorage;
        break;
    case PreviewDialog::Duplex:
        filled = FillDuplexRequest(options, library, duplex, error);
        request = &duplex;
        break;
    case PreviewDialog::None:
        break;
    }
    if (!filled) {
        Print(L"doceventdlg-preview: " + error, stderr);
        return 2;
    }

    // The library asks the system for the user's UI language; answer it here.
    g_userLanguage = options.language;
    std::optional<ImportPatch> languagePatch;
    if (options.languageSet) {
        languagePatch.emplace(module, "KERNEL32.dll", "GetUserDefaultUILanguage",
                              reinterpret_cast<const void*>(&PreviewUserLanguage));
        if (!languagePatch->active()) {
            Print(L"warning: --language has no effect (the library does not import GetUserDefaultUILanguage)",
                  stderr);
        }
    }

    g_contrast = options.contrast;
    std::optional<ImportPatch> contrastPatches[3];
    if (options.contrast != PreviewContrast::None) {
        contrastPatches[0].emplace(module, "USER32.dll", "SystemParametersInfoW",
                                   reinterpret_cast<const void*>(&PreviewSystemParametersInfoW));
        contrastPatches[1].emplace(module, "USER32.dll", "GetSysColor",
                                   reinterpret_cast<const void*>(&PreviewGetSysColor));
        contrastPatches[2].emplace(module, "USER32.dll", "GetSysColorBrush",
                                   reinterpret_cast<const void*>(&PreviewGetSysColorBrush));
        if (!contrastPatches[0]->active()) {
            Print(L"warning: --contrast has no effect (the library does not import SystemParametersInfoW)", stderr);
        }
    }

    ExportCall call;
    call.dialog = options.dialog;
    call.function = function;
    call.request = request;
    HANDLE callThread = CreateThread(nullptr, 0, &ExportCall::Run, &call, 0, nullptr);
    if (callThread == nullptr) {
        Print(L"cannot start a thread", stderr);
        return 1;
    }
    const bool returnsAtOnce = options.dialog == PreviewDialog::JobStorage ||
                               (options.dialog == PreviewDialog::Duplex && !options.wait);

    HWND dialog = WaitForReadyDialog(callThread, returnsAtOnce);
    int status = 0;
    if (dialog == nullptr) {
        Print(L"no dialog appeared", stderr);
        status = 1;
    } else if (!options.screenshot.empty()) {
        // Without a window manager a new dialog is not brought to the front.
        SetForegroundWindow(dialog);
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        Sleep(300);
        // The window and the screen in physical pixels, whatever this host's
        // DPI awareness: the dialog is per-monitor aware even when the host is not.
        using SetContextFunction = void*(WINAPI*)(void*);
        const auto setContext = reinterpret_cast<SetContextFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
        void* const previousContext =
            setContext != nullptr ? setContext(reinterpret_cast<void*>(static_cast<INT_PTR>(-4))) : nullptr;
        RECT rect{};
        GetWindowRect(dialog, &rect);
        const bool captured = CaptureScreenToBmp(rect, options.screenshot, error);
        if (previousContext != nullptr) {
            setContext(previousContext);
        }
        if (captured) {
            Print(L"screenshot: " + options.screenshot + L" (" + std::to_wstring(rect.right - rect.left) + L"x" +
                  std::to_wstring(rect.bottom - rect.top) + L")");
        } else {
            Print(L"screenshot failed: " + error, stderr);
            status = 1;
        }
        // WM_CLOSE ends every one of the three without writing anything.
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    } else if (options.closeAfterSet) {
        const ULONGLONG deadline = GetTickCount64() + options.closeAfterMs;
        while (IsWindow(dialog) && GetTickCount64() < deadline) {
            Sleep(20);
        }
        if (IsWindow(dialog)) {
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        }
    }
    if (dialog != nullptr) {
        WaitForDialogGone(dialog);
    }
    WaitForSingleObject(callThread, INFINITE);
    CloseHandle(callThread);

    switch (options.dialog) {
    case PreviewDialog::Warning:
        Print(L"IShowWarningDialogEx returned " + WarningResultText(call.warningResult) + L"; check box ticked: " +
              (call.checkBoxTicked != 0 ? L"1 (yes)" : L"0 (no)"));
        if (status == 0 && call.warningResult == 0) {
            status = 1;
        }
        break;
    case PreviewDialog::JobStorage:
        Print(std::wstring(L"VJobStorageDialog returned ") +
              (call.jobStorageThread != nullptr ? L"a thread handle (the dialog ran on its own thread)"
                                                : L"null (no thread was started)"));
        if (call.jobStorageThread == nullptr) {
            status = 1;
        }
        break;
    case PreviewDialog::Duplex:
        Print(options.wait ? L"VDisplayDialog returned after the dialog ended (waiting mode)"
                           : L"VDisplayDialog returned at once (informational mode)");
        break;
    case PreviewDialog::None:
        break;
    }
    // The library's dialog thread may still be releasing what it used.
    Sleep(100);
    return status;
}

}  // namespace

int main()
{
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 1; argv != nullptr && i < count; ++i) {
        args.emplace_back(argv[i]);
    }
    LocalFree(argv);

    PreviewOptions options;
    std::wstring error;
    if (!ParsePreviewOptions(args, options, error)) {
        Print(L"doceventdlg-preview: " + error, stderr);
        Print(kPreviewUsage, stderr);
        return 2;
    }
    if (options.showUsage) {
        Print(kPreviewUsage);
        return 0;
    }
    return Run(options);
}
