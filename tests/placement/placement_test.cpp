// Where the job storage notice (guarded placement) and the informational
// two-sided instructions (unguarded placement) appear: over a real foreground
// window on the one real screen, and over foreground windows, dialog sizes and
// monitors that the test makes up by answering the library's own calls.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dll_monitor.h"
#include "export_drivers.h"
#include "foreground_window.h"
#include "requests.h"
#include "resource.h"
#include "test_paths.h"

namespace {

std::string Describe(const RECT& rect)
{
    return "{" + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) +
           "," + std::to_string(rect.bottom) + "}";
}

POINT TopLeft(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return POINT{rect.left, rect.top};
}

// --- A real foreground window ---------------------------------------------

TEST(RealForegroundWindow, NoticeCentredOverItAndKeptOnTheScreen)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    RECT screen{};
    GetWindowRect(GetDesktopWindow(), &screen);
    ASSERT_EQ(screen.right, 1280);  // the session's virtual screen
    ASSERT_EQ(screen.bottom, 1024);
    const struct {
        const char* name;
        RECT foreground;
    } cases[] = {
        {"centred", {200, 150, 801, 551}},
        {"past the right and bottom edges", {1100, 900, 1280, 1024}},
        {"past the left and top edges", {-100, -80, 60, 40}},
        {"wide, at the left edge", {0, 300, 1000, 500}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const ForegroundWindow foreground(test.foreground);
        ASSERT_NE(foreground.window(), nullptr);
        ASSERT_EQ(GetForegroundWindow(), foreground.window());
        NoticeCall notice{NoticeRequest()};
        ASSERT_NE(notice.dialog(), nullptr);
        RECT dialog{};
        GetWindowRect(notice.dialog(), &dialog);
        const LONG width = dialog.right - dialog.left;
        const LONG height = dialog.bottom - dialog.top;
        const RECT& f = test.foreground;
        LONG x = f.left + (f.right - f.left) / 2 - width / 2;
        LONG y = f.top + (f.bottom - f.top) / 2 - height / 2;
        x = x < 0 ? 0 : (x + width > screen.right ? screen.right - width : x);
        y = y < 0 ? 0 : (y + height > screen.bottom ? screen.bottom - height : y);
        EXPECT_EQ(dialog.left, x) << Describe(dialog);
        EXPECT_EQ(dialog.top, y) << Describe(dialog);
        EXPECT_TRUE(IsWindowVisible(notice.dialog()));
        EXPECT_TRUE(notice.Close());
    }
}

// --- Answers the test makes up ------------------------------------------------

const HMONITOR kFakeMonitor = reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x5A5A0));
const HWND kFakeForeground = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7A7A0));

constexpr RECT kScreen = {0, 0, 1280, 1024};
constexpr RECT kSecondScreen = {1280, 0, 2560, 1024};
constexpr RECT kDialog300x200 = {0, 0, 300, 200};

// What the library is told; read on the dialog's thread. Over() makes a
// scene of a 300 by 200 dialog and one monitor that is the whole desktop; a
// row names what differs.
struct Scene {
    std::optional<RECT> foreground;  // none: its rectangle cannot be read
    std::optional<RECT> dialog;      // none: its rectangle cannot be read
    std::optional<RECT> monitor;     // none: no monitor answers
    std::optional<RECT> desktop;     // none: the desktop window's rectangle cannot be read
    std::optional<RECT> work;        // the monitor's work area; none: the whole monitor

    Scene Dialog(std::optional<RECT> rect) const { return With(&Scene::dialog, rect); }
    Scene Monitor(std::optional<RECT> rect) const { return With(&Scene::monitor, rect); }
    Scene Desktop(std::optional<RECT> rect) const { return With(&Scene::desktop, rect); }
    Scene Work(RECT rect) const { return With(&Scene::work, rect); }

private:
    Scene With(std::optional<RECT> Scene::*field, std::optional<RECT> rect) const
    {
        Scene scene = *this;
        scene.*field = rect;
        return scene;
    }
};

Scene Over(std::optional<RECT> foreground) { return Scene{foreground, kDialog300x200, kScreen, kScreen, std::nullopt}; }

Scene g_scene;
std::atomic<int> g_setWindowPosCalls{0};
std::atomic<UINT> g_setWindowPosFlags{0};
std::atomic<HWND> g_setWindowPosAfter{nullptr};

BOOL AnswerRect(const std::optional<RECT>& rect, LPRECT out)
{
    if (!rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *out = *rect;
    return TRUE;
}

HWND WINAPI FakeGetForegroundWindow() { return kFakeForeground; }

BOOL WINAPI FakeGetWindowRect(HWND window, LPRECT rect)
{
    if (window == kFakeForeground) {
        return AnswerRect(g_scene.foreground, rect);
    }
    if (window == GetDesktopWindow()) {
        return AnswerRect(g_scene.desktop, rect);
    }
    return AnswerRect(g_scene.dialog, rect);
}

HMONITOR WINAPI FakeMonitorFromWindow(HWND, DWORD) { return g_scene.monitor ? kFakeMonitor : nullptr; }

BOOL WINAPI FakeGetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info)
{
    if (monitor != kFakeMonitor || !g_scene.monitor || info->cbSize < sizeof(MONITORINFO)) {
        return FALSE;
    }
    info->rcMonitor = *g_scene.monitor;
    info->rcWork = g_scene.work ? *g_scene.work : *g_scene.monitor;
    info->dwFlags = 0;
    return TRUE;
}

using SetWindowPosFunction = BOOL(WINAPI*)(HWND, HWND, int, int, int, int, UINT);
SetWindowPosFunction g_realSetWindowPos = nullptr;

BOOL WINAPI RecordingSetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags)
{
    ++g_setWindowPosCalls;
    g_setWindowPosFlags = flags;
    g_setWindowPosAfter = after;
    return g_realSetWindowPos(window, after, x, y, cx, cy, flags);
}

// The library's placement calls, answered from g_scene while the guard lives.
class FakeScreen {
public:
    explicit FakeScreen(const Scene& scene)
    {
        g_scene = scene;
        g_setWindowPosCalls = 0;
        g_setWindowPosFlags = 0;
        g_setWindowPosAfter = reinterpret_cast<HWND>(-1);
        const struct {
            const char* function;
            const void* replacement;
        } answers[] = {
            {"GetForegroundWindow", reinterpret_cast<const void*>(&FakeGetForegroundWindow)},
            {"GetWindowRect", reinterpret_cast<const void*>(&FakeGetWindowRect)},
            {"MonitorFromWindow", reinterpret_cast<const void*>(&FakeMonitorFromWindow)},
            {"GetMonitorInfoW", reinterpret_cast<const void*>(&FakeGetMonitorInfoW)},
            {"SetWindowPos", reinterpret_cast<const void*>(&RecordingSetWindowPos)},
        };
        for (const auto& answer : answers) {
            overrides_.push_back(
                std::make_unique<ImportOverride>(DocEventDlgModule(), answer.function, answer.replacement));
        }
        g_realSetWindowPos = overrides_.back()->original<SetWindowPosFunction>();  // the last: SetWindowPos
    }
    bool active() const
    {
        for (const auto& override : overrides_) {
            if (!override->active()) {
                return false;
            }
        }
        return true;
    }

private:
    std::vector<std::unique_ptr<ImportOverride>> overrides_;
};

struct PlacementCase {
    const char* name;
    Scene scene;
    std::optional<POINT> expected;  // none: not placed at all
};

// Where the job storage notice ends up in a made-up scene.
POINT PlaceNotice(const Scene& scene, bool* placed)
{
    const FakeScreen fake(scene);
    EXPECT_TRUE(fake.active());
    NoticeCall notice{NoticeRequest()};
    EXPECT_NE(notice.dialog(), nullptr);
    if (notice.dialog() == nullptr) {
        *placed = false;
        return POINT{};
    }
    const POINT where = TopLeft(notice.dialog());
    *placed = g_setWindowPosCalls > 0;
    if (*placed) {
        EXPECT_EQ(g_setWindowPosFlags.load(), static_cast<UINT>(SWP_NOSIZE | SWP_SHOWWINDOW));
        EXPECT_EQ(g_setWindowPosAfter.load(), HWND_TOP);
    }
    EXPECT_TRUE(notice.Close());
    return where;
}

// Where the informational two-sided instructions end up in a made-up scene.
POINT PlaceInstructions(const Scene& scene, bool* placed)
{
    const FakeScreen fake(scene);
    EXPECT_TRUE(fake.active());
    InstructionsCall instructions{InstructionsRequest()};  // informational: returns at once
    EXPECT_NE(instructions.dialog(), nullptr);
    if (instructions.dialog() == nullptr) {
        *placed = false;
        return POINT{};
    }
    const POINT where = TopLeft(instructions.dialog());
    *placed = g_setWindowPosCalls > 0;
    if (*placed) {
        EXPECT_EQ(g_setWindowPosFlags.load(), static_cast<UINT>(SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER));
        EXPECT_EQ(g_setWindowPosAfter.load(), HWND_TOP);
    }
    instructions.Command(IDOK);
    EXPECT_TRUE(instructions.WaitEnded());
    return where;
}

void ExpectPlacement(const PlacementCase& test, POINT (*place)(const Scene&, bool*))
{
    SCOPED_TRACE(test.name);
    bool placed = false;
    const POINT where = place(test.scene, &placed);
    if (test.expected) {
        EXPECT_TRUE(placed);
        EXPECT_EQ(where.x, test.expected->x);
        EXPECT_EQ(where.y, test.expected->y);
    } else {
        EXPECT_FALSE(placed);
        // The template's own place, 0, 0, with no DS_CENTER.
        EXPECT_EQ(where.x, 0);
        EXPECT_EQ(where.y, 0);
    }
}

// Cases both variants place alike.
const PlacementCase kCommonCases[] = {
    {"centred", Over(RECT{100, 100, 701, 501}), POINT{250, 200}},
    // 150 - 50: each half rounded on its own.
    {"odd foreground", Over(RECT{0, 0, 301, 301}).Dialog(RECT{0, 0, 100, 100}), POINT{100, 100}},
    // 150 - 50, not (300 - 101) / 2 = 99.
    {"odd dialog", Over(RECT{0, 0, 300, 300}).Dialog(RECT{0, 0, 101, 101}), POINT{100, 100}},
    {"odd dialog, negative origin", Over(RECT{-7, -7, 293, 293}).Dialog(RECT{500, 500, 601, 601}), POINT{93, 93}},
    {"past the right and bottom edges", Over(RECT{1100, 900, 1280, 1024}), POINT{980, 824}},
    {"past the left and top edges", Over(RECT{-50, -50, 50, 50}), POINT{0, 0}},
    {"second monitor, centred", Over(RECT{1600, 300, 2201, 701}).Monitor(kSecondScreen), POINT{1750, 400}},
    {"second monitor, pushed to its left edge", Over(RECT{1280, 0, 1380, 100}).Monitor(kSecondScreen), POINT{1280, 0}},
    {"second monitor, pulled back from its right and bottom edges",
     Over(RECT{2400, 950, 2560, 1024}).Monitor(kSecondScreen), POINT{2260, 824}},
    {"monitor below and left of the first",
     Over(RECT{-900, 1100, -800, 1150}).Monitor(RECT{-1024, 1024, 0, 1792}), POINT{-1000, 1025}},
    {"no monitor answers: the desktop window's rectangle",
     Over(RECT{700, 500, 800, 600}).Monitor(std::nullopt).Desktop(RECT{0, 0, 800, 600}), POINT{500, 400}},
};

TEST(GuardedPlacement, JobStorageNotice)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    for (const PlacementCase& test : kCommonCases) {
        ExpectPlacement(test, PlaceNotice);
    }
    const PlacementCase guardedCases[] = {
        // Clamped to the near edge and no further: the far edge is not checked then.
        {"larger than the monitor", Over(RECT{0, 0, 100, 100}).Monitor(RECT{0, 0, 200, 150}), POINT{0, 0}},
        {"larger than the second monitor",
         Over(RECT{1280, 0, 1380, 100}).Monitor(RECT{1280, 0, 1480, 150}), POINT{1280, 0}},
        {"foreground rectangle unreadable", Over(std::nullopt), std::nullopt},
        {"dialog rectangle unreadable", Over(RECT{100, 100, 701, 501}).Dialog(std::nullopt), std::nullopt},
        {"no screen rectangle", Over(RECT{100, 100, 701, 501}).Monitor(std::nullopt).Desktop(std::nullopt),
         std::nullopt},
    };
    for (const PlacementCase& test : guardedCases) {
        ExpectPlacement(test, PlaceNotice);
    }
}

TEST(UnguardedPlacement, InformationalInstructions)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    for (const PlacementCase& test : kCommonCases) {
        ExpectPlacement(test, PlaceInstructions);
    }
    const PlacementCase unguardedCases[] = {
        // Near edge first, then the far edge on its own: ends before the near edge.
        {"larger than the monitor", Over(RECT{0, 0, 100, 100}).Monitor(RECT{0, 0, 200, 150}), POINT{-100, -50}},
        {"larger than the second monitor",
         Over(RECT{1280, 0, 1380, 100}).Monitor(RECT{1280, 0, 1480, 150}), POINT{1180, -50}},
    };
    for (const PlacementCase& test : unguardedCases) {
        ExpectPlacement(test, PlaceInstructions);
    }
}

TEST(UnguardedPlacement, PlacedEvenWithoutAForegroundRectangle)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    bool placed = false;
    const POINT where = PlaceInstructions(Over(std::nullopt), &placed);
    EXPECT_TRUE(placed);
    // Anywhere on the screen will do.
    EXPECT_GE(where.x, 0);
    EXPECT_GE(where.y, 0);
    EXPECT_LE(where.x + 300, 1280);
    EXPECT_LE(where.y + 200, 1024);
}

}  // namespace

namespace {

// A taskbar takes the bottom or the left of the monitor: dialogs stay inside
// the rest, the monitor's work area.
constexpr RECT kWorkAboveTaskbar = {0, 0, 1280, 984};
constexpr RECT kWorkRightOfTaskbar = {60, 0, 1280, 1024};
constexpr RECT kWorkAboveAndRight = {60, 0, 1280, 984};
constexpr RECT kDialog300x1000 = {0, 0, 300, 1000};

const PlacementCase kWorkAreaCases[] = {
    {"taskbar at the bottom: pulled up above it",
     Over(RECT{1100, 900, 1280, 1024}).Work(kWorkAboveTaskbar), POINT{980, 784}},
    {"taskbar at the bottom, foreground above it: centred",
     Over(RECT{100, 100, 701, 501}).Work(kWorkAboveTaskbar), POINT{250, 200}},
    {"taskbar on the left: pushed right of it",
     Over(RECT{-50, -50, 50, 50}).Work(kWorkRightOfTaskbar), POINT{60, 0}},
    {"taskbar on the left of the second monitor",
     Over(RECT{1280, 0, 1380, 100}).Monitor(kSecondScreen).Work(RECT{1340, 0, 2560, 1024}), POINT{1340, 0}},
};

TEST(GuardedPlacement, KeptInsideTheWorkArea)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    for (const PlacementCase& test : kWorkAreaCases) {
        ExpectPlacement(test, PlaceNotice);
    }
    // Taller than the work area: the top edge wins, the bottom is not checked.
    ExpectPlacement({"taller than the work area",
                     Over(RECT{0, 0, 100, 100}).Dialog(kDialog300x1000).Work(kWorkAboveAndRight), POINT{60, 0}},
                    PlaceNotice);
}

TEST(UnguardedPlacement, KeptInsideTheWorkArea)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    for (const PlacementCase& test : kWorkAreaCases) {
        ExpectPlacement(test, PlaceInstructions);
    }
    // Taller than the work area: the top edge first, then the bottom edge.
    ExpectPlacement({"taller than the work area",
                     Over(RECT{0, 0, 100, 100}).Dialog(kDialog300x1000).Work(kWorkAboveAndRight), POINT{60, -16}},
                    PlaceInstructions);
}

}  // namespace
