// The dialogs in hosts of every DPI awareness and on monitors of other
// scales. CTest runs the program once per host awareness (unaware, system
// aware, per-monitor v2, named in DOCEVENTDLG_HOST_AWARENESS and taken on
// before anything else runs) and display scale (DOCEVENTDLG_TEST_DPI).
// Whatever the host, each dialog is laid out at the display's DPI, and the
// host's thread keeps its own context. A change of scale while a dialog is
// open is shown by answering the library's GetDpiForWindow and sending the
// message Windows sends.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dll_monitor.h"
#include "export_drivers.h"
#include "fault_support.h"
#include "foreground_window.h"
#include "requests.h"
#include "test_paths.h"

namespace {

using SetProcessContextFunction = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
using GetThreadContextFunction = DPI_AWARENESS_CONTEXT(WINAPI*)();
using SetThreadContextFunction = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using ContextsEqualFunction = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);
using DpiForWindowFunction = UINT(WINAPI*)(HWND);

template <class Function>
Function User32(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

// The host's awareness, declared before the test runs, as a host's manifest
// or its first call would. The error when it could not be: Wine 8 makes
// every process per-monitor aware before it runs, and refuses any other.
const DWORD g_hostDeclarationError = [] {
    const char* asked = std::getenv("DOCEVENTDLG_HOST_AWARENESS");
    DPI_AWARENESS_CONTEXT context = nullptr;
    if (asked != nullptr && std::strcmp(asked, "system") == 0) {
        context = DPI_AWARENESS_CONTEXT_SYSTEM_AWARE;
    } else if (asked != nullptr && std::strcmp(asked, "permonitorv2") == 0) {
        context = DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2;
    }
    const auto set = User32<SetProcessContextFunction>("SetProcessDpiAwarenessContext");
    if (context == nullptr) {
        return DWORD{0};
    }
    SetLastError(0);
    return set != nullptr && set(context) ? DWORD{0} : (GetLastError() != 0 ? GetLastError() : DWORD{1});
}();

int DisplayDpi()
{
    const char* asked = std::getenv("DOCEVENTDLG_TEST_DPI");
    return asked != nullptr ? std::atoi(asked) : 96;
}

int DpiOf(HWND window) { return static_cast<int>(User32<DpiForWindowFunction>("GetDpiForWindow")(window)); }

// The rectangle of a window in physical pixels, whatever the test thread's
// awareness: read from a per-monitor-aware context.
RECT PhysicalRect(HWND window)
{
    const auto set = User32<SetThreadContextFunction>("SetThreadDpiAwarenessContext");
    const DPI_AWARENESS_CONTEXT previous = set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    RECT rect{};
    GetWindowRect(window, &rect);
    set(previous);
    return rect;
}

int Height(const RECT& rect) { return rect.bottom - rect.top; }

// The warning's message control, in physical pixels or as the host sees it;
// its growth is what a long message adds to it.
int MessageHeight(const WarningDialogRequest& request, bool physical = true)
{
    WarningCall call(request);
    RECT host{};
    GetWindowRect(call.Control(IDC_WARNING_MESSAGE), &host);
    const int height = call.dialog() == nullptr ? -1
                       : physical               ? Height(PhysicalRect(call.Control(IDC_WARNING_MESSAGE)))
                                                : Height(host);
    call.Command(IDOK);
    EXPECT_EQ(call.Result(), IDOK);
    return height;
}

TEST(HostAwareness, EveryDialogIsLaidOutAtTheDisplaysDpiAndTheHostKeepsItsContext)
{
    if (g_hostDeclarationError != 0) {
        GTEST_SKIP() << "the platform refused the host's awareness (error " << g_hostDeclarationError
                     << "): it made the process per-monitor aware itself, as Wine 8 does for every process";
    }
    const auto getContext = User32<GetThreadContextFunction>("GetThreadDpiAwarenessContext");
    const auto equal = User32<ContextsEqualFunction>("AreDpiAwarenessContextsEqual");
    ASSERT_NE(getContext, nullptr);
    const int dpi = DisplayDpi();
    ForegroundWindow foreground(RECT{340, 272, 940, 752});
    const struct {
        const char* name;
        int export_;
    } rows[] = {{"the warning", 0}, {"the notice", 1}, {"the instructions, informational", 2},
                {"the instructions, waiting", 3}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(foreground.Activate());
        DllMonitor monitor(DocEventDlgModule());
        // Read on the thread that calls the export, just before and after.
        DPI_AWARENESS_CONTEXT before = nullptr;
        DPI_AWARENESS_CONTEXT after = nullptr;
        CallOptions around;
        around.before = [&] { before = getContext(); };
        around.after = [&] { after = getContext(); };
        int dialogDpi = 0;
        std::vector<int> frameDpis;
        RECT dialog{};
        switch (row.export_) {
        case 0: {
            WarningCall call(WarningRequest(), WarningExport::Plain, around);
            dialogDpi = DpiOf(call.dialog());
            call.Command(IDOK);
            EXPECT_EQ(call.Result(), IDOK);
            break;
        }
        case 1: {
            NoticeCall call(NoticeRequest(), around);
            dialogDpi = DpiOf(call.dialog());
            dialog = PhysicalRect(call.dialog());
            EXPECT_TRUE(call.Close());
            break;
        }
        default: {
            InstructionsCall call(InstructionsRequest().Waiting(row.export_ == 3 ? 1 : 0), around);
            dialogDpi = DpiOf(call.dialog());
            dialog = PhysicalRect(call.dialog());
            call.WaitPainted();
            for (const int frame : {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE}) {
                frameDpis.push_back(DpiOf(call.Control(frame)));
            }
            EXPECT_TRUE(call.Close());
            break;
        }
        }
        EXPECT_EQ(dialogDpi, dpi);
        for (const int frameDpi : frameDpis) {
            EXPECT_EQ(frameDpi, dpi);
        }
        ASSERT_NE(before, nullptr);
        ASSERT_NE(after, nullptr);
        EXPECT_TRUE(equal(after, before)) << "the host's thread has another context after the call";
        if (row.export_ != 0) {
            // Centred over the foreground window in the one coordinate space
            // of the screen, or kept at an edge of the screen where it is larger.
            const RECT over = PhysicalRect(foreground.window());
            const RECT screen = PhysicalRect(GetDesktopWindow());
            const bool centredAcross = std::abs((dialog.left + dialog.right) / 2 - (over.left + over.right) / 2) <= 2;
            const bool centredDown = std::abs((dialog.top + dialog.bottom) / 2 - (over.top + over.bottom) / 2) <= 2;
            EXPECT_TRUE(centredAcross || dialog.left == screen.left || dialog.right == screen.right)
                << "dialog " << dialog.left << "-" << dialog.right << " over " << over.left << "-" << over.right;
            EXPECT_TRUE(centredDown || dialog.top == screen.top || dialog.bottom == screen.bottom)
                << "dialog " << dialog.top << "-" << dialog.bottom << " over " << over.top << "-" << over.bottom;
        }
        if (row.export_ >= 2) {
            // From 144 DPI on, the larger artwork.
            const std::vector<WORD> loaded = monitor.LoadedBitmaps();
            ASSERT_FALSE(loaded.empty());
            EXPECT_EQ(loaded.front(), dpi >= 144 ? IDB_ILLUSTRATION_105_2X : IDB_ILLUSTRATION_105);
        }
    }
    // The long message's growth follows the display's scale.
    const int grown = MessageHeight(WarningRequest().Message(std::wstring(151, L'm')));
    const int plain = MessageHeight(WarningRequest().Message(std::wstring(150, L'm')));
    EXPECT_EQ(grown - plain, MulDiv(100, dpi, 96));
}

// ---------------------------------------------------------------- scale changes

// The test's own thread per-monitor aware while the guard lives, so that it
// measures the per-monitor-aware dialogs in their own pixels in any host.
class PerMonitorAwareTest {
public:
    PerMonitorAwareTest()
        : set_(User32<SetThreadContextFunction>("SetThreadDpiAwarenessContext")),
          previous_(set_(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2))
    {
    }
    ~PerMonitorAwareTest() { set_(previous_); }
    PerMonitorAwareTest(const PerMonitorAwareTest&) = delete;
    PerMonitorAwareTest& operator=(const PerMonitorAwareTest&) = delete;

private:
    SetThreadContextFunction set_;
    DPI_AWARENESS_CONTEXT previous_;
};

// The library's GetDpiForWindow, answered for every window: the DPI of the
// monitor the test says the dialog is on.
int g_answeredDpi = 96;
UINT WINAPI AnswerDpiForWindow(HWND) { return static_cast<UINT>(g_answeredDpi); }

int FontHeight(HWND control)
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return font.lfHeight;
}

// A control's rectangle in the dialog's client coordinates.
RECT Placed(HWND dialog, int control) { return ControlRect(dialog, control); }

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT Scaled(const RECT& rect, int dpi, int from)
{
    const int left = MulDiv(rect.left, dpi, from), top = MulDiv(rect.top, dpi, from);
    return RECT{left, top, MulDiv(rect.right, dpi, from), MulDiv(rect.bottom, dpi, from)};
}

// Sends the dialog what Windows sends after a move to a monitor of dpi: the
// new DPI and the suggested rectangle, here the window grown from its
// top-left corner, at offset from where it is.
void ChangeDpi(HWND dialog, int dpi, int from, POINT offset)
{
    g_answeredDpi = dpi;
    RECT window{};
    GetWindowRect(dialog, &window);
    RECT suggested{window.left + offset.x, window.top + offset.y, 0, 0};
    suggested.right = suggested.left + MulDiv(window.right - window.left, dpi, from);
    suggested.bottom = suggested.top + MulDiv(window.bottom - window.top, dpi, from);
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    WaitUntilPainted(dialog);
}

// A dialog moved from a monitor of the system's DPI to one of half as much
// again and back: after each move its controls' places and fonts are those of
// the new DPI, its own fonts and pictures are made for it, it lies inside the
// work area, and back on the first monitor it is as it was.
TEST(ScaleChange, TheDialogFollowsItsMonitorsScaleThereAndBack)
{
    const PerMonitorAwareTest physicalPixels;
    const int system = DisplayDpi();
    const int larger = system * 3 / 2;
    const struct {
        const char* name;
        int export_;
        int controls[3];  // whose places and fonts are checked
        int boldControl;  // a control in the dialog's own bold font, or 0
    } rows[] = {
        {"the notice", 1, {IDC_JOB_LOCATION_LINE1, IDC_JOB_USER_NAME_LABEL, IDOK}, IDC_JOB_USER_NAME},
        {"the instructions", 2, {IDC_DUPLEX_INTRODUCTION, IDC_DUPLEX_STEP1_PICTURE, IDOK}, 0},
        {"a long warning", 0, {IDC_WARNING_MESSAGE, IDC_WARNING_DONT_SHOW, IDOK}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DllMonitor monitor(DocEventDlgModule());
        g_answeredDpi = system;
        monitor.AnswerExport("GetDpiForWindow", reinterpret_cast<const void*>(&AnswerDpiForWindow));
        std::optional<WarningCall> warning;
        std::optional<NoticeCall> notice;
        std::optional<InstructionsCall> instructions;
        const DialogDriver* driver = nullptr;
        if (row.export_ == 0) {
            driver = &warning.emplace(WarningRequest().Message(std::wstring(400, L'm')));
        } else if (row.export_ == 1) {
            driver = &notice.emplace(NoticeRequest());
        } else {
            driver = &instructions.emplace(InstructionsRequest());
        }
        const HWND dialog = driver->dialog();
        ASSERT_NE(dialog, nullptr);
        driver->WaitPainted();
        std::vector<RECT> original;
        std::vector<int> heights;
        for (const int control : row.controls) {
            original.push_back(Placed(dialog, control));
            heights.push_back(FontHeight(GetDlgItem(dialog, control)));
        }
        const int boldHeight = row.boldControl != 0 ? FontHeight(GetDlgItem(dialog, row.boldControl)) : 0;
        const int fontsBefore = monitor.Outstanding(Owned::Font);

        // To the larger scale, suggested partly past the screen's bottom right.
        const RECT screen = PhysicalRect(GetDesktopWindow());
        RECT window{};
        GetWindowRect(dialog, &window);
        const POINT offset{screen.right - window.left - 100, screen.bottom - window.top - 100};
        const size_t loadsBefore = monitor.LoadedBitmaps().size();
        ChangeDpi(dialog, larger, system, offset);
        for (size_t i = 0; i < original.size(); ++i) {
            SCOPED_TRACE("control " + std::to_string(row.controls[i]));
            EXPECT_TRUE(SameRect(Placed(dialog, row.controls[i]), Scaled(original[i], larger, system)));
            EXPECT_EQ(FontHeight(GetDlgItem(dialog, row.controls[i])), MulDiv(heights[i], larger, system));
        }
        if (row.boldControl != 0) {
            EXPECT_EQ(FontHeight(GetDlgItem(dialog, row.boldControl)), MulDiv(boldHeight, larger, system));
        }
        RECT moved{};
        GetWindowRect(dialog, &moved);
        // Inside the work area; one larger than it starts at its top-left corner.
        EXPECT_TRUE(moved.right <= screen.right || moved.left == screen.left) << "past the work area";
        EXPECT_TRUE(moved.bottom <= screen.bottom || moved.top == screen.top) << "past the work area";
        EXPECT_EQ(moved.right - moved.left, MulDiv(window.right - window.left, larger, system));
        if (row.export_ == 2) {
            const std::vector<WORD> loads = monitor.LoadedBitmaps();
            ASSERT_GT(loads.size(), loadsBefore) << "the pictures were not drawn again";
            EXPECT_EQ(loads.back() >= IDB_ILLUSTRATION_2X_OFFSET, larger >= 144) << "picture " << loads.back();
        }

        // And back, to where it was.
        ChangeDpi(dialog, system, larger, POINT{0, 0});
        for (size_t i = 0; i < original.size(); ++i) {
            SCOPED_TRACE("control " + std::to_string(row.controls[i]) + ", back");
            EXPECT_TRUE(SameRect(Placed(dialog, row.controls[i]), original[i]));
            EXPECT_EQ(FontHeight(GetDlgItem(dialog, row.controls[i])), heights[i]);
        }
        if (row.boldControl != 0) {
            EXPECT_EQ(FontHeight(GetDlgItem(dialog, row.boldControl)), boldHeight);
        }
        EXPECT_EQ(monitor.Outstanding(Owned::Font), fontsBefore) << "a font of a change is left";
        warning.reset();
        notice.reset();
        instructions.reset();
        EXPECT_EQ(WaitForNoLeaks(monitor), "");
    }
}

// A dialog on a monitor whose scale is not the system's (a 144-DPI monitor of
// a 96-DPI system, or the reverse): every size the library computes follows
// the window's own DPI, not the system's.
TEST(ScaleChange, SizesComeFromTheWindowsOwnDpiNotTheSystems)
{
    const int monitorDpi = DisplayDpi() == 96 ? 144 : 96;
    DllMonitor monitor(DocEventDlgModule());
    g_answeredDpi = monitorDpi;
    monitor.AnswerExport("GetDpiForWindow", reinterpret_cast<const void*>(&AnswerDpiForWindow));
    {
        InstructionsCall instructions{InstructionsRequest()};
        ASSERT_NE(instructions.dialog(), nullptr);
        instructions.WaitPainted();
        const std::vector<WORD> loads = monitor.LoadedBitmaps();
        ASSERT_FALSE(loads.empty());
        EXPECT_EQ(loads.front(), monitorDpi >= 144 ? IDB_ILLUSTRATION_105_2X : IDB_ILLUSTRATION_105);
        EXPECT_TRUE(instructions.Close());
    }
    const int grown = MessageHeight(WarningRequest().Message(std::wstring(151, L'm')));
    const int plain = MessageHeight(WarningRequest().Message(std::wstring(150, L'm')));
    EXPECT_EQ(grown - plain, MulDiv(100, monitorDpi, 96));
    EXPECT_EQ(WaitForNoLeaks(monitor), "");
}

// Where the platform has none of the per-monitor functions (before Windows 10
// 1607), the dialogs come up and end as they always did, laid out at the
// system's DPI.
TEST(ScaleChange, WithoutThePerMonitorFunctionsEverythingIsAsBefore)
{
    DllMonitor monitor(DocEventDlgModule());
    for (const char* function : {"GetDpiForWindow", "SetThreadDpiAwarenessContext", "SetDialogDpiChangeBehavior",
                                 "SetDialogControlDpiChangeBehavior"}) {
        monitor.AnswerExport(function, nullptr);
    }
    const auto getContext = User32<GetThreadContextFunction>("GetThreadDpiAwarenessContext");
    const auto equal = User32<ContextsEqualFunction>("AreDpiAwarenessContextsEqual");
    const DPI_AWARENESS_CONTEXT before = getContext();
    // As before: the DPI this host itself sees (the system's, or 96 where the
    // platform gives an unaware host a 96-DPI world).
    const HDC screen = GetDC(nullptr);
    const int hostDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    {
        InstructionsCall instructions{InstructionsRequest()};
        ASSERT_NE(instructions.dialog(), nullptr);
        instructions.WaitPainted();
        const std::vector<WORD> loads = monitor.LoadedBitmaps();
        ASSERT_FALSE(loads.empty());
        EXPECT_EQ(loads.front(), hostDpi >= 144 ? IDB_ILLUSTRATION_105_2X : IDB_ILLUSTRATION_105);
        EXPECT_TRUE(instructions.Close());
    }
    const int grown = MessageHeight(WarningRequest().Message(std::wstring(151, L'm')), false);
    const int plain = MessageHeight(WarningRequest().Message(std::wstring(150, L'm')), false);
    EXPECT_EQ(grown - plain, MulDiv(100, hostDpi, 96));
    EXPECT_TRUE(equal(getContext(), before));
    EXPECT_EQ(monitor.Leaks(), "");
}

}  // namespace
