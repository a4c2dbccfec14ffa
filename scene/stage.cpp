// stage.cpp --- where the scenes are shown: the primary monitor's, and with Screens 1 one on
// every other monitor too, each with its own corner, clip and whole-number scale.
#include "scene/stage.h"

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/host.h"
#include "scene/cast.h"
#include "scene/display_colours.h"
#include "scene/sequence.h"

static const int STANDARD_DPI = 96;   // 100 %: the size the pictures were drawn for

// One monitor's scene: where it plays and how large. Stage 0 is the primary monitor's, whose
// scene is the one the sequence and the cast hold. Another monitor's scene waits in its stage
// between its ticks, and is swapped in for each (its sequence state, its four sprites, its girl).
struct Stage {
    RECT screen;                 // the monitor, in screen coordinates
    int scale;                   // every pixel of the scene is shown as a scale x scale block
    // With a scale above 1 the scene draws into this picture of the monitor's logical screen,
    // and each tick shows what it changed, enlarged.
    HDC picture_dc;
    HBITMAP picture;
    HGDIOBJ picture_previous;
    SceneState scene;
    Sprite girl, flare, sky, banner;  // the overlays and the flare show the primary's frames
    int girl_index;                   // the module her pictures come from
};

static Stage stages[MAX_STAGES];
static int stage_count;
static SpriteFrame other_girl_frames[MAX_STAGES][GIRL_FRAMES];
// The girls of the other monitors' scenes while the displays change, so that each monitor that
// stays keeps her (in random mode, until she leaves, as on the primary monitor).
static int kept_girls[MAX_STAGES];
static int kept_count;

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
typedef BOOL(WINAPI* EnumMonitorsFunction)(HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data);
static const int EFFECTIVE_DPI = 0;  // MDT_EFFECTIVE_DPI: the scale the user chose for the monitor

// Windows 95 and NT 4.0 know no monitors at all: their USER32 lacks these, and a program that
// imported them would not even start there, so they are asked for by name.
static FARPROC user_function(const char* name)
{
    return GetProcAddress(GetModuleHandleA("USER32.DLL"), name);
}

// Windows 8.1 and later give each monitor its own scale; earlier ones have one for the system.
int monitor_dpi(POINT corner)
{
    UINT dpi_x = 0, dpi_y = 0;
    HMODULE shell_core = load_system_library("SHCORE.DLL");
    if (shell_core) {
        MonitorDpiFunction monitor_dpi_of = reinterpret_cast<MonitorDpiFunction>(
            reinterpret_cast<void*>(GetProcAddress(shell_core, "GetDpiForMonitor")));
        MonitorFromPointFunction monitor_from_point = reinterpret_cast<MonitorFromPointFunction>(
            reinterpret_cast<void*>(user_function("MonitorFromPoint")));
        if (!monitor_dpi_of || !monitor_from_point ||
            monitor_dpi_of(monitor_from_point(corner, MONITOR_DEFAULTTOPRIMARY), EFFECTIVE_DPI, &dpi_x, &dpi_y) != S_OK)
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

int primary_monitor_dpi()
{
    const POINT corner = {0, 0};
    return monitor_dpi(corner);
}

static void close_picture(Stage* stage)
{
    if (stage->picture_dc) {
        SelectObject(stage->picture_dc, stage->picture_previous);
        DeleteObject(stage->picture);
        DeleteDC(stage->picture_dc);
    }
    stage->picture_dc = nullptr;
    stage->picture = nullptr;
    stage->picture_previous = nullptr;
    stage->scale = 1;
}

// A scale above 1 needs a black picture of the logical screen; without memory for it the
// scene is shown pixel for pixel instead.
static void open_picture(Stage* stage, HWND window, int k)
{
    stage->scale = 1;
    if (k <= 1)
        return;
    const int width = (stage->screen.right - stage->screen.left) / k;
    const int height = (stage->screen.bottom - stage->screen.top) / k;
    HDC dc = GetDC(window);
    stage->picture_dc = CreateCompatibleDC(dc);
    stage->picture = CreateCompatibleBitmap(dc, width, height);
    ReleaseDC(window, dc);
    if (stage->picture_dc && stage->picture) {
        stage->picture_previous = SelectObject(stage->picture_dc, stage->picture);
        RECT all = {0, 0, width, height};
        FillRect(stage->picture_dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        stage->scale = k;
        return;
    }
    if (stage->picture)
        DeleteObject(stage->picture);
    if (stage->picture_dc)
        DeleteDC(stage->picture_dc);
    stage->picture_dc = nullptr;
    stage->picture = nullptr;
}

template <typename T>
static void exchange(T& a, T& b)
{
    T held = a;
    a = b;
    b = held;
}

// Puts another monitor's scene where the sequence plays it, and the primary's aside; called
// again, puts both back. The option Girl is the girl of the scene being played.
static void swap_scene(Stage* stage)
{
    exchange(scene, stage->scene);
    exchange(girl_sprite, stage->girl);
    exchange(flare_sprite, stage->flare);
    exchange(sky_sprite, stage->sky);
    exchange(banner_sprite, stage->banner);
    exchange(Girl, stage->girl_index);
}

// Another monitor's cast shares the primary's flare, sky and banner pictures, and keeps only
// what it saved of its own screen; its girl is its own.
static void share_overlay(Sprite* sprite, const Sprite& primary)
{
    clear_sprite(sprite);
    sprite->count = primary.count;
    sprite->frames = primary.frames;
    sprite->width = primary.width;
    sprite->height = primary.height;
}

static void close_scene(Stage* stage)
{
    destroy_sprite(&stage->girl);
    forget_background(&stage->flare);
    forget_background(&stage->sky);
    forget_background(&stage->banner);
    clear_sprite(&stage->flare);
    clear_sprite(&stage->sky);
    clear_sprite(&stage->banner);
}

void close_stage()
{
    if (stage_count > 1) {
        kept_count = stage_count - 1;
        for (int i = 1; i < stage_count; i++)
            kept_girls[i - 1] = stages[i].girl_index;
    }
    for (int i = 0; i < stage_count; i++) {
        if (i > 0)
            close_scene(&stages[i]);
        close_picture(&stages[i]);
    }
    stage_count = 0;
    stages[0].scale = 1;
}

// The scene plays on `primary` (screen coordinates), laid out on its size divided by the scale.
void set_stage(HWND window, const RECT& primary, int k)
{
    close_stage();
    stage_count = 1;
    stages[0].screen = primary;
    open_picture(&stages[0], window, k);
    const int scale = stages[0].scale;
    scene.screen_width = (primary.right - primary.left) / scale;
    scene.screen_height = (primary.bottom - primary.top) / scale;
}

// The girl of a monitor's scene: in one-girl mode the chosen one; in random mode the one it
// had before the displays changed, or a random pick of its own.
static int girl_for_stage(int index)
{
    if (Mode != 1)
        return Girl;
    if (index - 1 < kept_count)
        return kept_girls[index - 1];
    const int primary_girl = Girl;
    pick_random_girl();
    const int picked = Girl;
    Girl = primary_girl;
    return picked;
}

void add_stage(HWND window, const RECT& screen, int k)
{
    if (stage_count < 1 || stage_count >= MAX_STAGES)
        return;
    const int index = stage_count++;
    Stage* stage = &stages[index];
    stage->screen = screen;
    open_picture(stage, window, k);
    clear_sprite(&stage->girl);
    stage->girl_index = girl_for_stage(index);
    swap_scene(stage);
    // Now the primary's cast waits in the stage, and this monitor's is being made.
    share_overlay(&flare_sprite, stage->flare);
    share_overlay(&sky_sprite, stage->sky);
    share_overlay(&banner_sprite, stage->banner);
    HDC dc = GetDC(window);
    load_girl_sprite(dc, other_girl_frames[index]);
    ReleaseDC(window, dc);
    scene.screen_width = (screen.right - screen.left) / stage->scale;
    scene.screen_height = (screen.bottom - screen.top) / stage->scale;
    start_sequence();
    swap_scene(stage);
}

struct MonitorList {
    RECT primary;
    RECT others[MAX_STAGES];
    int count;
};

static BOOL CALLBACK note_monitor(HMONITOR, HDC, LPRECT area, LPARAM data)
{
    MonitorList* list = reinterpret_cast<MonitorList*>(data);
    if (!EqualRect(area, &list->primary) && list->count < MAX_STAGES - 1)
        list->others[list->count++] = *area;
    return TRUE;
}

// The primary monitor's scene always. With Screens 1, full screen, a scene on every other
// monitor too; but not on a palette display, whose one palette belongs to the primary
// monitor's scene exactly as when it plays alone.
static void build_stages(HWND window)
{
    RECT primary;
    SetRect(&primary, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    set_stage(window, primary, preview_mode ? 1 : scale_for_dpi(primary_monitor_dpi()));
    if (preview_mode || Screens != 1 || display_kind() == DISPLAY_256_COLOURS)
        return;
    EnumMonitorsFunction enum_monitors = reinterpret_cast<EnumMonitorsFunction>(
        reinterpret_cast<void*>(user_function("EnumDisplayMonitors")));
    if (!enum_monitors)
        return;
    MonitorList list;
    list.primary = primary;
    list.count = 0;
    enum_monitors(nullptr, nullptr, note_monitor, reinterpret_cast<LPARAM>(&list));
    for (int i = 0; i < list.count; i++) {
        const POINT corner = {list.others[i].left, list.others[i].top};
        add_stage(window, list.others[i], scale_for_dpi(monitor_dpi(corner)));
    }
}

// Taken as the saver starts. The preview is a small window of another program, sized in that
// program's pixels: it shows the primary's scene pixel for pixel, as it always has.
void open_stage(HWND window)
{
    close_stage();
    kept_count = 0;
    build_stages(window);
}

// The displays changed: every scene is laid out again for its monitor as it is now; the other
// monitors' scenes keep their girls, one monitor after another, and a monitor that left takes
// its scene with it.
void reopen_stage(HWND window)
{
    close_stage();
    build_stages(window);
}

int stage_scale() { return stage_count > 0 ? stages[0].scale : 1; }
int stage_total() { return stage_count; }

// The choreography of each scene is laid out on its monitor, whose corner lies somewhere in the
// full-screen window (which covers every monitor and may begin left of or above the primary);
// the scene draws from that corner, and the sequence and the sprites never know. The preview
// draws from its own corner.
static POINT origin_of(const Stage* stage, HWND window)
{
    POINT corner = {0, 0};
    if (!preview_mode) {
        corner.x = stage->screen.left;
        corner.y = stage->screen.top;
        ScreenToClient(window, &corner);
    }
    return corner;
}

POINT scene_origin(HWND window) { return origin_of(&stages[0], window); }

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

// Part of the picture, shown enlarged at its place on the monitor.
static void show_enlarged(HDC dc, const Stage* stage, POINT origin, RECT part)
{
    RECT logical = {0, 0, scene.screen_width, scene.screen_height};
    if (!IntersectRect(&part, &part, &logical))
        return;
    const int k = stage->scale, w = part.right - part.left, h = part.bottom - part.top;
    StretchBlt(dc, origin.x + part.left * k, origin.y + part.top * k, w * k, h * k,
               stage->picture_dc, part.left, part.top, w, h, SRCCOPY);
}

// A sprite drawn in a tick (its saved background renewed, or it moved or changed its picture)
// has changed its old rectangle and its new one, and nothing else: those are shown, as one
// rectangle where they overlap.
static void show_changes(HDC dc, const Stage* stage, POINT origin, const Place& before, const Sprite* sprite)
{
    Place after = place_of(sprite);
    if (EqualRect(&before.rect, &after.rect) && before.frame == after.frame && before.saved == after.saved)
        return;
    RECT both;
    if (IntersectRect(&both, &before.rect, &after.rect)) {
        UnionRect(&both, &before.rect, &after.rect);
        show_enlarged(dc, stage, origin, both);
    } else {
        show_enlarged(dc, stage, origin, before.rect);
        show_enlarged(dc, stage, origin, after.rect);
    }
}

// One step of the scene being played, on its own monitor.
static void play_on(HDC dc, const Stage* stage, HWND window)
{
    POINT origin = origin_of(stage, window);
    // Nothing of the scene reaches another monitor: a sprite coming in or going out across the
    // monitor's edge would otherwise be drawn on the monitor beside it, and stay there.
    IntersectClipRect(dc, origin.x, origin.y, origin.x + (stage->screen.right - stage->screen.left),
                      origin.y + (stage->screen.bottom - stage->screen.top));
    if (stage->scale == 1) {
        SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
        scene_tick(dc);
    } else {
        Sprite* cast[4] = {&girl_sprite, &flare_sprite, &sky_sprite, &banner_sprite};
        Place before[4];
        for (int i = 0; i < 4; i++)
            before[i] = place_of(cast[i]);
        scene_tick(stage->picture_dc);
        // Nearest neighbour: each pixel a square block, nothing smoothed.
        int previous_mode = SetStretchBltMode(dc, COLORONCOLOR);
        for (int i = 0; i < 4; i++)
            show_changes(dc, stage, origin, before[i], cast[i]);
        SetStretchBltMode(dc, previous_mode);
    }
    // The window keeps its own device context: the next scene, and the next tick, find it with
    // the window's own origin and without a clip of ours.
    SetViewportOrgEx(dc, 0, 0, nullptr);
    SelectClipRgn(dc, nullptr);
}

void play_tick(HWND window)
{
    HDC dc = GetDC(window);
    for (int i = 0; i < stage_count; i++) {
        if (i > 0)
            swap_scene(&stages[i]);
        play_on(dc, &stages[i], window);
        if (i > 0)
            swap_scene(&stages[i]);
    }
    ReleaseDC(window, dc);
}
