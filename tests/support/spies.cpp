// spies.cpp --- this program's own functions put in place of the system functions it imports.
#include "support/support.h"

#include <cstring>
#include <set>

#include "tools/hooks/import_table.h"

ImportSpy::ImportSpy(const char* dll, const char* function, void* replacement)
{
    slot = import_slot(dll, function);
    REQUIRE_MESSAGE(slot != nullptr, function);
    original = *slot;
    write_slot(slot, replacement);
}

ImportSpy::~ImportSpy()
{
    if (slot)
        write_slot(slot, original);
}

static decltype(&GetDeviceCaps) real_device_caps;
static int pretended_bits;
static int WINAPI pretended_caps(HDC dc, int index)
{
    if (index == BITSPIXEL)
        return pretended_bits;
    if (index == PLANES)
        return 1;
    return real_device_caps(dc, index);
}

DisplayDepth::DisplayDepth(int bits) : spy("gdi32.dll", "GetDeviceCaps", reinterpret_cast<void*>(pretended_caps))
{
    real_device_caps = reinterpret_cast<decltype(&GetDeviceCaps)>(spy.original);
    pretended_bits = bits;
}

namespace {
std::set<HGDIOBJ> made_objects;
decltype(&LoadImageA) real_load_image;
decltype(&CreateCompatibleBitmap) real_create_bitmap;
decltype(&CreatePalette) real_create_palette;
decltype(&DeleteObject) real_delete_object;
HANDLE WINAPI made_image(HINSTANCE module, LPCSTR name, UINT type, int w, int h, UINT flags)
{
    HANDLE made = real_load_image(module, name, type, w, h, flags);
    if (made && type == IMAGE_BITMAP)
        made_objects.insert(made);
    return made;
}
HBITMAP WINAPI made_bitmap(HDC dc, int w, int h)
{
    HBITMAP made = real_create_bitmap(dc, w, h);
    made_objects.insert(made);
    return made;
}
HPALETTE WINAPI made_palette(const LOGPALETTE* entries)
{
    HPALETTE made = real_create_palette(entries);
    made_objects.insert(made);
    return made;
}
BOOL WINAPI deleted_object(HGDIOBJ object)
{
    made_objects.erase(object);
    return real_delete_object(object);
}
}  // namespace

GdiWatch::GdiWatch()
    : image("user32.dll", "LoadImageA", reinterpret_cast<void*>(made_image)),
      bitmap("gdi32.dll", "CreateCompatibleBitmap", reinterpret_cast<void*>(made_bitmap)),
      palette("gdi32.dll", "CreatePalette", reinterpret_cast<void*>(made_palette)),
      deletion("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(deleted_object))
{
    real_load_image = reinterpret_cast<decltype(&LoadImageA)>(image.original);
    real_create_bitmap = reinterpret_cast<decltype(&CreateCompatibleBitmap)>(bitmap.original);
    real_create_palette = reinterpret_cast<decltype(&CreatePalette)>(palette.original);
    real_delete_object = reinterpret_cast<decltype(&DeleteObject)>(deletion.original);
    made_objects.clear();
}

size_t GdiWatch::alive() const { return made_objects.size(); }
