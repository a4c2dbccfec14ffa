// test_windows.h --- windows of the tests' own, the monitors, and waiting with the messages pumped.
#pragma once
#include <windows.h>

#include <functional>

// Waiting: pumps this thread's messages until the condition holds or the time is up.
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms = 15000);
void pump_messages();

// A plain top-level window for drawing tests, destroyed with the object.
struct TestWindow {
    HWND handle = nullptr;
    TestWindow(int width, int height, WNDPROC procedure = nullptr, DWORD ex_style = 0,
               DWORD style = WS_POPUP | WS_VISIBLE);
    ~TestWindow();
};

// The screen of every monitor, and a monitor other than the primary one (empty if none).
RECT virtual_screen();
RECT other_monitor();

// Another program's bright white window over an area of the screen, shown before it returns.
struct BrightWindow : TestWindow {
    explicit BrightWindow(const RECT& area);
};
