// test_close_rules.cpp --- what ends the full-screen saver, outside the Windows 95 family.
#include "host/host.h"
#include "scene/scene_window.h"
#include "support/support.h"

namespace {

int closes_posted;        // WM_CLOSE messages that reached the window
bool pass_close_on;       // whether WM_CLOSE goes on to the close rules (and closes)

// The close rules as the last layer of a window's procedure; WM_CLOSE is counted first.
LRESULT CALLBACK rules_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_CLOSE) {
        closes_posted++;
        if (!pass_close_on)
            return 0;
    }
    return close_rules_proc(window, message, wparam, lparam);
}

struct RulesWindow : TestWindow {
    RulesWindow() : TestWindow(200, 150, rules_window)
    {
        closing = 0;
        checking_password = 0;
        preview_mode = 0;
        is_win9x = 0;
        closes_posted = 0;
        pass_close_on = false;
        GetCursorPos(&saved_cursor);
    }
    ~RulesWindow() { preview_mode = 0; closing = 0; }
    // Sends a message as the system would and reports whether a close request followed.
    bool closes_on(UINT message, WPARAM wparam = 0, LPARAM lparam = 0)
    {
        int before = closes_posted;
        SendMessageA(handle, message, wparam, lparam);
        pump_messages();
        return closes_posted > before;
    }
};

void move_cursor_by(int dx, int dy)
{
    POINT p;
    GetCursorPos(&p);
    SetCursorPos(p.x + dx, p.y + dy);
    REQUIRE(wait_until([&] {
        POINT now;
        GetCursorPos(&now);
        return now.x == p.x + dx && now.y == p.y + dy;
    }));
}

// The pointer as it reads while a secure desktop (logon, elevation, Ctrl+Alt+Del) is up.
BOOL WINAPI unreadable_cursor(POINT*)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

}  // namespace

TEST_CASE("the mouse ends the saver only when it travels more than four pixels")
{
    SetCursorPos(300, 200);
    REQUIRE(wait_until([] { POINT p; GetCursorPos(&p); return p.x == 300 && p.y == 200; }));
    RulesWindow w;

    SUBCASE("3 right and 1 down stays, 3 right and 2 down closes")
    {
        move_cursor_by(3, 1);
        CHECK_FALSE(w.closes_on(WM_MOUSEMOVE));
        move_cursor_by(0, 1);
        CHECK(w.closes_on(WM_MOUSEMOVE));
    }
    SUBCASE("small moves add up against the same reference point")
    {
        for (int i = 0; i < 4; i++) {
            move_cursor_by(i % 2 ? 1 : 0, i % 2 ? 0 : -1);
            CHECK_FALSE(w.closes_on(WM_MOUSEMOVE));
        }
        move_cursor_by(-1, 0);  // back one: 3 pixels off, still in
        CHECK_FALSE(w.closes_on(WM_MOUSEMOVE));
        move_cursor_by(0, -2);
        CHECK(w.closes_on(WM_MOUSEMOVE));
    }
    SUBCASE("after a close request the reference point is where the cursor went")
    {
        move_cursor_by(10, 0);
        CHECK(w.closes_on(WM_MOUSEMOVE));
        POINT now;
        GetCursorPos(&now);
        CHECK(saved_cursor.x == now.x);
        CHECK(saved_cursor.y == now.y);
        move_cursor_by(2, 2);
        CHECK_FALSE(w.closes_on(WM_MOUSEMOVE));
    }
    SUBCASE("the message's own position is not what counts")
    {
        CHECK_FALSE(w.closes_on(WM_MOUSEMOVE, 0, MAKELPARAM(500, 400)));
    }
    SUBCASE("a pointer that cannot be read is no movement, and the reference point stays")
    {
        const POINT reference = saved_cursor;
        move_cursor_by(30, 0);
        {
            ImportSpy secure_desktop("user32.dll", "GetCursorPos", reinterpret_cast<void*>(unreadable_cursor));
            CHECK_FALSE(w.closes_on(WM_MOUSEMOVE));
        }
        CHECK(saved_cursor.x == reference.x);
        CHECK(saved_cursor.y == reference.y);
        CHECK(w.closes_on(WM_MOUSEMOVE));  // readable again: the 30 pixels count
    }
    SUBCASE("the displays changing (size, scale, a resume from sleep) is no movement: the pointer is taken afresh")
    {
        const std::pair<UINT, WPARAM> changes[] = {{WM_DISPLAYCHANGE, 32}, {DPI_CHANGED, MAKEWPARAM(144, 144)},
                                                   {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC},
                                                   {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND}};
        for (const auto& change : changes) {
            CAPTURE(change.first);
            move_cursor_by(30, 0);  // as a monitor that left puts the pointer on another
            CHECK_FALSE(w.closes_on(change.first, change.second));
            CHECK_FALSE(w.closes_on(WM_MOUSEMOVE));
            move_cursor_by(-30, 0);
            CHECK(w.closes_on(WM_MOUSEMOVE));  // a real move still counts
        }
        // Another power event (the battery low) leaves the reference point where it was.
        move_cursor_by(30, 0);
        CHECK_FALSE(w.closes_on(WM_POWERBROADCAST, PBT_APMBATTERYLOW));
        CHECK(w.closes_on(WM_MOUSEMOVE));
    }
}

TEST_CASE("keys, mouse buttons and the loss of activation end the saver")
{
    RulesWindow w;
    for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        CAPTURE(message);
        CHECK(w.closes_on(message));
    }
    for (UINT message : {WM_KEYUP, WM_SYSKEYUP, WM_CHAR, WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONDBLCLK,
                         WM_MOUSEWHEEL}) {
        CAPTURE(message);
        CHECK_FALSE(w.closes_on(message));
    }
    CHECK_FALSE(w.closes_on(WM_ACTIVATEAPP, TRUE));
    CHECK(w.closes_on(WM_ACTIVATEAPP, FALSE));

    SUBCASE("several key presses post several close requests")
    {
        int before = closes_posted;
        PostMessageA(w.handle, WM_KEYDOWN, 'A', 0);
        PostMessageA(w.handle, WM_KEYDOWN, 'B', 0);
        PostMessageA(w.handle, WM_KEYDOWN, 'C', 0);
        pump_messages();
        CHECK(closes_posted - before == 3);
    }
}

TEST_CASE("the cursor stays hidden over the saver")
{
    RulesWindow w;
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    CHECK(SendMessageA(w.handle, WM_SETCURSOR, reinterpret_cast<WPARAM>(w.handle), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) == 1);
    CHECK(GetCursor() == nullptr);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    SendMessageA(w.handle, WM_SHOWWINDOW, TRUE, 0);
    CHECK(GetCursor() == nullptr);
}

TEST_CASE("in the preview nothing closes the window or hides the cursor")
{
    RulesWindow w;
    preview_mode = 1;
    for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN})
        CHECK_FALSE(w.closes_on(message));
    CHECK_FALSE(w.closes_on(WM_ACTIVATEAPP, FALSE));
    move_cursor_by(20, 20);
    CHECK_FALSE(w.closes_on(WM_MOUSEMOVE));
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(arrow);
    SendMessageA(w.handle, WM_SETCURSOR, reinterpret_cast<WPARAM>(w.handle), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    CHECK(GetCursor() != nullptr);
}

TEST_CASE("once the saver is closing, input goes straight to the default procedure")
{
    RulesWindow w;
    closing = 1;
    CHECK_FALSE(w.closes_on(WM_KEYDOWN));
    move_cursor_by(30, 0);
    CHECK_FALSE(w.closes_on(WM_MOUSEMOVE));
}

TEST_CASE("outside the Windows 95 family no password is asked and the first close request closes")
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    REQUIRE(version.dwPlatformId == VER_PLATFORM_WIN32_NT);

    clear_stand_in_notes();
    install_password_library("password_stand_in.dll");
    use_password(1);
    load_password_verifier();
    CHECK(stand_in_note("Loads") == 0);  // the password library is never touched

    RulesWindow w;
    CHECK(SendMessageA(w.handle, PASSWORD_MESSAGE, 0, 0) == 0);
    pass_close_on = true;
    PostMessageA(w.handle, WM_CLOSE, 0, 0);
    CHECK(wait_until([&] { return !IsWindow(w.handle); }));
    CHECK(closing == 0);
    CHECK(stand_in_note("Calls") == 0);
    unload_password_verifier();
    install_password_library(nullptr);
    use_password(0);
}
