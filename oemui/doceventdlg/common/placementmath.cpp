#include "placementmath.h"

namespace {

int32_t Width(const ScreenRect& rect) { return rect.right - rect.left; }
int32_t Height(const ScreenRect& rect) { return rect.bottom - rect.top; }

// One axis: start is the centred position, size the dialog's extent.
int32_t ClampAxis(int32_t start, int32_t size, int32_t nearEdge, int32_t farEdge, PlacementVariant variant)
{
    if (variant == PlacementVariant::Guarded) {
        if (start < nearEdge) {
            return nearEdge;
        }
        if (start + size > farEdge) {
            return farEdge - size;
        }
        return start;
    }
    if (start < nearEdge) {
        start = nearEdge;
    }
    if (start + size > farEdge) {
        start = farEdge - size;
    }
    return start;
}

}  // namespace

ScreenPoint CenteredPosition(const ScreenRect& dialog, const ScreenRect& foreground, const ScreenRect& screen,
                             PlacementVariant variant)
{
    const int32_t x = foreground.left + Width(foreground) / 2 - Width(dialog) / 2;
    const int32_t y = foreground.top + Height(foreground) / 2 - Height(dialog) / 2;
    return ScreenPoint{ClampAxis(x, Width(dialog), screen.left, screen.right, variant),
                       ClampAxis(y, Height(dialog), screen.top, screen.bottom, variant)};
}
