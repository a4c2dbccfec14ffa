// stage.h --- where the scenes are shown: on the primary monitor, and with Screens 1 on every
// monitor, each pixel for pixel or, on a scaled display, drawn at its logical size and shown k
// times as large, in whole pixels.
#pragma once
#include <windows.h>

#include "scene/scene.h"

const int MAX_SCENES = 16;       // monitors that play a scene; any beyond stay black

int scale_for_dpi(int dpi);      // the whole-number scale of a display of that many dots per inch
int primary_monitor_dpi();       // the primary monitor's own where Windows tells it, else the system's

// A monitor that plays a scene: where, in screen coordinates, and at which whole-number scale.
struct Monitor {
    RECT screen;
    int scale;
};

// A scene for every monitor that plays (the primary monitor's always; with Screens 1, full screen
// and not on a palette display, every other monitor's too), each laid out for its monitor as it
// is now and started from the girl coming in, its pictures loaded for a display of `kind`.
void lay_out_scenes(HDC screen, int kind);
// The same on the monitors given, the primary first. A scene that was already playing keeps its
// girl (and her pictures, when the kind is the same); a new one gets the chosen girl or, in random
// mode, a pick of its own; a monitor that left takes its scene with it.
void lay_out_scenes_on(HDC screen, int kind, const Monitor* monitors, int count);
void close_scenes();             // every scene, at the window's end: nothing is kept
Scene* scene_at(int index);      // the scenes playing, the primary monitor's first; null past them
int scene_total();
void play_tick(HWND window);     // one step of every scene, shown in the window
POINT scene_origin(HWND window); // the primary scene's top-left corner in the window
