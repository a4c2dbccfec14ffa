// scenes.cpp --- the saver's scene played off screen, alone, to compare a live one with.
#include "support/support.h"

#include <algorithm>

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/cast.h"
#include "scene/display_colours.h"
#include "scene/scene_window.h"
#include "scene/sequence.h"

// A scene of the tests' own, beside the saver window's: a scene is a value.
static Scene* start_scene_in(Scene* scene, HDC dc, int width, int height, int mode, int girl)
{
    scan_girl_modules(LANG_NEUTRAL);
    Mode = mode;
    Girl = girl;
    scene->girl_index = girl;
    open_cast(scene, dc, display_kind_of(dc));
    scene->sequence.screen_width = width;
    scene->sequence.screen_height = height;
    start_sequence(scene);
    return scene;
}

Scene* start_scene_on(HDC dc, int width, int height, int mode, int girl)
{
    static Scene scene;
    return start_scene_in(&scene, dc, width, height, mode, girl);
}

void end_scene(Scene* scene) { close_cast(scene); }

LRESULT CALLBACK scene_layer_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return scene_proc(window, message, wparam, lparam);
}


std::vector<uint64_t> lone_scene(int width, int height, int ticks, int scale, RECT part)
{
    Surface alone(width, height);
    static Scene scene;
    start_scene_in(&scene, alone.dc, width, height, 0, 0);
    if (IsRectEmpty(&part))
        SetRect(&part, 0, 0, width, height);
    std::vector<uint64_t> hashes;
    for (int tick = 0; tick < ticks; tick++) {
        scene_tick(&scene, alone.dc);
        hashes.push_back(picture_hash(alone, part, scale));
    }
    end_scene(&scene);
    return hashes;
}

bool plays_as_alone(const std::vector<uint64_t>& shown, const std::vector<uint64_t>& alone, int slack)
{
    for (int start = 0; start <= slack && start + shown.size() <= alone.size(); start++)
        if (std::equal(shown.begin(), shown.end(), alone.begin() + start))
            return true;
    return false;
}
