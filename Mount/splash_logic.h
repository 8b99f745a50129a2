// The splash picture's arithmetic: the fade timeline, premultiplied colours
// for layered windows, and the picture's opaque shape for plain windows.
#pragma once
#include <cstddef>
#include <cstdint>

struct SplashState {
    int alpha = 0;       // 0..255, current opacity
    int step = 32;       // added per tick: +32 fading in, 0 holding, -48 fading out
    int holdTicks = 0;   // ticks counted while holding
    bool closeFlag = true;
};

enum SplashTickResult {
    SPLASH_SHOW,     // show the picture with the new alpha
    SPLASH_HOLD,     // nothing to redraw
    SPLASH_DESTROY,  // faded out: destroy the window
};

// One timer tick (every 70 ms).
SplashTickResult SplashTick(SplashState &s);

// Multiplies blue, green and red of each B,G,R,A pixel by its alpha / 255.
void PremultiplyAlpha(uint8_t *bgra, size_t pixels);

struct SplashRect {
    int32_t left, top, right, bottom;
};

// One rectangle per run of pixels with alpha above 128, rows counted from the
// top of the picture; the rows of bgra are stored bottom-up. The list grows
// 64 rectangles at a time; *rects receives it (release with free) and the
// result is the count, or -1 when memory ran out (nothing to release then).
int OpaqueRuns(const uint8_t *bgra, int width, int height, SplashRect **rects);
