// test_saver_window.cpp --- the saver window and the routing of its messages, run in this process.
#include <algorithm>

#include "host/host.h"
#include "scene/cast.h"
#include "scene/scene_window.h"
#include "scene/sequence.h"
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
LRESULT CALLBACK parent_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_CONTEXTMENU || message == WM_HELP) {
        parent_messages.push_back({message, wparam});
        return 0;  // the display settings would show their own menu here
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

bool same_rect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Whether `shown` (what a window shows) holds, from `corner` on, exactly what a scene alone on
// a screen of the primary monitor's size shows after some tick from `ticks_at_least` on (ticks
// the live scene drew on its own before the test took over are not counted, hence the slack).
bool plays_as_alone(const Surface& shown, POINT corner, int ticks_at_least)
{
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    Surface alone(w, h);
    start_scene_on(alone.dc, w, h, 0, 0);
    bool same = false;
    for (int tick = 1; tick <= ticks_at_least + 30 && !same; tick++) {
        scene_tick(alone.dc);
        GdiFlush();
        same = tick >= ticks_at_least && alone.count_not(BLACK, {0, 0, w, h}) > 0;
        for (int y = 0; y < h && same; y++)
            for (int x = 0; x < w && same; x++)
                same = shown.at(corner.x + x, corner.y + y) == alone.at(x, y);
    }
    destroy_scene_sprites();
    return same;
}

const int LIVE_TICKS = 40;  // far enough into the cycle that the girl is on the screen

}  // namespace

TEST_CASE("on several monitors the saver covers them all and plays on the primary one as alone" * doctest::skip())
{
    // Run by the two-monitor test display only.
    REQUIRE(GetSystemMetrics(SM_CMONITORS) >= 2);
    const RECT all = virtual_screen(), other = other_monitor();
    REQUIRE(other.right > other.left);
    const RECT other_shown = {other.left - all.left, other.top - all.top, other.right - all.left,
                              other.bottom - all.top};
    Surface shown(all.right - all.left, all.bottom - all.top);
    BrightWindow bright(other);

    install_sample_girls();
    write_settings("[Screen Saver.SkyFlare]\r\nMode=0\r\nGirl=0\r\n");
    int result = run_saver_with(nullptr, [&](HWND saver) {
        RECT r;
        GetWindowRect(saver, &r);
        CHECK(same_rect(r, all));
        UpdateWindow(saver);
        KillTimer(saver, SCENE_TIMER);  // the test ticks from here on
        for (int i = 0; i < LIVE_TICKS; i++)
            SendMessageA(saver, WM_TIMER, SCENE_TIMER, 0);
        capture_window(saver, shown);
        PostMessageA(saver, WM_CLOSE, 0, 0);
    });
    CHECK(result == 0);
    CHECK(shown.all(BLACK, other_shown));
    CHECK(plays_as_alone(shown, {-all.left, -all.top}, LIVE_TICKS));
}

TEST_CASE("with monitors left of and above the primary one, the scene keeps to the primary's corner")
{
    // The window covers the virtual screen, wherever it begins.
    CHECK(same_rect(full_screen_cover(-1280, -200, 2560, 1024), {-1280, -200, 1280, 824}));
    CHECK(same_rect(full_screen_cover(0, -768, 1024, 1536), {0, -768, 1024, 768}));
    // A system that knows no virtual screen has the primary monitor alone.
    CHECK(same_rect(full_screen_cover(0, 0, 0, 0),
                    {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}));

    // A full-screen scene whose window begins left of and above this display, as the saver's
    // does when monitors lie there: its pictures land where a screen alone shows them.
    install_sample_girls();
    write_settings("[Screen Saver.SkyFlare]\r\nMode=0\r\nGirl=0\r\n");
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    closing = 0;
    preview_mode = 0;
    GetCursorPos(&saved_cursor);
    Surface shown(w + 100, h + 60);
    {
        TestWindow window(w + 100, h + 60, scene_layer_proc, WS_EX_TOPMOST);
        KillTimer(window.handle, SCENE_TIMER);  // the test ticks
        MoveWindow(window.handle, -100, -60, w + 100, h + 60, TRUE);
        RECT r;
        GetWindowRect(window.handle, &r);
        REQUIRE(r.left == -100);
        REQUIRE(r.top == -60);
        POINT origin = scene_origin(window.handle);
        CHECK(origin.x == 100);
        CHECK(origin.y == 60);
        UpdateWindow(window.handle);
        for (int i = 0; i < LIVE_TICKS; i++)
            SendMessageA(window.handle, WM_TIMER, SCENE_TIMER, 0);
        capture_window(window.handle, shown);
    }
    CHECK(plays_as_alone(shown, {100, 60}, LIVE_TICKS));
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

TEST_CASE("the preview fills its parent, passes system commands on and hands help to the parent")
{
    install_sample_girls();
    Spies spies;
    TestWindow parent(300, 200, parent_proc, 0, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    RECT client;
    GetClientRect(parent.handle, &client);
    parent_messages.clear();
    int result = run_saver_with(parent.handle, [&](HWND saver) {
        CHECK(preview_mode == 1);
        CHECK(GetParent(saver) == parent.handle);
        CHECK(title_of(saver) == "Preview");
        CHECK(static_cast<DWORD>(GetWindowLongA(saver, GWL_STYLE)) == (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN));
        RECT r;
        GetClientRect(saver, &r);
        CHECK(r.right == client.right);
        CHECK(r.bottom == client.bottom);
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
}
