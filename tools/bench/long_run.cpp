// long_run.cpp --- the saver left on for hours: random girls tick after tick on a screen-sized
// surface, and what the process holds meanwhile.
#include "tools/bench/measures.h"

#include <psapi.h>

#include "scene/display_colours.h"
#include "scene/sequence.h"
#include "scene/stage.h"

static SIZE_T working_set_kb()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize / 1024;
}

LongRun play_long_run(long long ticks)
{
    Screen screen;
    Scene* scene = start_scene(screen.dc, 1, DISPLAY_TRUE_COLOUR);
    for (int i = 0; i < 1000; i++)  // until every sprite has drawn and holds its background
        scene_tick(scene, screen.dc);
    LongRun run;
    run.gdi_start = gdi_objects();
    run.working_set_start_kb = working_set_kb();
    double t0 = now_us();
    for (long long i = 0; i < ticks; i++)
        scene_tick(scene, screen.dc);
    run.seconds = (now_us() - t0) / 1e6;
    run.gdi_end = gdi_objects();
    run.working_set_end_kb = working_set_kb();
    close_scenes();
    return run;
}
