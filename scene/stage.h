// stage.h --- where the scene is shown: on the primary monitor only, pixel for pixel, or on a
// scaled display drawn at its logical size and shown k times as large, in whole pixels.
#pragma once
#include <windows.h>

int scale_for_dpi(int dpi);      // the whole-number scale of a display of that many dots per inch
int primary_monitor_dpi();       // the primary monitor's own where Windows tells it, else the system's
void open_stage(HWND window);    // on the saver window's creation: the scene's screen and scale
void set_stage(HWND window, const RECT& primary, int scale);
int stage_scale();
void play_tick(HWND window);     // one step of the scene, shown in the window
void close_stage();
POINT scene_origin(HWND window); // the scene's top-left corner in the window
