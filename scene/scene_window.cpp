// scene_window.cpp --- the scene's window handler: sets the scene up, ticks it, tears it down.
#include "scene/scene_window.h"

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/host.h"
#include "scene/cast.h"
#include "scene/display_colours.h"
#include "scene/sequence.h"
#include "scene/stage.h"

static UINT_PTR scene_timer;  // 0 before the timer is set and when it could not be

static void start_timer(HWND window)
{
    scene_timer = 0;
    scene_timer = SetTimer(window, SCENE_TIMER, SCENE_TICK_MS, nullptr);
}

// A palette display's static colours, for the palettes of the scene's girl, who shows first.
static void take_scene_colours(HDC screen)
{
    take_display_colours(screen, girl_sprite.count > 0 ? girl_sprite.frames[0].palette : nullptr);
}

static void on_create(HWND window)
{
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    scan_girl_modules();
    load_settings_names();
    load_options();
    HDC screen = GetDC(window);
    // On a 16-colour display the frames are dithered as they load.
    set_display_kind(display_kind_of(screen));
    load_scene_sprites(screen);
    // Full screen, the saver's palettes may use a palette display's static colours too.
    if (!preview_mode)
        take_scene_colours(screen);
    ReleaseDC(window, screen);
    // Positions come from the whole primary monitor, also in the small preview window.
    open_stage(window);
    start_sequence();
    start_timer(window);
    SetCursor(previous);
}

// The sprites' saved backgrounds are pictures of the screen as it was laid out before.
static void forget_backgrounds()
{
    forget_background(&girl_sprite);
    forget_background(&flare_sprite);
    forget_background(&sky_sprite);
    forget_background(&banner_sprite);
}

// The displays changed while the saver plays (the window already covers them all, as they
// are now). Every scene is laid out again as a saver started now would lay it out, and its
// cycle starts again from the girl coming in, with the same girl: a scene half way through
// its cycle on a screen that is gone would leave its overlays at corners that are no longer
// corners, and its mover where no edge is. The preview's window is its parent's business.
static void on_displays_changed(HWND window)
{
    if (preview_mode)
        return;
    if (scene_timer)
        KillTimer(window, scene_timer);
    HDC screen = GetDC(window);
    const int kind = display_kind_of(screen);
    if (kind != display_kind()) {
        // To or from 16 colours, the frames are loaded again, dithered or as they were drawn.
        close_stage();
        destroy_scene_sprites();
        set_display_kind(kind);
        load_scene_sprites(screen);
    }
    forget_backgrounds();
    // To a palette display the static colours are taken as at the start; from one, given back
    // as at the end.
    if (kind == DISPLAY_256_COLOURS)
        take_scene_colours(screen);
    else
        give_back_display_colours(screen);
    ReleaseDC(window, screen);
    // Black all over, the new monitors too, before the first step of the new layout.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW);
    reopen_stage(window);
    start_sequence();
    start_timer(window);
    play_tick(window);
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
    play_tick(window);
}

static void on_paint(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
}

static void on_erase_background(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

static void on_destroy(HWND window)
{
    if (scene_timer)
        KillTimer(window, scene_timer);
    destroy_scene_sprites();
    close_stage();
    // In random mode this is the last girl picked, so the next run starts with her.
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
