// test_saver_window.cpp --- the saver window and the routing of its messages, run in this process.
#include <algorithm>
#include <set>

#include "host/host.h"
#include "scene/cast.h"
#include "scene/scene_window.h"
#include "scene/sequence.h"
#include "scene/stage.h"
#include "support/support.h"

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

std::function<void(HWND)> saver_script;
bool script_done;

void CALLBACK run_script(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (!saver_window || !IsWindowVisible(saver_window) || script_done)
        return;
    KillTimer(nullptr, timer);
    script_done = true;
    saver_script(saver_window);
}

// Runs the saver in this process; the script plays the system and the user from inside its
// message loop, and must end with the window closed.
int run_saver_with(HWND parent, const std::function<void(HWND)>& script)
{
    closing = 0;
    preview_mode = 0;
    is_win9x = 0;
    saver_window = nullptr;
    saver_script = script;
    script_done = false;
    GetCursorPos(&saved_cursor);
    UINT_PTR timer = SetTimer(nullptr, 0, 30, run_script);
    int result = run_saver(parent);
    KillTimer(nullptr, timer);
    UnregisterClassA("WindowsScreenSaverClass", app_instance);
    return result;
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
        states.insert(scene.state);
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
    write_settings("[Screen Saver.SkyFlare]\r\nMode=0\r\nGirl=0\r\n");
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
    write_settings("[Screen Saver.SkyFlare]\r\nMode=0\r\nGirl=0\r\n");
    closing = 0;
    preview_mode = 0;
    GetCursorPos(&saved_cursor);
    const RECT primary = {100, 60, 540, 420};
    int stray = 0;
    std::vector<uint64_t> shown;
    {
        TestWindow window(640, 480, scene_layer_proc, WS_EX_TOPMOST);
        KillTimer(window.handle, SCENE_TIMER);  // the test ticks
        set_stage(window.handle, primary, 1);   // the window begins at the screen's corner
        start_sequence();
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
    write_settings("[Screen Saver.SkyFlare]\r\nMode=0\r\nGirl=0\r\n");
    closing = 0;
    preview_mode = 0;
    GetCursorPos(&saved_cursor);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const RECT doubled = {0, 0, 1280, 960};
    int stray = 0;
    std::vector<uint64_t> shown;
    {
        TestWindow window(w, h, scene_layer_proc, WS_EX_TOPMOST);
        KillTimer(window.handle, SCENE_TIMER);  // the test ticks
        CHECK(stage_scale() == 2);
        CHECK(scene.screen_width == 640);
        CHECK(scene.screen_height == 480);
        start_sequence();
        RedrawWindow(window.handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW | RDW_UPDATENOW);
        shown = tick_cycle(window.handle, doubled, black_outside(doubled, &stray));
    }
    CHECK(stray == 0);
    CHECK(plays_as_alone(shown, lone_scene(640, 480, CYCLE_TICKS, 2)));
    // The preview, a small window of another program, is never scaled.
    preview_mode = 1;
    {
        TestWindow preview(200, 150, scene_layer_proc, 0, WS_POPUP | WS_VISIBLE);
        CHECK(stage_scale() == 1);
        CHECK(scene.screen_width == w);
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
        int state = scene.state, x = scene.mover->x, y = scene.mover->y;
        sleeps = 0;
        CHECK(SendMessageA(saver, WM_TIMER, 2, 0) == 0);
        CHECK(sleeps == 1);  // a tick first gives up the rest of the time slice
        CHECK((scene.mover->y != y || scene.mover->x != x || scene.state != state));

        closing = 1;
        state = scene.state, x = scene.mover->x, y = scene.mover->y;
        sleeps = 0;
        defaulted.clear();
        CHECK(SendMessageA(saver, WM_TIMER, 2, 0) == 0);
        CHECK(sleeps == 0);
        CHECK(scene.state == state);
        CHECK(scene.mover->x == x);
        CHECK(scene.mover->y == y);
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
    write_settings("[Screen Saver.SkyFlare]\r\nMode=0\r\nGirl=0\r\n");
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
        // It keeps the size it was made with.
        SetWindowPos(parent.handle, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
        pump_messages();
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
