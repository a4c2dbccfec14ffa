// hooks.h --- the benchmark's own functions in place of system functions the saver's code imports:
// they count what it copies to the screen and the GDI and USER objects it holds, and make the
// displays seem other than they are.
#pragma once
#include <windows.h>

// Puts every hook in place, in this program's import table, which the saver's code linked into it
// calls through; the bench's own calls go through the same hooks. Ends the program, naming the
// function, when one is not imported.
void hook_saver_calls();

// Pixels copied onto one device context by BitBlt and StretchBlt (scaled copies counted at the
// size they reach it); null watches none.
void watch_screen(HDC screen);
long long pixels_copied();

// GDI objects alive, counted from their making and freeing (Wine's GetGuiResources answers 0):
// memory device contexts, compatible bitmaps, DIB sections, palettes and bitmaps loaded.
long gdi_objects();
// Device contexts taken with GetDC and not yet given back with ReleaseDC.
long dcs_taken();

// USER objects of the process: the windows made that still exist, the timers set on them (or on
// none) and not yet killed, and the distinct cursors and icons handed out (the system's shared
// ones are the same handle every time, so only one made afresh adds to them).
struct UserObjects {
    long windows, timers, cursors;
};
UserObjects user_objects();

// While on, every device context says it is of a display of 16 colours in one plane.
void pretend_sixteen_colours(bool on);

// While `count` is above 0, the system seems to have these monitors, the first the primary at
// 0,0: their number, the primary's size and the virtual screen that holds them all, and the
// monitors that EnumDisplayMonitors gives (found by name, as the saver finds it).
void pretend_monitors(const RECT* monitors, int count);

// The system's own functions behind the hooks, for the bench's own drawing, which nothing counts.
struct SystemGdi {
    decltype(&BitBlt) bit_blt;
    decltype(&CreateCompatibleDC) create_dc;
    decltype(&DeleteDC) delete_dc;
    decltype(&CreateCompatibleBitmap) create_bitmap;
    decltype(&DeleteObject) delete_object;
};
const SystemGdi& system_gdi();
