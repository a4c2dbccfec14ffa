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
static int verifier_owed;     // a password may be in force whose verifier could not be had yet
static BOOL told_running;     // the system was told that a saver runs
static int pointer_unknown;   // the pointer's place could not be read when it was to be taken
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

// While a verifier is loaded, or a password may be in force whose verifier cannot be had yet,
// the system is told that a saver runs (the 95 family then keeps Ctrl+Alt+Del from ending it).
static void tell_running(BOOL running)
{
    if (told_running != running)
        set_saver_running(running);
    told_running = running;
}

void unload_password_verifier()
{
    if (!is_win9x)
        return;
    if (verifier_library)
        FreeLibrary(verifier_library);
    verifier_library = nullptr;
    verify_password = nullptr;
    verifier_owed = 0;
    tell_running(FALSE);
}

// Whether the system's answer means that the thing asked for is not there at all, rather than
// that it could not be had now (the 95 family says so of a library with ERROR_DLL_NOT_FOUND).
static bool not_there(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_MOD_NOT_FOUND ||
           error == ERROR_DLL_NOT_FOUND;
}

// Whether the user has asked for a password on return from the saver: 1 yes, 0 no, -1 when the
// value is there but cannot be read now. The number starts at 0, so a value shorter than 4 bytes
// reads as its own bytes followed by zeros; a longer one counts as no password.
static int password_in_force(HKEY desktop)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG read = RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(&value), &size);
    if (read == ERROR_SUCCESS)
        return value != 0;
    return not_there(read) || read == ERROR_MORE_DATA ? 0 : -1;
}

// A password library that is there but cannot be loaded now, or a setting that cannot be read
// now, leaves the verifier owed: the check is never skipped for want of it.
void load_password_verifier()
{
    if (!is_win9x)
        return;
    if (verifier_library)
        unload_password_verifier();
    verifier_owed = 0;
    HKEY desktop;
    const LONG opened = RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop);
    if (opened != ERROR_SUCCESS) {
        verifier_owed = !not_there(opened);
    } else {
        const int asked = password_in_force(desktop);
        if (asked > 0) {
            verifier_library = load_system_library("PASSWORD.CPL");
            if (verifier_library) {
                verify_password = find_function<VerifyPasswordFunction>(verifier_library, "VerifyScreenSavePwd");
                if (!verify_password)
                    unload_password_verifier();
            } else {
                verifier_owed = !not_there(GetLastError());
            }
        }
        verifier_owed = verifier_owed || asked < 0;
        RegCloseKey(desktop);
    }
    tell_running(verify_password || verifier_owed);
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
    // A verifier that could not be had is sought again at each request; while it cannot be, the
    // saver stays.
    if (verifier_owed)
        load_password_verifier();
    if (verifier_owed)
        return 0;
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

// The pointer's place, taken as still. Where it cannot be read (while the logon, elevation or
// Ctrl+Alt+Del screen is up), the first place read later is taken instead.
void take_pointer_place()
{
    pointer_unknown = !GetCursorPos(&saved_cursor);
}

static void on_mouse_move(HWND window)
{
    POINT now;
    // A pointer that cannot be read is no movement, and the reference point stays where it was.
    if (!GetCursorPos(&now))
        return;
    if (pointer_unknown) {
        saved_cursor = now;
        pointer_unknown = 0;
        return;
    }
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
            take_pointer_place();
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
        take_pointer_place();
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
