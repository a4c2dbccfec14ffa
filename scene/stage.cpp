// stage.cpp --- where the scene is shown: its corner and clip on several monitors, and its scale.
#include "scene/stage.h"

#include "host/host.h"
#include "scene/cast.h"
#include "scene/sequence.h"

static const int STANDARD_DPI = 96;   // 100 %: the size the pictures were drawn for

static RECT stage_screen;    // the primary monitor in screen coordinates, where the scene plays
static int scale = 1;        // every pixel of the scene is shown as a scale x scale block
// With a scale above 1 the scene draws into this picture of the logical screen, and each tick
// shows what it changed, enlarged. It lives from the window's creation to its destruction.
static HDC picture_dc;
static HBITMAP picture;
static HGDIOBJ picture_previous;

// The scale is a whole number, so that every pixel of the pictures becomes a square block and
// nothing is smoothed: the display's scale rounded to the nearest, halves up. At 125 % the scene
// stays pixel for pixel; at 150 % it is doubled, 1.33 times what Windows would show, which is
// nearer in proportion than 1, 0.67 times.
int scale_for_dpi(int dpi)
{
    int k = (dpi + STANDARD_DPI / 2) / STANDARD_DPI;
    return k < 1 ? 1 : k;
}

typedef HRESULT(WINAPI* MonitorDpiFunction)(HMONITOR monitor, int kind, UINT* dpi_x, UINT* dpi_y);
typedef HMONITOR(WINAPI* MonitorFromPointFunction)(POINT point, DWORD flags);
static const int EFFECTIVE_DPI = 0;  // MDT_EFFECTIVE_DPI: the scale the user chose for the monitor

// Windows 8.1 and later give each monitor its own scale; earlier ones have one for the system.
// Windows 95 and NT 4.0 know no monitors at all: their USER32 lacks MonitorFromPoint, and a
// program that imported it would not even start there, so it is asked for by name as well.
int primary_monitor_dpi()
{
    UINT dpi_x = 0, dpi_y = 0;
    HMODULE shell_core = load_system_library("SHCORE.DLL");
    if (shell_core) {
        MonitorDpiFunction monitor_dpi = reinterpret_cast<MonitorDpiFunction>(
            reinterpret_cast<void*>(GetProcAddress(shell_core, "GetDpiForMonitor")));
        MonitorFromPointFunction monitor_from_point = reinterpret_cast<MonitorFromPointFunction>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("USER32.DLL"), "MonitorFromPoint")));
        POINT corner = {0, 0};
        if (!monitor_dpi || !monitor_from_point ||
            monitor_dpi(monitor_from_point(corner, MONITOR_DEFAULTTOPRIMARY), EFFECTIVE_DPI, &dpi_x, &dpi_y) != S_OK)
            dpi_y = 0;
        FreeLibrary(shell_core);
    }
    if (dpi_y > 0)
        return static_cast<int>(dpi_y);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

void close_stage()
{
    if (picture_dc) {
        SelectObject(picture_dc, picture_previous);
        DeleteObject(picture);
        DeleteDC(picture_dc);
    }
    picture_dc = nullptr;
    picture = nullptr;
    picture_previous = nullptr;
    scale = 1;
}

// The scene plays on `primary` (screen coordinates), laid out on its size divided by the scale.
void set_stage(HWND window, const RECT& primary, int k)
{
    close_stage();
    stage_screen = primary;
    const int screen_width = primary.right - primary.left, screen_height = primary.bottom - primary.top;
    if (k > 1) {
        const int width = screen_width / k, height = screen_height / k;
        HDC dc = GetDC(window);
        picture_dc = CreateCompatibleDC(dc);
        picture = CreateCompatibleBitmap(dc, width, height);
        ReleaseDC(window, dc);
        if (picture_dc && picture) {
            picture_previous = SelectObject(picture_dc, picture);
            RECT all = {0, 0, width, height};
            FillRect(picture_dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            scale = k;
        } else {
            // No memory for the picture: the scene is shown pixel for pixel instead.
            if (picture)
                DeleteObject(picture);
            if (picture_dc)
                DeleteDC(picture_dc);
            picture_dc = nullptr;
            picture = nullptr;
        }
    }
    scene.screen_width = screen_width / scale;
    scene.screen_height = screen_height / scale;
}

// The scale is taken once, when the saver starts: a change of the display's scale while it runs
// shows at the next start. The preview is a small window of another program, sized in that
// program's pixels: it shows the scene pixel for pixel, as it always has.
void open_stage(HWND window)
{
    RECT primary;
    SetRect(&primary, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    set_stage(window, primary, preview_mode ? 1 : scale_for_dpi(primary_monitor_dpi()));
}

int stage_scale() { return scale; }

// The choreography is laid out on the primary monitor, whose top-left corner is the screen's
// (0, 0). The full-screen window covers every monitor and may begin left of or above it, so the
// scene draws from that corner; the sequence and the sprites never know. The preview draws from
// its own corner.
POINT scene_origin(HWND window)
{
    POINT corner = {0, 0};
    if (!preview_mode) {
        corner.x = stage_screen.left;
        corner.y = stage_screen.top;
        ScreenToClient(window, &corner);
    }
    return corner;
}

// Where a sprite stood and what it showed before a tick, to tell what the tick changed.
struct Place {
    RECT rect;
    int frame;
    HBITMAP saved;
};

static Place place_of(const Sprite* sprite)
{
    Place place;
    SetRect(&place.rect, sprite->x, sprite->y, sprite->x + sprite->width, sprite->y + sprite->height);
    place.frame = sprite->frame;
    place.saved = sprite->saved;
    return place;
}

// Part of the picture, shown enlarged at its place on the primary monitor.
static void show_enlarged(HDC dc, POINT origin, RECT part)
{
    RECT logical = {0, 0, scene.screen_width, scene.screen_height};
    if (!IntersectRect(&part, &part, &logical))
        return;
    const int w = part.right - part.left, h = part.bottom - part.top;
    StretchBlt(dc, origin.x + part.left * scale, origin.y + part.top * scale, w * scale, h * scale,
               picture_dc, part.left, part.top, w, h, SRCCOPY);
}

// A sprite drawn in a tick (its saved background renewed, or it moved or changed its picture)
// has changed its old rectangle and its new one, and nothing else: those are shown, as one
// rectangle where they overlap.
static void show_changes(HDC dc, POINT origin, const Place& before, const Sprite* sprite)
{
    Place after = place_of(sprite);
    if (EqualRect(&before.rect, &after.rect) && before.frame == after.frame && before.saved == after.saved)
        return;
    RECT both;
    if (IntersectRect(&both, &before.rect, &after.rect)) {
        UnionRect(&both, &before.rect, &after.rect);
        show_enlarged(dc, origin, both);
    } else {
        show_enlarged(dc, origin, before.rect);
        show_enlarged(dc, origin, after.rect);
    }
}

void play_tick(HWND window)
{
    HDC dc = GetDC(window);
    POINT origin = scene_origin(window);
    // Nothing of the scene reaches another monitor: a sprite coming in or going out across the
    // primary monitor's edge would otherwise be drawn on the monitor beside it, and stay there.
    IntersectClipRect(dc, origin.x, origin.y, origin.x + (stage_screen.right - stage_screen.left),
                      origin.y + (stage_screen.bottom - stage_screen.top));
    if (scale == 1) {
        SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
        scene_tick(dc);
    } else {
        Sprite* cast[4] = {&girl_sprite, &flare_sprite, &sky_sprite, &banner_sprite};
        Place before[4];
        for (int i = 0; i < 4; i++)
            before[i] = place_of(cast[i]);
        scene_tick(picture_dc);
        // Nearest neighbour: each pixel a square block, nothing smoothed.
        int previous_mode = SetStretchBltMode(dc, COLORONCOLOR);
        for (int i = 0; i < 4; i++)
            show_changes(dc, origin, before[i], cast[i]);
        SetStretchBltMode(dc, previous_mode);
    }
    // The window keeps its own device context: it goes back with the window's own origin and
    // without a clip of ours.
    SetViewportOrgEx(dc, 0, 0, nullptr);
    SelectClipRgn(dc, nullptr);
    ReleaseDC(window, dc);
}
