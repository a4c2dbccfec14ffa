// set_up.cpp --- what the saver's start spends setting its scene up: the girl modules' check, and
// the four sprites loaded for a true-colour display and, every frame dithered, for 16 colours.
#include "tools/bench/measures.h"

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/display_colours.h"
#include "scene/stage.h"

SetUpTimes measure_set_up()
{
    SetUpTimes times;
    HDC display = GetDC(nullptr);
    for (int run = 0; run < 7; run++) {
        double t = now_us();
        scan_girl_modules(LANG_NEUTRAL);
        times.scans.push_back(now_us() - t);
        // The sprites alone, as the start loads them after the scan.
        Mode = 0;
        Girl = 0;
        const Monitor whole = {{0, 0, W, H}, 1};
        for (int kind : {DISPLAY_TRUE_COLOUR, DISPLAY_16_COLOURS}) {
            t = now_us();
            lay_out_scenes_on(display, kind, &whole, 1);
            (kind == DISPLAY_TRUE_COLOUR ? times.loads : times.loads_16).push_back(now_us() - t);
            close_scenes();
        }
    }
    ReleaseDC(nullptr, display);
    return times;
}
