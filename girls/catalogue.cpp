// catalogue.cpp --- finds the girl modules ("lumidoll.*" in the system directory) and reads them.
#include "girls/catalogue.h"

#include <stdlib.h>
#include <time.h>
#include <windows.h>

#include "base/found_by_name.h"
#include "base/string_table.h"
#include "girls/module_file.h"

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

// What a title read is given: the table entry, and the language asked for.
struct TitleRead {
    GirlModule* girl;
    WORD language;
};

// Her title as she stores it, in UTF-16, in the language asked for where she has it, else in
// English (United Kingdom, then United States) or her neutral one; a module with none of those
// gives the one the system's own loader picks. -1 when she has none the saver can read.
static int stored_title(HMODULE module, WORD language, WCHAR* title, int size)
{
    const WORD tries[] = {language, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK),
                          MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)};
    for (WORD tried : tries) {
        const int length = find_string(module, 1, tried, title, size);
        if (length >= 0)
            return length;
    }
    if (const UnicodeUser* unicode = unicode_user())
        return unicode->LoadStringW(module, 1, title, size);
    return -1;
}

// Her title as the dialog will show it. On the NT family, exactly as she stores it, so that any
// script shows where Windows has a font for it. The 95 family shows text in its code page alone:
// there her title is turned into it as Windows turns any string a program reads, each letter the
// code page lacks a "?"; a title of 39 double-byte letters takes 78 bytes.
static void read_title(HMODULE module, void* context)
{
    const TitleRead* read = static_cast<const TitleRead*>(context);
    GirlModule* girl = read->girl;
    const int characters = sizeof girl->title / sizeof girl->title[0];
    girl->title[0] = L'\0';
    WCHAR stored[sizeof girl->title / sizeof girl->title[0]];
    char shown[2 * (characters - 1) + 1];
    if (unicode_user()) {
        const int length = stored_title(module, read->language, girl->title, characters);
        if (length < 0)
            girl->title[0] = L'\0';
        // A title cut at 39 ends with a whole character, never the first half of a pair.
        else if (length > 0 && girl->title[length - 1] >= 0xD800 && girl->title[length - 1] <= 0xDBFF)
            girl->title[length - 1] = L'\0';
        return;
    }
    if (stored_title(module, read->language, stored, characters) >= 0) {
        if (!WideCharToMultiByte(CP_ACP, 0, stored, -1, shown, sizeof shown, nullptr, nullptr))
            return;
    } else if (LoadStringA(module, 1, shown, sizeof shown) <= 0) {
        return;
    }
    WCHAR wide[sizeof shown];
    if (MultiByteToWideChar(CP_ACP, 0, shown, -1, wide, sizeof shown) <= 0)
        return;
    int i = 0;
    for (; i < characters - 1 && wide[i]; i++)  // a longer title is cut at 39 characters
        girl->title[i] = wide[i];
    girl->title[i] = L'\0';
}

void scan_girl_modules(WORD language)
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
        TitleRead read = {entry, language};
        if (open_girl_module(entry->file_name, &opened))
            entry->readable = read_module_guarded(opened.module, opened.check.file_size, read_title, &read);
        if (!entry->readable)
            entry->title[0] = L'\0';
        close_module(&opened);
        module_count++;
    } while (module_count < MAX_GIRL_MODULES && FindNextFileA(search, &found));
    FindClose(search);
}

bool load_girl_frames(int index, ModuleRead read, void* context)
{
    // A stale stored index, or -1 from an empty list, names no module: nothing is read.
    if (index < 0 || index >= module_count)
        return true;
    OpenModule opened;
    bool went_through = true;
    if (open_girl_module(girl_modules[index].file_name, &opened))
        went_through = read_module_guarded(opened.module, opened.check.file_size, read, context) != 0;
    close_module(&opened);
    return went_through;
}

void seed_girl_picks(unsigned seed)
{
    srand(seed);
    seeded = 1;
}

int pick_random_girl(int current)
{
    if (module_count <= 0)
        return current;  // nothing to choose from: the girl stays as she is
    if (!seeded) {
        srand(static_cast<unsigned>(time(nullptr)));
        seeded = 1;
    }
    return rand() % module_count;
}
