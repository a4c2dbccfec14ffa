// hooks.cpp --- the benchmark's own functions in place of system functions the saver's code imports:
// counting copies and objects, and pretending other displays.
#include "tools/bench/hooks.h"

#include <stdio.h>
#include <stdlib.h>

#include <set>
#include <utility>

#include "tools/hooks/import_table.h"

static SystemGdi gdi;

// Copies onto the watched screen.
static HDC watched_screen;
static long long copied;
static decltype(&StretchBlt) real_stretch_blt;

static BOOL WINAPI counting_bit_blt(HDC to, int x, int y, int w, int h, HDC from, int fx, int fy, DWORD rop)
{
    if (to == watched_screen)
        copied += (long long)w * h;
    return gdi.bit_blt(to, x, y, w, h, from, fx, fy, rop);
}

static BOOL WINAPI counting_stretch_blt(HDC to, int x, int y, int w, int h, HDC from, int fx, int fy, int fw, int fh,
                                        DWORD rop)
{
    if (to == watched_screen)
        copied += (long long)w * h;
    return real_stretch_blt(to, x, y, w, h, from, fx, fy, fw, fh, rop);
}

// GDI objects made and freed, and device contexts taken and given back.
static long gdi_alive, dcs_out;
static decltype(&CreateDIBSection) real_create_dib_section;
static decltype(&CreatePalette) real_create_palette;
static decltype(&LoadImageA) real_load_image;
static decltype(&GetDC) real_get_dc;
static decltype(&ReleaseDC) real_release_dc;

static HDC WINAPI counting_create_dc(HDC dc)
{
    HDC made = gdi.create_dc(dc);
    gdi_alive += made != nullptr;
    return made;
}

static HBITMAP WINAPI counting_create_bitmap(HDC dc, int w, int h)
{
    HBITMAP made = gdi.create_bitmap(dc, w, h);
    gdi_alive += made != nullptr;
    return made;
}

static HBITMAP WINAPI counting_create_dib_section(HDC dc, const BITMAPINFO* format, UINT usage, void** bits,
                                                   HANDLE section, DWORD offset)
{
    HBITMAP made = real_create_dib_section(dc, format, usage, bits, section, offset);
    gdi_alive += made != nullptr;
    return made;
}

static HPALETTE WINAPI counting_create_palette(const LOGPALETTE* entries)
{
    HPALETTE made = real_create_palette(entries);
    gdi_alive += made != nullptr;
    return made;
}

static BOOL WINAPI counting_delete_object(HGDIOBJ object)
{
    BOOL done = gdi.delete_object(object);
    gdi_alive -= done != 0;
    return done;
}

static BOOL WINAPI counting_delete_dc(HDC dc)
{
    BOOL done = gdi.delete_dc(dc);
    gdi_alive -= done != 0;
    return done;
}

static HDC WINAPI counting_get_dc(HWND window)
{
    HDC taken = real_get_dc(window);
    dcs_out += taken != nullptr;
    return taken;
}

static int WINAPI counting_release_dc(HWND window, HDC dc)
{
    dcs_out--;
    return real_release_dc(window, dc);
}

// Windows, timers, cursors and icons.
static std::set<HWND> windows_made;
static std::set<std::pair<HWND, UINT_PTR>> timers_set;
static std::set<HANDLE> cursors_given;
static decltype(&CreateWindowExA) real_create_window;
static decltype(&SetTimer) real_set_timer;
static decltype(&KillTimer) real_kill_timer;
static decltype(&LoadCursorA) real_load_cursor;
static decltype(&LoadIconA) real_load_icon;

static HWND WINAPI counting_create_window(DWORD ex_style, LPCSTR window_class, LPCSTR title, DWORD style, int x, int y,
                                          int w, int h, HWND parent, HMENU menu, HINSTANCE instance, LPVOID data)
{
    HWND made = real_create_window(ex_style, window_class, title, style, x, y, w, h, parent, menu, instance, data);
    if (made)
        windows_made.insert(made);
    return made;
}

// A timer of a window is known by the window and its number; one of none by the number it got.
static UINT_PTR WINAPI counting_set_timer(HWND window, UINT_PTR id, UINT period, TIMERPROC call)
{
    UINT_PTR set = real_set_timer(window, id, period, call);
    if (set)
        timers_set.insert({window, window ? id : set});
    return set;
}

static BOOL WINAPI counting_kill_timer(HWND window, UINT_PTR id)
{
    BOOL killed = real_kill_timer(window, id);
    if (killed)
        timers_set.erase({window, id});
    return killed;
}

static HCURSOR WINAPI counting_load_cursor(HINSTANCE module, LPCSTR name)
{
    HCURSOR given = real_load_cursor(module, name);
    if (given)
        cursors_given.insert(given);
    return given;
}

static HICON WINAPI counting_load_icon(HINSTANCE module, LPCSTR name)
{
    HICON given = real_load_icon(module, name);
    if (given)
        cursors_given.insert(given);
    return given;
}

static HANDLE WINAPI counting_load_image(HINSTANCE module, LPCSTR name, UINT type, int w, int h, UINT flags)
{
    HANDLE made = real_load_image(module, name, type, w, h, flags);
    if (made && type == IMAGE_BITMAP)
        gdi_alive++;
    else if (made)
        cursors_given.insert(made);
    return made;
}

// Displays that are not there.
static bool sixteen_colours;
static RECT pretended[16];
static int pretended_count;
static decltype(&GetDeviceCaps) real_device_caps;
static decltype(&GetSystemMetrics) real_system_metrics;
static decltype(&GetProcAddress) real_find_function;

static int WINAPI pretended_device_caps(HDC dc, int index)
{
    if (sixteen_colours && index == BITSPIXEL)
        return 4;
    if (sixteen_colours && index == PLANES)
        return 1;
    return real_device_caps(dc, index);
}

static int WINAPI pretended_system_metrics(int index)
{
    if (pretended_count > 0) {
        RECT all = pretended[0];
        for (int i = 1; i < pretended_count; i++)
            UnionRect(&all, &all, &pretended[i]);
        switch (index) {
        case SM_CXSCREEN:
            return pretended[0].right - pretended[0].left;
        case SM_CYSCREEN:
            return pretended[0].bottom - pretended[0].top;
        case SM_XVIRTUALSCREEN:
            return all.left;
        case SM_YVIRTUALSCREEN:
            return all.top;
        case SM_CXVIRTUALSCREEN:
            return all.right - all.left;
        case SM_CYVIRTUALSCREEN:
            return all.bottom - all.top;
        case SM_CMONITORS:
            return pretended_count;
        default:
            break;
        }
    }
    return real_system_metrics(index);
}

// Every pretended monitor is given with the primary's handle: the saver asks a monitor's scale by
// its corner, not by its handle.
static BOOL WINAPI pretended_monitor_list(HDC, LPCRECT, MONITORENUMPROC call, LPARAM data)
{
    const POINT corner = {0, 0};
    HMONITOR primary = MonitorFromPoint(corner, MONITOR_DEFAULTTOPRIMARY);
    for (int i = 0; i < pretended_count; i++) {
        RECT area = pretended[i];
        if (!call(primary, nullptr, &area, data))
            break;
    }
    return TRUE;
}

static FARPROC WINAPI pretended_find_function(HMODULE library, LPCSTR name)
{
    const bool by_name = reinterpret_cast<ULONG_PTR>(name) > 0xFFFF;
    if (pretended_count > 0 && by_name && lstrcmpA(name, "EnumDisplayMonitors") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(pretended_monitor_list));
    return real_find_function(library, name);
}

template <typename Function>
static void hook(const char* dll, const char* function, Function replacement, Function& original)
{
    void** slot = import_slot(dll, function);
    if (!slot) {
        fprintf(stderr, "bench: %s is not imported from %s\n", function, dll);
        exit(2);
    }
    original = reinterpret_cast<Function>(*slot);
    write_slot(slot, reinterpret_cast<void*>(replacement));
}

void hook_saver_calls()
{
    hook("gdi32.dll", "BitBlt", counting_bit_blt, gdi.bit_blt);
    hook("gdi32.dll", "StretchBlt", counting_stretch_blt, real_stretch_blt);
    hook("gdi32.dll", "CreateCompatibleDC", counting_create_dc, gdi.create_dc);
    hook("gdi32.dll", "CreateCompatibleBitmap", counting_create_bitmap, gdi.create_bitmap);
    hook("gdi32.dll", "CreateDIBSection", counting_create_dib_section, real_create_dib_section);
    hook("gdi32.dll", "CreatePalette", counting_create_palette, real_create_palette);
    hook("gdi32.dll", "DeleteObject", counting_delete_object, gdi.delete_object);
    hook("gdi32.dll", "DeleteDC", counting_delete_dc, gdi.delete_dc);
    hook("gdi32.dll", "GetDeviceCaps", pretended_device_caps, real_device_caps);
    hook("user32.dll", "LoadImageA", counting_load_image, real_load_image);
    hook("user32.dll", "GetDC", counting_get_dc, real_get_dc);
    hook("user32.dll", "ReleaseDC", counting_release_dc, real_release_dc);
    hook("user32.dll", "CreateWindowExA", counting_create_window, real_create_window);
    hook("user32.dll", "SetTimer", counting_set_timer, real_set_timer);
    hook("user32.dll", "KillTimer", counting_kill_timer, real_kill_timer);
    hook("user32.dll", "LoadCursorA", counting_load_cursor, real_load_cursor);
    hook("user32.dll", "LoadIconA", counting_load_icon, real_load_icon);
    hook("user32.dll", "GetSystemMetrics", pretended_system_metrics, real_system_metrics);
    hook("kernel32.dll", "GetProcAddress", pretended_find_function, real_find_function);
}

void watch_screen(HDC screen) { watched_screen = screen; }
long long pixels_copied() { return copied; }
long gdi_objects() { return gdi_alive; }
long dcs_taken() { return dcs_out; }

// A window's timers end with it, and a window destroyed by the system's own procedure (on a
// close) passes no hook: what no longer exists is forgotten.
UserObjects user_objects()
{
    for (auto window = windows_made.begin(); window != windows_made.end();)
        window = IsWindow(*window) ? std::next(window) : windows_made.erase(window);
    for (auto timer = timers_set.begin(); timer != timers_set.end();)
        timer = !timer->first || IsWindow(timer->first) ? std::next(timer) : timers_set.erase(timer);
    return {long(windows_made.size()), long(timers_set.size()), long(cursors_given.size())};
}

void pretend_sixteen_colours(bool on) { sixteen_colours = on; }

void pretend_monitors(const RECT* monitors, int count)
{
    const int most = int(sizeof pretended / sizeof pretended[0]);
    pretended_count = count < most ? count : most;
    for (int i = 0; i < pretended_count; i++)
        pretended[i] = monitors[i];
}

const SystemGdi& system_gdi() { return gdi; }
