// test_windows.cpp --- windows of the tests' own, the monitors, and waiting with the messages pumped.
#include "support/support.h"

void pump_messages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms)
{
    ULONGLONG start = GetTickCount64();  // not GetTickCount, which a test may move by hand
    for (;;) {
        pump_messages();
        if (condition())
            return true;
        if (GetTickCount64() - start > timeout_ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}


static LRESULT CALLBACK plain_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return DefWindowProcA(window, message, wparam, lparam);
}

TestWindow::TestWindow(int width, int height, WNDPROC procedure, DWORD ex_style, DWORD style)
{
    static int serial = 0;
    char class_name[64];
    wsprintfA(class_name, "SkyFlareTestWindow%d", ++serial);
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = procedure ? procedure : plain_window_proc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = class_name;
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.style = CS_OWNDC;
    RegisterClassA(&window_class);
    handle = CreateWindowExA(ex_style, class_name, "test", style, 0, 0, width, height, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    REQUIRE(handle != nullptr);
    pump_messages();
}

TestWindow::~TestWindow()
{
    if (IsWindow(handle))
        DestroyWindow(handle);
    pump_messages();
}

RECT virtual_screen()
{
    int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

static BOOL CALLBACK note_other_monitor(HMONITOR, HDC, RECT* area, LPARAM param)
{
    if (area->left != 0 || area->top != 0)
        *reinterpret_cast<RECT*>(param) = *area;
    return TRUE;
}

RECT other_monitor()
{
    RECT other = {};
    EnumDisplayMonitors(nullptr, nullptr, note_other_monitor, reinterpret_cast<LPARAM>(&other));
    return other;
}

static LRESULT CALLBACK bright_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_ERASEBKGND) {
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wparam), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return 1;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

BrightWindow::BrightWindow(const RECT& area)
    : TestWindow(area.right - area.left, area.bottom - area.top, bright_window_proc)
{
    MoveWindow(handle, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    Surface shown(area.right - area.left, area.bottom - area.top);
    REQUIRE(wait_until([&] {
        capture_screen(shown, area.left, area.top);
        return shown.all(0xFFFFFF, {0, 0, shown.width, shown.height});
    }));
}
