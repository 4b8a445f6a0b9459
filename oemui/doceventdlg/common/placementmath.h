// Where a dialog goes over the foreground window: platform-free arithmetic,
// built into the library and natively.
#pragma once

#include <cstdint>

struct ScreenRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

enum class PlacementVariant {
    // Clamps each axis once: to the near edge when past it, else to the far one.
    Guarded,
    // Clamps to the near edges, then independently to the far edges, so a
    // dialog larger than the screen ends past the near edge.
    Unguarded,
};

// Centres dialog over foreground (each half rounded toward zero on its own)
// and keeps it on screen, the work area of the monitor that holds the
// foreground window.
ScreenPoint CenteredPosition(const ScreenRect& dialog, const ScreenRect& foreground, const ScreenRect& screen,
                             PlacementVariant variant);
