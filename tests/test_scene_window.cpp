// test_scene_window.cpp --- a window run by the scene: set-up, ticks, black background, tear-down.
#include <algorithm>

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/host.h"
#include "scene/cast.h"
#include "scene/scene_window.h"
#include "scene/sequence.h"
#include "support/support.h"

namespace {

std::vector<WPARAM> timers_seen;

LRESULT CALLBACK scene_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_TIMER)
        timers_seen.push_back(wparam);
    return scene_proc(window, message, wparam, lparam);
}

struct SceneWindow : TestWindow {
    explicit SceneWindow(DWORD style = WS_POPUP | WS_VISIBLE, bool preview = false)
        : TestWindow(640, 480, scene_window, 0, prepare(preview, style))
    {
    }
    static DWORD prepare(bool preview, DWORD style)
    {
        timers_seen.clear();
        closing = 0;
        is_win9x = 0;
        preview_mode = preview ? 1 : 0;
        GetCursorPos(&saved_cursor);  // as the saver window does when it is made
        return style;
    }
    ~SceneWindow()
    {
        if (IsWindow(handle))
            DestroyWindow(handle);  // while the window's own mode still holds
        preview_mode = 0;
    }
    int ticks() const { return static_cast<int>(timers_seen.size()); }
    void wait_ticks(int count)
    {
        int target = ticks() + count;
        REQUIRE(wait_until([&] { return ticks() >= target; }, 30000));
    }
    void stop_timer() { KillTimer(handle, SCENE_TIMER); pump_messages(); }
};

std::vector<HGDIOBJ> scene_objects()
{
    std::vector<HGDIOBJ> objects;
    for (Sprite* s : {&girl_sprite, &flare_sprite, &sky_sprite, &banner_sprite}) {
        for (int i = 0; i < s->count; i++) {
            if (s->frames[i].bitmap)
                objects.push_back(s->frames[i].bitmap);
            if (s->frames[i].palette)
                objects.push_back(s->frames[i].palette);
        }
        if (s->saved)
            objects.push_back(s->saved);
    }
    return objects;
}

}  // namespace

TEST_CASE("ten seconds of the scene's own timer animate the window")
{
    install_sample_girls();
    write_settings("[Screen Saver.SkyFlare]\r\nMode=0\r\nGirl=0\r\n");
    SceneWindow w;
    CHECK(scene.mover == &girl_sprite);
    CHECK(girl_sprite.width > 0);
    Surface first(640, 480), later(640, 480);
    w.wait_ticks(5);
    capture_window(w.handle, first);
    w.wait_ticks(95);
    capture_window(w.handle, later);
    CHECK(std::equal(first.bits, first.bits + 640 * 480, later.bits) == false);
    CHECK(later.count_not(BLACK, {0, 0, 640, 480}) > 1000);
    for (WPARAM id : timers_seen)
        CHECK(id == SCENE_TIMER);
    CHECK(scene.state != 0);  // a hundred ticks take the girl past her first pause
}

TEST_CASE("a timer message of another identifier draws nothing")
{
    install_sample_girls();
    SceneWindow w;
    w.wait_ticks(3);
    w.stop_timer();
    Surface before(640, 480), after(640, 480);
    capture_window(w.handle, before);
    POINT mover = {scene.mover->x, scene.mover->y};
    SendMessageA(w.handle, WM_TIMER, 99, 0);
    capture_window(w.handle, after);
    CHECK(std::equal(before.bits, before.bits + 640 * 480, after.bits));
    CHECK(scene.mover->x == mover.x);
    CHECK(scene.mover->y == mover.y);
    SendMessageA(w.handle, WM_TIMER, SCENE_TIMER, 0);  // its own identifier draws a tick
    capture_window(w.handle, after);
    CHECK(scene.mover->y != mover.y);
    CHECK_FALSE(std::equal(before.bits, before.bits + 640 * 480, after.bits));
}

TEST_CASE("the background is erased to black and a paint draws nothing")
{
    install_sample_girls();
    SceneWindow w;
    w.wait_ticks(3);
    w.stop_timer();
    HDC dc = GetDC(w.handle);
    RECT all = {0, 0, 640, 480};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(w.handle, dc);
    Surface shown(640, 480);

    SUBCASE("a paint without erasing leaves the window as it is")
    {
        InvalidateRect(w.handle, nullptr, FALSE);
        UpdateWindow(w.handle);
        capture_window(w.handle, shown);
        CHECK(shown.all(0xFFFFFF, all));
    }
    SUBCASE("an erase makes it black")
    {
        RedrawWindow(w.handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW | RDW_UPDATENOW);
        capture_window(w.handle, shown);
        CHECK(shown.all(BLACK, all));
    }
}

TEST_CASE("the options are written back at every destruction, also unchanged")
{
    install_sample_girls();
    SUBCASE("a value written by hand comes back in the saver's own form")
    {
        write_settings("[Screen Saver.SkyFlare]\r\nMode=0\r\nGirl=+02\r\n");
        { SceneWindow w; }
        CHECK(profile_value("Mode") == "0");
        CHECK(profile_value("Girl") == "2");
    }
    SUBCASE("a settings file removed while the saver runs is written anew")
    {
        write_settings("[Screen Saver.SkyFlare]\r\nMode=1\r\nGirl=1\r\n");
        SceneWindow w;
        remove_settings();
        DestroyWindow(w.handle);
        CHECK(profile_value("Mode") == "1");
        CHECK(profile_value("Girl") == "1");
    }
}

namespace {

std::vector<UINT> palette_uses;
UINT WINAPI spy_palette_use(HDC, UINT use)
{
    palette_uses.push_back(use);
    return SYSPAL_STATIC;
}

}  // namespace

TEST_CASE("full screen the palette may use the static colours; the preview leaves it alone")
{
    install_sample_girls();
    ImportSpy spy("gdi32.dll", "SetSystemPaletteUse", reinterpret_cast<void*>(spy_palette_use));
    palette_uses.clear();
    SUBCASE("full screen: taken at the start, given back at the end")
    {
        {
            SceneWindow w;
            CHECK(palette_uses == std::vector<UINT>{SYSPAL_NOSTATIC});
        }
        CHECK(palette_uses == std::vector<UINT>{SYSPAL_NOSTATIC, SYSPAL_STATIC});
    }
    SUBCASE("preview: never touched")
    {
        { SceneWindow w(WS_POPUP | WS_VISIBLE, true); }
        CHECK(palette_uses.empty());
    }
}

TEST_CASE("the tear-down frees every picture, palette and background of the scene")
{
    install_sample_girls();
    SceneWindow w;
    w.wait_ticks(20);
    std::vector<HGDIOBJ> objects = scene_objects();
    CHECK(objects.size() > 17 + 16 + 7 + 6);
    for (HGDIOBJ object : objects)
        REQUIRE(GetObjectType(object) != 0);
    DestroyWindow(w.handle);
    pump_messages();
    int left = 0;
    for (HGDIOBJ object : objects)
        left += GetObjectType(object) != 0;
    CHECK(left == 0);
    CHECK(girl_sprite.frames == nullptr);
    CHECK(banner_sprite.frames == nullptr);
}

static std::vector<HCURSOR> cursors_set;
static decltype(&SetCursor) real_set_cursor;
static HCURSOR WINAPI watched_set_cursor(HCURSOR cursor)
{
    cursors_set.push_back(cursor);
    return real_set_cursor(cursor);
}

TEST_CASE("the wait cursor shows while the scene is set up, and the cursor before it comes back")
{
    install_sample_girls();
    ImportSpy spy("user32.dll", "SetCursor", reinterpret_cast<void*>(watched_set_cursor));
    real_set_cursor = reinterpret_cast<decltype(&SetCursor)>(spy.original);
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    real_set_cursor(arrow);
    cursors_set.clear();
    SceneWindow w(WS_POPUP | WS_VISIBLE, true);  // the preview: nothing else hides the cursor
    REQUIRE(cursors_set.size() >= 2);
    CHECK(cursors_set.front() == LoadCursorA(nullptr, IDC_WAIT));
    CHECK(cursors_set.back() == arrow);
}

TEST_CASE("a key reaches the close rules through the scene and ends the window")
{
    install_sample_girls();
    SceneWindow w;
    w.wait_ticks(2);
    SendMessageA(w.handle, WM_KEYDOWN, VK_SPACE, 0);
    CHECK(wait_until([&] { return !IsWindow(w.handle); }));
}
