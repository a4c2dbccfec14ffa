// stage.cpp --- keeps a scene for each monitor that plays, the primary monitor's first, and shows
// each on its own monitor with its own corner, clip and whole-number scale.
#include "scene/stage.h"

#include "base/flags.h"
#include "base/found_by_name.h"
#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/cast.h"
#include "scene/display_colours.h"
#include "scene/sequence.h"

static const int STANDARD_DPI = 96;   // 100 %: the size the pictures were drawn for
static const int EFFECTIVE_DPI = 0;   // MDT_EFFECTIVE_DPI: the scale the user chose for the monitor

static Scene scenes[MAX_SCENES];
static int scene_count;               // the scenes playing, their casts open
static int known_count;               // the scenes whose girl is remembered across a change

// The scale is a whole number, so that every pixel of the pictures becomes a square block and
// nothing is smoothed: the display's scale rounded to the nearest, halves up. At 125 % the scene
// stays pixel for pixel; at 150 % it is doubled, 1.33 times what Windows would show, which is
// nearer in proportion than 1, 0.67 times.
int scale_for_dpi(int dpi)
{
    int k = (dpi + STANDARD_DPI / 2) / STANDARD_DPI;
    return k < 1 ? 1 : k;
}

// Windows 8.1 and later give each monitor its own scale; earlier ones have one for the system.
static int monitor_dpi(POINT corner)
{
    UINT dpi_x = 0, dpi_y = 0;
    HMODULE shell_core = load_system_library("SHCORE.DLL");
    if (shell_core) {
        MonitorDpiFunction monitor_dpi_of = find_function<MonitorDpiFunction>(shell_core, "GetDpiForMonitor");
        const MonitorUser* monitors = monitor_user();
        if (!monitor_dpi_of || !monitors->MonitorFromPoint ||
            monitor_dpi_of(monitors->MonitorFromPoint(corner, MONITOR_DEFAULTTOPRIMARY), EFFECTIVE_DPI, &dpi_x,
                           &dpi_y) != S_OK)
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

static void close_picture(Scene* scene)
{
    if (scene->picture_dc) {
        SelectObject(scene->picture_dc, scene->picture_previous);
        DeleteObject(scene->picture);
        DeleteDC(scene->picture_dc);
    }
    scene->picture_dc = nullptr;
    scene->picture = nullptr;
    scene->picture_previous = nullptr;
    scene->picture_unshown = 0;
    scene->scale = 1;
}

// A scale above 1 needs a black picture of the logical screen; without memory for it the
// scene is shown pixel for pixel instead.
static void open_picture(Scene* scene, HDC dc, int k)
{
    close_picture(scene);
    if (k <= 1)
        return;
    const int width = (scene->screen.right - scene->screen.left) / k;
    const int height = (scene->screen.bottom - scene->screen.top) / k;
    scene->picture_dc = CreateCompatibleDC(dc);
    scene->picture = CreateCompatibleBitmap(dc, width, height);
    if (scene->picture_dc && scene->picture) {
        scene->picture_previous = SelectObject(scene->picture_dc, scene->picture);
        RECT all = {0, 0, width, height};
        FillRect(scene->picture_dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        scene->scale = k;
        return;
    }
    if (scene->picture)
        DeleteObject(scene->picture);
    if (scene->picture_dc)
        DeleteDC(scene->picture_dc);
    scene->picture_dc = nullptr;
    scene->picture = nullptr;
}

// The last scenes close first, so that the primary monitor's closes last and the shared
// pictures go with it, before its girl: in the reverse order of loading.
static void close_scenes_from(int first)
{
    for (int i = scene_count - 1; i >= first; i--) {
        close_cast(&scenes[i]);
        close_picture(&scenes[i]);
    }
    if (scene_count > first)
        scene_count = first;
}

void close_scenes()
{
    close_scenes_from(0);
    known_count = 0;
}

// The girl of a scene that starts: the one it had before the displays changed, else the chosen
// one, or in random mode on a monitor beside the primary one a random pick of its own.
static int girl_for_scene(int index)
{
    if (index < known_count)
        return scenes[index].girl_index;
    if (index > 0 && Mode == 1)
        return pick_random_girl(Girl);
    return Girl;
}

void lay_out_scenes_on(HDC screen, int kind, const Monitor* monitors, int count)
{
    if (count > MAX_SCENES)
        count = MAX_SCENES;
    // To or from 16 colours, every picture is loaded again, dithered or as it was drawn.
    close_scenes_from(scene_count > 0 && scenes[0].display_kind != kind ? 0 : count);
    for (int i = 0; i < count; i++) {
        Scene* scene = &scenes[i];
        if (i < scene_count) {
            // Its saved backgrounds are pictures of the screen as it was laid out before.
            Sprite* cast[4] = {&scene->girl, &scene->flare, &scene->sky, &scene->banner};
            for (Sprite* sprite : cast)
                forget_background(sprite);
        } else {
            scene->girl_index = girl_for_scene(i);
            open_cast(scene, screen, kind);
            scene_count = i + 1;
        }
        scene->screen = monitors[i].screen;
        open_picture(scene, screen, monitors[i].scale);
        scene->sequence.screen_width = (scene->screen.right - scene->screen.left) / scene->scale;
        scene->sequence.screen_height = (scene->screen.bottom - scene->screen.top) / scene->scale;
        start_sequence(scene);
    }
    known_count = scene_count;
}

struct MonitorList {
    Monitor monitors[MAX_SCENES];
    int count;
};

static BOOL CALLBACK note_monitor(HMONITOR, HDC, LPRECT area, LPARAM data)
{
    MonitorList* list = reinterpret_cast<MonitorList*>(data);
    if (!EqualRect(area, &list->monitors[0].screen) && list->count < MAX_SCENES) {
        const POINT corner = {area->left, area->top};
        list->monitors[list->count].screen = *area;
        list->monitors[list->count].scale = scale_for_dpi(monitor_dpi(corner));
        list->count++;
    }
    return TRUE;
}

// The primary monitor always. The preview is a small window of another program, sized in that
// program's pixels: it shows the primary's scene pixel for pixel, as it always has. With Screens
// 1, full screen, every other monitor too; but not on a palette display, whose one palette
// belongs to the primary monitor's scene exactly as when it plays alone.
void lay_out_scenes(HDC screen, int kind)
{
    MonitorList list;
    SetRect(&list.monitors[0].screen, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    list.monitors[0].scale = preview_mode ? 1 : scale_for_dpi(primary_monitor_dpi());
    list.count = 1;
    const MonitorUser* monitors = monitor_user();
    if (!preview_mode && Screens == 1 && kind != DISPLAY_256_COLOURS && monitors->EnumDisplayMonitors)
        monitors->EnumDisplayMonitors(nullptr, nullptr, note_monitor, reinterpret_cast<LPARAM>(&list));
    lay_out_scenes_on(screen, kind, list.monitors, list.count);
}

Scene* scene_at(int index) { return index >= 0 && index < scene_count ? &scenes[index] : nullptr; }
int scene_total() { return scene_count; }

// The choreography of each scene is laid out on its monitor, whose corner lies somewhere in the
// full-screen window (which covers every monitor and may begin left of or above the primary);
// the scene draws from that corner, and the sequence and the sprites never know. The preview
// draws from its own corner.
static POINT origin_of(const Scene* scene, HWND window)
{
    POINT corner = {0, 0};
    if (!preview_mode) {
        corner.x = scene->screen.left;
        corner.y = scene->screen.top;
        ScreenToClient(window, &corner);
    }
    return corner;
}

POINT scene_origin(HWND window) { return origin_of(&scenes[0], window); }

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
    if (sprite->owed) {  // a rectangle still to be put back is part of what the sprite changes
        RECT owed = {sprite->owed_x, sprite->owed_y, sprite->owed_x + sprite->width, sprite->owed_y + sprite->height};
        UnionRect(&place.rect, &place.rect, &owed);
    }
    place.frame = sprite->frame;
    place.saved = sprite->saved;
    return place;
}

// Part of the picture, shown enlarged at its place on the monitor; false when the system would
// not show it.
static bool show_enlarged(HDC dc, const Scene* scene, POINT origin, RECT part)
{
    RECT logical = {0, 0, scene->sequence.screen_width, scene->sequence.screen_height};
    if (!IntersectRect(&part, &part, &logical))
        return true;
    const int k = scene->scale, w = part.right - part.left, h = part.bottom - part.top;
    return StretchBlt(dc, origin.x + part.left * k, origin.y + part.top * k, w * k, h * k, scene->picture_dc,
                      part.left, part.top, w, h, SRCCOPY) != FALSE;
}

// A sprite drawn in a tick (its saved background renewed, or it moved or changed its picture)
// has changed its old rectangle and its new one, and nothing else: those are shown, as one
// rectangle where they overlap.
static bool show_changes(HDC dc, const Scene* scene, POINT origin, const Place& before, const Sprite* sprite)
{
    Place after = place_of(sprite);
    if (EqualRect(&before.rect, &after.rect) && before.frame == after.frame && before.saved == after.saved)
        return true;
    RECT both;
    if (IntersectRect(&both, &before.rect, &after.rect)) {
        UnionRect(&both, &before.rect, &after.rect);
        return show_enlarged(dc, scene, origin, both);
    }
    const bool old_shown = show_enlarged(dc, scene, origin, before.rect);
    return show_enlarged(dc, scene, origin, after.rect) && old_shown;
}

// The window keeps its own device context: the next scene, and the next tick, find it with the
// window's own origin and without a clip of ours. What the system will not give back is given
// back before the next tick plays.
static int context_owed;

static bool give_back_context(HDC dc)
{
    const bool origin_back = SetViewportOrgEx(dc, 0, 0, nullptr) != FALSE;
    const bool clip_back = SelectClipRgn(dc, nullptr) != ERROR;
    context_owed = !origin_back || !clip_back;
    return !context_owed;
}

// One step of a scene, on its own monitor: not played where the system will not set its clip or
// origin. False when the window's device context could not be given back as it was.
static bool play_on(HDC dc, Scene* scene, HWND window)
{
    POINT origin = origin_of(scene, window);
    // Nothing of the scene reaches another monitor: a sprite coming in or going out across the
    // monitor's edge would otherwise be drawn on the monitor beside it, and stay there.
    const bool clipped = IntersectClipRect(dc, origin.x, origin.y, origin.x + (scene->screen.right - scene->screen.left),
                                           origin.y + (scene->screen.bottom - scene->screen.top)) != ERROR;
    if (clipped && scene->scale == 1) {
        if (SetViewportOrgEx(dc, origin.x, origin.y, nullptr))
            scene_tick(scene, dc);
    } else if (clipped) {
        Sprite* cast[4] = {&scene->girl, &scene->flare, &scene->sky, &scene->banner};
        Place before[4];
        for (int i = 0; i < 4; i++)
            before[i] = place_of(cast[i]);
        scene_tick(scene, scene->picture_dc);
        // Nearest neighbour: each pixel a square block, nothing smoothed. Where the system would
        // not show a change, the next tick shows the whole picture.
        int previous_mode = SetStretchBltMode(dc, COLORONCOLOR);
        bool shown = true;
        if (scene->picture_unshown) {
            const RECT whole = {0, 0, scene->sequence.screen_width, scene->sequence.screen_height};
            shown = show_enlarged(dc, scene, origin, whole);
        } else {
            for (int i = 0; i < 4; i++)
                shown = show_changes(dc, scene, origin, before[i], cast[i]) && shown;
        }
        scene->picture_unshown = !shown;
        SetStretchBltMode(dc, previous_mode);
    }
    return give_back_context(dc);
}

void play_tick(HWND window)
{
    HDC dc = GetDC(window);
    if (!dc)
        return;  // the system refused the window's device context: the next tick plays
    if (!context_owed || give_back_context(dc))
        for (int i = 0; i < scene_count; i++)
            if (!play_on(dc, &scenes[i], window))
                break;
    ReleaseDC(window, dc);
}
