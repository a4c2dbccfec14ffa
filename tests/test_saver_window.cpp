// test_saver_window.cpp --- the saver window and the routing of its messages, run in this process.
#include <algorithm>
#include <set>

#include "host/host.h"
#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/cast.h"
#include "scene/display_colours.h"
#include "scene/scene_window.h"
#include "scene/sequence.h"
#include "scene/stage.h"
#include "support/support.h"

#include <psapi.h>

namespace {

// What reached the system's default procedure, and the time slices given up.
std::vector<std::pair<UINT, WPARAM>> defaulted;
int sleeps;
decltype(&DefWindowProcA) real_default;
decltype(&Sleep) real_sleep;

LRESULT WINAPI spy_default(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    defaulted.push_back({message, wparam});
    return real_default(window, message, wparam, lparam);
}

void WINAPI spy_sleep(DWORD ms)
{
    if (ms == 0)
        sleeps++;
    real_sleep(ms);
}

bool reached_default(UINT message, WPARAM wparam)
{
    return std::find(defaulted.begin(), defaulted.end(), std::make_pair(message, wparam)) != defaulted.end();
}

struct Spies {
    ImportSpy default_spy{"user32.dll", "DefWindowProcA", reinterpret_cast<void*>(spy_default)};
    ImportSpy sleep_spy{"kernel32.dll", "Sleep", reinterpret_cast<void*>(spy_sleep)};
    Spies()
    {
        real_default = reinterpret_cast<decltype(&DefWindowProcA)>(default_spy.original);
        real_sleep = reinterpret_cast<decltype(&Sleep)>(sleep_spy.original);
        defaulted.clear();
        sleeps = 0;
    }
};

std::string title_of(HWND window)
{
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    return title;
}

std::vector<std::pair<UINT, WPARAM>> parent_messages;
std::vector<LPARAM> parent_lparams;  // for a context menu, where the pointer was
LRESULT CALLBACK parent_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_CONTEXTMENU || message == WM_HELP) {
        parent_messages.push_back({message, wparam});
        parent_lparams.push_back(lparam);
        return 0;  // the display settings would show their own menu here
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

bool same_rect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// One whole cycle and a little more: every state of the choreography, both mirror halves.
const int CYCLE_TICKS = 330;

// Ticks a scene window by hand for a whole cycle. After each tick `check` sees what the window
// shows; the fingerprints of the scene's own screen (`scene_area`, window pixels) are kept.
std::vector<uint64_t> tick_cycle(HWND window, RECT scene_area, const std::function<void(const Surface&)>& check)
{
    RECT client;
    GetClientRect(window, &client);
    Surface shown(client.right, client.bottom);
    std::vector<uint64_t> hashes;
    std::set<int> states;
    for (int tick = 0; tick < CYCLE_TICKS; tick++) {
        SendMessageA(window, WM_TIMER, SCENE_TIMER, 0);
        states.insert(scene_at(0)->sequence.state);
        capture_window(window, shown);
        check(shown);
        hashes.push_back(picture_hash(shown, scene_area));
    }
    CHECK(states.size() == 28);
    return hashes;
}

// A whole cycle leaves every pixel outside the scene's own screen black.
std::function<void(const Surface&)> black_outside(RECT scene_area, int* stray)
{
    return [=](const Surface& shown) {
        const RECT around[4] = {{0, 0, shown.width, scene_area.top},
                                {0, scene_area.bottom, shown.width, shown.height},
                                {0, scene_area.top, scene_area.left, scene_area.bottom},
                                {scene_area.right, scene_area.top, shown.width, scene_area.bottom}};
        for (const RECT& part : around)
            *stray += shown.count_not(BLACK, part);
    };
}

}  // namespace

TEST_CASE("on several monitors the saver covers them all and plays on the primary one as alone" * doctest::skip())
{
    // Run by the two-monitor test display only.
    REQUIRE(GetSystemMetrics(SM_CMONITORS) >= 2);
    const RECT all = virtual_screen(), other = other_monitor();
    REQUIRE(other.right > other.left);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const RECT primary = {-all.left, -all.top, -all.left + w, -all.top + h};  // in the window
    BrightWindow bright(other);

    install_sample_girls();
    write_options(0, 0);
    int stray = 0;
    std::vector<uint64_t> shown;
    int result = run_saver_with(nullptr, [&](HWND saver) {
        RECT r;
        GetWindowRect(saver, &r);
        CHECK(same_rect(r, all));
        UpdateWindow(saver);
        KillTimer(saver, SCENE_TIMER);  // the test ticks from here on
        shown = tick_cycle(saver, primary, black_outside(primary, &stray));
        PostMessageA(saver, WM_CLOSE, 0, 0);
    });
    CHECK(result == 0);
    CHECK(stray == 0);  // nothing of the scene ever reached the other monitor
    CHECK(plays_as_alone(shown, lone_scene(w, h, CYCLE_TICKS + 10), 10));
}

// Whether a scene is at the first step of its cycle: the girl one step in from the top left.
static bool at_first_step(const Scene* scene)
{
    return scene && scene->sequence.state == 0 && scene->girl.x == -scene->girl.width + scene->sequence.gx &&
           scene->girl.y == -scene->girl.height + scene->sequence.gy;
}

TEST_CASE("on several monitors, with Play on every screen, each monitor plays a scene of its own" * doctest::skip())
{
    // Run by the two-monitor test display only, whose second monitor is larger than the primary.
    REQUIRE(GetSystemMetrics(SM_CMONITORS) >= 2);
    const RECT all = virtual_screen();
    RECT beside = other_monitor();
    OffsetRect(&beside, -all.left, -all.top);  // in the window
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const RECT primary = {-all.left, -all.top, -all.left + w, -all.top + h};
    install_sample_girls();
    SUBCASE("one girl: each laid out for its own monitor; a change lays both out again, each from its start")
    {
        write_options(0, 0, 1);
        std::vector<uint64_t> shown, shown_beside;
        int scenes = 0, restarted = 0;
        int result = run_saver_with(nullptr, [&](HWND saver) {
            scenes = scene_total();
            KillTimer(saver, SCENE_TIMER);  // the test ticks from here on
            shown = tick_cycle(saver, primary, [&](const Surface& s) { shown_beside.push_back(picture_hash(s, beside)); });
            SendMessageA(saver, WM_DISPLAYCHANGE, 32, MAKELPARAM(w, h));
            restarted = at_first_step(scene_at(0)) + at_first_step(scene_at(1));
            PostMessageA(saver, WM_CLOSE, 0, 0);
        });
        CHECK(result == 0);
        CHECK(scenes == 2);
        CHECK(restarted == 2);
        // The chosen girl on both, each laid out for its own monitor, the cycle whole on each.
        CHECK(plays_as_alone(shown, lone_scene(w, h, CYCLE_TICKS + 10), 10));
        CHECK(plays_as_alone(shown_beside, lone_scene(beside.right - beside.left, beside.bottom - beside.top,
                                                      CYCLE_TICKS + 10), 10));
    }
    SUBCASE("random girls: each monitor keeps its girl through changes; one that leaves takes only its own pictures")
    {
        write_options(1, 0, 1);
        seed_girl_picks(20261210);
        int kept = 0, shared_alive = 0;
        run_saver_with(nullptr, [&](HWND saver) {
            KillTimer(saver, SCENE_TIMER);  // the test ticks from here on
            const int girls[2] = {scene_at(0)->girl_index, scene_at(1)->girl_index};
            for (int change = 0; change < 6; change++) {  // to 16 colours and back: every picture loaded again
                DisplayDepth depth(change % 2 ? 32 : 4);
                SendMessageA(saver, WM_DISPLAYCHANGE, change % 2 ? 32 : 4, MAKELPARAM(w, h));
                kept += scene_at(0)->girl_index == girls[0] && scene_at(1)->girl_index == girls[1];
            }
            // The second monitor leaves: the primary's flare, sky and banner are still there.
            HDC dc = GetDC(saver);
            const Monitor alone = {{0, 0, w, h}, 1};
            lay_out_scenes_on(dc, DISPLAY_TRUE_COLOUR, &alone, 1);
            ReleaseDC(saver, dc);
            for (const Sprite* shared : {&scene_at(0)->flare, &scene_at(0)->sky, &scene_at(0)->banner})
                for (int i = 0; i < shared->count; i++)
                    shared_alive += GetObjectType(shared->frames[i].bitmap) == OBJ_BITMAP;
            PostMessageA(saver, WM_CLOSE, 0, 0);
        });
        CHECK(kept == 6);
        CHECK(shared_alive == 16 + 7 + 6);
    }
}

// Tells the saver's window that the displays changed, as the system tells every top-level
// window: their depth in bits a pixel, and the primary monitor's size.
static void displays_change(HWND saver, int depth = 32)
{
    SendMessageA(saver, WM_DISPLAYCHANGE, depth, MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
}

// Whether the girl's first picture has the 16 standard colours for its table, as the saver
// loads it for a 16-colour display.
static bool girl_in_standard_colours()
{
    for (int j = 0; j < 256; j++) {
        const PALETTEENTRY& e = scene_at(0)->girl.frames[0].entries[j];
        const RGBQUAD q = j < 16 ? STANDARD_COLOURS[j] : RGBQUAD{0, 0, 0, 0};
        if (e.peRed != q.rgbRed || e.peGreen != q.rgbGreen || e.peBlue != q.rgbBlue)
            return false;
    }
    return true;
}

static SIZE_T private_kb()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage / 1024;
}

TEST_CASE("when the displays change the saver covers them again and starts its scene afresh, with the same girl")
{
    install_sample_girls();
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const RECT full = {0, 0, w, h};
    SUBCASE("laid out as a saver started now would be, black but for the girl's first step")
    {
        write_options(0, 0);
        std::vector<uint64_t> shown;
        int result = run_saver_with(nullptr, [&](HWND saver) {
            // The girl on her way in, over a screen that shows something else (as the desktop
            // shows where the window did not reach): after the change, nothing of it is left.
            REQUIRE(wait_until([] { return scene_at(0)->sequence.state == 0 && scene_at(0)->girl.y > -scene_at(0)->girl.height / 2; }, 30000));
            HDC dc = GetDC(saver);
            FillRect(dc, &full, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            ReleaseDC(saver, dc);
            const int y = scene_at(0)->girl.y;
            REQUIRE(wait_until([&] { return scene_at(0)->girl.y > y; }));
            displays_change(saver);
            RECT r;
            GetWindowRect(saver, &r);
            const bool covered = same_rect(r, full);
            CHECK(covered);
            CHECK((GetWindowLongA(saver, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
            if (!covered) {
                PostMessageA(saver, WM_CLOSE, 0, 0);
                return;
            }
            // The first step of the new layout is shown before the change is answered.
            CHECK(scene_at(0)->sequence.state == 0);
            CHECK(scene_at(0)->girl.x == -scene_at(0)->girl.width + scene_at(0)->sequence.gx);
            Surface now(w, h);
            capture_window(saver, now);
            const RECT girl = {scene_at(0)->girl.x, scene_at(0)->girl.y, scene_at(0)->girl.x + scene_at(0)->girl.width,
                               scene_at(0)->girl.y + scene_at(0)->girl.height};
            CHECK(now.count_not(BLACK, full) == now.count_not(BLACK, girl));
            KillTimer(saver, SCENE_TIMER);  // the test ticks from here on
            shown = tick_cycle(saver, full, [](const Surface&) {});
            PostMessageA(saver, WM_CLOSE, 0, 0);
        });
        CHECK(result == 0);
        CHECK(plays_as_alone(shown, lone_scene(w, h, CYCLE_TICKS + 2), 2));
    }
    SUBCASE("in random mode the girl on the screen stays, whatever told the saver: size, scale or a resume")
    {
        write_options(1, 0);
        run_saver_with(nullptr, [&](HWND saver) {
            const std::pair<UINT, WPARAM> changes[] = {{WM_DISPLAYCHANGE, 32}, {DPI_CHANGED, MAKEWPARAM(96, 96)},
                                                       {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC}};
            for (const auto& change : changes) {
                CAPTURE(change.first);
                REQUIRE(wait_until([] { return scene_at(0)->sequence.state >= 1; }, 30000));
                const int girl = Girl;
                const HBITMAP first = scene_at(0)->girl.frames[0].bitmap;
                SetWindowPos(saver, nullptr, 0, 0, w / 2, h / 2, SWP_NOZORDER | SWP_NOACTIVATE);
                RECT suggested = {0, 0, w, h};  // what a scale's change suggests, for a window of its own
                SendMessageA(saver, change.first, change.second, reinterpret_cast<LPARAM>(&suggested));
                RECT r;
                GetWindowRect(saver, &r);
                CHECK(same_rect(r, full));
                CHECK(Girl == girl);
                CHECK(scene_at(0)->girl.frames[0].bitmap == first);  // not even loaded again
                CHECK(scene_at(0)->sequence.state == 0);
            }
            // Another word of the power (the battery low) changes nothing.
            REQUIRE(wait_until([] { return scene_at(0)->sequence.state >= 1; }, 30000));
            SendMessageA(saver, WM_POWERBROADCAST, PBT_APMBATTERYLOW, 0);
            CHECK(scene_at(0)->sequence.state >= 1);
            PostMessageA(saver, WM_CLOSE, 0, 0);
        });
    }
    SUBCASE("to 16 colours and back, a hundred times: dithered, then as drawn, and nothing left behind")
    {
        write_options(0, 0);
        GdiWatch watch;
        run_saver_with(nullptr, [&](HWND saver) {
            CHECK_FALSE(girl_in_standard_colours());
            const HBITMAP drawn = scene_at(0)->girl.frames[0].bitmap;
            size_t alive = 0;
            SIZE_T memory = 0;
            for (int i = 0; i < 100; i++) {
                {
                    SixteenColourDisplay sixteen;
                    displays_change(saver, 4);
                    if (i == 0) {
                        CHECK(scene_at(0)->display_kind == DISPLAY_16_COLOURS);
                        CHECK(girl_in_standard_colours());
                    }
                }
                displays_change(saver);
                if (i == 0) {
                    CHECK(scene_at(0)->display_kind == DISPLAY_TRUE_COLOUR);
                    CHECK_FALSE(girl_in_standard_colours());
                    CHECK(scene_at(0)->girl.frames[0].bitmap != drawn);  // loaded afresh, as drawn
                    alive = watch.alive();
                    memory = private_kb();
                }
            }
            CHECK(watch.alive() == alive);
            CHECK(private_kb() <= memory + 1024);
            MESSAGE("after 200 changes of depth: " << watch.alive() << " pictures and palettes alive, as after 2; "
                                                   << private_kb() << " KB private, " << memory << " KB after 2");
            CHECK(IsWindow(saver));
            PostMessageA(saver, WM_CLOSE, 0, 0);
        });
        CHECK(watch.alive() == 0);
    }
}

TEST_CASE("while the display changes size the saver covers it whole and plays as one started at that size" * doctest::skip())
{
    // Run by the changing-display test only, in Wine's virtual desktop, which changes its size
    // as Windows changes a display's mode; the screen behind it is larger than 1024 x 768.
    auto change_display = [](int width, int height) {
        DEVMODEA mode = {};
        mode.dmSize = sizeof mode;
        mode.dmPelsWidth = static_cast<DWORD>(width);
        mode.dmPelsHeight = static_cast<DWORD>(height);
        mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
        return ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL;
    };
    install_sample_girls();
    write_options(0, 0);
    // Another program's window, under the saver, as large as the grown desktop: any part of it
    // that shows is the desktop showing. Made while the desktop is that large.
    REQUIRE(change_display(1024, 768));
    BrightWindow desktop({0, 0, 1024, 768});
    REQUIRE(change_display(800, 600));
    auto window_is = [](HWND saver, int width, int height) {
        RECT r;
        GetWindowRect(saver, &r);
        return same_rect(r, {0, 0, width, height});
    };
    std::vector<uint64_t> shown;
    int white = -1, followed = 0;
    size_t alive = 0, alive_after = 0;
    GdiWatch watch;
    int result = run_saver_with(nullptr, [&](HWND saver) {
        CHECK(window_is(saver, 800, 600));
        REQUIRE(wait_until([] { return scene_at(0)->sequence.state >= 2; }, 30000));
        REQUIRE(change_display(1024, 768));
        CHECK(wait_until([&] { return window_is(saver, 1024, 768); }));
        Surface screen(1024, 768);
        wait_until([&] {
            capture_screen(screen);
            white = 1024 * 768 - screen.count_not(0xFFFFFF, {0, 0, 1024, 768});
            return white == 0;
        });
        CHECK(scene_at(0)->sequence.screen_width == 1024);
        CHECK(scene_at(0)->sequence.screen_height == 768);
        REQUIRE(change_display(800, 600));
        CHECK(wait_until([&] { return window_is(saver, 800, 600); }));
        KillTimer(saver, SCENE_TIMER);  // the test ticks from here on
        shown = tick_cycle(saver, {0, 0, 800, 600}, [](const Surface&) {});
        // A hundred changes more, each followed, and nothing left behind; none of them ends the saver.
        for (int i = 0; i < 100; i++) {
            const int width = i % 2 ? 800 : 1024;
            followed += change_display(width, i % 2 ? 600 : 768) && scene_at(0)->sequence.screen_width == width;
            if (i == 1)
                alive = watch.alive();
        }
        pump_messages();
        alive_after = watch.alive();
        CHECK(window_is(saver, 800, 600));
        CHECK(closing == 0);
        CHECK(IsWindow(saver));
        PostMessageA(saver, WM_KEYDOWN, VK_SPACE, 0);  // a key still ends it
    });
    CHECK(result == 0);
    CHECK(white == 0);  // nothing of the desktop after the grow
    CHECK(followed == 100);
    CHECK(alive_after == alive);
    // After the shrink, the cycle whole on the smaller screen (the banner whole at either
    // corner, the flare rising from its bottom edge): as a saver started at 800 x 600 plays it.
    CHECK(plays_as_alone(shown, lone_scene(800, 600, CYCLE_TICKS + 2), 2));
}

TEST_CASE("the scene keeps to the primary monitor's rectangle, wherever it lies in the window")
{
    // The window covers the virtual screen, wherever it begins.
    CHECK(same_rect(full_screen_cover(-1280, -200, 2560, 1024), {-1280, -200, 1280, 824}));
    CHECK(same_rect(full_screen_cover(0, -768, 1024, 1536), {0, -768, 1024, 768}));
    // A system that knows no virtual screen has the primary monitor alone.
    CHECK(same_rect(full_screen_cover(0, 0, 0, 0),
                    {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}));

    // A full-screen scene window with monitors on all four sides of a 440 x 360 primary one, as
    // the saver's window is when monitors lie left of, above, right of and below it: the scene
    // plays in that rectangle as on a screen of its size alone, and nothing reaches the margins.
    install_sample_girls();
    write_options(0, 0);
    reset_host_flags();
    const RECT primary = {100, 60, 540, 420};
    int stray = 0;
    std::vector<uint64_t> shown;
    {
        TestWindow window(640, 480, scene_layer_proc, WS_EX_TOPMOST);
        KillTimer(window.handle, SCENE_TIMER);  // the test ticks
        HDC dc = GetDC(window.handle);
        const Monitor among_others = {primary, 1};  // the window begins at the screen's corner
        lay_out_scenes_on(dc, display_kind_of(dc), &among_others, 1);
        ReleaseDC(window.handle, dc);
        POINT origin = scene_origin(window.handle);
        CHECK(origin.x == 100);
        CHECK(origin.y == 60);
        RedrawWindow(window.handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW | RDW_UPDATENOW);
        shown = tick_cycle(window.handle, primary, black_outside(primary, &stray));
    }
    CHECK(stray == 0);
    CHECK(plays_as_alone(shown, lone_scene(440, 360, CYCLE_TICKS)));
}

TEST_CASE("on a display scaled to 200 % every pixel of the scene is a 2 x 2 block" * doctest::skip())
{
    // Run by the scaled test display only: 192 dots per inch on a 1281 x 961 screen, which
    // lays the scene out on 640 x 480 and leaves a line to its right and below it.
    REQUIRE(primary_monitor_dpi() == 192);
    install_sample_girls();
    write_options(0, 0);
    reset_host_flags();
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const RECT doubled = {0, 0, 1280, 960};
    int stray = 0;
    std::vector<uint64_t> shown;
    {
        TestWindow window(w, h, scene_layer_proc, WS_EX_TOPMOST);
        KillTimer(window.handle, SCENE_TIMER);  // the test ticks
        CHECK(scene_at(0)->scale == 2);
        CHECK(scene_at(0)->sequence.screen_width == 640);
        CHECK(scene_at(0)->sequence.screen_height == 480);
        start_sequence(scene_at(0));
        RedrawWindow(window.handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW | RDW_UPDATENOW);
        shown = tick_cycle(window.handle, doubled, black_outside(doubled, &stray));
    }
    CHECK(stray == 0);
    CHECK(plays_as_alone(shown, lone_scene(640, 480, CYCLE_TICKS, 2)));
    // The preview, a small window of another program, is never scaled.
    preview_mode = 1;
    {
        TestWindow preview(200, 150, scene_layer_proc, 0, WS_POPUP | WS_VISIBLE);
        CHECK(scene_at(0)->scale == 1);
        CHECK(scene_at(0)->sequence.screen_width == w);
    }
    preview_mode = 0;
}

// The saver window's input context once its own destruction has run: given back by then.
static HIMC context_after_destroy;
static LRESULT CALLBACK note_context_after_destroy(int code, WPARAM wparam, LPARAM lparam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
    if (code == HC_ACTION && call->message == WM_DESTROY && call->hwnd == saver_window) {
        context_after_destroy = ImmGetContext(call->hwnd);
        ImmReleaseContext(call->hwnd, context_after_destroy);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

TEST_CASE("full screen: a topmost black window of the screen's size that keeps its title")
{
    install_sample_girls();
    context_after_destroy = nullptr;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, note_context_after_destroy, nullptr, GetCurrentThreadId());
    int result = run_saver_with(nullptr, [](HWND saver) {
        char class_name[64];
        GetClassNameA(saver, class_name, sizeof class_name);
        CHECK(std::string(class_name) == "WindowsScreenSaverClass");
        CHECK(title_of(saver) == "Screen Saver");
        CHECK((GetWindowLongA(saver, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
        CHECK(static_cast<DWORD>(GetWindowLongA(saver, GWL_STYLE)) ==
              (WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
        RECT r;
        GetWindowRect(saver, &r);
        CHECK(r.left == 0);
        CHECK(r.top == 0);
        CHECK(r.right == GetSystemMetrics(SM_CXSCREEN));
        CHECK(r.bottom == GetSystemMetrics(SM_CYSCREEN));
        CHECK(GetForegroundWindow() == saver);
        CHECK(SendMessageA(saver, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Something else")) == 0);
        CHECK(title_of(saver) == "Screen Saver");
        CHECK(GetCursor() == nullptr);
        // The input method is detached while the saver runs...
        CHECK(ImmGetContext(saver) == nullptr);
        PostMessageA(saver, WM_CLOSE, 0, 0);
    });
    UnhookWindowsHookEx(hook);
    CHECK(result == 0);
    CHECK(context_after_destroy != nullptr);  // ...and given back as the window goes
    CHECK(FindWindowA("WindowsScreenSaverClass", nullptr) == nullptr);
}

TEST_CASE("full screen swallows task switching and a second saver, comparing the whole command")
{
    Spies spies;
    run_saver_with(nullptr, [](HWND saver) {
        for (WPARAM command : {WPARAM(SC_NEXTWINDOW), WPARAM(SC_PREVWINDOW), WPARAM(SC_SCREENSAVE)}) {
            CAPTURE(command);
            CHECK(SendMessageA(saver, WM_SYSCOMMAND, command, 0) == 0);
            CHECK_FALSE(reached_default(WM_SYSCOMMAND, command));
        }
        // (Not 0xF141: Wine's default procedure answers that one with its About box.)
        SendMessageA(saver, WM_SYSCOMMAND, SC_SCREENSAVE | 2, 0);
        CHECK(reached_default(WM_SYSCOMMAND, SC_SCREENSAVE | 2));
        // Help and context menus are not the host's business full screen: on to the default.
        SendMessageA(saver, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(saver), 0);
        CHECK(reached_default(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(saver)));
        PostMessageA(saver, WM_CLOSE, 0, 0);
    });
}

TEST_CASE("once closing, ticks stop short of the scene and input goes to the default procedure")
{
    install_sample_girls();
    Spies spies;
    run_saver_with(nullptr, [](HWND saver) {
        KillTimer(saver, 2);
        pump_messages();
        int state = scene_at(0)->sequence.state, x = scene_at(0)->sequence.mover->x, y = scene_at(0)->sequence.mover->y;
        sleeps = 0;
        CHECK(SendMessageA(saver, WM_TIMER, 2, 0) == 0);
        CHECK(sleeps == 1);  // a tick first gives up the rest of the time slice
        CHECK((scene_at(0)->sequence.mover->y != y || scene_at(0)->sequence.mover->x != x || scene_at(0)->sequence.state != state));

        closing = 1;
        state = scene_at(0)->sequence.state, x = scene_at(0)->sequence.mover->x, y = scene_at(0)->sequence.mover->y;
        sleeps = 0;
        defaulted.clear();
        CHECK(SendMessageA(saver, WM_TIMER, 2, 0) == 0);
        CHECK(sleeps == 0);
        CHECK(scene_at(0)->sequence.state == state);
        CHECK(scene_at(0)->sequence.mover->x == x);
        CHECK(scene_at(0)->sequence.mover->y == y);
        CHECK_FALSE(reached_default(WM_TIMER, 2));
        for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_PAINT}) {
            SendMessageA(saver, message, 0, 0);
            CHECK(reached_default(message, 0));
        }
        closing = 0;
        PostMessageA(saver, WM_CLOSE, 0, 0);
    });
}

TEST_CASE("a full-screen saver already running is brought forward instead of a second one")
{
    WNDCLASSA other = {};
    other.lpfnWndProc = DefWindowProcA;
    other.hInstance = GetModuleHandleA(nullptr);
    other.lpszClassName = "WindowsScreenSaverClass";
    REQUIRE(RegisterClassA(&other));
    HWND running = CreateWindowExA(0, "WindowsScreenSaverClass", "Screen Saver", WS_POPUP | WS_VISIBLE,
                                   0, 0, 50, 50, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    REQUIRE(running != nullptr);
    TestWindow elsewhere(60, 60);
    SetForegroundWindow(elsewhere.handle);
    saver_window = nullptr;
    closing = 0;
    CHECK(run_saver(nullptr) == 0);
    CHECK(saver_window == nullptr);  // nothing was made
    CHECK(GetForegroundWindow() == running);
    DestroyWindow(running);
    UnregisterClassA("WindowsScreenSaverClass", GetModuleHandleA(nullptr));
}

TEST_CASE("a saver that cannot make its window reports failure")
{
    SUBCASE("the class cannot be registered")
    {
        WNDCLASSA taken = {};
        taken.lpfnWndProc = DefWindowProcA;
        taken.hInstance = app_instance;
        taken.lpszClassName = "WindowsScreenSaverClass";
        REQUIRE(RegisterClassA(&taken));
        saver_window = nullptr;
        CHECK(run_saver(nullptr) == -1);
        UnregisterClassA("WindowsScreenSaverClass", app_instance);
    }
    SUBCASE("the preview's parent is no window")
    {
        saver_window = nullptr;
        CHECK(run_saver(reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x7FFF1234))) == -1);
        UnregisterClassA("WindowsScreenSaverClass", app_instance);
        preview_mode = 0;
    }
}

namespace {

// Plays the display settings closing just as the preview starts: as soon as the preview window
// has answered its creation message, while it is still being made, the parent is destroyed, or
// only the preview, as when another process closes the parent and its children go first.
HWND closing_parent;
bool destroy_only_the_preview;
LRESULT CALLBACK close_after_create(int code, WPARAM wparam, LPARAM lparam)
{
    auto* call = reinterpret_cast<CWPRETSTRUCT*>(lparam);
    if (code == HC_ACTION && call->message == WM_CREATE && closing_parent && GetParent(call->hwnd) == closing_parent) {
        HWND parent = closing_parent;
        closing_parent = nullptr;
        DestroyWindow(destroy_only_the_preview ? call->hwnd : parent);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

TEST_CASE("a preview whose parent closes while it is being made ends with its parent, not as a failure")
{
    install_sample_girls();
    TestWindow parent(300, 200, parent_proc, 0, WS_POPUP | WS_VISIBLE);
    SUBCASE("the parent goes") { destroy_only_the_preview = false; }
    SUBCASE("the preview goes first") { destroy_only_the_preview = true; }
    closing_parent = parent.handle;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, close_after_create, nullptr, GetCurrentThreadId());
    REQUIRE(hook != nullptr);
    saver_window = nullptr;
    closing = 0;
    preview_mode = 0;
    int result = run_saver(parent.handle);
    UnhookWindowsHookEx(hook);
    CHECK(closing_parent == nullptr);  // the window really went while it was being made
    CHECK(IsWindow(parent.handle) == (destroy_only_the_preview ? TRUE : FALSE));
    CHECK(saver_window == nullptr);
    CHECK(result == 0);
    // The quit message the window posted on its way out was taken, as the message loop takes it.
    MSG quit;
    CHECK_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    UnregisterClassA("WindowsScreenSaverClass", app_instance);
    preview_mode = 0;
}

TEST_CASE("the preview fills its parent, draws from its own corner, passes system commands on and hands help on")
{
    install_sample_girls();
    write_options(0, 0);
    Spies spies;
    TestWindow parent(300, 200, parent_proc, 0, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    // Wherever the display settings put their little window, not at the screen's corner.
    MoveWindow(parent.handle, 117, 71, 300, 200, TRUE);
    RECT client;
    GetClientRect(parent.handle, &client);
    parent_messages.clear();
    std::vector<uint64_t> shown;
    int result = run_saver_with(parent.handle, [&](HWND saver) {
        CHECK(preview_mode == 1);
        CHECK(GetParent(saver) == parent.handle);
        CHECK(title_of(saver) == "Preview");
        CHECK(static_cast<DWORD>(GetWindowLongA(saver, GWL_STYLE)) == (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN));
        RECT r;
        GetClientRect(saver, &r);
        CHECK(r.right == client.right);
        CHECK(r.bottom == client.bottom);
        // The scene draws from the preview's own corner, laid out on the whole screen, for a
        // whole cycle: it shows what the same corner of a screen shows with the scene alone.
        POINT corner = {0, 0};
        ClientToScreen(saver, &corner);
        CHECK(corner.x >= 117);
        CHECK(corner.y >= 71);
        KillTimer(saver, SCENE_TIMER);  // the test ticks
        RedrawWindow(saver, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW | RDW_UPDATENOW);
        shown = tick_cycle(saver, r, [](const Surface&) {});
        // It keeps the size it was made with, and its scene goes on through a change of the
        // displays: the preview's window is its parent's business.
        SetWindowPos(parent.handle, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
        pump_messages();
        const int state = scene_at(0)->sequence.state, hold = scene_at(0)->sequence.hold, x = scene_at(0)->sequence.mover->x;
        SendMessageA(saver, WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600));
        CHECK(scene_at(0)->sequence.state == state);
        CHECK(scene_at(0)->sequence.hold == hold);
        CHECK(scene_at(0)->sequence.mover->x == x);
        GetClientRect(saver, &r);
        CHECK(r.right == client.right);
        CHECK(SendMessageA(saver, WM_SYSCOMMAND, SC_SCREENSAVE, 0) == 0);
        CHECK(reached_default(WM_SYSCOMMAND, SC_SCREENSAVE));
        CHECK(SendMessageA(saver, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(saver), MAKELPARAM(20, 20)) == 1);
        // Help is answered too; the system refuses to post its pointer-carrying message.
        CHECK(SendMessageA(saver, WM_HELP, 0, 0) == 1);
        pump_messages();
        REQUIRE(parent_messages.size() >= 1);
        CHECK(parent_messages[0].first == static_cast<UINT>(WM_CONTEXTMENU));
        CHECK(parent_messages[0].second == reinterpret_cast<WPARAM>(parent.handle));
        CHECK(parent_lparams[0] == MAKELPARAM(20, 20));  // the menu opens where the pointer was
        // Input does not end a preview.
        SendMessageA(saver, WM_KEYDOWN, VK_SPACE, 0);
        SendMessageA(saver, WM_ACTIVATEAPP, FALSE, 0);
        pump_messages();
        CHECK(IsWindow(saver));
        // A help request with the parent gone is still answered.
        SetParent(saver, nullptr);
        parent_messages.clear();
        CHECK(SendMessageA(saver, WM_CONTEXTMENU, 0, 0) == 1);
        pump_messages();
        CHECK(parent_messages.empty());
        DestroyWindow(saver);
    });
    CHECK(result == 0);
    preview_mode = 0;
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    CHECK(plays_as_alone(shown, lone_scene(w, h, CYCLE_TICKS + 10, 1, client), 10));
}
