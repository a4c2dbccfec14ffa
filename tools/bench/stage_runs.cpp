// stage_runs.cpp --- the tick as the saver window plays it, through its stage: on a scaled
// display, and on two monitors side by side, each playing a scene of its own.
#include "tools/bench/measures.h"

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/display_colours.h"
#include "scene/stage.h"

// One whole cycle, single girl, on a full-screen window of width x height pixels shown at the
// given scale, or on as many such monitors side by side.
CycleFigures measure_stage(int width, int height, int scale, int screens)
{
    HWND window = open_bench_window(width * screens, height);
    HDC dc = GetDC(window);  // the window's own: every GetDC gives this one
    scan_girl_modules(LANG_NEUTRAL);
    Mode = 0;
    Girl = 0;
    std::vector<Monitor> monitors;
    for (int i = 0; i < screens; i++)
        monitors.push_back({{i * width, 0, (i + 1) * width, height}, scale});
    lay_out_scenes_on(dc, DISPLAY_TRUE_COLOUR, monitors.data(), screens);
    const int logical_w = scene_at(0)->sequence.screen_width, logical_h = scene_at(0)->sequence.screen_height;
    present(window);
    watch_screen(dc);
    CycleFigures figures;
    play_cycle([&] { play_tick(window); }, window, logical_w, logical_h, figures);
    watch_screen(nullptr);
    close_scenes();
    ReleaseDC(window, dc);
    DestroyWindow(window);
    return figures;
}
