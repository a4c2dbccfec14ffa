// close_rules.cpp --- what ends the full-screen saver, and the Windows 95 family's password hooks.
#include <stdlib.h>
#include <windows.h>

#include "host/close_rules.h"

#include "base/flags.h"
#include "base/found_by_name.h"
#include "scene/scene_window.h"

int closing;
int checking_password;
POINT saved_cursor;

static HMODULE verifier_library;
static VerifyPasswordFunction verify_password;
static DWORD last_check_tick = 0xFFFFFFFF;  // no check yet

static const unsigned mouse_threshold = 4;   // pixels of travel, across plus down, that are ignored
static const DWORD RECHECK_INTERVAL = 200;   // ms after a refused check in which no new one starts
static const UINT SCREENSAVER_RUNNING = 97;  // SPI_SETSCREENSAVERRUNNING

void set_saver_running(BOOL running)
{
    if (!is_win9x)
        return;
    UINT scratch = 0;
    SystemParametersInfoA(SCREENSAVER_RUNNING, static_cast<UINT>(running), &scratch, 0);
}

void unload_password_verifier()
{
    if (!is_win9x || !verifier_library)
        return;
    FreeLibrary(verifier_library);
    verifier_library = nullptr;
    if (verify_password) {
        verify_password = nullptr;
        set_saver_running(FALSE);
    }
}

// Whether the user has asked for a password on return from the saver. The number starts at
// 0, so a value shorter than 4 bytes reads as its own bytes followed by zeros; a longer one
// fails the read and counts as no password.
static bool password_in_force(HKEY desktop)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return false;
    return value != 0;
}

void load_password_verifier()
{
    if (!is_win9x)
        return;
    if (verifier_library)
        unload_password_verifier();
    HKEY desktop;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop) != ERROR_SUCCESS)
        return;
    if (password_in_force(desktop)) {
        verifier_library = load_system_library("PASSWORD.CPL");
        if (verifier_library) {
            verify_password = find_function<VerifyPasswordFunction>(verifier_library, "VerifyScreenSavePwd");
            if (verify_password)
                set_saver_running(TRUE);
            else
                unload_password_verifier();
        }
    }
    RegCloseKey(desktop);
}

void change_password(HWND owner)
{
    HMODULE library = load_system_library("MPR.DLL");
    if (!library)
        return;
    ChangePasswordFunction change = find_function<ChangePasswordFunction>(library, "PwdChangePasswordA");
    if (change)
        change("SCRSAVE", owner, 0, 0);
    FreeLibrary(library);
}

static int verify_before_close(HWND window)
{
    if (checking_password)
        return 0;  // a close request while the check runs is refused
    if (!verify_password) {
        closing = 1;
        return 1;
    }
    DWORD now = GetTickCount();
    if (last_check_tick != 0xFFFFFFFF && now - last_check_tick < RECHECK_INTERVAL)
        return 0;  // the user has only just been asked

    checking_password = 1;
    // Ticks that piled up while the saver waited are dropped; new ones keep the scene
    // animating behind the password dialog.
    MSG dropped;
    PeekMessageA(&dropped, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageA(&dropped, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    // The check runs inside the window's own procedure, with the saver window as its owner.
    closing = static_cast<int>(SendMessageA(window, PASSWORD_MESSAGE, 0, 0));
    checking_password = 0;
    if (!closing)
        SetCursor(nullptr);
    last_check_tick = GetTickCount();
    return closing;
}

static void on_mouse_move(HWND window)
{
    POINT now;
    // While the logon, elevation or Ctrl+Alt+Del screen is up, the pointer cannot be read: that
    // is no movement, and the reference point stays where it was.
    if (!GetCursorPos(&now))
        return;
    unsigned distance = static_cast<unsigned>(abs(now.x - saved_cursor.x) +
                                              abs(now.y - saved_cursor.y));
    // Small movements add up against the same reference point until they pass the threshold.
    if (distance > mouse_threshold) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        saved_cursor = now;
    }
}

LRESULT close_rules_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (preview_mode || closing)
        return DefWindowProcA(window, message, wparam, lparam);

    if (message == WM_CLOSE) {
        if (is_win9x && verify_before_close(window) == 0) {
            GetCursorPos(&saved_cursor);
            return 0;  // the saver stays
        }
        return DefWindowProcA(window, message, wparam, lparam);
    }
    if (message == PASSWORD_MESSAGE) {
        if (!is_win9x)
            return DefWindowProcA(window, message, wparam, lparam);
        return verify_password ? verify_password(window) : 1;
    }
    // A monitor that leaves can move the pointer onto one that stays; the screens changing is
    // no reason to end the saver, so the pointer's place is taken again as it is now.
    if (displays_changed(message, wparam))
        GetCursorPos(&saved_cursor);
    if (checking_password)
        return DefWindowProcA(window, message, wparam, lparam);

    switch (message) {
    case WM_SHOWWINDOW:
        if (wparam)
            SetCursor(nullptr);
        break;
    case WM_ACTIVATEAPP:
        if (!wparam)
            PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return 1;
    case WM_MOUSEMOVE:
        on_mouse_move(window);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}
