// saver_window.cpp --- the one saver window, full screen or in the preview, and its message loop.
#include <windows.h>

#include "base/found_by_name.h"
#include "host/host.h"
#include "resources/resource_ids.h"
#include "scene/display_colours.h"
#include "scene/scene_window.h"

static const char SAVER_CLASS[] = "WindowsScreenSaverClass";
static const char FULL_SCREEN_TITLE[] = "Screen Saver";
static const char PREVIEW_TITLE[] = "Preview";

int preview_mode;
HWND saver_window;

static HMODULE ime_module;
static AssociateContextFunction associate_context;
static HIMC saved_ime_context;

// The input method would pop up its own windows over the saver: the window is left without an
// input context while it runs. The library is only used if the process already has it.
static void detach_input_method(HWND window)
{
    ime_module = GetModuleHandleA("IMM32.DLL");
    if (!ime_module)
        return;
    associate_context = find_function<AssociateContextFunction>(ime_module, "ImmAssociateContext");
    if (associate_context)
        saved_ime_context = associate_context(window, nullptr);
}

static void restore_input_method(HWND window)
{
    if (ime_module && associate_context && saved_ime_context)
        associate_context(window, saved_ime_context);
}

static void hide_cursor()
{
    if (!preview_mode)
        SetCursor(nullptr);
}

// In the preview, help and context menus belong to the display settings around it.
static LRESULT forward_help(HWND window, UINT message, LPARAM lparam)
{
    HWND parent = GetParent(window);
    if (parent && IsWindow(parent))
        PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lparam);
    return 1;
}

// Switching tasks or starting another saver would only get in the way of this one.
static bool swallowed_system_command(WPARAM command)
{
    return !preview_mode && (command == SC_NEXTWINDOW || command == SC_PREVWINDOW ||
                             command == SC_SCREENSAVE);
}

// Full screen, the saver covers every monitor: the whole virtual screen, which may begin left
// of or above the primary monitor. A system without a virtual screen (it answers 0 for its
// size) has the primary monitor alone.
RECT full_screen_cover(int virtual_x, int virtual_y, int virtual_width, int virtual_height)
{
    RECT cover;
    if (virtual_width > 0 && virtual_height > 0)
        SetRect(&cover, virtual_x, virtual_y, virtual_x + virtual_width, virtual_y + virtual_height);
    else
        SetRect(&cover, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return cover;
}

static RECT virtual_screen_now()
{
    return full_screen_cover(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                             GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

// Nothing moves a window for a change of the displays: a monitor that arrives, or a screen
// that grows, would show the desktop beside the saver. The window covers the new virtual
// screen at once, still above everything; the scene then lays itself out for it. Where the
// system refuses the move, the next tick tries again.
static int cover_owed;

static void cover_displays(HWND window)
{
    const RECT cover = virtual_screen_now();
    cover_owed = !SetWindowPos(window, HWND_TOPMOST, cover.left, cover.top, cover.right - cover.left,
                               cover.bottom - cover.top, SWP_NOACTIVATE);
}

// The session ends (the user logs off or shuts down) while the saver plays: it lets it end,
// and first gives back all it took, as on any other way out: its window's end returns the
// options, the system's colours and the palette, and the password library the running state.
// The process may be ended as soon as this returns, so none of it waits for the message loop.
static void end_with_session(HWND window)
{
    DestroyWindow(window);
    unload_password_verifier();
}

LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (displays_changed(message, wparam) && !preview_mode)
        cover_displays(window);  // the scene and the close rules follow, below
    switch (message) {
    case WM_CREATE:
        detach_input_method(window);
        take_pointer_place();
        hide_cursor();
        break;
    case WM_DESTROY:
        restore_input_method(window);
        PostQuitMessage(0);
        break;
    case WM_SETTEXT:
        return 0;  // the title is how a running saver is found: it never changes
    case WM_QUERYENDSESSION:
        return TRUE;  // a screen saver never stands in the way of a log-off or a shutdown
    case WM_ENDSESSION:
        if (!wparam)
            return 0;  // another program refused: the session goes on, and so does the saver
        end_with_session(window);
        return 0;
    case WM_PAINT:
        if (closing)
            return DefWindowProcA(window, message, wparam, lparam);
        hide_cursor();
        break;
    case WM_HELP:
    case WM_CONTEXTMENU:
        if (preview_mode)
            return forward_help(window, message, lparam);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (closing)
            return DefWindowProcA(window, message, wparam, lparam);
        break;
    case WM_SYSCOMMAND:
        if (swallowed_system_command(wparam))
            return 0;
        break;
    case WM_TIMER:
        if (closing)
            return 0;  // the scene stands still once the saver is on its way out
        if (cover_owed && !preview_mode)
            cover_displays(window);
        Sleep(0);
        break;
    default:
        break;
    }
    return scene_proc(window, message, wparam, lparam);
}

// A full-screen saver that is already running is brought to the front instead of a second one.
static bool raise_running_saver()
{
    HWND running = FindWindowA(SAVER_CLASS, FULL_SCREEN_TITLE);
    if (!running || !IsWindow(running))
        return false;
    SetForegroundWindow(running);
    return true;
}

int run_saver(HWND parent)
{
    WNDCLASSA saver_class = {};
    saver_class.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    saver_class.lpfnWndProc = host_window_proc;
    saver_class.hInstance = app_instance;
    saver_class.hIcon = LoadIconA(app_instance, MAKEINTRESOURCEA(IDI_SKYFLARE));
    saver_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    saver_class.lpszClassName = SAVER_CLASS;

    DWORD ex_style, style;
    const char* title;
    int left = 0, top = 0, width, height;
    if (parent) {
        RECT client;
        GetClientRect(parent, &client);
        width = client.right;
        height = client.bottom;
        preview_mode = 1;
        ex_style = 0;
        style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
        title = PREVIEW_TITLE;
    } else {
        const RECT cover = virtual_screen_now();
        left = cover.left;
        top = cover.top;
        width = cover.right - cover.left;
        height = cover.bottom - cover.top;
        ex_style = WS_EX_TOPMOST;
        style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        title = FULL_SCREEN_TITLE;
        if (raise_running_saver())
            return 0;
        load_password_verifier();
    }

    if (RegisterClassA(&saver_class))
        saver_window = CreateWindowExA(ex_style, SAVER_CLASS, title, style, left, top, width, height,
                                       parent, nullptr, app_instance, nullptr);
    // A saver that never showed must not report success. But a preview whose parent was closed
    // while the window was being made (the display settings shut as it started) was made and
    // destroyed with its parent: it has posted its quit message, and ends as if a moment later.
    int result = -1;
    MSG message;
    if (!saver_window && preview_mode && PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        result = static_cast<int>(message.wParam);
    if (saver_window) {
        if (!preview_mode)
            SetForegroundWindow(saver_window);
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        result = static_cast<int>(message.wParam);
    }
    // The system's colours, where it would not take them back as the window went.
    give_back_display_colours(nullptr);
    unload_password_verifier();
    return result;
}
