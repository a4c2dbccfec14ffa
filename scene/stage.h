// stage.h --- where the scenes are shown: on the primary monitor, and with Screens 1 on every
// monitor, each pixel for pixel or, on a scaled display, drawn at its logical size and shown k
// times as large, in whole pixels.
#pragma once
#include <windows.h>

const int MAX_STAGES = 16;       // monitors that play a scene; any beyond stay black

int scale_for_dpi(int dpi);      // the whole-number scale of a display of that many dots per inch
int monitor_dpi(POINT corner);   // the monitor's own where Windows tells it, else the system's
int primary_monitor_dpi();
void open_stage(HWND window);    // on the saver window's creation: the scenes' screens and scales
void reopen_stage(HWND window);  // the displays changed: every scene laid out again
void set_stage(HWND window, const RECT& primary, int scale);
void add_stage(HWND window, const RECT& screen, int scale);  // another monitor's scene
int stage_scale();               // the primary monitor's
int stage_total();               // the scenes playing
void play_tick(HWND window);     // one step of every scene, shown in the window
void close_stage();
POINT scene_origin(HWND window); // the primary scene's top-left corner in the window
