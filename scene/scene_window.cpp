// scene_window.cpp --- the scene's window handler: sets the scenes up, ticks them, tears them down.
#include "scene/scene_window.h"

#include "base/flags.h"
#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/close_rules.h"
#include "scene/display_colours.h"
#include "scene/stage.h"

static UINT_PTR scene_timer;  // 0 before the timer is set and when it could not be

// Whether a message tells that the displays may have changed: their size, number or depth
// (sent to every top-level window), a monitor's scale (Windows 8.1 and later, to a window whose
// scale changed), or a resume from sleep, during which monitors may have come or gone.
bool displays_changed(UINT message, WPARAM wparam)
{
    switch (message) {
    case WM_DISPLAYCHANGE:
    case DPI_CHANGED:
        return true;
    case WM_POWERBROADCAST:
        return wparam == PBT_APMRESUMEAUTOMATIC || wparam == PBT_APMRESUMESUSPEND ||
               wparam == PBT_APMRESUMECRITICAL;
    default:
        return false;
    }
}


// Without its timer the scene has no next tick: a timer the system will not give is asked for
// again as soon as the window has nothing else to do, when it is next painted (it is only
// marked to be painted, not made black).
static void start_timer(HWND window)
{
    scene_timer = 0;
    scene_timer = SetTimer(window, SCENE_TIMER, SCENE_TICK_MS, nullptr);
    if (!scene_timer)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
}

// The one set-up of the scenes, as the window is made and whenever the displays change: the
// scenes laid out for the displays as they are now, each from its start, with pictures for what
// the display shows; a palette display's static colours, for the palettes of the primary
// monitor's girl, who shows first; and the timer. A window already on the screen is first made
// black all over, the new monitors too, and shows the first step before the change is answered.
// Where the system refuses the window's device context, its repaint or its black, the scenes
// are set up again at the next tick.
static int set_up_owed;

static void set_up_scenes(HWND window, bool shown)
{
    if (scene_timer)
        KillTimer(window, scene_timer);
    HDC screen = GetDC(window);
    set_up_owed = !screen;
    if (screen) {
        const int kind = display_kind_of(screen);
        lay_out_scenes(screen, kind);
        // Full screen, the saver's palettes may use a palette display's static colours too.
        if (!preview_mode) {
            const Scene* primary = scene_at(0);
            suit_display_colours(screen, kind, primary->girl.count > 0 ? primary->girl.frames[0].palette : nullptr);
        }
        ReleaseDC(window, screen);
        if (shown && !RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW))
            set_up_owed = 1;
    }
    start_timer(window);
    if (shown && !set_up_owed)
        play_tick(window);
}

static void on_create(HWND window)
{
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    scan_girl_modules(LANG_NEUTRAL);
    load_settings_names();
    load_options();
    set_up_scenes(window, false);
    SetCursor(previous);
}

// The displays changed while the saver plays (the window already covers them all, as they
// are now). Every scene is laid out again as a saver started now would lay it out, and its
// cycle starts again from the girl coming in, with the same girl: a scene half way through
// its cycle on a screen that is gone would leave its overlays at corners that are no longer
// corners, and its mover where no edge is. The preview's window is its parent's business.
static void on_displays_changed(HWND window)
{
    if (!preview_mode)
        set_up_scenes(window, true);
}

static void on_timer(HWND window, WPARAM timer)
{
    if (timer != scene_timer || scene_timer == 0)
        return;
#ifdef SKYFLARE_FAULT_TEST
    // Only in the test build that proves the fault guard: a real fault, a few ticks into a run.
    static int ticks_before_fault = 5;
    if (--ticks_before_fault == 0) {
        volatile int* nowhere = nullptr;
        *nowhere = 0;
    }
#endif
    if (set_up_owed)
        set_up_scenes(window, true);
    else
        play_tick(window);
}

static void on_paint(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    if (!scene_timer)
        start_timer(window);
}

// A window the system would not make black keeps what it showed: the scenes are set up again,
// and the window made black again, at the next tick.
static void on_erase_background(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    if (!FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))))
        set_up_owed = 1;
}

static void on_destroy(HWND window)
{
    if (scene_timer)
        KillTimer(window, scene_timer);
    // In random mode the primary monitor's girl is the last one picked, so the next run starts
    // with her.
    if (const Scene* primary = scene_at(0))
        Girl = primary->girl_index;
    close_scenes();
    save_options();
    HDC screen = GetDC(window);
    give_back_display_colours(screen);
    ReleaseDC(window, screen);
}

LRESULT scene_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        on_create(window);
        return 0;
    case WM_TIMER:
        on_timer(window, wparam);
        return 0;
    case WM_PAINT:
        on_paint(window);
        return 0;
    case WM_ERASEBKGND:
        on_erase_background(window, reinterpret_cast<HDC>(wparam));
        return 0;
    case WM_DESTROY:
        on_destroy(window);
        return close_rules_proc(window, message, wparam, lparam);
    default:
        if (displays_changed(message, wparam))
            on_displays_changed(window);  // and on to the close rules, which take the pointer afresh
        return close_rules_proc(window, message, wparam, lparam);
    }
}
