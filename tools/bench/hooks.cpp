// hooks.cpp --- the benchmark's own functions in place of system functions the saver's code imports:
// counting copies and objects, and pretending another display.
#include "tools/bench/hooks.h"

#include <stdio.h>
#include <stdlib.h>

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

// GDI objects made and freed.
static long gdi_alive;
static decltype(&CreatePalette) real_create_palette;
static decltype(&LoadImageA) real_load_image;

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

static HANDLE WINAPI counting_load_image(HINSTANCE module, LPCSTR name, UINT type, int w, int h, UINT flags)
{
    HANDLE made = real_load_image(module, name, type, w, h, flags);
    gdi_alive += made != nullptr && type == IMAGE_BITMAP;
    return made;
}

// A display that is not there.
static bool sixteen_colours;
static decltype(&GetDeviceCaps) real_device_caps;

static int WINAPI pretended_device_caps(HDC dc, int index)
{
    if (sixteen_colours && index == BITSPIXEL)
        return 4;
    if (sixteen_colours && index == PLANES)
        return 1;
    return real_device_caps(dc, index);
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
    hook("gdi32.dll", "CreatePalette", counting_create_palette, real_create_palette);
    hook("gdi32.dll", "DeleteObject", counting_delete_object, gdi.delete_object);
    hook("gdi32.dll", "DeleteDC", counting_delete_dc, gdi.delete_dc);
    hook("gdi32.dll", "GetDeviceCaps", pretended_device_caps, real_device_caps);
    hook("user32.dll", "LoadImageA", counting_load_image, real_load_image);
}

void watch_screen(HDC screen) { watched_screen = screen; }
long long pixels_copied() { return copied; }
long gdi_objects() { return gdi_alive; }

void pretend_sixteen_colours(bool on) { sixteen_colours = on; }

const SystemGdi& system_gdi() { return gdi; }
