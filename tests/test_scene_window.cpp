// test_scene_window.cpp --- a window run by the scene: set-up, ticks, black background, tear-down.
#include <algorithm>

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/host.h"
#include "scene/cast.h"
#include "scene/display_colours.h"
#include "scene/scene_window.h"
#include "scene/sequence.h"
#include "scene/stage.h"
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
    for (Sprite* s : {&scene_at(0)->girl, &scene_at(0)->flare, &scene_at(0)->sky, &scene_at(0)->banner}) {
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

std::vector<std::pair<UINT_PTR, UINT>> timers_asked;  // (identifier, period in ms)
decltype(&SetTimer) real_set_timer;
UINT_PTR WINAPI watched_set_timer(HWND window, UINT_PTR id, UINT period, TIMERPROC procedure)
{
    timers_asked.push_back({id, period});
    return real_set_timer(window, id, period, procedure);
}

}  // namespace

TEST_CASE("ten seconds of the scene's own timer animate the window, ten ticks a second")
{
    install_sample_girls();
    write_options(0, 0);
    timers_asked.clear();
    ImportSpy spy("user32.dll", "SetTimer", reinterpret_cast<void*>(watched_set_timer));
    real_set_timer = reinterpret_cast<decltype(&SetTimer)>(spy.original);
    SceneWindow w;
    CHECK(timers_asked == std::vector<std::pair<UINT_PTR, UINT>>{{SCENE_TIMER, 100}});
    CHECK(scene_at(0)->sequence.mover == &scene_at(0)->girl);
    CHECK(scene_at(0)->girl.width > 0);
    Surface first(640, 480), later(640, 480);
    w.wait_ticks(5);
    capture_window(w.handle, first);
    ULONGLONG started = GetTickCount64();
    w.wait_ticks(95);
    ULONGLONG took = GetTickCount64() - started;
    // The pace as the window sees it: 95 ticks take 9.5 s. Wine's timers never come early by
    // more than a little; a busy machine may hold them back, up to half the pace.
    CHECK(took >= 95 * 90);
    CHECK(took <= 95 * 200);
    capture_window(w.handle, later);
    CHECK(std::equal(first.bits, first.bits + 640 * 480, later.bits) == false);
    CHECK(later.count_not(BLACK, {0, 0, 640, 480}) > 1000);
    for (WPARAM id : timers_seen)
        CHECK(id == SCENE_TIMER);
    CHECK(scene_at(0)->sequence.state != 0);  // a hundred ticks take the girl past her first pause
}

TEST_CASE("a timer message of another identifier draws nothing")
{
    install_sample_girls();
    SceneWindow w;
    w.wait_ticks(3);
    w.stop_timer();
    Surface before(640, 480), after(640, 480);
    capture_window(w.handle, before);
    POINT mover = {scene_at(0)->sequence.mover->x, scene_at(0)->sequence.mover->y};
    SendMessageA(w.handle, WM_TIMER, 99, 0);
    capture_window(w.handle, after);
    CHECK(std::equal(before.bits, before.bits + 640 * 480, after.bits));
    CHECK(scene_at(0)->sequence.mover->x == mover.x);
    CHECK(scene_at(0)->sequence.mover->y == mover.y);
    SendMessageA(w.handle, WM_TIMER, SCENE_TIMER, 0);  // its own identifier draws a tick
    capture_window(w.handle, after);
    CHECK(scene_at(0)->sequence.mover->y != mover.y);
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
    SUBCASE("in random mode the girl written is the last one picked, so the next run starts with her")
    {
        write_options(1, 0);
        SceneWindow w;
        w.stop_timer();
        // Two picks from a known seed, as the runtime's generator makes them: girl 2, then 1.
        const unsigned seed = 9;
        unsigned state = seed;
        int picks[2];
        for (int& pick : picks) {
            state = state * 214013u + 2531011u;
            pick = int((state >> 16) & 0x7FFF) % 3;
        }
        seed_girl_picks(seed);
        int changes = 0;
        for (int tick = 0; tick < 1000 && changes < 2; tick++) {
            const int before = scene_at(0)->sequence.state;
            SendMessageA(w.handle, WM_TIMER, SCENE_TIMER, 0);
            changes += (before == 4 && scene_at(0)->sequence.state == 5) || (before == 14 && scene_at(0)->sequence.state == 15);
        }
        REQUIRE(changes == 2);
        REQUIRE(picks[0] != picks[1]);
        CHECK(scene_at(0)->girl_index == picks[1]);
        DestroyWindow(w.handle);
        CHECK(profile_value("Mode") == "1");
        CHECK(profile_value("Girl") == std::to_string(picks[1]));
    }
    SUBCASE("a settings file removed while the saver runs is written anew")
    {
        write_options(1, 1);
        SceneWindow w;
        remove_settings();
        DestroyWindow(w.handle);
        CHECK(profile_value("Mode") == "1");
        CHECK(profile_value("Girl") == "1");
    }
}

namespace {

std::vector<UINT> palette_uses;
std::vector<std::string> colour_calls;  // the palette's and the system colours' calls, in order
UINT WINAPI spy_palette_use(HDC, UINT use)
{
    palette_uses.push_back(use);
    colour_calls.push_back(use == SYSPAL_NOSTATIC ? "no static" : "static");
    return SYSPAL_STATIC;  // as a palette display answers
}

decltype(&RealizePalette) real_realize;
UINT WINAPI spy_realize(HDC dc)
{
    if (colour_calls.empty() || colour_calls.back() != "realize")
        colour_calls.push_back("realize");
    return real_realize(dc);
}

decltype(&SetSysColors) real_set_colours;
BOOL WINAPI spy_set_colours(int count, const INT* elements, const COLORREF* colours)
{
    bool monochrome = true;
    for (int i = 0; i < count; i++)
        monochrome = monochrome && (colours[i] == RGB(0, 0, 0) || colours[i] == RGB(255, 255, 255));
    colour_calls.push_back(monochrome ? "black and white" : "as they were");
    return real_set_colours(count, elements, colours);
}

}  // namespace

TEST_CASE("full screen the palette may use the static colours, and the system's are black and white meanwhile")
{
    install_sample_girls();
    ImportSpy spy("gdi32.dll", "SetSystemPaletteUse", reinterpret_cast<void*>(spy_palette_use));
    ImportSpy realize("gdi32.dll", "RealizePalette", reinterpret_cast<void*>(spy_realize));
    ImportSpy colours("user32.dll", "SetSysColors", reinterpret_cast<void*>(spy_set_colours));
    real_realize = reinterpret_cast<decltype(&RealizePalette)>(realize.original);
    real_set_colours = reinterpret_cast<decltype(&SetSysColors)>(colours.original);
    const std::vector<COLORREF> before = system_colours();
    palette_uses.clear();
    colour_calls.clear();
    SUBCASE("full screen: taken at the start with the system's colours, all given back at the end")
    {
        {
            SceneWindow w;
            CHECK(palette_uses == std::vector<UINT>{SYSPAL_NOSTATIC});
            // What any window over the scene is drawn with meanwhile: black text on white.
            CHECK(GetSysColor(COLOR_BTNFACE) == RGB(255, 255, 255));
            CHECK(GetSysColor(COLOR_BTNTEXT) == RGB(0, 0, 0));
            CHECK(GetSysColor(COLOR_WINDOW) == RGB(255, 255, 255));
            CHECK(GetSysColor(COLOR_WINDOWTEXT) == RGB(0, 0, 0));
            CHECK(GetSysColor(COLOR_ACTIVECAPTION) == RGB(0, 0, 0));
            CHECK(GetSysColor(COLOR_CAPTIONTEXT) == RGB(255, 255, 255));
            for (COLORREF colour : system_colours())
                CHECK((colour == RGB(0, 0, 0) || colour == RGB(255, 255, 255)));
        }
        CHECK(palette_uses == std::vector<UINT>{SYSPAL_NOSTATIC, SYSPAL_STATIC});
        // As Windows asks: the palette realized before the colours change, and again before they
        // are put back.
        CHECK(colour_calls == std::vector<std::string>{"no static", "realize", "black and white", "static", "realize",
                                                       "as they were"});
        CHECK(system_colours() == before);
    }
    SUBCASE("the display changes to true colour and back to a palette: given back, then taken again")
    {
        SceneWindow w;
        SendMessageA(w.handle, WM_DISPLAYCHANGE, 32, MAKELPARAM(640, 480));
        CHECK(palette_uses == std::vector<UINT>{SYSPAL_NOSTATIC, SYSPAL_STATIC});
        CHECK(system_colours() == before);
        {
            DisplayDepth palette(8);
            SendMessageA(w.handle, WM_DISPLAYCHANGE, 8, MAKELPARAM(640, 480));
        }
        CHECK(palette_uses == std::vector<UINT>{SYSPAL_NOSTATIC, SYSPAL_STATIC, SYSPAL_NOSTATIC});
        CHECK(GetSysColor(COLOR_BTNFACE) == RGB(255, 255, 255));
        DestroyWindow(w.handle);
        CHECK(palette_uses == std::vector<UINT>{SYSPAL_NOSTATIC, SYSPAL_STATIC, SYSPAL_NOSTATIC, SYSPAL_STATIC});
        CHECK(system_colours() == before);
    }
    SUBCASE("preview: never touched")
    {
        { SceneWindow w(WS_POPUP | WS_VISIBLE, true); }
        CHECK(palette_uses.empty());
        CHECK(system_colours() == before);
    }
}

TEST_CASE("on a 16-colour display the scene's frames are the standard colours, full screen and in preview")
{
    install_sample_girls();
    write_options(0, 0);
    SixteenColourDisplay display;
    for (bool preview : {false, true}) {
        CAPTURE(preview);
        SceneWindow w(WS_POPUP | WS_VISIBLE, preview);
        for (Sprite* sprite : {&scene_at(0)->girl, &scene_at(0)->flare, &scene_at(0)->sky, &scene_at(0)->banner}) {
            REQUIRE(sprite->frames[0].bitmap != nullptr);
            // Her table is the 16 standard colours now, and every pixel one of them.
            for (int j = 0; j < 256; j++) {
                const PALETTEENTRY& e = sprite->frames[0].entries[j];
                const RGBQUAD q = j < 16 ? STANDARD_COLOURS[j] : RGBQUAD{0, 0, 0, 0};
                CHECK((e.peRed == q.rgbRed && e.peGreen == q.rgbGreen && e.peBlue == q.rgbBlue));
            }
            DIBSECTION dib;
            REQUIRE(GetObjectA(sprite->frames[0].bitmap, sizeof dib, &dib) == sizeof dib);
            const BYTE* bits = static_cast<const BYTE*>(dib.dsBm.bmBits);
            int outside = 0;
            for (int y = 0; y < dib.dsBm.bmHeight; y++)
                for (int x = 0; x < dib.dsBm.bmWidth; x++)
                    outside += bits[y * dib.dsBm.bmWidthBytes + x] >= 16;
            CHECK(outside == 0);
        }
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
    CHECK(scene_at(0) == nullptr);  // no scene left, nor its sprites
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

namespace {

// Windows' per-monitor scale as a test sets it, or missing as before Windows 8.1; and the
// monitor functions, missing as on Windows 95 and NT 4.0.
bool offer_monitor_dpi;
bool offer_monitor_from_point = true;
HRESULT monitor_answer;
HRESULT WINAPI fake_monitor_dpi(HMONITOR, int, UINT* dpi_x, UINT* dpi_y)
{
    *dpi_x = *dpi_y = 144;
    return monitor_answer;
}
decltype(&GetProcAddress) real_get_proc_address;
FARPROC WINAPI watched_get_proc_address(HMODULE module, LPCSTR name)
{
    if (HIWORD(reinterpret_cast<UINT_PTR>(name)) && lstrcmpA(name, "GetDpiForMonitor") == 0)
        return offer_monitor_dpi ? reinterpret_cast<FARPROC>(reinterpret_cast<void*>(fake_monitor_dpi)) : nullptr;
    if (HIWORD(reinterpret_cast<UINT_PTR>(name)) && lstrcmpA(name, "MonitorFromPoint") == 0 && !offer_monitor_from_point)
        return nullptr;
    return real_get_proc_address(module, name);
}

int system_dpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

}  // namespace

TEST_CASE("the scene's scale: the primary monitor's own, rounded to a whole number")
{
    // 125 % stays pixel for pixel; 150 % and 175 % are doubled; halves round up.
    const int table[][2] = {{0, 1}, {72, 1}, {96, 1}, {120, 1}, {143, 1}, {144, 2}, {168, 2},
                            {192, 2}, {239, 2}, {240, 3}, {288, 3}, {384, 4}};
    for (const auto& row : table) {
        CAPTURE(row[0]);
        CHECK(scale_for_dpi(row[0]) == row[1]);
    }
    CHECK(primary_monitor_dpi() == system_dpi());  // one monitor: the same answer either way
    {
        // At this display's 96 DPI the scene is shown pixel for pixel on the whole screen.
        install_sample_girls();
        SceneWindow w;
        CHECK(scene_at(0)->scale == 1);
        CHECK(scene_at(0)->sequence.screen_width == GetSystemMetrics(SM_CXSCREEN));
        CHECK(scene_at(0)->sequence.screen_height == GetSystemMetrics(SM_CYSCREEN));
    }
    ImportSpy spy("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(watched_get_proc_address));
    real_get_proc_address = reinterpret_cast<decltype(&GetProcAddress)>(spy.original);
    SUBCASE("Windows 8.1 and later tell the monitor's own")
    {
        offer_monitor_dpi = true;
        monitor_answer = S_OK;
        CHECK(primary_monitor_dpi() == 144);
    }
    SUBCASE("earlier ones, or a monitor that cannot tell, have the system's")
    {
        offer_monitor_dpi = false;
        CHECK(primary_monitor_dpi() == system_dpi());
        offer_monitor_dpi = true;
        monitor_answer = E_INVALIDARG;
        CHECK(primary_monitor_dpi() == system_dpi());
        // A system without the monitor functions asks for no monitor: the system's scale.
        monitor_answer = S_OK;
        offer_monitor_from_point = false;
        CHECK(primary_monitor_dpi() == system_dpi());
        offer_monitor_from_point = true;
    }
}
