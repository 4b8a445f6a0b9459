// Where a dialog goes over the foreground window: centring with each half
// rounded on its own, then kept on the screen of the foreground window.
#include <gtest/gtest.h>

#include "placementmath.h"

namespace {

ScreenRect Rect(int32_t left, int32_t top, int32_t width, int32_t height)
{
    return ScreenRect{left, top, left + width, top + height};
}

TEST(PlacementMath, CentresAndClampsBothVariants)
{
    struct Case {
        const char* name;
        ScreenRect dialog;  // only its size counts
        ScreenRect foreground;
        ScreenRect screen;
        ScreenPoint guarded;
        ScreenPoint unguarded;
    };
    const ScreenRect screen = Rect(0, 0, 1280, 1024);
    const ScreenRect secondScreen = Rect(1280, 200, 1920, 1080);
    const Case cases[] = {
        {"halves taken separately (301 over 100)", Rect(0, 0, 100, 100), Rect(0, 0, 301, 301), screen, {100, 100},
         {100, 100}},
        {"halves taken separately (300 over 101)", Rect(0, 0, 101, 101), Rect(0, 0, 300, 300), screen, {100, 100},
         {100, 100}},
        {"odd sizes both", Rect(0, 0, 101, 51), Rect(100, 100, 301, 201), screen, {200, 175}, {200, 175}},
        {"dialog position is ignored", Rect(900, 900, 100, 100), Rect(0, 0, 301, 301), screen, {100, 100},
         {100, 100}},
        {"pulled back at the right and bottom", Rect(0, 0, 200, 100), Rect(1200, 1000, 80, 24), screen,
         {1080, 924}, {1080, 924}},
        {"pushed to the left and top", Rect(0, 0, 200, 100), Rect(0, 0, 20, 20), screen, {0, 0}, {0, 0}},
        {"pushed to a second screen's near edges", Rect(0, 0, 200, 100), Rect(1280, 200, 20, 20), secondScreen,
         {1280, 200}, {1280, 200}},
        {"pulled back on a second screen", Rect(0, 0, 200, 100), Rect(3100, 1200, 100, 80), secondScreen,
         {3000, 1180}, {3000, 1180}},
        {"foreground off the screen to the left", Rect(0, 0, 200, 100), Rect(-500, 300, 100, 100), screen,
         {0, 300}, {0, 300}},
        {"exactly fits", Rect(0, 0, 1280, 1024), Rect(0, 0, 1280, 1024), screen, {0, 0}, {0, 0}},
        {"wider and taller than the screen", Rect(0, 0, 1400, 1100), Rect(0, 0, 1280, 1024), screen, {0, 0},
         {-120, -76}},
        {"wider than a second screen", Rect(0, 0, 2000, 100), Rect(1280, 200, 1920, 1080), secondScreen,
         {1280, 690}, {1200, 690}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScreenPoint guarded = CenteredPosition(c.dialog, c.foreground, c.screen, PlacementVariant::Guarded);
        EXPECT_EQ(guarded.x, c.guarded.x);
        EXPECT_EQ(guarded.y, c.guarded.y);
        const ScreenPoint unguarded =
            CenteredPosition(c.dialog, c.foreground, c.screen, PlacementVariant::Unguarded);
        EXPECT_EQ(unguarded.x, c.unguarded.x);
        EXPECT_EQ(unguarded.y, c.unguarded.y);
    }
}

}  // namespace
