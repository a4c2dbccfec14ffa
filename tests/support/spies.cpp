// spies.cpp --- this program's own functions put in place of the system functions it imports.
#include "support/support.h"

#include <cstring>
#include <set>

static void** import_slot(const char* dll, const char* function)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name; entry++) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + entry->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<char*>(by_name->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

static void write_slot(void** slot, void* value)
{
    DWORD protection;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

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
