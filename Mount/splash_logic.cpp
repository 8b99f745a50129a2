#include "splash_logic.h"

#include <cstdlib>

SplashTickResult SplashTick(SplashState &s)
{
    if (s.step != 0) {
        s.alpha += s.step;
        if (s.alpha > 255) {
            s.alpha = 255;
            s.step = 0;
        } else if (s.alpha < 0) {
            s.alpha = 0;
            s.step = 0;
            return SPLASH_DESTROY;
        }
        return SPLASH_SHOW;
    }
    ++s.holdTicks;
    if (s.closeFlag && s.holdTicks > 25)
        s.step = -48;
    return SPLASH_HOLD;
}

void PremultiplyAlpha(uint8_t *bgra, size_t pixels)
{
    for (size_t i = 0; i < pixels; ++i, bgra += 4) {
        unsigned a = bgra[3];
        bgra[0] = static_cast<uint8_t>(bgra[0] * a / 255);
        bgra[1] = static_cast<uint8_t>(bgra[1] * a / 255);
        bgra[2] = static_cast<uint8_t>(bgra[2] * a / 255);
    }
}

int OpaqueRuns(const uint8_t *bgra, int width, int height, SplashRect **rects)
{
    const int kGrowth = 64;
    SplashRect *list = nullptr;
    int count = 0, capacity = 0;
    for (int y = 0; y < height; ++y) {
        // Row y from the top is row height-1-y of the bottom-up bits.
        const uint8_t *row = bgra + static_cast<size_t>(height - 1 - y) * width * 4;
        int x = 0;
        while (x < width) {
            while (x < width && row[x * 4 + 3] <= 128)
                ++x;
            if (x == width)
                break;
            int start = x;
            while (x < width && row[x * 4 + 3] > 128)
                ++x;
            if (count == capacity) {
                void *grown = realloc(list, sizeof(SplashRect) * (capacity + kGrowth));
                if (!grown) {
                    free(list);
                    *rects = nullptr;
                    return -1;
                }
                list = static_cast<SplashRect *>(grown);
                capacity += kGrowth;
            }
            list[count++] = {start, y, x, y + 1};
        }
    }
    *rects = list;
    return count;
}
