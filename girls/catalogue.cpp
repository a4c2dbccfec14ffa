// catalogue.cpp --- finds the girl modules ("lumidoll.*" in the system directory) and loads a girl.
#include "girls/catalogue.h"

#include <stdlib.h>
#include <time.h>
#include <windows.h>

#include "girls/module_file.h"
#include "girls/settings.h"
#include "host/language.h"

GirlModule girl_modules[MAX_GIRL_MODULES];
int module_count;
static int seeded;

static const char MODULE_PATTERN[] = "lumidoll.*";
static const int MAX_FILE_NAME = sizeof girl_modules[0].file_name - 1;

// The full path of a file in the system directory; false if it does not fit the buffer.
static bool girl_module_path(char* path, int size, const char* file_name)
{
    UINT length = GetSystemDirectoryA(path, static_cast<UINT>(size));
    if (length == 0 || static_cast<int>(length) + 1 + lstrlenA(file_name) >= size)
        return false;
    lstrcatA(path, "\\");
    lstrcatA(path, file_name);
    return true;
}

// A module is opened as data from the exact file the scan found, once the file has been found
// to hold every part the saver reads: none of its code runs in the saver, no file of the same
// name elsewhere on the library path is taken instead, and the 64-bit saver reads the classic
// 32-bit modules as well as 64-bit ones.
static HMODULE open_girl_module(const char* file_name, OpenModule* opened)
{
    char path[MAX_PATH];
    if (!girl_module_path(path, sizeof path, file_name)) {
        ZeroMemory(opened, sizeof *opened);
        return nullptr;
    }
    return open_module(path, opened);
}

// Her title as the dialog will show it. On the NT family, exactly as she stores it, in UTF-16,
// so that any script shows where Windows has a font for it. The 95 family shows text in its
// code page alone: there Windows turns her title into it, each letter the code page lacks a
// "?", as it does for any program that reads a string; a title of 39 double-byte letters takes
// 78 bytes.
static void read_title(HMODULE module, void* entry)
{
    GirlModule* girl = static_cast<GirlModule*>(entry);
    const int characters = sizeof girl->title / sizeof girl->title[0];
    girl->title[0] = L'\0';
    if (const UnicodeUser* unicode = unicode_user()) {
        unicode->LoadStringW(module, 1, girl->title, characters);
        return;
    }
    char shown[2 * (characters - 1) + 1];
    WCHAR wide[sizeof shown];
    if (LoadStringA(module, 1, shown, sizeof shown) <= 0 ||
        MultiByteToWideChar(CP_ACP, 0, shown, -1, wide, sizeof shown) <= 0)
        return;
    int i = 0;
    for (; i < characters - 1 && wide[i]; i++)  // a longer title is cut at 39 characters
        girl->title[i] = wide[i];
    girl->title[i] = L'\0';
}

void scan_girl_modules()
{
    module_count = 0;
    char pattern[MAX_PATH];
    if (!girl_module_path(pattern, sizeof pattern, MODULE_PATTERN))
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        // A name that does not fit the table's field is skipped, not cut short: a shortened
        // name would open some other file, or none.
        if (lstrlenA(found.cFileName) > MAX_FILE_NAME)
            continue;
        GirlModule* entry = &girl_modules[module_count];
        lstrcpyA(entry->file_name, found.cFileName);
        entry->title[0] = L'\0';
        entry->readable = 0;
        OpenModule opened;
        if (open_girl_module(entry->file_name, &opened))
            entry->readable = read_module_guarded(opened.module, opened.check.file_size, read_title, entry);
        if (!entry->readable)
            entry->title[0] = L'\0';
        close_module(&opened);
        module_count++;
    } while (module_count < MAX_GIRL_MODULES && FindNextFileA(search, &found));
    FindClose(search);
}

static void read_frames(HMODULE module, void* girl)
{
    Sprite* sprite = static_cast<Sprite*>(girl);
    load_sprite_frames(sprite->count, sprite->frames, "GIRL", module);
}

void load_girl_frames(Sprite* sprite, int index)
{
    // A stale stored index, or -1 from an empty list, names no module: the girl gets no frames.
    if (index < 0 || index >= module_count)
        return;
    OpenModule opened;
    if (open_girl_module(girl_modules[index].file_name, &opened) &&
        !read_module_guarded(opened.module, opened.check.file_size, read_frames, sprite)) {
        // A read that faulted half way: none of her frames is trusted.
        for (int i = 0; i < sprite->count; i++) {
            if (sprite->frames[i].bitmap)
                DeleteObject(sprite->frames[i].bitmap);
            sprite->frames[i].bitmap = nullptr;
        }
    }
    close_module(&opened);
}

void seed_girl_picks(unsigned seed)
{
    srand(seed);
    seeded = 1;
}

void pick_random_girl()
{
    if (module_count <= 0)
        return;  // nothing to choose from: the girl stays as she is
    if (!seeded) {
        srand(static_cast<unsigned>(time(nullptr)));
        seeded = 1;
    }
    Girl = rand() % module_count;
}
