// tick_cost.cpp --- what a tick of the scene costs and what it copies to the screen, beside a naive
// full-screen redraw, and where one draw of a sprite spends its time.
#include "tools/bench/measures.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>

#include "scene/display_colours.h"
#include "scene/sequence.h"
#include "scene/stage.h"

// CPU time the X display server has spent so far, in microseconds, read through Wine's view of
// the Unix file system (/proc/PID/stat, fields 14 and 15, in clock ticks of 10 ms); -1 when
// the server's process is not known (SKYFLARE_DISPLAY_PID) or cannot be read.
static double display_cpu_us()
{
    const char* pid = getenv("SKYFLARE_DISPLAY_PID");
    if (!pid || !*pid)
        return -1;
    std::string path = std::string("Z:\\proc\\") + pid + "\\stat";
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return -1;
    char line[1024] = "";
    size_t length = fread(line, 1, sizeof line - 1, file);
    fclose(file);
    line[length] = 0;
    const char* after_name = strrchr(line, ')');  // the command name may hold blanks
    if (!after_name)
        return -1;
    unsigned long long user = 0, system = 0;
    if (sscanf(after_name + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user, &system) != 2)
        return -1;
    return double(user + system) * 1e4;
}

// The display server's CPU since an earlier reading; -1 when either reading failed.
static double display_cpu_since(double before)
{
    double now = display_cpu_us();
    return before >= 0 && now >= 0 ? now - before : -1;
}

static RECT rect_of(const Sprite& s) { return {s.x, s.y, s.x + s.width, s.y + s.height}; }

// Where the four sprites stand and what they show, taken before a tick; afterwards it tells
// how many pixels of a width x height screen the tick changed: the old and new rectangles of
// every sprite that moved or changed its picture.
namespace {
struct CastPlaces {
    Sprite* cast[4];
    struct {
        int x, y, frame;
        RECT rect;
    } places[4];
    explicit CastPlaces(Scene* scene) : cast{&scene->girl, &scene->flare, &scene->sky, &scene->banner}
    {
        for (int i = 0; i < 4; i++)
            places[i] = {cast[i]->x, cast[i]->y, cast[i]->frame, rect_of(*cast[i])};
    }
    long long changed(std::vector<char>& mask, int width, int height) const
    {
        mask.assign(size_t(width) * height, 0);
        auto mark = [&](RECT r) {
            for (LONG y = std::max<LONG>(0, r.top); y < std::min<LONG>(height, r.bottom); y++)
                for (LONG x = std::max<LONG>(0, r.left); x < std::min<LONG>(width, r.right); x++)
                    mask[size_t(y) * width + size_t(x)] = 1;
        };
        for (int i = 0; i < 4; i++)
            if (cast[i]->x != places[i].x || cast[i]->y != places[i].y || cast[i]->frame != places[i].frame) {
                mark(places[i].rect);
                mark(rect_of(*cast[i]));
            }
        return std::count(mask.begin(), mask.end(), 1);
    }
};
}  // namespace

void play_cycle(const std::function<void()>& tick, HWND window, int width, int height, CycleFigures& figures)
{
    std::vector<char> mask;
    bool left = false;
    Scene* scene = scene_at(0);
    for (int n = 0; n < 20000; n++) {
        CastPlaces before(scene);
        long long copied_before = pixels_copied();
        GdiFlush();
        double start = now_us();
        tick();
        GdiFlush();
        double drawn = now_us() - start;
        figures.ticks.push_back(drawn);
        figures.shown.push_back(drawn + present(window));
        figures.copied += pixels_copied() - copied_before;
        figures.changed += before.changed(mask, width, height);
        left = left || scene->sequence.state != 0;
        if (left && scene->sequence.state == 0)
            break;
    }
}

// The naive way: every tick, all four sprites composed into a full-screen back buffer, and the
// whole frame copied to the screen.
static double naive_tick(Scene* scene, HDC screen, HDC back, HDC sprite_dc)
{
    const SystemGdi& system = system_gdi();
    double start = now_us();
    RECT all = {0, 0, W, H};
    FillRect(back, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    for (Sprite* s : {&scene->girl, &scene->flare, &scene->sky, &scene->banner}) {
        if (!s->frames || s->width <= 0)
            continue;
        int index = std::min(std::max(s->frame, 0), s->count - 1);
        if (!s->frames[index].bitmap)
            continue;
        HGDIOBJ previous = SelectObject(sprite_dc, s->frames[index].bitmap);
        system.bit_blt(back, s->x, s->y, s->width, s->height, sprite_dc, 0, 0, SRCPAINT);
        SelectObject(sprite_dc, previous);
    }
    system.bit_blt(screen, 0, 0, W, H, back, 0, 0, SRCCOPY);
    GdiFlush();
    return now_us() - start;
}

CycleFigures measure_cycle(int mode, HDC target, HWND window)
{
    // The naive way's back buffer and sprite holder, made like the saver's own bitmaps.
    HDC back = CreateCompatibleDC(target);
    HBITMAP back_bitmap = CreateCompatibleBitmap(target, W, H);
    HGDIOBJ old_back = SelectObject(back, back_bitmap);
    HDC sprite_dc = CreateCompatibleDC(target);
    Scene* scene = start_scene(target, mode, DISPLAY_TRUE_COLOUR);
    watch_screen(target);
    present(window);
    CycleFigures figures;
    double display_before = display_cpu_us();
    play_cycle([&] { scene_tick(scene, target); }, window, W, H, figures);
    figures.display = display_cpu_since(display_before);
    watch_screen(nullptr);
    // The same choreography again, drawn the naive way.
    start_sequence(scene);
    bool left = false;
    present(window);
    display_before = display_cpu_us();
    for (int tick = 0; tick < 20000; tick++) {
        scene_tick(scene, back);  // only to move the sprites along; the figures come from the redraw
        double drawn = naive_tick(scene, target, back, sprite_dc);
        figures.naive.push_back(drawn);
        figures.naive_shown.push_back(drawn + present(window));
        left = left || scene->sequence.state != 0;
        if (left && scene->sequence.state == 0)
            break;
    }
    figures.naive_display = display_cpu_since(display_before);
    close_scenes();
    DeleteDC(sprite_dc);
    SelectObject(back, old_back);
    DeleteObject(back_bitmap);
    DeleteDC(back);
    return figures;
}

// Each step repeated on its own: the device contexts and bitmaps every draw makes and frees, the
// palette it selects and realizes, and the seven copies of its pixels.
DrawSteps draw_breakdown(HDC target)
{
    const SystemGdi& system = system_gdi();
    const Sprite& flare = start_scene(target, 0, DISPLAY_TRUE_COLOUR)->flare;
    const int w = flare.width, h = flare.height, repeats = 500;
    HPALETTE palette = flare.frames[0].palette;
    auto time = [&](auto step) {
        double start = now_us();
        for (int i = 0; i < repeats; i++)
            step();
        GdiFlush();
        return (now_us() - start) / repeats;
    };
    DrawSteps steps = {w, h, 0, 0, 0, 0};
    steps.dcs = time([&] {
        HDC made[4];
        for (HDC& dc : made)
            dc = system.create_dc(target);
        for (HDC dc : made)
            system.delete_dc(dc);
    });
    HDC holder = system.create_dc(target);
    steps.bitmaps = time([&] {
        for (int i = 0; i < 2; i++) {
            HBITMAP made = system.create_bitmap(target, w, h);
            HGDIOBJ previous = SelectObject(holder, made);
            SelectObject(holder, previous);
            system.delete_object(made);
        }
    });
    steps.realize = time([&] {
        HPALETTE previous = SelectPalette(target, palette, FALSE);
        RealizePalette(target);
        SelectPalette(target, previous, TRUE);
    });
    HDC picture = system.create_dc(target), work = system.create_dc(target), other = system.create_dc(target);
    HBITMAP work_bitmap = system.create_bitmap(target, w, h), other_bitmap = system.create_bitmap(target, w, h);
    HGDIOBJ old_picture = SelectObject(picture, flare.frames[0].bitmap);
    HGDIOBJ old_work = SelectObject(work, work_bitmap), old_other = SelectObject(other, other_bitmap);
    steps.copies = time([&] {
        system.bit_blt(work, 0, 0, w, h, target, 100, 100, SRCCOPY);
        system.bit_blt(work, 3, 3, w, h, other, 0, 0, SRCCOPY);
        system.bit_blt(other, -3, -3, w, h, picture, 0, 0, SRCPAINT);
        system.bit_blt(other, 0, 0, w, h, work, 0, 0, SRCCOPY);
        system.bit_blt(other, 0, 0, w, h, picture, 0, 0, SRCPAINT);
        system.bit_blt(target, 100, 100, w, h, other, 0, 0, SRCCOPY);
        system.bit_blt(target, 103, 103, w, h, work, 0, 0, SRCCOPY);
    });
    SelectObject(picture, old_picture);
    SelectObject(work, old_work);
    SelectObject(other, old_other);
    system.delete_object(work_bitmap);
    system.delete_object(other_bitmap);
    for (HDC dc : {picture, work, other, holder})
        system.delete_dc(dc);
    close_scenes();
    return steps;
}
