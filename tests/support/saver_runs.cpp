// saver_runs.cpp --- the whole saver run in the test's own process, the test playing the system and
// the user from inside its message loop.
#include "support/support.h"

#include "host/host.h"

static std::function<void(HWND)> saver_script;
static bool script_done;

static void CALLBACK run_script(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (!saver_window || !IsWindowVisible(saver_window) || script_done)
        return;
    KillTimer(nullptr, timer);
    script_done = true;
    saver_script(saver_window);
}

void reset_host_flags()
{
    closing = 0;
    preview_mode = 0;
    is_win9x = 0;
    GetCursorPos(&saved_cursor);
}

int run_saver_with(HWND parent, const std::function<void(HWND)>& script)
{
    reset_host_flags();
    saver_window = nullptr;
    saver_script = script;
    script_done = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, run_script);
    int result = run_saver(parent);
    KillTimer(nullptr, timer);
    UnregisterClassA("WindowsScreenSaverClass", app_instance);
    return result;
}

void write_options(int mode, int girl, int screens)
{
    std::string text = "[Screen Saver.SkyFlare]\r\nMode=" + std::to_string(mode) + "\r\nGirl=" + std::to_string(girl) + "\r\n";
    if (screens >= 0)
        text += "Screens=" + std::to_string(screens) + "\r\n";
    write_settings(text);
}
