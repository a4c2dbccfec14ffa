// scene_window.cpp --- the scene's window handler: sets the scene up, ticks it, tears it down.
#include "scene/scene_window.h"

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/host.h"
#include "scene/cast.h"
#include "scene/sequence.h"

static UINT_PTR scene_timer;  // 0 before the timer is set and when it could not be

// The choreography is laid out on the primary monitor, whose top-left corner is the screen's
// (0, 0). The full-screen window covers every monitor and may begin left of or above it, so
// the scene draws through a device context whose origin is that corner; the sequence and the
// sprites never know. The preview draws from its own corner.
POINT scene_origin(HWND window)
{
    POINT primary = {0, 0};
    if (!preview_mode)
        ScreenToClient(window, &primary);
    return primary;
}

static HDC take_scene_dc(HWND window)
{
    HDC dc = GetDC(window);
    POINT origin = scene_origin(window);
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
    return dc;
}

// The window keeps its own device context: it goes back with the window's own origin.
static void release_scene_dc(HWND window, HDC dc)
{
    SetViewportOrgEx(dc, 0, 0, nullptr);
    ReleaseDC(window, dc);
}

static void on_create(HWND window)
{
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    scan_girl_modules();
    load_settings_names();
    load_options();
    HDC screen = GetDC(window);
    // Full screen, the saver's palettes may use the system's static colours too.
    if (!preview_mode)
        SetSystemPaletteUse(screen, SYSPAL_NOSTATIC);
    load_scene_sprites(screen);
    ReleaseDC(window, screen);
    // Positions come from the whole screen, also in the small preview window.
    measure_screen();
    start_sequence();
    scene_timer = 0;
    scene_timer = SetTimer(window, SCENE_TIMER, SCENE_TICK_MS, nullptr);
    SetCursor(previous);
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
    HDC screen = take_scene_dc(window);
    scene_tick(screen);
    release_scene_dc(window, screen);
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
    // In random mode this is the last girl picked, so the next run starts with her.
    save_options();
    if (!preview_mode) {
        HDC screen = GetDC(window);
        SetSystemPaletteUse(screen, SYSPAL_STATIC);
        ReleaseDC(window, screen);
    }
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
        return close_rules_proc(window, message, wparam, lparam);
    }
}
