#pragma once
// The one application record. Every long-lived resource of the program hangs here and is
// released by the code that made it.

#include "app/settings.h"
#include "clock/draw_records.h"
#include "skin/skin.h"

#include <cstdint>

namespace mv {

struct AppState {
    Settings settings;
    Skin skin;
    HandRenderer handRenderer;
    DrawSurface backBuffer;
};

} // namespace mv
